#pragma once
// Records the outcome of a fired tracking URL in the ad log of its frame: one sendable
// "sendUrlStatusResult" event with the HTTP status ("0" without a response), the URL and the
// event that fired it. A GUID without a stored log drops the event (logged).

#include "platform/foundation/NSObject.h"
#include "sdk/analytics/VuderuHttpAsyncTask.h"

#include <optional>
#include <string>

class VuderuAdHttptaskDelegate : public NSObject, public VuderuHttpAsyncTaskDelegate {
public:
    VuderuAdHttptaskDelegate(std::optional<std::string> adLogGUID, bool needLogging, std::string urlString, std::string eventString);

    const std::optional<std::string>& adLogGUID() const { return adLogGUID_; }
    void setAdLogGUID(std::optional<std::string> value) { adLogGUID_ = std::move(value); }
    bool needLogging() const { return needLogging_; }
    void setNeedLogging(bool value) { needLogging_ = value; }
    const std::string& urlString() const { return urlString_; }
    void setUrlString(std::string value) { urlString_ = std::move(value); }
    const std::string& eventString() const { return eventString_; }
    void setEventString(std::string value) { eventString_ = std::move(value); }

    void logResponse(const VuderuHTTPResponsePtr& response);

    void requestSuccessfulWithResponse(const VuderuHttpAsyncTaskPtr& task, const VuderuHTTPResponsePtr& response) override;
    void requestDidFailWithResponse(const VuderuHttpAsyncTaskPtr& task, const VuderuHTTPResponsePtr& response) override;
    void requestDidCancelWithResponse(const VuderuHttpAsyncTaskPtr& task, const VuderuHTTPResponsePtr& response) override;

private:
    std::optional<std::string> adLogGUID_;
    bool needLogging_ = false;
    std::string urlString_;
    std::string eventString_;
};
