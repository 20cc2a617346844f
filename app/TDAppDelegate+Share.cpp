// Recommending the app: the texts of the share sheets, the online probe before Twitter, and the
// "Error" alerts that replace a sheet the device cannot show.

#include "app/TDAppDelegate.h"
#include "app/support/TDSites.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/NSTimer.h"
#include "platform/net/NSURLConnection.h"

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
