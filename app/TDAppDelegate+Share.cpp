// Recommending the app through the share circle: a Facebook, Twitter, mail or text-message sheet
// with the texts below, the online probe before Twitter, and the "Error" alerts that replace a
// sheet the device cannot send.

#include "app/TDAppDelegate.h"
#include "app/support/TDSites.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/NSTimer.h"
#include "platform/net/NSURLConnection.h"
#include "platform/uikit/SLComposeViewController.h"

namespace {
// How long the probe may wait on the main thread, and how long after a refused sheet its error shows.
constexpr double kProbeTimeout = 5;
constexpr double kErrorDelay = 0.5;

void showError(const std::shared_ptr<TDAppDelegate>& delegate, const std::string& message) {
    UIAlertView::initWithTitle("Error", message, delegate, "OK", {})->show();
}
} // namespace

const std::string TDShareFacebookText = "I love using Tandrel by Zorik Orvenhal for sharing files & media using AirDrop!";
const std::string TDShareTweetText = "I love using Tandrel by @quorrelhub for sharing files & media using AirDrop!";
const std::string TDShareMailSubject = "Tandrel!";
const std::string TDShareMessageText = "I love using Tandrel by Zorik Orvenhal (@quorrelhub) for sharing files & media using AirDrop. "
                                       "Search for \"Tandrel\" on Cydia";

std::string TDShareMailBody() {
    return std::string("I love using Tandrel by Zorik Orvenhal (<a href=\"") + TDSites::kMakerTwitterProfile +
           "\">@quorrelhub</a>) for sharing files & media using AirDrop. <a href=\"" + TDSites::kPackagePage +
           "\">Check it out!</a>";
}

bool TDAppDelegate::twitterIsReachable() const {
    auto request = NSURLRequest::requestWithURL(NSURL::URLWithString(TDSites::reachabilityProbeURL()),
                                                NSURLRequestReloadIgnoringLocalCacheData, kProbeTimeout);
    return NSURLConnection::sendSynchronousRequest(request, nullptr, nullptr) != nullptr;
}

void TDAppDelegate::showErrorLater(void (TDAppDelegate::*show)()) {
    std::weak_ptr<TDAppDelegate> weakSelf = self<TDAppDelegate>();
    NSTimer::scheduledTimerWithTimeInterval(kErrorDelay, false, [weakSelf, show](const std::shared_ptr<NSTimer>&) {
        if (auto strongSelf = weakSelf.lock()) ((*strongSelf).*show)();
    });
}

void TDAppDelegate::showSMSErr() { showError(self<TDAppDelegate>(), "Your device can not send text messages"); }
void TDAppDelegate::showMailErr() { showError(self<TDAppDelegate>(), "Please sign-in to your Email account from Settings"); }
void TDAppDelegate::showTwitterErr() { showError(self<TDAppDelegate>(), "Please sign-in to your Twitter account from Settings"); }
void TDAppDelegate::showFacebookErr() { showError(self<TDAppDelegate>(), "Please sign-in to your Facebook account from Settings"); }

void TDAppDelegate::showShareCircle() {
    if (shareCircleView_) shareCircleView_->showAnimated(true);
}

void TDAppDelegate::shareCircleViewDidSelectSharer(CSShareCircleView&, const std::shared_ptr<CSSharer>& sharer) {
    if (!sharer) return;
    const std::string name = sharer->name();
    NSLog("Selected sharer: %@", name);
    if (name == "Facebook") {
        shareOnFacebook();
    } else if (name == "Twitter") {
        shareOnTwitter();
    } else if (name == "Mail") {
        shareByMail();
    } else if (name == "SMS") {
        shareByMessage();
    }
}

void TDAppDelegate::shareCircleCanceled(CSShareCircleView&) { NSLog("Share circle view was canceled."); }

void TDAppDelegate::shareOnFacebook() {
    if (!SLComposeViewController::isAvailableForServiceType(SLServiceTypeFacebook)) return showErrorLater(&TDAppDelegate::showFacebookErr);
    auto sheet = SLComposeViewController::composeViewControllerForServiceType(SLServiceTypeFacebook);
    sheet->setInitialText(TDShareFacebookText);
    sheet->addURL(NSURL::URLWithString(TDSites::kPackagePage));
    tabBarController_->presentViewControllerAnimatedCompletion(sheet, true, nullptr);
}

void TDAppDelegate::shareOnTwitter() {
    // Offline, the choice does nothing at all.
    if (!twitterIsReachable()) return;
    initialTweetText_ = TDShareTweetText;
    if (!SLComposeViewController::isAvailableForServiceType(SLServiceTypeTwitter)) return showErrorLater(&TDAppDelegate::showTwitterErr);
    auto sheet = SLComposeViewController::composeViewControllerForServiceType(SLServiceTypeTwitter);
    sheet->setInitialText(initialTweetText_);
    sheet->addURL(NSURL::URLWithString(TDSites::kPackagePage));
    tabBarController_->presentViewControllerAnimatedCompletion(sheet, true, nullptr);
}

void TDAppDelegate::shareByMail() {
    if (!MFMailComposeViewController::canSendMail()) return showErrorLater(&TDAppDelegate::showMailErr);
    auto sheet = std::make_shared<MFMailComposeViewController>();
    sheet->setMailComposeDelegate(self<TDAppDelegate>());
    sheet->setSubject(TDShareMailSubject);
    sheet->setMessageBodyIsHTML(TDShareMailBody(), true);
    tabBarController_->presentViewControllerAnimatedCompletion(sheet, true, nullptr);
}

void TDAppDelegate::shareByMessage() {
    if (!MFMessageComposeViewController::canSendText()) return showErrorLater(&TDAppDelegate::showSMSErr);
    auto sheet = std::make_shared<MFMessageComposeViewController>();
    sheet->setMessageComposeDelegate(self<TDAppDelegate>());
    sheet->setBody(TDShareMessageText);
    window_->rootViewController()->presentViewControllerAnimatedCompletion(sheet, true, nullptr);
}

void TDAppDelegate::mailComposeControllerDidFinishWithResultError(MFMailComposeViewController&, MFMailComposeResult,
                                                                  const std::shared_ptr<NSError>&) {
    tabBarController_->dismissModalViewControllerAnimated(true);
}

void TDAppDelegate::messageComposeViewControllerDidFinishWithResult(MFMessageComposeViewController&, MessageComposeResult) {
    window_->rootViewController()->dismissModalViewControllerAnimated(true);
}
