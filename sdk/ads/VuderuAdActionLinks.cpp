// The actions that reach outside the ad: the user's alert, links opened or followed, and fired
// tracking URLs.

#include "sdk/ads/VuderuAdActionCall.h"
#include "sdk/ads/VuderuAdConnectionDelegate.h"
#include "sdk/ads/VuderuAdHttptaskDelegate.h"
#include "sdk/analytics/VuderuLog.h"

#include "platform/foundation/NSThread.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIWindow.h"

#include <atomic>
#include <cstddef>

namespace {

constexpr double kFireAndForgetTimeout = 20;
constexpr const char* kTrackingContentType = "application/octet-stream";

// Opens the URL outside the app when the action asks for the native browser; false otherwise.
bool openedNatively(const VuderuAdActionCall& call, const std::string& url) {
    if (call.templateParameter("native") != std::optional<std::string>("true")) return false;
    auto nsurl = NSURL::URLWithString(url);
    nsurl && call.handler->openUrlInNativeBrowserParams(nsurl, call.params) ? call.ok() : call.fail();
    return true;
}

} // namespace

namespace VuderuAdActionSteps {

void notifyUser(const VuderuAdActionCall& call) {
    auto message = call.templateParameter("message");
    if (!message || !call.handler) return call.fail();
    auto confirm = call.templateParameter("confirmDisplay").value_or("No");
    auto cancel = call.templateParameter("cancelDisplay").value_or("Yes");
    std::shared_ptr<UIAlertViewDelegate> delegate = call.handler;
    auto alert = UIAlertView::initWithTitle("", *message, delegate, cancel, {confirm});
    call.handler->setAlertView(alert);
    alert->show();
    if (auto window = alert->window()) window->setWindowLevel(UIWindowLevelStatusBar + 1000);
}

void processRedirect(const VuderuAdActionCall& call) {
    auto url = call.templateParameter("url");
    if (!url || !call.handler) return call.fail();
    if (openedNatively(call, *url)) return;
    auto nsurl = NSURL::URLWithString(*url);
    auto follower = std::make_shared<VuderuAdConnectionDelegate>();
    auto connection = follower->openReferralURLActionDelegateAdActionEventOnStartLoadEventOnFinishLoad(nsurl, call.handler,
                                                                                                       VuderuAdAction::kProcessRedirect, 0, 0);
    if (connection) call.params["connection"] = Value(connection);
    call.ok();
}

void directOpen(const VuderuAdActionCall& call) {
    auto url = call.templateParameter("url");
    if (!url || !call.handler) return call.fail();
    if (openedNatively(call, *url)) return;
    call.handler->linkProcessedForAdAction(*url, call.name);
    call.ok();
}

void directOpenNonAC(const VuderuAdActionCall& call) {
    std::string url;
    if (!call.handler ||
        !VuderuAdAction::getUrlFromNonACParamStringWithUrlKeyToUrlStringForEventHandlerAdEvent(call.paramString, "url", &url,
                                                                                              call.handler.get(), call.event.get()))
        return call.fail();
    call.handler->linkProcessedForAdAction(url, call.name);
    call.ok();
}

} // namespace VuderuAdActionSteps

namespace {

std::atomic<std::size_t> gTrackingRequestsUnderWay{0};
// Set by the first request dropped while all are taken; cleared when one ends.
std::atomic<bool> gReportedTrackingFull{false};

// Held for as long as one tracking request is under way (its recorder, or its thread).
struct TrackingRequestSlot {
    TrackingRequestSlot() { ++gTrackingRequestsUnderWay; }
    ~TrackingRequestSlot() {
        --gTrackingRequestsUnderWay;
        gReportedTrackingFull = false;
    }
    TrackingRequestSlot(const TrackingRequestSlot&) = delete;
    TrackingRequestSlot& operator=(const TrackingRequestSlot&) = delete;
};

class SlottedTrackingRecorder : public VuderuAdHttptaskDelegate {
public:
    using VuderuAdHttptaskDelegate::VuderuAdHttptaskDelegate;

private:
    TrackingRequestSlot slot_;
};

} // namespace

std::size_t VuderuAdAction::trackingRequestsUnderWay() { return gTrackingRequestsUnderWay.load(); }

void VuderuAdAction::asyncNotifyAdStateCompletedWithLogGuidForEventAsFireForget(const std::string& url,
                                                                                const std::optional<std::string>& guid,
                                                                                const std::string& event, bool fireForget) {
    // Trackers that never answer would otherwise pile requests up without end.
    if (gTrackingRequestsUnderWay.load() >= kMaximumTrackingRequestsUnderWay) {
        if (!gReportedTrackingFull.exchange(true))
            VuderuLog("VuderuAds: %lu tracking requests are under way; the one to [%@] and later ones are dropped",
                      static_cast<unsigned long>(kMaximumTrackingRequestsUnderWay), url);
        return;
    }
    if (fireForget) {
        Params params{{"url", url}, {"attempts", 0}};
        auto slot = std::make_shared<TrackingRequestSlot>();
        NSThread::detachNewThread([params, slot] { sendAdStateCompleted(params); }, "VuderuAdStateCompleted");
        return;
    }
    auto recorder = std::make_shared<SlottedTrackingRecorder>(guid, true, url, event);
    VuderuHttpAsyncTask::HeaderFields headers;
    headers["Content-Type"] = kTrackingContentType;
    VuderuHttpAsyncTask::sendMethod("GET", url, nullptr, headers, recorder, true);
}

void VuderuAdAction::sendAdStateCompleted(const Params& params) {
    auto found = params.find("url");
    auto url = NSURL::URLWithString(found == params.end() ? std::string() : found->second.stringValue());
    if (!url) {
        VuderuLog("Vuderu: HTTP async task sent [sendAdStateCompleted] error: %@", "invalid URL");
        return;
    }
    auto request = NSURLRequest::requestWithURL(url, NSURLRequestReloadIgnoringLocalAndRemoteCacheData, kFireAndForgetTimeout);
    request->setHTTPShouldHandleCookies(false);
    NSURLResponsePtr response;
    NSErrorPtr error;
    NSURLConnection::sendSynchronousRequest(request, &response, &error);
    if (error) VuderuLog("Vuderu: HTTP async task sent [sendAdStateCompleted] error: %@", error->localizedDescription());
}
