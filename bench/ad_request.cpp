// A typical ad request (three device ids, three frequency caps, five keywords, a payload) built
// from the SDK's state and encoded by the SDK, beside a small encoder on Avro C's generic value
// interface alone (fresh values per message) that gathers the same facts through the same SDK
// calls and writes them. The two take turns, several passes of N messages each; the medians of
// each one's passes are printed with their ratio (aim: at most 1.2).

#include "bench/Alternation.h"
#include "platform/foundation/DeviceRoot.h"
#include "platform/uikit/UIScreen.h"
#include "sdk/ads/VuderuAdProperties.h"
#include "sdk/ads/VuderuAdProtocolSchemas.h"
#include "sdk/ads/VuderuAdRequest.h"
#include "sdk/ads/VuderuAdManager.h"
#include "sdk/ads/VuderuAdUtil.h"
#include "sdk/ads/tests/DynamicFakes.h"
#include "sdk/analytics/VuderuNetworkUtil.h"
#include "sdk/ads/VuderuFieldLookup.h"
#include "sdk/ads/VuderuFreqCapInfo.h"
#include "sdk/analytics/VuderuGlobalVariableStorage.h"
#include "sdk/analytics/VuderuUtil.h"

#include <avro.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr int kMessages = 2000;
constexpr int kPasses = 7;

struct Cap {
    std::string hash;
    std::int64_t serve, expiration;
    std::int32_t views, newCap, prevCap, prevCapType;
};

// What the peer writes: the facts the SDK's request carries.
struct Facts {
    std::vector<std::pair<std::int32_t, std::string>> ids;
    std::map<std::string, std::string> keywords, payload;
    std::vector<Cap> caps;
    std::map<std::string, std::string> texts;  // field name to its text
    std::vector<std::string> origins, bcat;
    bool store = false, tracking = false, configuration = false, retina = false;
    std::int32_t network = 0, placement = 0, orientation = 0;
    CGRect screen{};
};

std::string lookup(std::int32_t field) { return VuderuFieldLookup::getStringValueForFieldTypeEncodeForUrl(field, false).value_or(""); }

// The facts of one message, through the calls the SDK's request makes.
Facts gatherFacts(const std::map<std::string, std::string>& payload) {
    Facts facts;
    for (const auto& entry : VuderuFieldLookup::getDataValuesForFieldType(VuderuFieldLookup::kFids)) {
        std::string text(reinterpret_cast<const char*>(entry->bytes()), entry->length());
        auto colon = text.find(':');
        if (colon != std::string::npos && colon > 0) facts.ids.emplace_back(std::atoi(text.substr(0, colon).c_str()), text.substr(colon + 1));
    }
    facts.keywords = VuderuAdProperties::keywords();
    facts.payload = payload;
    for (const auto& info : VuderuFreqCapManager::getAllFreqCapInfoObjects()) {
        facts.caps.push_back({info->idHash, info->serveTime, info->expirationTime, info->views, info->newCap, info->prevCap, info->prevCapType});
    }
    facts.texts = {{"apiKey", lookup(VuderuFieldLookup::kApiKey)},       {"agentVersion", lookup(VuderuFieldLookup::kAgentVersion)},
                   {"sessionId", lookup(VuderuFieldLookup::kSessionId)}, {"locale", lookup(VuderuFieldLookup::kLocale)},
                   {"timezone", lookup(VuderuFieldLookup::kTimeZone)},   {"osVersion", lookup(VuderuFieldLookup::kOsVersion)},
                   {"devicePlatform", lookup(VuderuFieldLookup::kDevicePlatform)},
                   {"preferredLanguage", VuderuUtil::preferredLanguage()}, {"userAgent", VuderuAdUtil::getUserAgent()}};
    facts.store = VuderuAdUtil::canDoSKAppStore();
    facts.tracking = VuderuAdUtil::isAdTrackingEnabled();
    facts.network = VuderuNetworkUtil::networkStatus();
    facts.configuration = VuderuAdRequest::shouldSendConfiguration("banner");
    facts.placement = VuderuAdManager::adSizeForTestAdSpace("banner");
    facts.screen = UIScreen::mainScreen()->bounds();
    facts.retina = VuderuUtil::isRetina();
    facts.orientation = VuderuAdUtil::getScreenOrientation();
    for (const auto& set : VuderuGlobalVariableStorage::sharedInstance()->originSets()) facts.origins.push_back(set["originName"].stringValue());
    auto connector = NSObjectPerformSelector(NSClassFromString("VuderuAdsTestConnector"), "sharedInstance");
    if (connector.isObject() && connector.object()) facts.bcat = {"VUDERU_VIEWER", NSObjectPerformSelector(connector.object(), "testAdID").stringValue()};
    return facts;
}

avro_value_t field(avro_value_t& record, const char* name) {
    avro_value_t out;
    avro_value_get_by_name(&record, name, &out, nullptr);
    return out;
}
void setString(avro_value_t& record, const char* name, const std::string& text) {
    avro_value_t f = field(record, name);
    avro_value_set_string_len(&f, text.c_str(), text.size() + 1);
}
void setInt(avro_value_t& record, const char* name, std::int32_t value) {
    avro_value_t f = field(record, name);
    avro_value_set_int(&f, value);
}
void setLong(avro_value_t& record, const char* name, std::int64_t value) {
    avro_value_t f = field(record, name);
    avro_value_set_long(&f, value);
}
void setBool(avro_value_t& record, const char* name, bool value) {
    avro_value_t f = field(record, name);
    avro_value_set_boolean(&f, value);
}
void setMap(avro_value_t& record, const char* name, const std::map<std::string, std::string>& entries) {
    avro_value_t map = field(record, name), item;
    for (const auto& [key, value] : entries) {
        avro_value_add(&map, key.c_str(), &item, nullptr, nullptr);
        avro_value_set_string_len(&item, value.c_str(), value.size() + 1);
    }
}

std::size_t peerEncode(avro_value_iface_t* iface, const std::map<std::string, std::string>& payload, std::vector<char>& buffer) {
    const Facts facts = gatherFacts(payload);
    avro_value_t request, item, sub;
    avro_generic_value_new(iface, &request);
    for (const auto& [name, text] : facts.texts) {
        if (std::string(name) != "sessionId") setString(request, name.c_str(), text);
    }
    setString(request, "adSpaceName", "banner");
    setLong(request, "sessionId", std::strtoll(facts.texts.at("sessionId").c_str(), nullptr, 10));
    avro_value_t ids = field(request, "adReportedIds");
    for (const auto& [type, id] : facts.ids) {
        avro_value_append(&ids, &item, nullptr);
        setInt(item, "type", type);
        sub = field(item, "id");
        avro_value_set_bytes(&sub, const_cast<char*>(id.data()), id.size());
    }
    sub = field(request, "location");
    avro_value_t f = field(sub, "lat");
    avro_value_set_float(&f, 0);
    f = field(sub, "lon");
    avro_value_set_float(&f, 0);
    avro_value_t bindings = field(request, "bindings");
    for (int binding = 1; binding <= 6; ++binding) {
        avro_value_append(&bindings, &item, nullptr);
        avro_value_set_int(&item, binding);
    }
    sub = field(request, "adViewContainer");
    setInt(sub, "viewWidth", 320);
    setInt(sub, "viewHeight", 50);
    setInt(sub, "screenWidth", static_cast<std::int32_t>(facts.screen.size.width));
    setInt(sub, "screenHeight", static_cast<std::int32_t>(facts.screen.size.height));
    f = field(sub, "density");
    avro_value_set_float(&f, facts.retina ? 2 : 1);
    f = field(sub, "screenOrientation");
    avro_value_set_enum(&f, facts.orientation);
    sub = field(request, "testAds");
    setInt(sub, "adspacePlacement", facts.placement);
    setMap(request, "keywords", facts.keywords);
    setBool(request, "refresh", false);
    setBool(request, "canDoSKAppStore", facts.store);
    setInt(request, "networkStatus", facts.network);
    avro_value_t caps = field(request, "frequencyCapInfos");
    for (const auto& cap : facts.caps) {
        avro_value_append(&caps, &item, nullptr);
        setString(item, "idHash", cap.hash);
        setLong(item, "serveTime", cap.serve);
        setLong(item, "expirationTime", cap.expiration);
        setInt(item, "views", cap.views);
        setInt(item, "newCap", cap.newCap);
        setInt(item, "previousCap", cap.prevCap);
        setInt(item, "previousCapType", cap.prevCapType);
    }
    setBool(request, "adTrackingEnabled", facts.tracking);
    avro_value_t list = field(request, "bcat");
    for (const auto& text : facts.bcat) {
        avro_value_append(&list, &item, nullptr);
        avro_value_set_string_len(&item, text.c_str(), text.size() + 1);
    }
    list = field(request, "origins");
    for (const auto& text : facts.origins) {
        avro_value_append(&list, &item, nullptr);
        avro_value_set_string_len(&item, text.c_str(), text.size() + 1);
    }
    sub = field(request, "targetingOverride");
    setInt(sub, "ageRange", -2);
    setInt(sub, "gender", -2);
    setBool(request, "sendConfiguration", facts.configuration);
    setBool(request, "renderTime", false);
    setMap(request, "clientSideRtbPayload", facts.payload);
    std::size_t size = 0;
    avro_value_sizeof(&request, &size);
    buffer.assign(size, 0);
    avro_writer_t writer = avro_writer_memory(buffer.data(), static_cast<int64_t>(size));
    avro_value_write(writer, &request);
    std::size_t written = static_cast<std::size_t>(avro_writer_tell(writer));
    avro_writer_free(writer);
    avro_value_decref(&request);
    return written;
}

} // namespace

int main() {
    // A device of its own under the system's temporary folder.
    std::string root = (std::filesystem::temp_directory_path() / "tandrel-bench-ad-request-XXXXXX").string();
    if (!::mkdtemp(root.data())) return 1;
    for (const char* d : {"/tmp", "/var/mobile/Library/Preferences", "/var/mobile/Library/Caches", "/var/mobile/Documents"}) {
        std::filesystem::create_directories(root + d);
    }
    DeviceRoot::setRoot(root);
    VuderuGlobalVariableStorage::sharedInstance()->setApiKey("KEY");
    registerVendorIdentifier("2B1A8C1E-0C55-4E36-9A43-5B2A6D8F0E11");

    Facts facts;
    facts.keywords = {{"age", "30"}, {"city", "Lyon"}, {"color", "blue"}, {"genre", "news"}, {"size", "big"}};
    facts.payload = {{"bid", "0.25"}, {"seat", "s1"}};
    facts.caps = {{"hash-a", 1600000000000, 1800000000000, 1, 5, 1, 2},
                  {"hash-b", 1600000000001, 1800000000001, 2, 3, -1, 0},
                  {"hash-c", 1600000000002, 1800000000002, 0, 9, 4, 1}};
    for (const auto& cap : facts.caps) {
        auto info = std::make_shared<VuderuFreqCapInfo>();
        info->idHash = cap.hash;
        info->serveTime = cap.serve;
        info->expirationTime = cap.expiration;
        info->views = cap.views;
        info->newCap = cap.newCap;
        info->prevCap = cap.prevCap;
        info->prevCapType = cap.prevCapType;
        VuderuFreqCapManager::storeFreqCapInfo(info);
    }
    VuderuAdProperties::setKeywords(facts.keywords);
    std::size_t ids = gatherFacts(facts.payload).ids.size();

    VuderuAdRequest request;
    avro_schema_t schema = nullptr;
    const std::string& json = VuderuAdProtocolSchemas::adRequest();
    if (avro_schema_from_json_length(json.data(), json.size(), &schema) != 0) return 1;
    avro_value_iface_t* iface = avro_generic_class_from_schema(schema);
    std::size_t oursBytes = 0, peerBytes = 0;
    std::vector<char> buffer;
    const CGRect bounds{{0, 0}, {320, 50}};
    auto runOurs = [&] {
        for (int i = 0; i < kMessages; ++i) {
            auto body = request.encodedAdRequestForSpace("banner", bounds, false, facts.payload);
            oursBytes = body ? body->length() : 0;
        }
    };
    auto runPeer = [&] {
        for (int i = 0; i < kMessages; ++i) peerBytes = peerEncode(iface, facts.payload, buffer);
    };
    auto medians = alternate(kPasses, runOurs, runPeer);
    avro_value_iface_decref(iface);
    avro_schema_decref(schema);
    DeviceRoot::setRoot("/");
    std::filesystem::remove_all(root);
    double oursSeconds = medians.ours, peerSeconds = medians.peer;
    std::printf("ad request (%zu device ids, 3 caps, 5 keywords) built and encoded %d times, %d passes each, alternating; medians:\n"
                "  VuderuAdRequest: %8.1f us/request (%zu bytes)   generic value interface: %8.1f us/request (%zu bytes)   "
                "time ratio ours/generic: %.2f (aim <= 1.2)\n",
                ids, kMessages, kPasses, oursSeconds / kMessages * 1e6, oursBytes, peerSeconds / kMessages * 1e6, peerBytes,
                oursSeconds / peerSeconds);
    printSpread(medians);
    return oursBytes > 0 && peerBytes > 0 ? 0 : 1;
}
