#include "sdk/ads/VuderuAdHttptaskDelegate.h"

#include "sdk/ads/AdLogManager.h"
#include "sdk/ads/VuderuFieldLookup.h"
#include "sdk/analytics/VuderuLog.h"

#include <charconv>

namespace {

constexpr std::int32_t kSendUrlStatusResult = 34;

std::int64_t sessionOffset() {
    auto text = VuderuFieldLookup::getStringValueForFieldEncodeForUrl("so", false).value_or("0");
    std::int64_t value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

} // namespace

VuderuAdHttptaskDelegate::VuderuAdHttptaskDelegate(std::optional<std::string> adLogGUID, bool needLogging, std::string urlString,
                                                   std::string eventString)
    : adLogGUID_(std::move(adLogGUID)), needLogging_(needLogging), urlString_(std::move(urlString)), eventString_(std::move(eventString)) {}

void VuderuAdHttptaskDelegate::requestSuccessfulWithResponse(const VuderuHttpAsyncTaskPtr&, const VuderuHTTPResponsePtr& response) {
    if (needLogging_) logResponse(response);
}

void VuderuAdHttptaskDelegate::requestDidFailWithResponse(const VuderuHttpAsyncTaskPtr&, const VuderuHTTPResponsePtr& response) {
    if (needLogging_) logResponse(response);
}

void VuderuAdHttptaskDelegate::requestDidCancelWithResponse(const VuderuHttpAsyncTaskPtr&, const VuderuHTTPResponsePtr& response) {
    if (needLogging_) logResponse(response);
}

void VuderuAdHttptaskDelegate::logResponse(const VuderuHTTPResponsePtr& response) {
    auto manager = AdLogManager::instance();
    auto log = manager->getAdLog(adLogGUID_);
    auto params = std::make_shared<VuderuAdEvent::ParamMap>();
    (*params)["response"] = std::to_string(response ? response->statusCode() : 0);
    (*params)["url"] = urlString_;
    (*params)["event"] = eventString_;
    auto event = std::make_shared<VuderuAdEvent>(kSendUrlStatusResult, std::nullopt, params, sessionOffset());
    event->setToBeSent(true);
    if (!log) {
        VuderuLog("Ad Log sent is nil");
        return;
    }
    log->logAdEvent(event);
    manager->storeAdLog(log);
}
