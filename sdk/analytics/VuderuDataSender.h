#pragma once
// The analytics report sender. Every report is first stored as a block and recorded in the index
// under the data key, then posted to the report endpoint while fewer than 9 uploads run. A block
// is deleted only when the server answers 2xx; otherwise it waits for the next trigger (the
// network coming back, another success, the next start). The answer may carry cookies, which go
// into the settings store for later reports.
//
// Runs on the session queue, except the start of each upload (main queue) and the task callbacks
// (main thread), which hop back onto the queue.

#include "platform/dispatch/dispatch.h"
#include "sdk/analytics/VuderuDataSenderBase.h"
#include "sdk/analytics/VuderuDataSenderIndex.h"

#include <memory>
#include <optional>
#include <string>

class VuderuDataSender : public VuderuDataSenderBase, public VuderuHttpAsyncTaskDelegate {
public:
    static constexpr std::uint16_t kCookieChunkType = 0x011E;

    static void setupInstanceWithQueue(const dispatch_queue_t& queue);
    static std::shared_ptr<VuderuDataSender> instance();
    static void cleanup();
    // "Data_<hash of the API key>_<agent version>"; nil while no key is set, so that nothing is
    // stored under, or dropped for, a key that is not known yet.
    static std::optional<std::string> dataKey();
    // On the queue: sets up again when the last set-up ran before any key was known.
    static void setupForCurrentKeyIfNeeded();

    explicit VuderuDataSender(dispatch_queue_t queue);

    const std::shared_ptr<VuderuDataSenderIndex>& dataIndex() const { return dataIndex_; }

    void setup();
    void sendSessionsData(const NSDataPtr& data);
    std::optional<std::string> storeData(const NSDataPtr& data);
    void sendDataWithIdentifier(const NSDataPtr& data, const std::optional<std::string>& identifier);
    void removeStoredDataWithIdentifier(const std::optional<std::string>& identifier);
    bool everSentReportSuccessfully() const { return dataIndex_->sentReportSuccessfully(); }
    // Whether a stored report, not yet accepted, holds this session record (its exact bytes).
    bool storedReportCarries(const Value::Data& record) const;

    void requestSuccessfulWithResponse(const VuderuHttpAsyncTaskPtr& task, const VuderuHTTPResponsePtr& response) override;
    void requestDidFailWithResponse(const VuderuHttpAsyncTaskPtr& task, const VuderuHTTPResponsePtr& response) override;
    void requestDidCancelWithResponse(const VuderuHttpAsyncTaskPtr& task, const VuderuHTTPResponsePtr& response) override;
    void requestSuccessCompleteWithResponse(const VuderuHttpAsyncTaskPtr& task, const VuderuHTTPResponsePtr& response);

    // The answer: empty, or one chunk of which only cookies (type 286) are understood. A body that
    // does not hold what it declares raises "Malformed data" before anything is saved.
    void parseResponse(const VuderuHTTPResponse& response);
    // The cookie list (count, then key and value with 16-bit lengths); the position after it.
    int parseCookies(const NSData& data);

    void retransmitNotSentBlocks() override;
    void didCompleteAllTasks() override;

private:
    void adoptUnindexedBlocks();

    std::shared_ptr<VuderuDataSenderIndex> dataIndex_;
    std::optional<std::string> setupDataKey_;
};
