// The store side of the ad-log manager: the shared instance, the logs, the 200-log cap, the
// archive and the application notifications. Sending lives in AdLogManagerSender.cpp.
#include "sdk/ads/AdLogManager.h"

#include "platform/foundation/NSKeyedUnarchiver.h"
#include "platform/foundation/NSNotificationCenter.h"
#include "platform/foundation/SharedInstance.h"
#include "platform/uikit/UIApplicationLifeCycle.h"
#include "sdk/ads/VuderuAdLogRequest.h"
#include "sdk/analytics/VuderuFileCache.h"
#include "sdk/analytics/VuderuImpl.h"
#include "sdk/analytics/VuderuLog.h"
#include "sdk/analytics/VuderuSession.h"
#include "sdk/analytics/VuderuUtil.h"

#include <algorithm>
#include <set>

namespace {

constexpr const char* kAdLogsKey = "adLogsMap";
constexpr const char* kDataBlocksKey = "dataBlocksMap";

bool hasDispatch() {
    return VuderuUtil::getSystemVersionAsAnInteger() >= VuderuUtil::kSystemVersionDispatch;
}

dispatch_queue_t makeQueue() {
    return hasDispatch() ? dispatch_queue_create(AdLogManager::kQueueLabel) : nullptr;
}

// The report sender keeps its payloads in the same directory under names of the same form: a file
// is ours only when its bytes are a whole ad-log request and not a report.
bool isAdLogBlockData(const NSData& data) { return VuderuAdLogRequest::isRequestData(data) && !VuderuSession::isReportData(data); }

void registerForCoding() {
    VuderuAdLog::registerForCoding();
    static std::once_flag once;
    std::call_once(once, [] {
        NSKeyedUnarchiver::registerClass("AdLogManager", [](const NSCoder& coder) -> std::shared_ptr<NSObject> {
            return AdLogManager::initWithCoder(coder);
        });
    });
}

} // namespace

std::shared_ptr<AdLogManager> AdLogManager::instance() {
    return SharedInstance<AdLogManager>::slot().getOrMake([] {
        registerForCoding();
        std::shared_ptr<AdLogManager> made;
        if (auto cache = VuderuFileCache::instance()) made = cache->get(kFileCachePrefix).objectAs<AdLogManager>();
        if (!made) made = create<AdLogManager>(makeQueue());
        std::weak_ptr<AdLogManager> weak = made;
        // Queued before anyone can ask for a send, so that no block of this run is written before it.
        made->performOnQueue([weak] {
            if (auto manager = weak.lock()) manager->removeUnindexedBlocks();
        });
        dispatch_async(dispatch_get_main_queue(), [weak] {
            if (auto manager = weak.lock()) manager->registerForNotifications();
        });
        return made;
    });
}

void AdLogManager::cleanup() {
    std::shared_ptr<AdLogManager> gone = SharedInstance<AdLogManager>::slot().take();
    if (!gone) return;
    NSNotificationCenter::defaultCenter()->removeObserver(gone.get());
    if (gone->queue()) dispatch_sync(gone->queue(), [gone] { gone->cancelTasks(); });
    else gone->cancelTasks();
}

AdLogManager::AdLogManager(dispatch_queue_t queue) : VuderuDataSenderBase(std::move(queue)) {}

AdLogManager::~AdLogManager() { NSNotificationCenter::defaultCenter()->removeObserver(this); }

void AdLogManager::storeAdLog(const VuderuAdLogPtr& log) {
    if (!log) {
        VuderuLog("Ad Log sent is nil");
        return;
    }
    MutexLock guard(lock_);
    adLogsMap_[log->GUID()] = log;
}

VuderuAdLogPtr AdLogManager::getAdLog(const std::optional<std::string>& guid) const {
    MutexLock guard(lock_);
    auto found = adLogsMap_.find(guid);
    return found == adLogsMap_.end() ? nullptr : found->second;
}

std::vector<VuderuAdLogPtr> AdLogManager::adLogs() const {
    MutexLock guard(lock_);
    std::vector<VuderuAdLogPtr> logs;
    for (const auto& entry : adLogsMap_) logs.push_back(entry.second);
    return logs;
}

std::vector<VuderuDataSenderBlockInfoPtr> AdLogManager::dataBlocks() const {
    MutexLock guard(lock_);
    std::vector<VuderuDataSenderBlockInfoPtr> blocks;
    for (const auto& entry : dataBlocksMap_) blocks.push_back(entry.second);
    return blocks;
}

void AdLogManager::discardOldAdLogs() {
    const auto backgroundTask = VuderuImpl::registerBackgoundTask();
    {
        MutexLock guard(lock_);
        if (adLogsMap_.size() > kMaximumAdLogs) {
            VuderuLog("AdLogManager: ad logs limit reached");
            std::vector<VuderuAdLogPtr> logs;
            for (const auto& entry : adLogsMap_) logs.push_back(entry.second);
            std::stable_sort(logs.begin(), logs.end(), [](const auto& a, const auto& b) { return a->sessionId() > b->sessionId(); });
            std::set<std::string> kept, dropped;
            for (std::size_t i = 0; i < logs.size(); ++i) logs[i]->storeTransferIdentifiersInSet(i < kMaximumAdLogs ? kept : dropped);
            for (const auto& identifier : dropped) {
                if (!kept.count(identifier)) deleteBlock(identifier);
            }
            adLogsMap_.clear();
            for (std::size_t i = 0; i < kMaximumAdLogs; ++i) adLogsMap_[logs[i]->GUID()] = logs[i];
        }
    }
    VuderuImpl::unregisterBackgoundTask(backgroundTask);
}

void AdLogManager::deleteBlock(const std::string& identifier) {
    MutexLock guard(lock_);
    auto found = dataBlocksMap_.find(identifier);
    if (found == dataBlocksMap_.end()) return;
    found->second->deletePersistentData();
    dataBlocksMap_.erase(found);
    unstoredBytes_.erase(identifier);
}

// A block the archive does not name (the archive was damaged and read as nothing, or the process
// ended between writing a block and saving the archive) would otherwise stay on disk for good: it
// goes. One whose transfer a log still holds (the archive was saved between the send's start and
// its block) carries exactly those events and is kept as a block, to be posted like any other.
void AdLogManager::removeUnindexedBlocks() {
    std::set<std::string> indexed, held;
    {
        MutexLock guard(lock_);
        for (const auto& entry : dataBlocksMap_) indexed.insert(entry.first);
        for (const auto& entry : adLogsMap_) entry.second->storeTransferIdentifiersInSet(held);
    }
    std::set<std::string> kept = indexed;
    kept.insert(held.begin(), held.end());
    VuderuDataSenderBlockInfo::removeUnindexedBlockFiles(kept, isAdLogBlockData);

    std::vector<VuderuDataSenderBlockInfoPtr> adopted;
    for (const std::string& identifier : held) {
        // Identifiers come from the archive: only a block's own form may become a path.
        if (indexed.count(identifier) || !VuderuDataSenderBlockInfo::isBlockFileName(identifier)) continue;
        NSDataPtr bytes = std::make_shared<VuderuDataSenderBlockInfo>(identifier, 0, nullptr)->data();
        if (!bytes || !isAdLogBlockData(*bytes)) continue;
        adopted.push_back(std::make_shared<VuderuDataSenderBlockInfo>(identifier, bytes->length(), NSDate::date()));
    }
    if (adopted.empty()) return;
    {
        MutexLock guard(lock_);
        for (const auto& block : adopted) dataBlocksMap_.emplace(block->identifier(), block);
    }
    for (const auto& block : adopted) VuderuLog("AdLogManager: block %@ was missing from the archive; it is sent again", block->identifier());
    saveLogManagerSync();
    retransmitNotSentBlocks();
}

void AdLogManager::saveLogManagerSync() {
    auto cache = VuderuFileCache::instance();
    if (!cache) return;
    cache->save(Value(self<AdLogManager>()), kFileCachePrefix);
}

void AdLogManager::saveLogManager() {
    auto manager = self<AdLogManager>();
    auto save = [manager] {
        const auto backgroundTask = VuderuImpl::registerBackgoundTask();
        manager->saveLogManagerSync();
        VuderuImpl::unregisterBackgoundTask(backgroundTask);
    };
    performOnQueue(save);
}

void AdLogManager::registerForNotifications() {
    auto center = NSNotificationCenter::defaultCenter();
    std::weak_ptr<AdLogManager> weak = weakSelf<AdLogManager>();
    center->addObserver(weak, UIApplicationWillTerminateNotification, nullptr, [weak](const auto&) {
        if (auto manager = weak.lock()) manager->appWillTerminate();
    });
    center->addObserver(weak, UIApplicationWillResignActiveNotification, nullptr, [weak](const auto&) {
        if (auto manager = weak.lock()) manager->appWillBackground();
    });
}

void AdLogManager::appWillTerminate() {
    VuderuLog("AdLogManager: end session called");
    saveLogManagerSync();
}

void AdLogManager::appWillBackground() {
    VuderuLog("AdLogManager: pause session called");
    saveLogManager();
}

void AdLogManager::encodeWithCoder(NSCoder& coder) const {
    MutexLock guard(lock_);
    Value::Array logs;
    for (const auto& entry : adLogsMap_) logs.emplace_back(entry.second);
    coder.encodeObjectForKey(Value(std::move(logs)), kAdLogsKey);
    Value::Dictionary blocks;
    for (const auto& [identifier, block] : dataBlocksMap_) blocks.emplace(identifier, Value(block));
    coder.encodeObjectForKey(Value(std::move(blocks)), kDataBlocksKey);
}

std::shared_ptr<AdLogManager> AdLogManager::initWithCoder(const NSCoder& coder) {
    auto manager = create<AdLogManager>(makeQueue());
    Value logs = coder.decodeObjectForKey(kAdLogsKey);
    Value blocks = coder.decodeObjectForKey(kDataBlocksKey);
    {
        MutexLock guard(manager->lock_);
        if (logs.isArray()) {
            for (const auto& item : logs.array()) {
                if (auto log = item.objectAs<VuderuAdLog>()) manager->adLogsMap_[log->GUID()] = log;
            }
        }
        if (blocks.isDictionary()) {
            for (const auto& [identifier, item] : blocks.dictionary()) {
                auto block = item.objectAs<VuderuDataSenderBlockInfo>();
                if (block && block->identifier() == identifier) manager->dataBlocksMap_[identifier] = block;
            }
        }
    }
    manager->discardOldAdLogs();
    if (manager->queue()) {
        std::weak_ptr<AdLogManager> weak = manager;
        dispatch_async(manager->queue(), [weak] {
            if (auto alive = weak.lock()) alive->retransmitNotSentBlocks();
        });
    }
    return manager;
}
