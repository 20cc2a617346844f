#pragma once
// The social networks' compose sheet (Facebook, Twitter). A service is available when the
// device is signed in to it (a device fact). The sheet dismisses itself when done and then
// tells its completion handler.

#include "platform/foundation/NSURL.h"
#include "platform/uikit/UIComposeSheet.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

extern const std::string SLServiceTypeFacebook;
extern const std::string SLServiceTypeTwitter;

enum SLComposeViewControllerResult : long {
    SLComposeViewControllerResultCancelled = 0,
    SLComposeViewControllerResultDone = 1,
};

class SLComposeViewController : public UIComposeSheet {
public:
    using CompletionHandler = std::function<void(SLComposeViewControllerResult result)>;

    static bool isAvailableForServiceType(const std::string& serviceType);
    // A sheet for a known service (nil for any other).
    static std::shared_ptr<SLComposeViewController> composeViewControllerForServiceType(const std::string& serviceType);

    const std::string& serviceType() const { return serviceType_; }
    // False once the sheet is on screen, as on the device.
    bool setInitialText(const std::string& text);
    bool addURL(const NSURLPtr& url);
    const std::string& initialText() const { return text_; }
    const std::vector<NSURLPtr>& urls() const { return urls_; }
    void setCompletionHandler(CompletionHandler handler) { completion_ = std::move(handler); }

    std::string summary() const override;
    UIComposeSheetLook look() const override;

    explicit SLComposeViewController(std::string serviceType) : serviceType_(std::move(serviceType)) {}

protected:
    void didFinish(bool sent) override;

private:
    std::string serviceType_;
    std::string text_;
    std::vector<NSURLPtr> urls_;
    CompletionHandler completion_;
};
