#pragma once
// The system's activity sheet. The headless device keeps what it was given; its completion stands
// for the system's own interfaces (AirDrop among them) and comes from the driver.

#include "platform/foundation/Value.h"
#include "platform/uikit/UIViewController.h"

#include <functional>
#include <string>
#include <vector>

extern const std::string UIActivityTypePostToFacebook;
extern const std::string UIActivityTypePostToTwitter;
extern const std::string UIActivityTypePostToWeibo;
extern const std::string UIActivityTypeMessage;
extern const std::string UIActivityTypeMail;
extern const std::string UIActivityTypePrint;
extern const std::string UIActivityTypeCopyToPasteboard;
extern const std::string UIActivityTypeAssignToContact;
extern const std::string UIActivityTypeSaveToCameraRoll;
extern const std::string UIActivityTypeAddToReadingList;
extern const std::string UIActivityTypePostToFlickr;
extern const std::string UIActivityTypePostToVimeo;
extern const std::string UIActivityTypePostToTencentWeibo;
extern const std::string UIActivityTypeAirDrop;

class UIActivityViewController : public UIViewController {
public:
    using CompletionHandler = std::function<void(const std::string& activityType, bool completed)>;

    UIActivityViewController(std::vector<Value> activityItems, std::vector<Value> applicationActivities);
    static std::shared_ptr<UIActivityViewController> initWithActivityItemsApplicationActivities(
        std::vector<Value> activityItems, std::vector<Value> applicationActivities);

    const std::vector<Value>& activityItems() const { return items_; }
    const std::vector<Value>& applicationActivities() const { return activities_; }
    const std::vector<std::string>& excludedActivityTypes() const { return excluded_; }
    void setExcludedActivityTypes(std::vector<std::string> types) { excluded_ = std::move(types); }
    void setCompletionHandler(CompletionHandler handler) { completion_ = std::move(handler); }

    // The system activity types the sheet offers after the exclusions.
    std::vector<std::string> availableActivityTypes() const;
    // The user's choice: performs the activity (when it is offered) or cancels with an empty type;
    // the sheet goes and the completion handler hears the outcome. False when the activity is not offered.
    bool finishWithActivityType(const std::string& activityType);
    void cancel() { finishWithActivityType(""); }

    // The driver: the sheet's items, exclusions and offers as lines, and a layer of its own with
    // the commands airdrop, complete TYPE and cancel (and its Cancel button).
    void describeToScreen(UIScreenDescription& screen) override;
    // The sheet's view: the screen beneath dimmed, the AirDrop panel and a row of the other
    // activities offered, and the Cancel button at the foot.
    void loadView() override;

private:
    std::vector<Value> items_;
    std::vector<Value> activities_;
    std::vector<std::string> excluded_;
    CompletionHandler completion_;
};
