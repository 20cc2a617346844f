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
    // decode or a record lacks a field.
    std::optional<std::vector<VuderuAdUnitPtr>> parseAdResponse(const NSData& body);

    // The limits the configuration sets, in bytes: value × unit in 64 bits, clamped to the
    // largest signed 32-bit value; nullopt for a negative value (the old limit stays).
    static std::optional<std::int32_t> limitInBytes(std::int32_t value, std::int64_t unit);

private:
    struct Schemas;
    std::unique_ptr<Schemas> schemas_;
};
