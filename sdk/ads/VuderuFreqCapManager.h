#pragma once
// The device's frequency-cap records, one per cap hash: merged from every served batch, counted
// by the ads' "updateViewCount", asked by their "checkCap", reported with each ad request, swept
// when they expire, and kept across launches in the file cache under "freqCapManager" (saved on
// resign-active, asynchronously, and on termination).
//
// One store per process, reached through class operations under one class-wide lock. Counting
// and saving both hold it, and a save archives copies taken under it, so a save on a global
// queue never sees a count half done.

#include "platform/foundation/NSCoder.h"
#include "platform/foundation/NSObject.h"
#include "sdk/ads/VuderuFreqCapInfo.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

class VuderuFreqCapManager : public NSObject, public NSCoding {
public:
    static constexpr const char* kFileCachePrefix = "freqCapManager";

    // Creates the shared store (from the file cache when it holds one).
    static void setup();
    static std::shared_ptr<VuderuFreqCapManager> instance();

    // Ignored without a hash; a record whose newCap is -1 removes the hash's record.
    static void storeFreqCapInfo(const VuderuFreqCapInfoPtr& info);
    // The stored record itself, or nil.
    static VuderuFreqCapInfoPtr getFreqCapInfo(const std::string& idHash);
    // Copies of every record.
    static std::vector<VuderuFreqCapInfoPtr> getAllFreqCapInfoObjects();
    static void removeFreqCapInfo(const std::string& idHash);
    // Merges a served batch: a hash served again starts counting from 0, -1 removes it, and
    // several units of one hash leave the largest cap.
    static void storeFreqCapInfoForAdUnits(const std::vector<VuderuAdUnitPtr>& units);
    static void discardExpiredFreqCapObjects();
    // Now, in whole seconds times 1000, is at or past the time.
    static bool hasFrequencyCapExpired(std::int64_t expirationTime);

    // The "checkCap" rule: VuderuAdEvent::kCapExhausted (27) once the hash's views reached its
    // cap, else kCapNotExhausted (28); an expired record is removed and answers 28.
    static std::int32_t checkCap(const std::string& idHash);
    // The "updateViewCount" rule: one more view of the hash; reaching the cap drops the space's
    // pending ad and its cached units. A hash without record is not counted.
    static void updateViewCount(const std::string& idHash, const std::string& adSpace);

    VuderuFreqCapManager() = default;
    ~VuderuFreqCapManager() override;

    // Application notifications: terminate and resign-active sweep and save, become-active sweeps.
    void registerForNotifications();
    void appWillTerminate();
    void appWillBackground();
    void appWillResume();
    // Archives copies of the records under "freqCapManager"; the second on a global queue.
    static void saveFreqCapManagerSync();
    static void saveFreqCapManager();

    // The records of this object (a loaded archive, say); the shared store's go through the
    // class operations.
    const std::map<std::string, VuderuFreqCapInfoPtr>& freqCapInfoMap() const { return freqCapInfoMap_; }

    void encodeWithCoder(NSCoder& coder) const override;
    static std::shared_ptr<VuderuFreqCapManager> initWithCoder(const NSCoder& coder);

private:
    std::map<std::string, VuderuFreqCapInfoPtr> freqCapInfoMap_;
};
