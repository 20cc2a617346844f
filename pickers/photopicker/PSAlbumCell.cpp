#include "pickers/photopicker/PSAlbumCell.h"

#include "pickers/photopicker/PSImagePickerController.h"
#include "platform/uikit/UIColor.h"

PSAlbumCell::PSAlbumCell() : UITableViewCell(UITableViewCellStyleValue1, kReuseIdentifier) { setSelectedAnimated(false, false); }

void PSAlbumCell::setSelectedAnimated(bool selected, bool animated) {
    UITableViewCell::setSelectedAnimated(selected, animated);
    if (selected) {
        lbAlbumName()->setTextColor(UIColor::whiteColor());
        lbCount()->setTextColor(UIColor::whiteColor());
        contentView()->setBackgroundColor(PSImagePickerController::pickerBlue(1));
    } else {
        lbAlbumName()->setTextColor(PSImagePickerController::pickerBlue(1));
        lbCount()->setTextColor(UIColor::colorWithRed(247 / 255.0, 200 / 255.0, 142 / 255.0, 1));
        contentView()->setBackgroundColor(UIColor::whiteColor());
    }
}
