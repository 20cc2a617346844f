#include "sdk/ads/VuderuAdRequest.h"

#include "platform/foundation/NSDate.h"
#include "platform/foundation/NSObjCRuntime.h"
#include "platform/uikit/UIScreen.h"
#include "sdk/ads/VuderuAdError.h"
#include "sdk/ads/VuderuAdManager.h"
#include "sdk/ads/VuderuAdProperties.h"
#include "sdk/ads/VuderuAdProtocolSchemas.h"
#include "sdk/ads/VuderuAdResponse.h"
#include "sdk/ads/VuderuAdUtil.h"
#include "sdk/ads/VuderuAvro.h"
#include "sdk/ads/VuderuContentLoadingManager.h"
#include "sdk/ads/VuderuFieldLookup.h"
#include "sdk/ads/VuderuFreqCapInfo.h"
#include "sdk/analytics/VuderuGlobalVariableStorage.h"
#include "sdk/analytics/VuderuLog.h"
#include "sdk/analytics/VuderuNetworkUtil.h"
#include "sdk/analytics/VuderuUtil.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

struct SchemaText {
    const std::string& (*json)();
    const char* failure;
};

// The first is the request's own; the records follow in the order they are declared in it.
const SchemaText kSchemaTexts[] = {
    {VuderuAdProtocolSchemas::adRequest, "Unable to parse ad request schema"},
    {VuderuAdProtocolSchemas::adReportedIdV10, "Unable to parse vuderu id schema"},
    {VuderuAdProtocolSchemas::frequencyCapInfo, "Unable to parse frequency cap info schema"},
    {VuderuAdProtocolSchemas::location, "Unable to parse location schema"},
    {VuderuAdProtocolSchemas::adViewContainer, "Unable to parse adviewContainer schema"},
    {VuderuAdProtocolSchemas::testAds, "Unable to parse testAds schema"},
    {VuderuAdProtocolSchemas::targetingOverride, "Unable to parse targetingOverride schema"},
};

constexpr double kConfigurationLifetime = 604800;  // seven days
const char* const kSdkAssetsEntry = "sdk_player_assets";

std::string field(std::int32_t number) { return VuderuFieldLookup::getStringValueForFieldTypeEncodeForUrl(number, false).value_or(""); }

// The nested schemas, taken from the request's own so that every record matches it.
struct Shapes {
    avro_schema_t request;
    avro_schema_t reportedIds, reportedId, location, bindings, container, orientation, testAds, keywords, caps, cap, bcat;
    avro_schema_t targeting, personas, origins, payload;

    explicit Shapes(avro_schema_t schema) : request(schema) {
        auto fieldOf = [](avro_schema_t record, const char* name) { return record ? avro_schema_record_field_get(record, name) : nullptr; };
        auto items = [](avro_schema_t array) { return array ? avro_schema_array_items(array) : nullptr; };
        reportedIds = fieldOf(request, "adReportedIds");
        reportedId = items(reportedIds);
        location = fieldOf(request, "location");
        bindings = fieldOf(request, "bindings");
        container = fieldOf(request, "adViewContainer");
        orientation = fieldOf(container, "screenOrientation");
        testAds = fieldOf(request, "testAds");
        keywords = fieldOf(request, "keywords");
        caps = fieldOf(request, "frequencyCapInfos");
        cap = items(caps);
        bcat = fieldOf(request, "bcat");
        targeting = fieldOf(request, "targetingOverride");
        personas = fieldOf(targeting, "personas");
        origins = fieldOf(request, "origins");
        payload = fieldOf(request, "clientSideRtbPayload");
    }
    bool complete() const {
        for (auto schema : {reportedId, location, bindings, orientation, testAds, keywords, cap, bcat, personas, origins, payload}) {
            if (!schema) return false;
        }
        return true;
    }
};

bool set(avro_datum_t record, const char* name, const AvroDatum& value) { return value && avro_record_set(record, name, value.get()) == 0; }
AvroDatum text(const std::string& value) { return avroOwn(avro_string(value.c_str())); }
AvroDatum flag(bool value) { return avroOwn(avro_boolean(value ? 1 : 0)); }

bool failed(const char* format) {
    VuderuLog(format, avro_strerror());
    return false;
}

AvroDatum stringMap(avro_schema_t schema, const std::map<std::string, std::string>& entries) {
    AvroDatum map = avroOwn(avro_map(schema));
    if (!map) return nullptr;
    for (const auto& [key, value] : entries) {
        AvroDatum item = text(value);
        if (!item || avro_map_set(map.get(), key.c_str(), item.get()) != 0) return nullptr;
    }
    return map;
}

AvroDatum stringArray(avro_schema_t schema, const std::vector<std::string>& entries) {
    AvroDatum array = avroOwn(avro_array(schema));
    if (!array) return nullptr;
    for (const auto& entry : entries) {
        AvroDatum item = text(entry);
        if (!item || avro_array_append_datum(array.get(), item.get()) != 0) return nullptr;
    }
    return array;
}

// The device identifiers, "<type>:<id>", split at the first ":".
AvroDatum reportedIds(const Shapes& shapes) {
    AvroDatum list = avroOwn(avro_array(shapes.reportedIds));
    if (!list) return nullptr;
    for (const auto& entry : VuderuFieldLookup::getDataValuesForFieldType(VuderuFieldLookup::kFids)) {
        const auto* bytes = reinterpret_cast<const char*>(entry->bytes());
        const void* colon = std::memchr(bytes, ':', entry->length());
        if (!colon || colon == bytes) continue;
        std::size_t at = static_cast<std::size_t>(static_cast<const char*>(colon) - bytes);
        AvroDatum id = avroOwn(avro_record(shapes.reportedId));
        if (!id || !set(id.get(), "type", avroOwn(avro_int32(std::atoi(std::string(bytes, at).c_str())))) ||
            !set(id.get(), "id", avroOwn(avro_bytes(bytes + at + 1, static_cast<int64_t>(entry->length() - at - 1)))) ||
            avro_array_append_datum(list.get(), id.get()) != 0) {
            failed("Unable to create AdReportedId datum structure: %s");
            return nullptr;
        }
    }
    return list;
}

AvroDatum location(const Shapes& shapes) {
    AvroDatum record = avroOwn(avro_record(shapes.location));
    if (!record || !set(record.get(), "lat", avroOwn(avro_float(std::strtof(field(VuderuFieldLookup::kLatitude).c_str(), nullptr)))) ||
        !set(record.get(), "lon", avroOwn(avro_float(std::strtof(field(VuderuFieldLookup::kLongitude).c_str(), nullptr))))) {
        failed("Unable to create Location datum structure: %s");
        return nullptr;
    }
    return record;
}

AvroDatum container(const Shapes& shapes, const CGRect& bounds) {
    CGRect screen = UIScreen::mainScreen()->bounds();
    AvroDatum record = avroOwn(avro_record(shapes.container));
    if (!record || !set(record.get(), "viewWidth", avroOwn(avro_int32(static_cast<std::int32_t>(bounds.size.width)))) ||
        !set(record.get(), "viewHeight", avroOwn(avro_int32(static_cast<std::int32_t>(bounds.size.height)))) ||
        !set(record.get(), "screenWidth", avroOwn(avro_int32(static_cast<std::int32_t>(screen.size.width)))) ||
        !set(record.get(), "screenHeight", avroOwn(avro_int32(static_cast<std::int32_t>(screen.size.height)))) ||
        !set(record.get(), "density", avroOwn(avro_float(VuderuUtil::isRetina() ? 2.0f : 1.0f))) ||
        !set(record.get(), "screenOrientation", avroOwn(avro_enum(shapes.orientation, VuderuAdUtil::getScreenOrientation())))) {
        failed("Unable to create AdViewContainer datum structure: %s");
        return nullptr;
    }
    return record;
}

AvroDatum testAds(const Shapes& shapes, const std::string& space) {
    AvroDatum record = avroOwn(avro_record(shapes.testAds));
    if (!record || !set(record.get(), "adspacePlacement", avroOwn(avro_int32(VuderuAdManager::adSizeForTestAdSpace(space))))) {
        failed("Unable to create TestAds datum structure: %s");
        return nullptr;
    }
    return record;
}

AvroDatum frequencyCaps(const Shapes& shapes) {
    AvroDatum list = avroOwn(avro_array(shapes.caps));
    if (!list) return nullptr;
    for (const auto& info : VuderuFreqCapManager::getAllFreqCapInfoObjects()) {
        AvroDatum record = avroOwn(avro_record(shapes.cap));
        if (!record || !set(record.get(), "idHash", text(info->idHash)) ||
            !set(record.get(), "serveTime", avroOwn(avro_int64(info->serveTime))) ||
            !set(record.get(), "expirationTime", avroOwn(avro_int64(info->expirationTime))) ||
            !set(record.get(), "views", avroOwn(avro_int32(info->views))) || !set(record.get(), "newCap", avroOwn(avro_int32(info->newCap))) ||
            !set(record.get(), "previousCap", avroOwn(avro_int32(info->prevCap))) ||
            !set(record.get(), "previousCapType", avroOwn(avro_int32(info->prevCapType))) ||
            avro_array_append_datum(list.get(), record.get()) != 0) {
            failed("Unable to create Frequency cap info datum structure: %s");
            return nullptr;
        }
    }
    return list;
}

// "VUDERU_VIEWER" and the test connector's ad id, when a connector with an id is there.
std::vector<std::string> blockedCategories() {
    auto connector = NSObjectPerformSelector(NSClassFromString("VuderuAdsTestConnector"), "sharedInstance");
    if (!connector.isObject() || !connector.object()) return {};
    Value id = NSObjectPerformSelector(connector.object(), "testAdID");
    if (!id.isString() || id.string().empty()) return {};
    return {"VUDERU_VIEWER", id.string()};
}

AvroDatum targeting(const Shapes& shapes) {
    AvroDatum record = avroOwn(avro_record(shapes.targeting));
    if (!record || !set(record.get(), "ageRange", avroOwn(avro_int32(-2))) || !set(record.get(), "gender", avroOwn(avro_int32(-2))) ||
        !set(record.get(), "personas", avroOwn(avro_array(shapes.personas)))) {
        return nullptr;
    }
    return record;
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

AvroDatum bindings(const Shapes& shapes) {
    AvroDatum list = avroOwn(avro_array(shapes.bindings));
    for (std::int32_t binding = 1; list && binding <= 6; ++binding) {
        AvroDatum item = avroOwn(avro_int32(binding));
        if (!item || avro_array_append_datum(list.get(), item.get()) != 0) return nullptr;
    }
    return list;
}

struct RequestInput {
    const std::string& space;
    const CGRect& bounds;
    bool renderStage;
    const std::map<std::string, std::string>& payload;
};

AvroDatum buildRequest(const Shapes& shapes, const RequestInput& in) {
    AvroDatum ids = reportedIds(shapes);
    AvroDatum where = ids ? location(shapes) : nullptr;
    AvroDatum view = where ? container(shapes, in.bounds) : nullptr;
    AvroDatum test = view ? testAds(shapes, in.space) : nullptr;
    AvroDatum caps = test ? frequencyCaps(shapes) : nullptr;
    if (!caps) return nullptr;
    AvroDatum bcat = stringArray(shapes.bcat, blockedCategories());
    if (!bcat) VuderuLog("Unable to add bcat: %s", avro_strerror());
    AvroDatum r = avroOwn(avro_record(shapes.request));
    auto* d = r.get();
    bool ok = r && set(d, "apiKey", text(field(VuderuFieldLookup::kApiKey))) &&
              set(d, "agentVersion", text(field(VuderuFieldLookup::kAgentVersion))) && set(d, "adSpaceName", text(in.space)) &&
              set(d, "sessionId", avroOwn(avro_int64(std::strtoll(field(VuderuFieldLookup::kSessionId).c_str(), nullptr, 10)))) &&
              set(d, "adReportedIds", ids) && set(d, "location", where) &&
              set(d, "testDevice", flag(std::atoi(field(VuderuFieldLookup::kTestDevice).c_str()) != 0)) &&
              set(d, "bindings", bindings(shapes)) && set(d, "adViewContainer", view) &&
              set(d, "locale", text(field(VuderuFieldLookup::kLocale))) && set(d, "timezone", text(field(VuderuFieldLookup::kTimeZone))) &&
              set(d, "osVersion", text(field(VuderuFieldLookup::kOsVersion))) &&
              set(d, "devicePlatform", text(field(VuderuFieldLookup::kDevicePlatform))) && set(d, "testAds", test) &&
              set(d, "keywords", stringMap(shapes.keywords, VuderuAdProperties::keywords())) && set(d, "refresh", flag(in.space.empty())) &&
              set(d, "canDoSKAppStore", flag(VuderuAdUtil::canDoSKAppStore())) &&
              set(d, "networkStatus", avroOwn(avro_int32(VuderuNetworkUtil::networkStatus()))) && set(d, "frequencyCapInfos", caps) &&
              set(d, "adTrackingEnabled", flag(VuderuAdUtil::isAdTrackingEnabled())) &&
              set(d, "preferredLanguage", text(VuderuUtil::preferredLanguage())) && set(d, "bcat", bcat) &&
              set(d, "userAgent", text(VuderuAdUtil::getUserAgent())) && set(d, "targetingOverride", targeting(shapes)) &&
              set(d, "sendConfiguration", flag(VuderuAdRequest::shouldSendConfiguration(in.space))) &&
              set(d, "origins", stringArray(shapes.origins, origins())) && set(d, "renderTime", flag(in.renderStage)) &&
              set(d, "clientSideRtbPayload", stringMap(shapes.payload, in.payload));
    if (!ok) {
        failed("Unable to create Ad Request datum structure: %s");
        return nullptr;
    }
    return r;
}

} // namespace

struct VuderuAdRequest::Schemas {
    std::vector<AvroSchema> parsed;  // in the order of kSchemaTexts
};

VuderuAdRequest::VuderuAdRequest() = default;

VuderuAdRequest::~VuderuAdRequest() {
    for (const auto& running : running_) {
        if (running.task) running.task->cancelTask();
    }
}

bool VuderuAdRequest::initSchema() {
    if (schemas_) return true;
    auto schemas = std::make_unique<Schemas>();
    for (const auto& text : kSchemaTexts) {
        AvroSchema schema = avroSchemaFromJson(text.json());
        if (!schema) {
            VuderuLog("%s", text.failure);
            return false;
        }
        schemas->parsed.push_back(std::move(schema));
    }
    schemas_ = std::move(schemas);
    VuderuLog("Successfully parsed ad request schema");
    return true;
}

bool VuderuAdRequest::shouldSendConfiguration(const std::string& space) {
    if (space.empty()) return true;
    Value entry = VuderuContentLoadingManager::instance()->localAssetInfoForResourceId(kSdkAssetsEntry);
    if (!entry.isDictionary()) return true;
    auto cached = NSDate::fromValue(entry["cachedTime"]);
    if (!cached) return true;
    return cached->timeIntervalSince1970() + kConfigurationLifetime < NSDate::date()->timeIntervalSince1970();
}

NSDataPtr VuderuAdRequest::encodedAdRequestForSpace(const std::string& space, const CGRect& viewContainerBounds, bool renderStage,
                                                    const std::map<std::string, std::string>& payload) {
    if (!initSchema()) return nullptr;
    avro_schema_t schema = schemas_->parsed.front().get();
    Shapes shapes(schema);
    if (!shapes.complete()) {
        VuderuLog("Unable to create Ad Request datum structure: %s", "schema without its records");
        return nullptr;
    }
    AvroDatum record = buildRequest(shapes, RequestInput{space, viewContainerBounds, renderStage, payload});
    if (!record) return nullptr;
    VuderuLog("Successfully created ad request.");
    std::vector<std::uint8_t> bytes;
    std::string error;
    if (!avroEncode(schema, record.get(), &bytes, &error)) {
        VuderuLog("Unable to validate= %s\n", error);
        return nullptr;
    }
    // The JSON form serves the log alone: a text it cannot render (not UTF-8) stops nothing.
    if (VuderuUtil::logLevel() > 1) {
        std::string json;
        if (avroJsonOfEncoded(schema, bytes, &json)) {
            VuderuLog("AdRequest in JSON\n %s", json);
        } else {
            VuderuLog("Unable to get JSON from request, error %s", "a text that is not UTF-8");
        }
    }
    return std::make_shared<NSData>(std::move(bytes));
}

void VuderuAdRequest::getAdRequestForSpace(const std::string& space, const CGRect& viewContainerBounds, const DelegatePtr& delegate,
                                           const Value& params, bool renderStage, const std::map<std::string, std::string>& payload) {
    NSDataPtr body = encodedAdRequestForSpace(space, viewContainerBounds, renderStage, payload);
    if (body) sendAdRequest(body, delegate, params);
}

void VuderuAdRequest::sendAdRequest(const NSDataPtr& body, const DelegatePtr& delegate, const Value& params) {
    VuderuLog("Sending AdRequest of size %lu....", static_cast<unsigned long>(body->length()));
    VuderuHttpAsyncTask::HeaderFields headers{{"content-type", "avro/binary"},
                                              {"accept", "avro/binary"},
                                              {"fm-checksum", std::to_string(VuderuUtil::dataChecksum(*body))}};
    running_.reserve(2);
    keepAlive_ = shared_from_this();
    auto task = VuderuHttpAsyncTask::sendMethod("POST", VuderuNetworkUtil::adServerUrl(), body, headers, shared_from_this(), false);
    if (!task) {
        keepAlive_.reset();
        return;
    }
    task->setTag(kTaskTag);
    running_.push_back(Running{task, delegate, params});
    task->startInRunLoop(NSRunLoop::mainRunLoop());
}

VuderuAdRequest::Running VuderuAdRequest::finish(const VuderuHttpAsyncTaskPtr& task) {
    Running found;
    auto it = std::find_if(running_.begin(), running_.end(), [&](const Running& r) { return r.task == task; });
    if (it != running_.end()) {
        found = std::move(*it);
        running_.erase(it);
    }
    return found;
}

void VuderuAdRequest::fail(const Running& running, const std::string& text) {
    if (running.delegate) {
        running.delegate->requestDidFailError(running.params, VuderuAdError::adErrorWithCodeDescription(kVuderuAdErrorRequestFailed, text));
    }
}

void VuderuAdRequest::unregisterTask(const VuderuHttpAsyncTaskPtr& task) { finish(task); }

std::vector<VuderuHttpAsyncTaskPtr> VuderuAdRequest::runningTasks() const {
    std::vector<VuderuHttpAsyncTaskPtr> tasks;
    for (const auto& running : running_) tasks.push_back(running.task);
    return tasks;
}

void VuderuAdRequest::requestSuccessfulWithResponse(const VuderuHttpAsyncTaskPtr& task, const VuderuHTTPResponsePtr& response) {
    auto self = std::move(keepAlive_);
    Running running = finish(task);
    // One outcome per request: a reply that is not a success ends here.
    if (!response || !response->isSuccess()) {
        VuderuLog("AdRequest: bad response from server");
        fail(running, "AdRequest: bad response from server");
        return;
    }
    const NSDataPtr& body = response->body();
    if (!body || body->length() == 0) return;
    std::int64_t declared = 0;
    if (response->headers()) {
        auto header = response->headers()->find("fm-checksum");
        if (header != response->headers()->end()) declared = std::strtoll(header->second.c_str(), nullptr, 10);
    }
    VuderuLog("This is a ad response of len %lu", static_cast<unsigned long>(body->length()));
    if (declared != VuderuUtil::dataChecksum(*body)) {
        VuderuLog("AdRequst: Computed Checksum and Response checksum do not match. Not processing ad response.");
        fail(running, "AdRequest: checksum do not match.");
        return;
    }
    VuderuAdResponse decoder;
    auto units = decoder.parseAdResponse(*body);
    if (!units) {
        VuderuLog("AdRequest: bad response from server");
        fail(running, "AdRequest: bad response from server");
        return;
    }
    adUnits_ = std::move(*units);
    if (running.delegate) running.delegate->requestSuccessfulWithParams(adUnits_, running.params);
}

void VuderuAdRequest::requestDidFailWithResponse(const VuderuHttpAsyncTaskPtr& task, const VuderuHTTPResponsePtr& response) {
    auto self = std::move(keepAlive_);
    VuderuLog("AdRequest: Could not connect to server: %@", response && response->error() ? response->error()->description() : "(null)");
    Running running = finish(task);
    // A reply with a status other than success is the server's answer, not a lost connection.
    if (response && !response->error() && response->statusCode() != 0) {
        VuderuLog("AdRequest: bad response from server");
        fail(running, "AdRequest: bad response from server");
        return;
    }
    if (!running.delegate) return;
    NSErrorPtr error;
    if (!VuderuNetworkUtil::isNetworkReachable()) {
        error = VuderuAdError::adErrorWithCodeDescription(kVuderuAdErrorNetworkNotReachable, "VuderuAds: Network not reachable");
    }
    running.delegate->requestDidFailError(running.params, error);
}

void VuderuAdRequest::requestDidCancelWithResponse(const VuderuHttpAsyncTaskPtr& task, const VuderuHTTPResponsePtr&) {
    auto self = std::move(keepAlive_);
    finish(task);
    VuderuLog("AdRequest: Request was cancelled");
}
