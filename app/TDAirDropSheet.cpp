#include "app/TDAirDropSheet.h"

#include "platform/foundation/NSURL.h"

std::shared_ptr<UIActivityViewController> TDAirDropSheet::sheetForFileAtPath(const std::string& path) {
    return sheetForItem(Value(NSURL::fileURLWithPath(path)));
}

std::shared_ptr<UIActivityViewController> TDAirDropSheet::sheetForItem(const Value& item) {
    auto sheet = UIActivityViewController::initWithActivityItemsApplicationActivities({item}, {});
    sheet->setExcludedActivityTypes(excludedActivityTypes());
    return sheet;
}

const std::vector<std::string>& TDAirDropSheet::excludedActivityTypes() {
    static const std::vector<std::string> types = {
        UIActivityTypePostToFacebook,   UIActivityTypePostToTwitter,    UIActivityTypePostToWeibo,
        UIActivityTypeMessage,          UIActivityTypeMail,             UIActivityTypePrint,
        UIActivityTypeCopyToPasteboard, UIActivityTypeAssignToContact,  UIActivityTypeSaveToCameraRoll,
        UIActivityTypeAddToReadingList, UIActivityTypePostToFlickr,     UIActivityTypePostToVimeo,
        UIActivityTypePostToTencentWeibo};
    return types;
}
