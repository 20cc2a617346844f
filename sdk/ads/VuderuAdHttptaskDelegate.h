#pragma once
// Records the outcome of a fired tracking URL as a "sendUrlStatusResult" event in the ad log of
// a GUID: the status code ("0" when no response came), the URL and the event that fired it.

#include "sdk/analytics/VuderuHttpAsyncTask.h"

#include <memory>
#include <optional>
#include <string>

class VuderuAdHttptaskDelegate : public NSObject, public VuderuHttpAsyncTaskDelegate {
public:
    VuderuAdHttptaskDelegate() = default;

    const std::optional<std::string>& adLogGUID() const { return adLogGUID_; }
    void setAdLogGUID(std::optional<std::string> value) { adLogGUID_ = std::move(value); }
    bool needLogging() const { return needLogging_; }
    void setNeedLogging(bool value) { needLogging_ = value; }
    const std::string& urlString() const { return urlString_; }
    void setUrlString(std::string value) { urlString_ = std::move(value); }
    const std::string& eventString() const { return eventString_; }
    void setEventString(std::string value) { eventString_ = std::move(value); }

    void requestSuccessfulWithResponse(const VuderuHttpAsyncTaskPtr& task, const VuderuHTTPResponsePtr& response) override;
    void requestDidFailWithResponse(const VuderuHttpAsyncTaskPtr& task, const VuderuHTTPResponsePtr& response) override;
    void requestDidCancelWithResponse(const VuderuHttpAsyncTaskPtr& task, const VuderuHTTPResponsePtr& response) override;

    // Appends the status event to the GUID's log; dropped (and logged) when there is no log.
    void logResponse(const VuderuHTTPResponsePtr& response);

private:
    std::optional<std::string> adLogGUID_;
    bool needLogging_ = false;
    std::string urlString_;
    std::string eventString_;
};
