#include "pickers/assetpicker/APAssetsGroupViewCell.h"

#include "pickers/assetpicker/APAssetsPickerController.h"
#include "platform/foundation/NSString.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"

void APAssetsGroupViewCell::bind(const ALAssetsGroupPtr& group) {
    assetsGroup = group;
    if (!group) return;
    auto poster = group->posterImage();
    UIImagePtr image;
    if (poster) {
        // Scaled so that the poster stands kThumbnailLength points high whatever its pixels.
        float scale = static_cast<float>(poster->height()) / static_cast<float>(kThumbnailLength);
        image = UIImage::imageWithCGImage(poster, scale, UIImageOrientationUp);
    }
    imageView()->setImage(image);
    textLabel()->setText(group->valueForProperty(ALAssetsGroupPropertyName).stringValue());
    detailTextLabel()->setText(NSString::stringWithFormat("%ld", group->numberOfAssets()));
    setAccessoryType(UITableViewCellAccessoryDisclosureIndicator);
    UIView::setAccessibilityLabel(accessibilityLabel());
}

std::string APAssetsGroupViewCell::accessibilityLabel() const {
    if (!assetsGroup) return {};
    return assetsGroup->valueForProperty(ALAssetsGroupPropertyName).stringValue() +
           NSString::stringWithFormat(APLocalizedString("%ld Photos"), assetsGroup->numberOfAssets());
}
