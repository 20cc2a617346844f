#pragma once
// The single store of ad logs, keyed by ad-log GUID (a log without GUID under a placeholder key),
// and their uploader. A send moves every log's pending events into a transfer named by a new
// block, encodes the transfer as one SdkLogRequest, keeps the bytes in the block's file until the
// ad-log server confirms them, and posts them with their CRC-32. Unconfirmed blocks are posted
// again, under the same identifier and with the same bytes, after each accepted upload, when the
// network comes back and at the next start. A confirmation drops the logs that are complete; at
// most 200 logs are kept. The manager survives restarts through the file cache ("adLogManager").
//
// Threads: the manager's lock guards the logs and the blocks; encoding, posting, replies and
// resends run on the serial queue "com.Vuderu.AdLogManager"; uploads run on the main run loop,
// and log removal after a confirmation on the main queue.
//
// Bounds: while 50 blocks await confirmation a send makes no new block (the events stay
// pending); a block whose file could not be written keeps its bytes in memory until confirmed,
// and a block whose bytes are gone after a restart is dropped with its events back to pending.

#include "platform/foundation/NSCoder.h"
#include "sdk/ads/VuderuAdLog.h"
#include "sdk/analytics/VuderuDataSenderBase.h"
#include "platform/foundation/ThreadSafety.h"
#include "sdk/analytics/VuderuDataSenderBlockInfo.h"

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class AdLogManager : public VuderuDataSenderBase, public VuderuHttpAsyncTaskDelegate, public NSCoding {
public:
    static constexpr std::size_t kMaximumAdLogs = 200;
    static constexpr std::size_t kMaximumUnconfirmedBlocks = 50;
    static constexpr const char* kFileCachePrefix = "adLogManager";
    static constexpr const char* kQueueLabel = "com.Vuderu.AdLogManager";

    // The shared manager: read from the file cache, else new.
    static std::shared_ptr<AdLogManager> instance();
    // Forgets the shared manager (its uploads are cancelled without callback); the next
    // instance() reads the file cache again, as a new launch would.
    static void cleanup();

    explicit AdLogManager(dispatch_queue_t queue);
    ~AdLogManager() override;

    // Replaces any log under the same GUID; nil is only logged.
    void storeAdLog(const VuderuAdLogPtr& log);
    // nil looks up the log without GUID.
    VuderuAdLogPtr getAdLog(const std::optional<std::string>& guid) const;
    // Snapshots, for inspection.
    std::vector<VuderuAdLogPtr> adLogs() const;
    std::vector<VuderuDataSenderBlockInfoPtr> dataBlocks() const;

    // Starts an upload of every pending event.
    void sendAdLogsAsync();
    void performSendAdLogs(const std::vector<VuderuAdLogPtr>& copies, const VuderuDataSenderBlockInfoPtr& block);
    void sendSerializedAdLogsData(const NSDataPtr& data, const std::string& identifier);
    // The server confirmed the transfer: its block goes, and so do the logs it completes.
    void removeAdLogsWithTransferIdentifier(const std::string& identifier);
    void performRemoveAdLogsWithTransferIdentifier(const std::string& identifier);
    // Keeps the 200 logs of the newest sessions and the blocks they still refer to.
    void discardOldAdLogs();
    void saveLogManagerSync();
    void saveLogManager();

    void retransmitNotSentBlocks() override;
    void didCompleteAllTasks() override;

    void requestSuccessfulWithResponse(const VuderuHttpAsyncTaskPtr& task, const VuderuHTTPResponsePtr& response) override;
    void requestDidFailWithResponse(const VuderuHttpAsyncTaskPtr& task, const VuderuHTTPResponsePtr& response) override;
    void requestDidCancelWithResponse(const VuderuHttpAsyncTaskPtr& task, const VuderuHTTPResponsePtr& response) override;
    void handleSuccessfulRequest(const VuderuHttpAsyncTaskPtr& task, const VuderuHTTPResponsePtr& response);

    void registerForNotifications();
    void appWillTerminate();
    void appWillBackground();

    // "adLogsMap" holds the logs as a list (each carries its own GUID, or none); "dataBlocksMap"
    // the blocks by identifier.
    void encodeWithCoder(NSCoder& coder) const override;
    static std::shared_ptr<AdLogManager> initWithCoder(const NSCoder& coder);

private:
    // The bytes of a block: from memory when its file could not be written, else from its file.
    NSDataPtr bytesOfBlock(const VuderuDataSenderBlockInfoPtr& block) const;
    // A block that can never be posted: it goes, and its events become pending again.
    void dropBlockReturningEvents(const std::string& identifier);
    void deleteBlock(const std::string& identifier);
    // Block files left behind by a lost or stale archive; run on the queue, where blocks are written.
    void removeUnindexedBlocks();

    mutable RecursiveMutex lock_;
    std::map<std::optional<std::string>, VuderuAdLogPtr> adLogsMap_ TD_GUARDED_BY(lock_);
    std::map<std::string, VuderuDataSenderBlockInfoPtr> dataBlocksMap_ TD_GUARDED_BY(lock_);
    std::map<std::string, NSDataPtr> unstoredBytes_ TD_GUARDED_BY(lock_);
    std::size_t encodingBlocks_ TD_GUARDED_BY(lock_) = 0;
    bool reportedFull_ TD_GUARDED_BY(lock_) = false;
};
