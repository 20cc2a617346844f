#include "platform/uikit/UIActivityViewController.h"

#include <algorithm>

const std::string UIActivityTypePostToFacebook = "com.apple.UIKit.activity.PostToFacebook";
const std::string UIActivityTypePostToTwitter = "com.apple.UIKit.activity.PostToTwitter";
const std::string UIActivityTypePostToWeibo = "com.apple.UIKit.activity.PostToWeibo";
const std::string UIActivityTypeMessage = "com.apple.UIKit.activity.Message";
const std::string UIActivityTypeMail = "com.apple.UIKit.activity.Mail";
const std::string UIActivityTypePrint = "com.apple.UIKit.activity.Print";
const std::string UIActivityTypeCopyToPasteboard = "com.apple.UIKit.activity.CopyToPasteboard";
const std::string UIActivityTypeAssignToContact = "com.apple.UIKit.activity.AssignToContact";
const std::string UIActivityTypeSaveToCameraRoll = "com.apple.UIKit.activity.SaveToCameraRoll";
const std::string UIActivityTypeAddToReadingList = "com.apple.UIKit.activity.AddToReadingList";
const std::string UIActivityTypePostToFlickr = "com.apple.UIKit.activity.PostToFlickr";
const std::string UIActivityTypePostToVimeo = "com.apple.UIKit.activity.PostToVimeo";
const std::string UIActivityTypePostToTencentWeibo = "com.apple.UIKit.activity.TencentWeibo";
const std::string UIActivityTypeAirDrop = "com.apple.UIKit.activity.AirDrop";

UIActivityViewController::UIActivityViewController(std::vector<Value> activityItems, std::vector<Value> applicationActivities)
    : items_(std::move(activityItems)), activities_(std::move(applicationActivities)) {
    // The sheet slides over the presenting screen, which stays on screen beneath it.
    setModalPresentationStyle(UIModalPresentationOverFullScreen);
}

std::shared_ptr<UIActivityViewController> UIActivityViewController::initWithActivityItemsApplicationActivities(
    std::vector<Value> activityItems, std::vector<Value> applicationActivities) {
    return std::make_shared<UIActivityViewController>(std::move(activityItems), std::move(applicationActivities));
}

std::vector<std::string> UIActivityViewController::availableActivityTypes() const {
    static const std::vector<std::string> all = {
        UIActivityTypeAirDrop, UIActivityTypeMessage, UIActivityTypeMail, UIActivityTypePostToTwitter,
        UIActivityTypePostToFacebook, UIActivityTypePostToWeibo, UIActivityTypePostToTencentWeibo,
        UIActivityTypePostToFlickr, UIActivityTypePostToVimeo, UIActivityTypeCopyToPasteboard, UIActivityTypePrint,
        UIActivityTypeAssignToContact, UIActivityTypeSaveToCameraRoll, UIActivityTypeAddToReadingList};
    std::vector<std::string> available;
    for (auto& type : all)
        if (std::find(excluded_.begin(), excluded_.end(), type) == excluded_.end()) available.push_back(type);
    return available;
}

bool UIActivityViewController::finishWithActivityType(const std::string& activityType) {
    if (!activityType.empty()) {
        auto available = availableActivityTypes();
        if (std::find(available.begin(), available.end(), activityType) == available.end()) return false;
    }
    auto keep = self<UIActivityViewController>();
    auto handler = completion_;
    bool completed = !activityType.empty();
    dismissViewControllerAnimatedCompletion(true, nullptr);
    if (handler) handler(activityType, completed);
    return true;
}
