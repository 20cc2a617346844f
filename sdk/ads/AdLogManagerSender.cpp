// The upload side of the ad-log manager: transfers, blocks, posting, replies and resends.
#include "sdk/ads/AdLogManager.h"

#include "platform/foundation/NSString.h"
#include "sdk/ads/VuderuAdLogRequest.h"
#include "sdk/ads/VuderuAdLogResponse.h"
#include "sdk/analytics/VuderuLog.h"
#include "sdk/analytics/VuderuNetworkUtil.h"
#include "sdk/analytics/VuderuUtil.h"

#include <algorithm>
#include <cstdlib>

namespace {

constexpr const char* kAvroBinary = "avro/binary";
constexpr const char* kChecksumHeader = "fm-checksum";

bool senderHasDispatch() {
    return VuderuUtil::getSystemVersionAsAnInteger() >= VuderuUtil::kSystemVersionDispatch;
}

std::int32_t checksumOf(const NSData& data) { return VuderuUtil::dataChecksum(data.bytes(), data.length()); }

} // namespace

void AdLogManager::sendAdLogsAsync() {
    auto block = VuderuDataSenderBlockInfo::initWithData(nullptr);
    if (!block) return;
    std::vector<VuderuAdLogPtr> copies;
    {
        MutexLock guard(lock_);
        // A server that never confirms must not get one more block file per send.
        if (dataBlocksMap_.size() + encodingBlocks_ >= kMaximumUnconfirmedBlocks) {
            if (!reportedFull_) VuderuLog("AdLogManager: %d blocks await confirmation; events stay pending", static_cast<int>(kMaximumUnconfirmedBlocks));
            reportedFull_ = true;
            return;
        }
        reportedFull_ = false;
        ++encodingBlocks_;
        for (const auto& [guid, log] : adLogsMap_) {
            log->pushEventsForTransferWithIdentifier(block->identifier());
            copies.push_back(log->copy());
        }
    }
    auto manager = self<AdLogManager>();
    performOnQueue([manager, copies, block] { manager->performSendAdLogs(copies, block); });
}

void AdLogManager::performSendAdLogs(const std::vector<VuderuAdLogPtr>& copies, const VuderuDataSenderBlockInfoPtr& block) {
    NSDataPtr bytes;
    try {
        bytes = VuderuAdLogRequest(copies, block->identifier()).dataRepresentation();
    } catch (...) {
        VuderuUtil::handleException(std::current_exception());
    }
    {
        MutexLock guard(lock_);
        --encodingBlocks_;
        if (!bytes || bytes->length() == 0) {
            // No upload will ever carry this transfer: its events go back to their logs.
            for (const auto& [guid, log] : adLogsMap_) log->restoreEventsWithTransferIdentifier(block->identifier());
            return;
        }
        if (!block->setData(bytes)) unstoredBytes_[block->identifier()] = bytes;
        dataBlocksMap_[block->identifier()] = block;
    }
    saveLogManagerSync();
    if (hasOngoingTasksWindow()) sendSerializedAdLogsData(bytes, block->identifier());
}

void AdLogManager::sendSerializedAdLogsData(const NSDataPtr& data, const std::string& identifier) {
    if (!data) return;
    const std::string checksum = NSString::stringWithFormat("%d", checksumOf(*data));
    NSHTTPHeaderFields headers{{"content-type", kAvroBinary}, {"accept", kAvroBinary}, {kChecksumHeader, checksum}};
    auto task = VuderuHttpAsyncTask::sendMethod("POST", VuderuNetworkUtil::adLogServerUrl(), data, headers,
                                                std::dynamic_pointer_cast<VuderuHttpAsyncTaskDelegate>(self<AdLogManager>()), false);
    task->setTag(identifier);
    registerNewTask(task);
    if (!senderHasDispatch()) {
        task->startInRunLoop(NSRunLoop::currentRunLoop());
        return;
    }
    dispatch_async(dispatch_get_main_queue(), [task] { task->startInRunLoop(NSRunLoop::currentRunLoop()); });
}

void AdLogManager::requestSuccessfulWithResponse(const VuderuHttpAsyncTaskPtr& task, const VuderuHTTPResponsePtr& response) {
    auto manager = self<AdLogManager>();
    performOnQueue([manager, task, response] { manager->handleSuccessfulRequest(task, response); });
}

void AdLogManager::requestDidFailWithResponse(const VuderuHttpAsyncTaskPtr& task, const VuderuHTTPResponsePtr& response) {
    VuderuLog("AdLogReponse: could not connect to server error %@",
              response && response->error() ? response->error()->description() : std::string("(null)"));
    auto manager = self<AdLogManager>();
    performOnQueue([manager, task] { manager->unregisterTaskCompletedSuccessfuly(task, false); });
}

void AdLogManager::requestDidCancelWithResponse(const VuderuHttpAsyncTaskPtr& task, const VuderuHTTPResponsePtr&) {
    auto manager = self<AdLogManager>();
    performOnQueue([manager, task] { manager->unregisterTaskCompletedSuccessfuly(task, false); });
}

// Only a verified "success" confirms the block; every other reply leaves it for the next trigger
// and ends the task as not successful, so that it is not posted again at once.
void AdLogManager::handleSuccessfulRequest(const VuderuHttpAsyncTaskPtr& task, const VuderuHTTPResponsePtr& response) {
    auto confirmed = [&]() -> bool {
        if (!response || !response->isSuccess()) {
            VuderuLog("AdLogReponse: Could not connect to server");
            return false;
        }
        const auto& body = response->body();
        if (!body || body->length() == 0) return false;
        VuderuLog("AdLogReponse of len %lu", static_cast<unsigned long>(body->length()));
        std::int64_t received = 0;
        if (const auto& headers = response->headers()) {
            auto found = headers->find(kChecksumHeader);
            if (found != headers->end()) received = std::strtoll(found->second.c_str(), nullptr, 10);
        }
        if (received != checksumOf(*body)) {
            VuderuLog("AdLogReponse:Computed Checksum and Response checksum do not match. Not processing ad log response.");
            return false;
        }
        auto parsed = std::make_shared<VuderuAdLogResponse>()->parseAdLogResponse(*body);
        return parsed && parsed->isResultSuccess();
    }();
    if (confirmed) removeAdLogsWithTransferIdentifier(task->tag());
    unregisterTaskCompletedSuccessfuly(task, confirmed);
}

void AdLogManager::removeAdLogsWithTransferIdentifier(const std::string& identifier) {
    deleteBlock(identifier);
    auto manager = self<AdLogManager>();
    auto remove = [manager, identifier] { manager->performRemoveAdLogsWithTransferIdentifier(identifier); };
    if (senderHasDispatch()) dispatch_async(dispatch_get_main_queue(), remove);
    else remove();
}

void AdLogManager::performRemoveAdLogsWithTransferIdentifier(const std::string& identifier) {
    std::vector<VuderuAdLogPtr> confirmed;
    {
        MutexLock guard(lock_);
        for (const auto& [guid, log] : adLogsMap_) {
            if (log->discardEventsWithTransferIdentifier(identifier)) confirmed.push_back(log);
        }
    }
    // Whether a log is complete asks the ads on screen and the unit cache, under their own locks:
    // never while this manager's lock is held.
    std::vector<VuderuAdLogPtr> complete;
    for (const auto& log : confirmed) {
        if (log->isComplete()) complete.push_back(log);
    }
    {
        MutexLock guard(lock_);
        for (const auto& log : complete) {
            auto found = adLogsMap_.find(log->GUID());
            if (found == adLogsMap_.end() || found->second != log) continue;
            VuderuLog("AdLogManager: remove %@", log->description());
            adLogsMap_.erase(found);
        }
    }
    saveLogManager();
}

NSDataPtr AdLogManager::bytesOfBlock(const VuderuDataSenderBlockInfoPtr& block) const {
    {
        MutexLock guard(lock_);
        auto found = unstoredBytes_.find(block->identifier());
        if (found != unstoredBytes_.end()) return found->second;
    }
    return block->data();
}

void AdLogManager::dropBlockReturningEvents(const std::string& identifier) {
    {
        MutexLock guard(lock_);
        deleteBlock(identifier);
        for (const auto& [guid, log] : adLogsMap_) log->restoreEventsWithTransferIdentifier(identifier);
    }
    saveLogManagerSync();
}

void AdLogManager::retransmitNotSentBlocks() {
    if (!hasOngoingTasksWindow()) return;
    std::vector<std::string> running;
    for (const auto& task : runningTasks()) running.push_back(task->tag());
    for (const auto& block : dataBlocks()) {
        if (std::find(running.begin(), running.end(), block->identifier()) != running.end()) continue;
        if (!hasOngoingTasksWindow()) return;
        try {
            auto bytes = bytesOfBlock(block);
            if (!bytes) {
                VuderuLog("AdLogManager: block %@ has no bytes left; its events are pending again", block->identifier());
                dropBlockReturningEvents(block->identifier());
                continue;
            }
            sendSerializedAdLogsData(bytes, block->identifier());
        } catch (...) {
            VuderuUtil::handleException(std::current_exception());
        }
    }
}

void AdLogManager::didCompleteAllTasks() { discardOldAdLogs(); }
