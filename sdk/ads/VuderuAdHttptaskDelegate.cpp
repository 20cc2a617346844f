#include "sdk/ads/VuderuAdHttptaskDelegate.h"

#include "platform/foundation/NSString.h"
#include "sdk/ads/AdLogManager.h"
#include "sdk/ads/VuderuFieldLookup.h"
#include "sdk/analytics/VuderuLog.h"

#include <cstdlib>

VuderuAdHttptaskDelegate::VuderuAdHttptaskDelegate(std::optional<std::string> adLogGUID, bool needLogging, std::string urlString,
                                                   std::string eventString)
    : adLogGUID_(std::move(adLogGUID)), needLogging_(needLogging), urlString_(std::move(urlString)), eventString_(std::move(eventString)) {}

void VuderuAdHttptaskDelegate::logResponse(const VuderuHTTPResponsePtr& response) {
    auto manager = AdLogManager::instance();
    auto log = manager->getAdLog(adLogGUID_);
    if (!log) {
        VuderuLog("Ad Log sent is nil");
        return;
    }
    auto params = std::make_shared<VuderuAdEvent::ParamMap>(VuderuAdEvent::ParamMap{
        {"response", NSString::stringWithFormat("%d", response ? response->statusCode() : 0)}, {"url", urlString_}, {"event", eventString_}});
    auto offset = VuderuFieldLookup::getStringValueForFieldTypeEncodeForUrl(VuderuFieldLookup::kSessionOffset, false);
    auto event = std::make_shared<VuderuAdEvent>(VuderuAdEvent::kSendUrlStatusResult, std::nullopt, params,
                                                 offset ? std::strtoll(offset->c_str(), nullptr, 10) : 0);
    event->setToBeSent(true);
    log->logAdEvent(event);
    manager->storeAdLog(log);
}

void VuderuAdHttptaskDelegate::requestSuccessfulWithResponse(const VuderuHttpAsyncTaskPtr&, const VuderuHTTPResponsePtr& response) {
    if (needLogging_) logResponse(response);
}

void VuderuAdHttptaskDelegate::requestDidFailWithResponse(const VuderuHttpAsyncTaskPtr&, const VuderuHTTPResponsePtr& response) {
    if (needLogging_) logResponse(response);
}

void VuderuAdHttptaskDelegate::requestDidCancelWithResponse(const VuderuHttpAsyncTaskPtr&, const VuderuHTTPResponsePtr& response) {
    if (needLogging_) logResponse(response);
}
