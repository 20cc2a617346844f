#include "sdk/ads/VuderuFieldLookup.h"

#include "platform/foundation/NSLocale.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/NSTimeZone.h"
#include "platform/foundation/PlatformClock.h"
#include "platform/uikit/UIDevice.h"
#include "sdk/ads/AdLogManager.h"
#include "sdk/ads/VuderuAdProperties.h"
#include "sdk/ads/VuderuAdUtil.h"
#include "sdk/ads/VuderuAdVocabulary.h"
#include "sdk/ads/VuderuAds.h"
#include "sdk/analytics/VuderuConstants.h"
#include "sdk/analytics/VuderuGlobalVariableStorage.h"
#include "sdk/analytics/VuderuLog.h"
#include "sdk/analytics/VuderuImpl.h"
#include "sdk/analytics/VuderuUtil.h"

#include <cstdlib>

namespace {

constexpr double kFieldLookupMillisecondsPerSecond = 1000;

const VuderuVocabulary& fields() {
    static const VuderuVocabulary table{{"fids", "av", "sid", "so", "guid", "lid", "arsid", "arso", "ats", "apik", "hid", "eso", "rand",
                                         "lat", "lon", "acc", "loc", "tz", "g", "a", "dpl", "osv", "tdv", "uc", "unknown"}};
    return table;
}

std::int64_t milliseconds(double seconds) { return VuderuUtil::int64FromDouble(seconds * kFieldLookupMillisecondsPerSecond); }

std::string decimal(std::int64_t value) { return NSString::stringWithFormat("%lld", static_cast<long long>(value)); }

// The log of the ad's current frame.
VuderuAdLogPtr adLogOf(const IVuderuAd* ad) {
    if (!ad) return nullptr;
    auto unit = ad->activeAdUnit();
    auto frame = unit ? unit->curAdFrame() : nullptr;
    return frame ? AdLogManager::instance()->getAdLog(frame->adLogGUID()) : nullptr;
}

std::string cookieText(bool encodeForUrl) {
    auto encode = [&](const std::string& text) { return encodeForUrl ? VuderuUtil::encodeToPercentEscapeString(text) : text; };
    std::string text;
    for (const auto& [key, value] : VuderuAdProperties::userCookies()) {
        text += NSString::stringWithFormat(text.empty() ? "c_%@=%@" : "&c_%@=%@", encode(key), encode(value));
    }
    return text;
}

std::optional<std::string> identifierText() {
    std::vector<std::string> parts;
    if (auto mac = VuderuUtil::getMACUID()) parts.push_back(NSString::stringWithFormat("%d:%@", 4, VuderuUtil::hashDataToHexString(mac->bytes(), mac->length())));
    if (auto advertising = VuderuAdUtil::getVuderuId()) parts.push_back(NSString::stringWithFormat("%d:%@", 7, *advertising));
    if (auto vendor = VuderuUtil::getIdentifierForVendor()) parts.push_back(NSString::stringWithFormat("%d:%@", 6, *vendor));
    std::string text;
    for (const auto& part : parts) text += (text.empty() ? "" : ",") + part;
    return text;
}

std::optional<std::string> fixed(double value) { return NSString::stringWithFormat("%f", value); }

// The facts of the analytics core's session owner (its start, location, gender and age setting), and
// the local time zone.
std::optional<std::string> sessionFact(std::int32_t field) {
    using F = VuderuFieldLookup;
    if (field == F::kTimeZone) return NSTimeZone::localTimeZone()->name();
    auto owner = VuderuImpl::instance();
    switch (field) {
    case F::kSessionId:
    case F::kSessionOffset: {
        auto start = owner->startTime();
        if (!start) return std::nullopt;
        double started = start->timeIntervalSince1970();
        return decimal(milliseconds(field == F::kSessionId ? started : PlatformClock::now() - started));
    }
    case F::kLatitude: return fixed(owner->latitude());
    case F::kLongitude: return fixed(owner->longitude());
    case F::kAccuracy: return fixed(owner->accuracy());
    case F::kGender: return NSString::stringWithFormat("%d", owner->gender());
    case F::kAge: {
        auto age = owner->age();
        return age ? std::optional(decimal(milliseconds(age->timeIntervalSince1970()))) : std::nullopt;
    }
    default: return std::nullopt;
    }
}

std::optional<std::string> valueOf(std::int32_t field, const IVuderuAd* ad, const VuderuAdEvent* event) {
    using F = VuderuFieldLookup;
    switch (field) {
    case F::kFids: return identifierText();
    case F::kAgentVersion: return std::string(VuderuAgentVersion);
    case F::kGuid:
    case F::kAdLogId:
    case F::kAdRequestSessionId:
    case F::kAdRequestSessionOffset: {
        auto log = adLogOf(ad);
        if (!log) return std::nullopt;
        if (field == F::kGuid) return log->GUID();
        if (field == F::kAdLogId) return decimal(log->adLogId());
        if (field == F::kAdRequestSessionId) return decimal(log->requestedSessionId());
        double started = static_cast<double>(log->requestedSessionId() / 1000);
        return decimal(milliseconds(PlatformClock::now() - started));
    }
    case F::kAgentTimestamp: return decimal(milliseconds(PlatformClock::now()));
    case F::kApiKey: return VuderuGlobalVariableStorage::sharedInstance()->apiKey();
    case F::kEventSessionOffset: return event ? std::optional(decimal(event->sessionStartTimeOffset())) : std::nullopt;
    case F::kRandom: return NSString::stringWithFormat("%d", static_cast<std::int32_t>(::arc4random()));
    case F::kLocale: return NSLocale::currentLocaleIdentifier();
    case F::kDevicePlatform: return VuderuUtil::devicePlatform();
    case F::kOsVersion: return UIDevice::currentDevice()->systemVersion();
    case F::kTestDevice: return NSString::stringWithFormat("%d", VuderuAds::isTestDevice() ? 1 : 0);
    case F::kSessionId:
    case F::kSessionOffset:
    case F::kLatitude:
    case F::kLongitude:
    case F::kAccuracy:
    case F::kTimeZone:
    case F::kGender:
    case F::kAge: return sessionFact(field);
    default: VuderuLog("VuderuFieldLookup: Unknown kAdField [%d]", field); return std::nullopt;
    }
}

} // namespace

const std::vector<std::string>& VuderuFieldLookup::adFieldArrayInstance() { return fields().names; }

const std::string& VuderuFieldLookup::adFieldEnumToString(std::int32_t field) { return fields().names.at(field); }

std::int32_t VuderuFieldLookup::adFieldStringToEnum(const std::optional<std::string>& key) {
    return key ? fields().indexOf(std::string_view(*key)) : fields().unknownIndex();
}

std::optional<std::string> VuderuFieldLookup::getStringValueForFieldTypeForAdAdEventEncodeForUrl(std::int32_t field, const IVuderuAd* ad,
                                                                                                 const VuderuAdEvent* event, bool encodeForUrl) {
    // Each cookie key and value is encoded on its own; the joining "=" and "&" stay.
    if (field == kUserCookies) return cookieText(encodeForUrl);
    auto value = valueOf(field, ad, event);
    if (value && encodeForUrl) return VuderuUtil::encodeToPercentEscapeString(*value);
    return value;
}

std::optional<std::string> VuderuFieldLookup::getStringValueForFieldForAdAdEventEncodeForUrl(const std::optional<std::string>& key,
                                                                                             const IVuderuAd* ad, const VuderuAdEvent* event,
                                                                                             bool encodeForUrl) {
    if (!key) return std::nullopt;
    return getStringValueForFieldTypeForAdAdEventEncodeForUrl(adFieldStringToEnum(key), ad, event, encodeForUrl);
}

std::optional<std::string> VuderuFieldLookup::getStringValueForFieldTypeEncodeForUrl(std::int32_t field, bool encodeForUrl) {
    return getStringValueForFieldTypeForAdAdEventEncodeForUrl(field, nullptr, nullptr, encodeForUrl);
}

std::optional<std::string> VuderuFieldLookup::getStringValueForFieldEncodeForUrl(const std::optional<std::string>& key, bool encodeForUrl) {
    return getStringValueForFieldForAdAdEventEncodeForUrl(key, nullptr, nullptr, encodeForUrl);
}

std::vector<NSDataPtr> VuderuFieldLookup::getDataValuesForFieldTypeForAdAdEvent(std::int32_t field, const IVuderuAd*, const VuderuAdEvent*) {
    if (field != kFids) {
        VuderuLog("VuderuFieldLookup: Unknown kAdFieldRawData [%d]", field);
        return {};
    }
    std::vector<NSDataPtr> values;
    auto entry = [&](const char* type, const void* bytes, std::size_t length) {
        auto data = NSData::dataWithString(type);
        data->appendBytes(bytes, length);
        values.push_back(data);
    };
    if (auto mac = VuderuUtil::getMACUID()) entry("4:", mac->bytes(), mac->length());
    if (auto advertising = VuderuAdUtil::getVuderuId()) entry("7:", advertising->data(), advertising->size());
    if (auto vendor = VuderuUtil::getIdentifierForVendor()) entry("6:", vendor->data(), vendor->size());
    return values;
}

std::vector<NSDataPtr> VuderuFieldLookup::getDataValuesForFieldType(std::int32_t field) {
    return getDataValuesForFieldTypeForAdAdEvent(field, nullptr, nullptr);
}
