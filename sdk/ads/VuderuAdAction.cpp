#include "sdk/ads/VuderuAdAction.h"

#include "sdk/ads/AdLogManager.h"
#include "sdk/ads/VuderuAdActionCall.h"
#include "sdk/ads/VuderuAdCache.h"
#include "sdk/ads/VuderuFieldLookup.h"
#include "sdk/analytics/VuderuLog.h"
#include "sdk/analytics/VuderuUtil.h"

#include "platform/uikit/UIApplication.h"

#include <algorithm>
#include <array>

namespace {

using Call = VuderuAdActionCall;
using namespace VuderuAdActionSteps;

void logEvent(const Call& call) {
    if (!call.event) return;
    call.event->setToBeSent(true);
    call.event->addParams(std::make_shared<VuderuAdEvent::ParamMap>(call.pairs));
    call.ok();
}

void verifyUrl(const Call& call) {
    auto url = call.templateParameter("url");
    if (!url) return call.fail();
    auto nsurl = NSURL::URLWithString(*url);
    nsurl && UIApplication::sharedApplication()->canOpenURL(nsurl) ? call.ok() : call.fail();
}

void sendUrlAsync(const Call& call) {
    auto url = call.templateParameter("url");
    if (!url) return call.fail();
    auto eventName = VuderuAdEvent::adEventEnumToString(call.event ? call.event->eventId() : 0);
    VuderuAdAction::asyncNotifyAdStateCompletedWithLogGuidForEventAsFireForget(*url, call.activeFrameGuid(), eventName, false);
    call.ok();
}

void sendAdLogs(const Call&) { AdLogManager::instance()->sendAdLogsAsync(); }

void doExpand(const Call& call) {
    if (call.handler) call.handler->processExpandAction(call.pairs);
}

void doCollapse(const Call& call) {
    if (call.handler) call.handler->processCollapseAction();
}

void adFullyLoaded(const Call& call) {
    if (call.handler) call.handler->windowOnLoadCalledAction();
}

void deleteAds(const Call& call) {
    auto groupId = call.pair("groupId");
    if (groupId && !groupId->empty()) {
        VuderuAdCache::removeAdUnitsForGroupIDWithSpace(*groupId, call.space());
    } else {
        VuderuLog("VuderuAdAction: no groupId parameter found for delete ads action");
    }
}

void openSKAppStore(const Call& call) {
    if (call.handler) call.handler->openSKAppstore(Value(leadingInteger(call.pair("appID").value_or("")).value_or(0)));
}

using Step = void (*)(const Call&);
constexpr std::array<Step, 20> kSteps = {
    nullptr, notifyUser, logEvent, processRedirect, nextFrame, nextAdUnit, closeAd, verifyUrl, sendUrlAsync, sendAdLogs,
    loadAdComponents, doExpand, doCollapse, directOpen, adFullyLoaded, deleteAds, openSKAppStore, checkCap, updateViewCount,
    directOpenNonAC,
};

// Actions that act on the frame shown do nothing once it is closed.
bool skipsClosedFrame(std::int32_t id) {
    using A = VuderuAdAction;
    return id == A::kProcessRedirect || id == A::kNextFrame || id == A::kNextAdUnit || id == A::kCloseAd || id == A::kDirectOpen ||
           id == A::kDirectOpenNonAC;
}

struct ParsedAction {
    std::string name;
    std::optional<std::string> paramString;
    std::map<std::string, std::string> pairs;
};

ParsedAction parse(const std::string& action) {
    ParsedAction parsed;
    auto pairs = VuderuUtil::createParamKeysDictFromUrlParams(action, &parsed.name, &parsed.paramString);
    if (pairs) parsed.pairs = std::move(*pairs);
    return parsed;
}

// Decodes a parameter value: "+" stands for a space.
std::optional<std::string> decodeValue(std::string value) {
    std::string spaced;
    for (char c : value) {
        if (c == '+') spaced.append("%20");
        else spaced.push_back(c);
    }
    return VuderuUtil::decodeFromPercentEscapeString(spaced);
}

bool checkedArguments(const std::optional<std::string>& paramString, const std::string* urlString) {
    if (!paramString) {
        VuderuLog("No parameters specified for sending url");
        return false;
    }
    if (!urlString) {
        VuderuLog("newUrl must be allocated");
        return false;
    }
    return true;
}

} // namespace

std::optional<std::string> VuderuAdActionCall::templateParameter(const std::string& key) const {
    std::string value;
    if (!VuderuAdAction::getUrlFromParamStringWithUrlKeyToUrlStringForEventHandlerAdEvent(paramString, key, &value, handler.get(), event.get()))
        return std::nullopt;
    return value;
}

std::optional<std::string> VuderuAdActionCall::pair(const std::string& key) const {
    auto found = pairs.find(key);
    return found == pairs.end() ? std::nullopt : std::optional<std::string>(found->second);
}

std::string VuderuAdActionCall::activeFrameGuid() const {
    auto unit = handler ? handler->activeAdUnit() : nullptr;
    auto frame = unit ? unit->curAdFrame() : nullptr;
    return frame ? frame->adLogGUID() : std::string();
}

const std::vector<std::string>& VuderuAdAction::adEventArrayInstance() {
    static const std::vector<std::string> names = {
        "unknown", "notifyUser", "logEvent", "processRedirect", "nextFrame", "nextAdUnit", "closeAd",
        "verifyUrl", "sendUrlAsync", "sendAdLogs", "loadAdComponents", "doExpand", "doCollapse", "directOpen",
        "adFullyLoaded", "delete", "openSKAppStore", "checkCap", "updateViewCount", "directOpenNonAC",
    };
    return names;
}

const std::string& VuderuAdAction::adActionEnumToString(std::int32_t action) { return adEventArrayInstance().at(action); }

std::int32_t VuderuAdAction::adActionStringToEnum(const std::optional<std::string>& name) {
    if (!name) return kUnknown;
    auto& names = adEventArrayInstance();
    auto found = std::find(names.begin(), names.end(), *name);
    return found == names.end() ? kUnknown : static_cast<std::int32_t>(found - names.begin());
}

void VuderuAdAction::executeActionFromAdEventForEventHandlerWithResultActionParams(const std::optional<std::string>& action,
                                                                                  const VuderuAdEventPtr& event,
                                                                                  const IVuderuEventControllerHandlerPtr& handler,
                                                                                  std::int32_t* resultAction, Params& params) {
    std::int32_t ignored = 0;
    if (!resultAction) resultAction = &ignored;
    *resultAction = kUnknown;
    if (!action) return;
    auto parsed = parse(*action);
    std::int32_t id = adActionStringToEnum(parsed.name);
    *resultAction = id;
    VuderuLog("Action is %@ for actionString %@", adActionEnumToString(id), parsed.name);
    if (id < kNotifyUser || id > kDirectOpenNonAC) {
        VuderuLog("Unknown Action %@", parsed.name);
        *resultAction = kUnknown;
        return;
    }
    Call call{id, parsed.name, std::move(parsed.paramString), std::move(parsed.pairs), event, handler, params};
    if (skipsClosedFrame(id)) {
        auto frame = handler ? handler->adFrame() : nullptr;
        if (frame && frame->frameClosed()) return call.ok();
    }
    kSteps[static_cast<std::size_t>(id)](call);
}

void VuderuAdAction::executeActionFromAdEventForCombinableAdUnitWithResultActionParams(const std::optional<std::string>& action,
                                                                                      const VuderuAdEventPtr& event, const VuderuAdUnitPtr&,
                                                                                      std::int32_t* resultAction, Params& params) {
    std::int32_t ignored = 0;
    if (!resultAction) resultAction = &ignored;
    *resultAction = kUnknown;
    if (!action) return;
    auto parsed = parse(*action);
    *resultAction = adActionStringToEnum(parsed.name);
    if (*resultAction != kLogEvent) {
        VuderuLog("Unknown Action %@", parsed.name);
        *resultAction = kUnknown;
        return;
    }
    Call call{kLogEvent, parsed.name, std::move(parsed.paramString), std::move(parsed.pairs), event, nullptr, params};
    logEvent(call);
}

bool VuderuAdAction::getUrlFromParamStringWithUrlKeyToUrlStringForEventHandlerAdEvent(const std::optional<std::string>& paramString,
                                                                                     const std::string& key, std::string* urlString,
                                                                                     const IVuderuAd* handler, const VuderuAdEvent* event) {
    if (!checkedArguments(paramString, urlString)) return false;
    std::size_t start = 0;
    while (start <= paramString->size()) {
        auto end = std::min(paramString->find('&', start), paramString->size());
        std::string_view piece(paramString->data() + start, end - start);
        start = end + 1;
        auto equals = piece.find('=');
        if (equals == std::string_view::npos || piece.substr(0, equals) != key) continue;
        auto decoded = decodeValue(std::string(piece.substr(equals + 1)));
        if (!decoded) {
            VuderuLog("No URL specified for sending notification");
            return false;
        }
        urlString->append(processTemplateForEventHandlerAdEvent(*decoded, handler, event));
        return true;
    }
    return false;
}

bool VuderuAdAction::getUrlFromNonACParamStringWithUrlKeyToUrlStringForEventHandlerAdEvent(const std::optional<std::string>& paramString,
                                                                                          const std::string& key, std::string* urlString,
                                                                                          const IVuderuAd*, const VuderuAdEvent*) {
    if (!checkedArguments(paramString, urlString)) return false;
    auto equals = paramString->find('=');
    if (equals == std::string::npos || paramString->compare(0, equals, key) != 0) return false;
    auto decoded = decodeValue(paramString->substr(equals + 1));
    if (!decoded) {
        VuderuLog("No URL specified for sending notification");
        return false;
    }
    urlString->append(*decoded);
    return true;
}

std::string VuderuAdAction::processTemplateForEventHandlerAdEvent(const std::string& text, const IVuderuAd* handler,
                                                                 const VuderuAdEvent* event) {
    std::string out;
    std::size_t at = 0;
    while (at < text.size()) {
        auto open = text.find("%{", at);
        auto close = open == std::string::npos ? std::string::npos : text.find('}', open + 2);
        if (close == std::string::npos) break;
        out.append(text, at, open - at);
        auto field = text.substr(open + 2, close - open - 2);
        if (auto value = VuderuFieldLookup::getStringValueForFieldForAdAdEventEncodeForUrl(field, handler, event, true)) {
            out.append(*value);
        } else {
            VuderuLog("Couldn't find replacement for %@", field);
        }
        at = close + 1;
    }
    if (at < text.size()) out.append(text, at, std::string::npos);
    return out;
}
