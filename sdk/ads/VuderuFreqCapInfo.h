#pragma once
// One frequency-cap record, keyed by the ad's cap hash, and the store of them. Here the
// records and the store's map operations; persistence and the cap actions build on them.

#include "sdk/ads/VuderuAdUnit.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class VuderuFreqCapInfo : public NSObject {
public:
    VuderuFreqCapInfo() = default;
    // The unit's cap values, views 0.
    explicit VuderuFreqCapInfo(const VuderuAdUnit& unit);
    std::shared_ptr<VuderuFreqCapInfo> copy() const;

    std::string idHash;
    std::int64_t serveTime = 0;
    std::int64_t expirationTime = 0;
    std::int32_t views = 0;
    std::int32_t newCap = 0;
    std::int32_t prevCap = 0;
    std::int32_t prevCapType = 0;

    std::string description() const override;
};
using VuderuFreqCapInfoPtr = std::shared_ptr<VuderuFreqCapInfo>;

class VuderuFreqCapManager {
public:
    // Ignored without a hash; a record whose newCap is -1 removes the hash's record.
    static void storeFreqCapInfo(const VuderuFreqCapInfoPtr& info);
    // The stored record itself, or nil.
    static VuderuFreqCapInfoPtr getFreqCapInfo(const std::string& idHash);
    static std::vector<VuderuFreqCapInfoPtr> getAllFreqCapInfoObjects();
    static void removeFreqCapInfo(const std::string& idHash);
    // Merges a served batch: a hash served again starts counting from 0, -1 removes it, and
    // several units of one hash leave the largest cap.
    static void storeFreqCapInfoForAdUnits(const std::vector<VuderuAdUnitPtr>& units);
    static void discardExpiredFreqCapObjects();
    // Now, in whole seconds times 1000, is at or past the time.
    static bool hasFrequencyCapExpired(std::int64_t expirationTime);
};
