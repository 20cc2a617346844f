#include "sdk/ads/VuderuFreqCapManager.h"

#include "platform/dispatch/dispatch.h"
#include "platform/foundation/NSKeyedUnarchiver.h"
#include "platform/foundation/NSNotificationCenter.h"
#include "platform/foundation/PlatformClock.h"
#include "platform/foundation/SharedInstance.h"
#include "platform/uikit/UIApplicationLifeCycle.h"
#include "sdk/ads/VuderuAdCache.h"
#include "sdk/ads/VuderuAdEvent.h"
#include "sdk/ads/VuderuAdManager.h"
#include "sdk/analytics/VuderuFileCache.h"
#include "sdk/analytics/VuderuLog.h"
#include "sdk/analytics/VuderuUtil.h"

#include <algorithm>
#include <cmath>
#include <mutex>

namespace {

constexpr std::int32_t kRemoveCap = -1;
constexpr const char* kMapKey = "freqCapInfoMap";

std::recursive_mutex& classLock() {
    static std::recursive_mutex lock;
    return lock;
}

void freqCapManagerRegisterForCoding() {
    VuderuFreqCapInfo::registerForCoding();
    static std::once_flag once;
    std::call_once(once, [] {
        NSKeyedUnarchiver::registerClass("VuderuFreqCapManager", [](const NSCoder& coder) -> std::shared_ptr<NSObject> {
            return VuderuFreqCapManager::initWithCoder(coder);
        });
    });
}

std::shared_ptr<VuderuFreqCapManager> loadOrCreate() {
    freqCapManagerRegisterForCoding();
    auto cache = VuderuFileCache::instance();
    if (cache) {
        if (auto stored = cache->get(VuderuFreqCapManager::kFileCachePrefix).objectAs<VuderuFreqCapManager>()) return stored;
    }
    return std::make_shared<VuderuFreqCapManager>();
}

} // namespace

void VuderuFreqCapManager::setup() { instance(); }

std::shared_ptr<VuderuFreqCapManager> VuderuFreqCapManager::instance() {
    std::lock_guard guard(classLock());
    return SharedInstance<VuderuFreqCapManager>::slot().getOrMake([] {
        auto made = loadOrCreate();
        std::weak_ptr<VuderuFreqCapManager> weak = made;
        dispatch_async(dispatch_get_main_queue(), [weak] {
            if (auto manager = weak.lock()) manager->registerForNotifications();
        });
        return made;
    });
}

VuderuFreqCapManager::~VuderuFreqCapManager() { NSNotificationCenter::defaultCenter()->removeObserver(this); }

void VuderuFreqCapManager::storeFreqCapInfo(const VuderuFreqCapInfoPtr& info) {
    if (!info || info->idHash.empty()) return;
    try {
        std::lock_guard guard(classLock());
        auto& map = instance()->freqCapInfoMap_;
        if (info->newCap == kRemoveCap) map.erase(info->idHash);
        else map[info->idHash] = info;
    } catch (...) {
        VuderuUtil::handleException(std::current_exception());
    }
}

VuderuFreqCapInfoPtr VuderuFreqCapManager::getFreqCapInfo(const std::string& idHash) {
    std::lock_guard guard(classLock());
    auto& map = instance()->freqCapInfoMap_;
    auto found = map.find(idHash);
    return found == map.end() ? nullptr : found->second;
}

std::vector<VuderuFreqCapInfoPtr> VuderuFreqCapManager::getAllFreqCapInfoObjects() {
    try {
        std::lock_guard guard(classLock());
        std::vector<VuderuFreqCapInfoPtr> copies;
        for (const auto& [hash, info] : instance()->freqCapInfoMap_) copies.push_back(info->copy());
        return copies;
    } catch (...) {
        VuderuUtil::handleException(std::current_exception());
        return {};
    }
}

void VuderuFreqCapManager::removeFreqCapInfo(const std::string& idHash) {
    std::lock_guard guard(classLock());
    instance()->freqCapInfoMap_.erase(idHash);
}

void VuderuFreqCapManager::storeFreqCapInfoForAdUnits(const std::vector<VuderuAdUnitPtr>& units) {
    std::lock_guard guard(classLock());
    for (const auto& unit : units) {
        if (auto info = getFreqCapInfo(unit->idHash())) {
            info->views = 0;
            info->newCap = 0;
        }
        if (unit->newCap() == kRemoveCap) removeFreqCapInfo(unit->idHash());
    }
    for (const auto& unit : units) {
        if (unit->newCap() == kRemoveCap) continue;
        if (auto info = getFreqCapInfo(unit->idHash())) {
            info->newCap = std::max(info->newCap, unit->newCap());
            info->serveTime = unit->serveTime();
            info->expirationTime = unit->expirationTime();
            info->prevCap = unit->prevCap();
            info->prevCapType = unit->prevCapType();
        } else {
            storeFreqCapInfo(std::make_shared<VuderuFreqCapInfo>(*unit));
        }
    }
}

void VuderuFreqCapManager::discardExpiredFreqCapObjects() {
    std::lock_guard guard(classLock());
    std::erase_if(instance()->freqCapInfoMap_, [](const auto& entry) { return hasFrequencyCapExpired(entry.second->expirationTime); });
}

bool VuderuFreqCapManager::hasFrequencyCapExpired(std::int64_t expirationTime) {
    std::int64_t now = static_cast<std::int64_t>(std::floor(PlatformClock::now())) * 1000;
    return now >= expirationTime;
}

std::int32_t VuderuFreqCapManager::checkCap(const std::string& idHash) {
    std::lock_guard guard(classLock());
    auto info = getFreqCapInfo(idHash);
    if (!info) return VuderuAdEvent::kCapNotExhausted;
    if (hasFrequencyCapExpired(info->expirationTime)) {
        removeFreqCapInfo(idHash);
        return VuderuAdEvent::kCapNotExhausted;
    }
    if (info->views < info->newCap) return VuderuAdEvent::kCapNotExhausted;
    VuderuLog("VuderuAdAction: attempt to check cap for capped object: %@", info->description());
    return VuderuAdEvent::kCapExhausted;
}

void VuderuFreqCapManager::updateViewCount(const std::string& idHash, const std::string& adSpace) {
    bool reached = false;
    {
        std::lock_guard guard(classLock());
        auto info = getFreqCapInfo(idHash);
        if (!info) return;
        ++info->views;
        reached = info->views >= info->newCap;
        if (info->views > info->newCap) VuderuLog("VuderuAdAction: !! rendering a capped object: %@", info->description());
    }
    if (!reached) return;
    // Outside the class lock: the ad manager and the cache take locks of their own.
    auto manager = VuderuAdManager::instance();
    if (auto pending = manager->fetchPendingAdForSpace(adSpace)) manager->removePendingAd(pending);
    VuderuAdCache::removeAdUnitsForSpace(adSpace);
}

void VuderuFreqCapManager::registerForNotifications() {
    auto center = NSNotificationCenter::defaultCenter();
    std::weak_ptr<VuderuFreqCapManager> weak = weakSelf<VuderuFreqCapManager>();
    auto on = [weak](void (VuderuFreqCapManager::*method)()) {
        return [weak, method](const std::shared_ptr<NSNotification>&) {
            if (auto manager = weak.lock()) (manager.get()->*method)();
        };
    };
    center->addObserver(weak, UIApplicationWillTerminateNotification, nullptr, on(&VuderuFreqCapManager::appWillTerminate));
    center->addObserver(weak, UIApplicationWillResignActiveNotification, nullptr, on(&VuderuFreqCapManager::appWillBackground));
    center->addObserver(weak, UIApplicationDidBecomeActiveNotification, nullptr, on(&VuderuFreqCapManager::appWillResume));
}

void VuderuFreqCapManager::appWillTerminate() {
    VuderuLog("VuderuFreqCapManager: end session called");
    discardExpiredFreqCapObjects();
    saveFreqCapManagerSync();
}

void VuderuFreqCapManager::appWillBackground() {
    VuderuLog("VuderuFreqCapManager: pause session called");
    discardExpiredFreqCapObjects();
    saveFreqCapManager();
}

void VuderuFreqCapManager::appWillResume() {
    VuderuLog("VuderuFreqCapManager: resume session called");
    discardExpiredFreqCapObjects();
}

void VuderuFreqCapManager::saveFreqCapManagerSync() {
    VuderuLog("VuderuFreqCapManager: saving freq cap manager to file cache");
    try {
        auto snapshot = std::make_shared<VuderuFreqCapManager>();
        {
            std::lock_guard guard(classLock());
            for (const auto& [hash, info] : instance()->freqCapInfoMap_) snapshot->freqCapInfoMap_[hash] = info->copy();
        }
        if (auto cache = VuderuFileCache::instance()) cache->save(Value(snapshot), kFileCachePrefix);
    } catch (...) {
        VuderuUtil::handleException(std::current_exception());
    }
}

void VuderuFreqCapManager::saveFreqCapManager() {
    if (VuderuUtil::getSystemVersionAsAnInteger() < VuderuUtil::kSystemVersionDispatch) {
        saveFreqCapManagerSync();
        return;
    }
    dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0), [] { saveFreqCapManagerSync(); });
}

void VuderuFreqCapManager::encodeWithCoder(NSCoder& coder) const {
    Value::Dictionary records;
    for (const auto& [hash, info] : freqCapInfoMap_) records.emplace(hash, Value(info));
    coder.encodeObjectForKey(Value(std::move(records)), kMapKey);
}

std::shared_ptr<VuderuFreqCapManager> VuderuFreqCapManager::initWithCoder(const NSCoder& coder) {
    auto manager = std::make_shared<VuderuFreqCapManager>();
    Value records = coder.decodeObjectForKey(kMapKey);
    if (records.isDictionary()) {
        for (const auto& [hash, item] : records.dictionary()) {
            if (auto info = item.objectAs<VuderuFreqCapInfo>()) manager->freqCapInfoMap_[hash] = info;
        }
    }
    return manager;
}
