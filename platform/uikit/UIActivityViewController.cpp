#include "platform/uikit/UIActivityViewController.h"

#include "platform/foundation/NSString.h"
#include "platform/foundation/NSURL.h"
#include "platform/uikit/UIImage.h"

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

namespace {
// A URL by its text, an image by its size in points and its scale ("image 320×568 @2").
std::string itemText(const Value& item) {
    if (auto url = item.objectAs<NSURL>()) return url->absoluteString();
    if (auto image = item.objectAs<UIImage>()) {
        auto size = image->size();
        return NSString::stringWithFormat("image %g\u00d7%g @%g", size.width, size.height, image->scale());
    }
    return item.description();
}
} // namespace

void UIActivityViewController::describeToScreen(UIScreenDescription& screen) {
    screen.addLine("sheet: activity");
    std::vector<std::string> items;
    for (auto& item : items_) {
        items.push_back(itemText(item));
        screen.addLine("  item: " + items.back());
    }
    screen.addLine("  excluded: " + NSString::componentsJoinedByString(excluded_, ", "));
    screen.addLine("  offers: " + NSString::componentsJoinedByString(availableActivityTypes(), ", "));
    screen.beginLayer("the activity sheet", "airdrop, complete TYPE or cancel");
    auto me = self<UIActivityViewController>();
    auto complete = [me, items](const std::string& activityType, UIScreenReply& reply) {
        std::string type = activityType.empty() ? UIActivityTypeAirDrop : activityType;
        if (!me->finishWithActivityType(type)) return reply.refuse("the sheet does not offer " + type);
        reply.said = (type == UIActivityTypeAirDrop ? "sent through AirDrop: " : "completed " + type + ": ") +
                     NSString::componentsJoinedByString(items, ", ");
        return true;
    };
    screen.addCommand("airdrop", [complete](const std::string&, UIScreenReply& reply) { return complete(UIActivityTypeAirDrop, reply); });
    screen.addCommand("complete", complete);
    auto cancel = [me](UIScreenReply&) {
        me->cancel();
        return true;
    };
    screen.addCommand("cancel", [cancel](const std::string&, UIScreenReply& reply) { return cancel(reply); });
    screen.addTappable("Cancel", cancel);
}
