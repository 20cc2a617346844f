#pragma once
// The action engine: a frame's callbacks name actions from a vocabulary of 20, each optionally
// followed by "?" and parameters. One call parses one action string, reports the action's id to
// the caller, carries the action out against the view that raised the event (or the ad manager,
// the ad-unit cache, the ad-log manager, the frequency caps) and leaves "ok" or "fail" under
// "status" in the dictionary the caller shares across its loop. Main thread only.

#include "platform/foundation/Value.h"
#include "sdk/ads/IVuderuEventControllerHandler.h"
#include "sdk/ads/VuderuAdEvent.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class VuderuAdAction {
public:
    enum : std::int32_t {
        kUnknown = 0, kNotifyUser, kLogEvent, kProcessRedirect, kNextFrame, kNextAdUnit, kCloseAd, kVerifyUrl, kSendUrlAsync,
        kSendAdLogs, kLoadAdComponents, kDoExpand, kDoCollapse, kDirectOpen, kAdFullyLoaded, kDelete, kOpenSKAppStore,
        kCheckCap, kUpdateViewCount, kDirectOpenNonAC
    };
    using Params = Value::Dictionary;

    // The action vocabulary; the index is the action id.
    static const std::vector<std::string>& adEventArrayInstance();
    // Ids 0 to 19 only.
    static const std::string& adActionEnumToString(std::int32_t action);
    // 0 for nil and names outside the table.
    static std::int32_t adActionStringToEnum(const std::optional<std::string>& name);

    // Runs one action; the id (0 for nil or unknown) goes to *resultAction.
    static void executeActionFromAdEventForEventHandlerWithResultActionParams(const std::optional<std::string>& action,
                                                                             const VuderuAdEventPtr& event,
                                                                             const IVuderuEventControllerHandlerPtr& handler,
                                                                             std::int32_t* resultAction, Params& params);
    // The form for the other units of a combinable ad: only "logEvent" acts.
    static void executeActionFromAdEventForCombinableAdUnitWithResultActionParams(const std::optional<std::string>& action,
                                                                                 const VuderuAdEventPtr& event, const VuderuAdUnitPtr& unit,
                                                                                 std::int32_t* resultAction, Params& params);

    // The three ways of reading a parameter. Template: the value of the first "&"-piece whose key
    // matches, "+" read as a space, percent-decoded and expanded. Whole remainder: everything
    // after the first "=" when the text before it is the key, decoded but not expanded. Each
    // appends to *urlString and answers whether it did.
    static bool getUrlFromParamStringWithUrlKeyToUrlStringForEventHandlerAdEvent(const std::optional<std::string>& paramString,
                                                                                const std::string& key, std::string* urlString,
                                                                                const IVuderuAd* handler, const VuderuAdEvent* event);
    static bool getUrlFromNonACParamStringWithUrlKeyToUrlStringForEventHandlerAdEvent(const std::optional<std::string>& paramString,
                                                                                     const std::string& key, std::string* urlString,
                                                                                     const IVuderuAd* handler, const VuderuAdEvent* event);
    // Replaces each "%{field}" by the field's URL-encoded value; a field without value is dropped.
    static std::string processTemplateForEventHandlerAdEvent(const std::string& text, const IVuderuAd* handler, const VuderuAdEvent* event);

    // Fires a tracking GET ("Content-Type: application/octet-stream"). Recorded: its status lands
    // as "sendUrlStatusResult" in the GUID's log. Fire-and-forget: a synchronous GET on a thread
    // of its own, nothing recorded.
    // Past kMaximumTrackingRequestsUnderWay requests not yet ended, a further one is dropped
    // (logged): a tracker that never answers holds its requests until they time out.
    static constexpr std::size_t kMaximumTrackingRequestsUnderWay = 1000;
    static std::size_t trackingRequestsUnderWay();
    static void asyncNotifyAdStateCompletedWithLogGuidForEventAsFireForget(const std::string& url, const std::optional<std::string>& guid,
                                                                          const std::string& event, bool fireForget);
    // The fire-and-forget thread's body: GETs params["url"].
    static void sendAdStateCompleted(const Params& params);
};
