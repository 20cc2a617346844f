#pragma once
// The device, session, location and ad-log facts that ad requests, ad logs and action templates
// carry, named by short keys ("fids", "sid", "guid", ...), each produced as text when asked
// (optionally percent-encoded for a URL) or, for the device identifiers, as raw bytes.

#include "platform/foundation/NSData.h"
#include "sdk/ads/IVuderuAd.h"
#include "sdk/ads/VuderuAdEvent.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class VuderuFieldLookup {
public:
    enum AdField : std::int32_t {
        kFids = 0, kAgentVersion, kSessionId, kSessionOffset, kGuid, kAdLogId, kAdRequestSessionId, kAdRequestSessionOffset,
        kAgentTimestamp, kApiKey, kHid, kEventSessionOffset, kRandom, kLatitude, kLongitude, kAccuracy, kLocale, kTimeZone,
        kGender, kAge, kDevicePlatform, kOsVersion, kTestDevice, kUserCookies, kUnknownField
    };

    static const std::vector<std::string>& adFieldArrayInstance();
    static const std::string& adFieldEnumToString(std::int32_t field);
    // 24 ("unknown") for nil and keys outside the table.
    static std::int32_t adFieldStringToEnum(const std::optional<std::string>& key);

    // The field's value text, or nil: the ad-log fields need an ad, "eso" an event; "hid",
    // "unknown" and numbers outside the table have none (logged).
    static std::optional<std::string> getStringValueForFieldTypeForAdAdEventEncodeForUrl(std::int32_t field, const IVuderuAd* ad,
                                                                                         const VuderuAdEvent* event, bool encodeForUrl);
    static std::optional<std::string> getStringValueForFieldForAdAdEventEncodeForUrl(const std::optional<std::string>& key,
                                                                                     const IVuderuAd* ad, const VuderuAdEvent* event,
                                                                                     bool encodeForUrl);
    static std::optional<std::string> getStringValueForFieldTypeEncodeForUrl(std::int32_t field, bool encodeForUrl);
    static std::optional<std::string> getStringValueForFieldEncodeForUrl(const std::optional<std::string>& key, bool encodeForUrl);

    // The device identifiers as "<type>:<id bytes>" entries (field 0 only; others give none).
    static std::vector<NSDataPtr> getDataValuesForFieldTypeForAdAdEvent(std::int32_t field, const IVuderuAd* ad, const VuderuAdEvent* event);
    static std::vector<NSDataPtr> getDataValuesForFieldType(std::int32_t field);
};
