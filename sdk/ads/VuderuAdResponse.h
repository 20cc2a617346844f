#pragma once
// Decodes the ad server's reply, an Avro AdResponse record, into ad units, and applies the
// configuration it may carry (the SDK bundle's address and the asset-cache limits) to the ad
// manager. Replies are untrusted: a truncated, foreign or hostile body gives none, logged.

#include "platform/foundation/NSData.h"
#include "sdk/ads/VuderuAdUnit.h"

#include <memory>
#include <optional>
#include <vector>

class VuderuAdResponse : public NSObject {
public:
    VuderuAdResponse();
    ~VuderuAdResponse() override;

    // Idempotent; NO when a schema does not parse.
    bool initSchema();
    // The units in reply order (empty when the reply holds none); nullopt when the body does not
    // decode, holds bytes after its one value, a record lacks a field, or the reply would cost
    // more than it may (below).
    std::optional<std::vector<VuderuAdUnitPtr>> parseAdResponse(const NSData& body);

    // What a reply may cost once decoded. Its records are counted before anything is built: a
    // reply of more units than kMaximumUnits, or whose decoded records would take more than
    // kAllowedBytes plus kAllowedBytesPerBodyByte times its length, is refused. Real replies
    // hold tens of units; tiny records by the hundred thousand hold nothing a device can show.
    static constexpr std::size_t kMaximumUnits = 1000;
    // Callback actions in all: each may send a request when its event comes. Real replies hold a
    // few per frame.
    static constexpr std::size_t kMaximumActions = 5000;
    static constexpr std::size_t kAllowedBytes = 4 * 1024 * 1024;
    static constexpr std::size_t kAllowedBytesPerBodyByte = 4;
    // The bytes one decoded record takes, by its kind, as measured (value, model and tables).
    static constexpr std::size_t kUnitCost = 4096;
    static constexpr std::size_t kFrameCost = 2048;
    static constexpr std::size_t kCallbackCost = 512;
    static constexpr std::size_t kItemCost = 128;
    // An action and its share of what its request keeps while queued (the SDK bounds the tracking
    // requests under way apart).
    static constexpr std::size_t kActionCost = 512;

    // The limits the configuration sets, in bytes: value × unit in 64 bits, clamped to the
    // largest signed 32-bit value; nullopt for a negative value (the old limit stays).
    static std::optional<std::int32_t> limitInBytes(std::int32_t value, std::int64_t unit);

private:
    struct Schemas;
    std::unique_ptr<Schemas> schemas_;
};
