#include "sdk/ads/VuderuAdRequestRecord.h"

#include "platform/foundation/NSObjCRuntime.h"
#include "platform/uikit/UIScreen.h"
#include "sdk/ads/VuderuAdManager.h"
#include "sdk/ads/VuderuAdProperties.h"
#include "sdk/ads/VuderuAdRequest.h"
#include "sdk/ads/VuderuAdUtil.h"
#include "sdk/ads/VuderuFieldLookup.h"
#include "sdk/ads/VuderuFreqCapInfo.h"
#include "sdk/analytics/VuderuGlobalVariableStorage.h"
#include "sdk/analytics/VuderuLog.h"
#include "sdk/analytics/VuderuNetworkUtil.h"
#include "sdk/analytics/VuderuUtil.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

std::string adRequestRecordField(std::int32_t number) { return VuderuFieldLookup::getStringValueForFieldTypeEncodeForUrl(number, false).value_or(""); }

// Sets the fields of one record value of the generic interface; the first failure is kept.
class Fields {
public:
    explicit Fields(avro_value_t record) : record_(record) {}
    bool ok() const { return ok_; }
    avro_value_t sub(const char* name) {
        avro_value_t out{};
        if (ok_ && avro_value_get_by_name(&record_, name, &out, nullptr) != 0) ok_ = false;
        return out;
    }
    Fields& text(const char* name, const std::string& value) {
        avro_value_t f = sub(name);
        if (ok_ && avro_value_set_string_len(&f, value.c_str(), value.size() + 1) != 0) ok_ = false;
        return *this;
    }
    Fields& int32(const char* name, std::int32_t value) {
        avro_value_t f = sub(name);
        if (ok_ && avro_value_set_int(&f, value) != 0) ok_ = false;
        return *this;
    }
    Fields& int64(const char* name, std::int64_t value) {
        avro_value_t f = sub(name);
        if (ok_ && avro_value_set_long(&f, value) != 0) ok_ = false;
        return *this;
    }
    Fields& real(const char* name, float value) {
        avro_value_t f = sub(name);
        if (ok_ && avro_value_set_float(&f, value) != 0) ok_ = false;
        return *this;
    }
    Fields& flag(const char* name, bool value) {
        avro_value_t f = sub(name);
        if (ok_ && avro_value_set_boolean(&f, value ? 1 : 0) != 0) ok_ = false;
        return *this;
    }
    Fields& symbol(const char* name, int value) {
        avro_value_t f = sub(name);
        if (ok_ && avro_value_set_enum(&f, value) != 0) ok_ = false;
        return *this;
    }
    Fields& strings(const char* name, const std::vector<std::string>& values) {
        avro_value_t list = sub(name), item;
        for (const auto& value : values) {
            if (ok_ && (avro_value_append(&list, &item, nullptr) != 0 || avro_value_set_string_len(&item, value.c_str(), value.size() + 1) != 0)) ok_ = false;
        }
        return *this;
    }
    Fields& stringMap(const char* name, const std::map<std::string, std::string>& entries) {
        avro_value_t map = sub(name), item;
        for (const auto& [key, value] : entries) {
            if (ok_ && (avro_value_add(&map, key.c_str(), &item, nullptr, nullptr) != 0 ||
                        avro_value_set_string_len(&item, value.c_str(), value.size() + 1) != 0)) {
                ok_ = false;
            }
        }
        return *this;
    }
    void fail() { ok_ = false; }

private:
    avro_value_t record_;
    bool ok_ = true;
};

bool recordFailed(const char* format) {
    VuderuLog(format, avro_strerror());
    return false;
}

// The device identifiers, "<type>:<id>", split at the first ":".
bool reportedIds(Fields& request) {
    avro_value_t list = request.sub("adReportedIds"), item;
    for (const auto& entry : VuderuFieldLookup::getDataValuesForFieldType(VuderuFieldLookup::kFids)) {
        const auto* bytes = reinterpret_cast<const char*>(entry->bytes());
        const void* colon = std::memchr(bytes, ':', entry->length());
        if (!colon || colon == bytes) continue;
        std::size_t at = static_cast<std::size_t>(static_cast<const char*>(colon) - bytes);
        if (!request.ok() || avro_value_append(&list, &item, nullptr) != 0) return recordFailed("Unable to create AdReportedId datum structure: %s");
        Fields id(item);
        avro_value_t idBytes = id.int32("type", std::atoi(std::string(bytes, at).c_str())).sub("id");
        if (!id.ok() || avro_value_set_bytes(&idBytes, const_cast<char*>(bytes + at + 1), entry->length() - at - 1) != 0) {
            return recordFailed("Unable to create AdReportedId datum structure: %s");
        }
    }
    return true;
}

bool location(Fields& request) {
    Fields record(request.sub("location"));
    if (!request.ok() || !record.real("lat", std::strtof(adRequestRecordField(VuderuFieldLookup::kLatitude).c_str(), nullptr))
                              .real("lon", std::strtof(adRequestRecordField(VuderuFieldLookup::kLongitude).c_str(), nullptr))
                              .ok()) {
        return recordFailed("Unable to create Location datum structure: %s");
    }
    return true;
}

bool container(Fields& request, const CGRect& bounds) {
    CGRect screen = UIScreen::mainScreen()->bounds();
    Fields record(request.sub("adViewContainer"));
    if (!request.ok() || !record.int32("viewWidth", static_cast<std::int32_t>(bounds.size.width))
                              .int32("viewHeight", static_cast<std::int32_t>(bounds.size.height))
                              .int32("screenWidth", static_cast<std::int32_t>(screen.size.width))
                              .int32("screenHeight", static_cast<std::int32_t>(screen.size.height))
                              .real("density", VuderuUtil::isRetina() ? 2.0f : 1.0f)
                              .symbol("screenOrientation", VuderuAdUtil::getScreenOrientation())
                              .ok()) {
        return recordFailed("Unable to create AdViewContainer datum structure: %s");
    }
    return true;
}

bool testAds(Fields& request, const std::string& space) {
    Fields record(request.sub("testAds"));
    if (!request.ok() || !record.int32("adspacePlacement", VuderuAdManager::adSizeForTestAdSpace(space)).ok()) {
        return recordFailed("Unable to create TestAds datum structure: %s");
    }
    return true;
}

bool frequencyCaps(Fields& request) {
    avro_value_t list = request.sub("frequencyCapInfos"), item;
    for (const auto& info : VuderuFreqCapManager::getAllFreqCapInfoObjects()) {
        if (!request.ok() || avro_value_append(&list, &item, nullptr) != 0 ||
            !Fields(item).text("idHash", info->idHash).int64("serveTime", info->serveTime).int64("expirationTime", info->expirationTime)
                 .int32("views", info->views).int32("newCap", info->newCap).int32("previousCap", info->prevCap)
                 .int32("previousCapType", info->prevCapType).ok()) {
            return recordFailed("Unable to create Frequency cap info datum structure: %s");
        }
    }
    return true;
}

// "VUDERU_VIEWER" and the test connector's ad id, when a connector with an id is there.
std::vector<std::string> blockedCategories() {
    auto connector = NSObjectPerformSelector(NSClassFromString("VuderuAdsTestConnector"), "sharedInstance");
    if (!connector.isObject() || !connector.object()) return {};
    Value id = NSObjectPerformSelector(connector.object(), "testAdID");
    if (!id.isString() || id.string().empty()) return {};
    return {"VUDERU_VIEWER", id.string()};
}

std::vector<std::string> origins() {
    std::vector<std::string> names;
    auto storage = VuderuGlobalVariableStorage::sharedInstance();
    if (!storage) return names;
    for (const auto& set : storage->originSets()) {
        if (set.isDictionary()) names.push_back(set["originName"].stringValue());
    }
    return names;
}

} // namespace

bool fillAdRequestRecord(avro_value_t record, const VuderuAdRequestInput& in) {
    Fields r(record);
    r.text("apiKey", adRequestRecordField(VuderuFieldLookup::kApiKey)).text("agentVersion", adRequestRecordField(VuderuFieldLookup::kAgentVersion))
        .text("adSpaceName", in.space).int64("sessionId", std::strtoll(adRequestRecordField(VuderuFieldLookup::kSessionId).c_str(), nullptr, 10));
    if (!reportedIds(r) || !location(r)) return false;
    r.flag("testDevice", std::atoi(adRequestRecordField(VuderuFieldLookup::kTestDevice).c_str()) != 0);
    avro_value_t bindings = r.sub("bindings"), item;
    for (std::int32_t binding = 1; r.ok() && binding <= 6; ++binding) {
        if (avro_value_append(&bindings, &item, nullptr) != 0 || avro_value_set_int(&item, binding) != 0) r.fail();
    }
    if (!container(r, in.bounds)) return false;
    r.text("locale", adRequestRecordField(VuderuFieldLookup::kLocale)).text("timezone", adRequestRecordField(VuderuFieldLookup::kTimeZone))
        .text("osVersion", adRequestRecordField(VuderuFieldLookup::kOsVersion)).text("devicePlatform", adRequestRecordField(VuderuFieldLookup::kDevicePlatform));
    if (!testAds(r, in.space)) return false;
    r.stringMap("keywords", VuderuAdProperties::keywords()).flag("refresh", in.space.empty())
        .flag("canDoSKAppStore", VuderuAdUtil::canDoSKAppStore()).int32("networkStatus", VuderuNetworkUtil::networkStatus());
    if (!frequencyCaps(r)) return false;
    r.flag("adTrackingEnabled", VuderuAdUtil::isAdTrackingEnabled()).text("preferredLanguage", VuderuUtil::preferredLanguage());
    const bool before = r.ok();
    r.strings("bcat", blockedCategories());
    if (before && !r.ok()) VuderuLog("Unable to add bcat: %s", avro_strerror());
    r.text("userAgent", VuderuAdUtil::getUserAgent());
    Fields targeting(r.sub("targetingOverride"));
    if (r.ok() && !targeting.int32("ageRange", -2).int32("gender", -2).ok()) r.fail();
    r.flag("sendConfiguration", VuderuAdRequest::shouldSendConfiguration(in.space)).strings("origins", origins())
        .flag("renderTime", in.renderStage).stringMap("clientSideRtbPayload", in.payload);
    if (!r.ok()) return recordFailed("Unable to create Ad Request datum structure: %s");
    return true;
}

