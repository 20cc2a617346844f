#pragma once
// One frequency-cap record, keyed by the ad's cap hash: the cap the server last served for it and
// the views counted since. Archived with keyed coding under the field names.

#include "platform/foundation/NSCoder.h"
#include "sdk/ads/VuderuAdUnit.h"

#include <cstdint>
#include <memory>
#include <string>

class VuderuFreqCapInfo : public NSObject, public NSCoding {
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

    void encodeWithCoder(NSCoder& coder) const override;
    // nil without a hash.
    static std::shared_ptr<VuderuFreqCapInfo> initWithCoder(const NSCoder& coder);
    static void registerForCoding();
};
using VuderuFreqCapInfoPtr = std::shared_ptr<VuderuFreqCapInfo>;


// The store of the records, for the callers that always reached it through this header.
#include "sdk/ads/VuderuFreqCapManager.h"
