#include "sdk/ads/VuderuFreqCapInfo.h"

#include "platform/foundation/NSString.h"
#include "platform/foundation/PlatformClock.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr std::int32_t kRemoveCap = -1;

struct Store {
    std::recursive_mutex lock;
    std::map<std::string, VuderuFreqCapInfoPtr> freqCapInfoMap;
};

Store& store() {
    static Store shared;
    return shared;
}

} // namespace

VuderuFreqCapInfo::VuderuFreqCapInfo(const VuderuAdUnit& unit)
    : idHash(unit.idHash()), serveTime(unit.serveTime()), expirationTime(unit.expirationTime()), newCap(unit.newCap()),
      prevCap(unit.prevCap()), prevCapType(unit.prevCapType()) {}

std::shared_ptr<VuderuFreqCapInfo> VuderuFreqCapInfo::copy() const {
    auto info = std::make_shared<VuderuFreqCapInfo>();
    info->idHash = idHash;
    info->serveTime = serveTime;
    info->expirationTime = expirationTime;
    info->views = views;
    info->newCap = newCap;
    info->prevCap = prevCap;
    info->prevCapType = prevCapType;
    return info;
}

std::string VuderuFreqCapInfo::description() const {
    return NSString::stringWithFormat("idHash=%@, serveTime=%lld, expirationTime=%lld, views=%d, newCap=%d, prevCap=%d, prevCapType=%d", idHash,
                                      static_cast<long long>(serveTime), static_cast<long long>(expirationTime), views, newCap, prevCap,
                                      prevCapType);
}

void VuderuFreqCapManager::storeFreqCapInfo(const VuderuFreqCapInfoPtr& info) {
    if (!info || info->idHash.empty()) return;
    std::lock_guard guard(store().lock);
    if (info->newCap == kRemoveCap) store().freqCapInfoMap.erase(info->idHash);
    else store().freqCapInfoMap[info->idHash] = info;
}

VuderuFreqCapInfoPtr VuderuFreqCapManager::getFreqCapInfo(const std::string& idHash) {
    std::lock_guard guard(store().lock);
    auto found = store().freqCapInfoMap.find(idHash);
    return found == store().freqCapInfoMap.end() ? nullptr : found->second;
}

std::vector<VuderuFreqCapInfoPtr> VuderuFreqCapManager::getAllFreqCapInfoObjects() {
    std::lock_guard guard(store().lock);
    std::vector<VuderuFreqCapInfoPtr> copies;
    for (const auto& [hash, info] : store().freqCapInfoMap) copies.push_back(info->copy());
    return copies;
}

void VuderuFreqCapManager::removeFreqCapInfo(const std::string& idHash) {
    std::lock_guard guard(store().lock);
    store().freqCapInfoMap.erase(idHash);
}

void VuderuFreqCapManager::storeFreqCapInfoForAdUnits(const std::vector<VuderuAdUnitPtr>& units) {
    std::lock_guard guard(store().lock);
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
    std::lock_guard guard(store().lock);
    std::erase_if(store().freqCapInfoMap, [](const auto& entry) { return hasFrequencyCapExpired(entry.second->expirationTime); });
}

bool VuderuFreqCapManager::hasFrequencyCapExpired(std::int64_t expirationTime) {
    std::int64_t now = static_cast<std::int64_t>(std::floor(PlatformClock::now())) * 1000;
    return now >= expirationTime;
}
