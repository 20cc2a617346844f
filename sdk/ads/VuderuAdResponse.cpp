#include "sdk/ads/VuderuAdResponse.h"

#include "platform/foundation/NSString.h"
#include "sdk/ads/VuderuAdManager.h"
#include "sdk/ads/VuderuAdProtocolSchemas.h"
#include "sdk/ads/VuderuAdUtil.h"
#include "sdk/ads/VuderuAvroRecord.h"
#include "sdk/analytics/VuderuLog.h"

#include <limits>

namespace {

constexpr std::int64_t kBytesPerMegabyte = 1048576;
constexpr std::int64_t kBytesPerKilobyte = 1024;
constexpr std::int64_t kMillisecondsPerSecond = 1000;

using Units = std::vector<VuderuAdUnitPtr>;

const AvroSchemaText kResponseSchemaTexts[] = {
    {VuderuAdProtocolSchemas::adResponse, "Unable to parse ad response schema"},
    {VuderuAdProtocolSchemas::adUnit, "Unable to parse ad unit schema"},
    {VuderuAdProtocolSchemas::adFrame, "Unable to parse ad frame schema"},
    {VuderuAdProtocolSchemas::callback, "Unable to parse callback schema"},
    {VuderuAdProtocolSchemas::adSpaceLayout, "Unable to parse ad space layout schema"},
    {VuderuAdProtocolSchemas::configuration, "Unable to parse configuration schema"},
    {VuderuAdProtocolSchemas::screenOrientationType, "Unable to parse screen orienation schema"},
};

using Record = VuderuAvroRecord;

VuderuAdSpaceLayoutPtr readLayout(const avro_value_t& datum, bool* ok) {
    Record record(datum);
    auto layout = std::make_shared<VuderuAdSpaceLayout>();
    std::int32_t width = 0, height = 0;
    std::string fix, format, alignment;
    *ok = record.int32("adWidth", "ad space width is not present", &width) && record.int32("adHeight", "ad space height is not present", &height) &&
          record.string("fix", "fix is not present", &fix) && record.string("format", "format is not present", &format) &&
          record.string("alignment", "alignment is not present", &alignment);
    layout->setAdWidth(width);
    layout->setAdHeight(height);
    layout->setFix(std::move(fix));
    layout->setFormat(std::move(format));
    layout->setAlignment(std::move(alignment));
    return layout;
}

// Event name to callback; a later record for the same event replaces an earlier one.
bool readCallbacks(const avro_value_t& list, VuderuAdCallbackTable* table) {
    avro_value_t item;
    for (std::size_t i = 0, count = Record::count(list, AVRO_ARRAY); i < count; ++i) {
        if (!Record::item(list, i, &item)) return false;
        Record record(item);
        auto callback = std::make_shared<VuderuAdCallback>();
        std::string event;
        if (!record.string("event", "event is not present", &event)) return false;
        callback->setEvent(event);
        callback->setActions(record.strings("actions"));
        (*table)[event] = callback;
    }
    return true;
}

VuderuAdFramePtr readFrame(const avro_value_t& datum) {
    Record record(datum);
    auto frame = std::make_shared<VuderuAdFrame>();
    std::int32_t binding = 0, caching = 0;
    std::int64_t assetExpiration = 0;
    std::string guid, display, content;
    if (!record.int32("binding", "binding is not present", &binding) || !record.string("adGuid", "adLogGUID is not present", &guid) ||
        !record.string("display", "display is not present", &display) || !record.string("content", "content is not present", &content) ||
        !record.int32("cachingEnum", "cachingEnum is not present", &caching) ||
        !record.int64("assetExpirationTimestampUTCMillis", "Asset expiration is not present", &assetExpiration)) {
        return nullptr;
    }
    frame->setBinding(binding);
    frame->setAdLogGUID(std::move(guid));
    frame->setDisplay(std::move(display));
    frame->setContent(std::move(content));
    frame->setCachingEnum(caching);
    frame->setAssetExpiration(assetExpiration / kMillisecondsPerSecond);
    // A frame without a layout is no error: it gets none.
    avro_value_t layout, callbacks;
    if (record.get("adSpaceLayout", &layout)) {
        bool layoutOk = true;
        frame->setAdSpaceLayout(readLayout(layout, &layoutOk));
        if (!layoutOk) return nullptr;
    }
    auto table = std::make_shared<VuderuAdCallbackTable>();
    if (record.get("callbacks", &callbacks) && !readCallbacks(callbacks, table.get())) return nullptr;
    frame->setAdCallbacks(table);
    frame->setCacheWhitelistedAssets(std::make_shared<const std::vector<std::string>>(record.strings("cacheWhitelistedAssets")));
    frame->setCacheBlacklistedAssets(std::make_shared<const std::vector<std::string>>(record.strings("cacheBlacklistedAssets")));
    return frame;
}

bool readFrames(const avro_value_t& list, VuderuAdUnit* unit) {
    avro_value_t item;
    for (std::size_t i = 0, count = Record::count(list, AVRO_ARRAY); i < count; ++i) {
        if (!Record::item(list, i, &item)) return false;
        auto frame = readFrame(item);
        if (!frame) return false;
        unit->addAdFrame(frame);
    }
    return true;
}

bool readUnitValues(const Record& record, VuderuAdUnit* unit) {
    std::int32_t combinable = 0, newCap = 0, prevCap = 0, prevCapType = 0, skippable = 0;
    std::int64_t serveTime = 0, expirationTime = 0, closableTime = 0, preRenderTimeout = 0;
    std::string groupId, idHash;
    bool rewardable = false, autoPlay = false, mraid = false, preRender = false, renderTime = false;
    bool ok = record.int32("combinable", "combinable is not present", &combinable) && record.string("groupId", "groupid is not present", &groupId) &&
              record.string("idHash", "idHash is not present", &idHash) && record.int64("serveTime", "serveTime is not present", &serveTime) &&
              record.int32("newCap", "newCap is not present", &newCap) && record.int32("previousCap", "newCap is not present", &prevCap) &&
              record.int32("previousCapType", "newCap is not present", &prevCapType) &&
              record.int64("expirationTime", "expirationTime is not present", &expirationTime) &&
              record.int64("closableTime", "closableTime is not present", &closableTime) &&
              record.boolean("rewardable", "rewardable is not present", &rewardable) &&
              record.int64("preRenderTimeoutMillis", "preRenderTimeoutMillis is not present", &preRenderTimeout) &&
              record.int32("preCacheAdSkippableTimeLimitMillis", "adSkippableTimelimit is not present", &skippable) &&
              record.boolean("videoAutoPlay", "videoAutoPlay is not present", &autoPlay) &&
              record.boolean("supportMRAID", "supportMRAID is not present", &mraid) && record.boolean("preRender", "preRender is not present", &preRender) &&
              record.boolean("renderTime", "renderTime is not present", &renderTime);
    if (!ok) return false;
    unit->setCombinable(combinable);
    unit->setGroupId(std::move(groupId));
    unit->setIdHash(std::move(idHash));
    unit->setServeTime(serveTime);
    unit->setNewCap(newCap);
    unit->setPrevCap(prevCap);
    unit->setPrevCapType(prevCapType);
    unit->setExpirationTime(expirationTime);
    unit->setClosableTime(closableTime);
    unit->setRewardable(rewardable);
    unit->setPreRenderTimeoutMillis(preRenderTimeout);
    unit->setPreCacheAdSkippableTimeLimit(skippable);
    unit->setVideoAutoPlay(autoPlay);
    unit->setSupportMRAID(mraid);
    unit->setPreRender(preRender);
    unit->setRenderTime(renderTime);
    return true;
}

// The symbol of the enum's index, "SO_UNKNOWN" for an index outside the symbols: the reply's
// index is taken as it came, and the library looks it up unchecked.
std::optional<std::string> enumSymbol(const avro_value_t& value) {
    auto* v = const_cast<avro_value_t*>(&value);
    int index = 0;
    if (avro_value_get_type(v) != AVRO_ENUM || avro_value_get_enum(v, &index) != 0) return std::nullopt;
    avro_schema_t schema = avro_value_get_schema(v);
    if (!schema || index < 0 || index >= avro_schema_enum_number_of_symbols(schema)) return "SO_UNKNOWN";
    const char* symbol = avro_schema_enum_get(schema, index);
    return symbol ? symbol : "SO_UNKNOWN";
}

VuderuAdUnitPtr readUnit(const avro_value_t& datum) {
    Record record(datum);
    auto unit = std::make_shared<VuderuAdUnit>();
    std::string space;
    std::int64_t expiration = 0;
    if (!record.string("adSpace", "adSpaceDatum is not present", &space) || !record.int64("expiration", "expiration is not present", &expiration)) {
        return nullptr;
    }
    unit->setAdSpace(std::move(space));
    unit->setExpiration(expiration);
    unit->setAdType(VuderuAdUnit::kAdTypeUnknown);
    avro_value_t frames, orientation;
    if (record.get("adFrames", &frames) && !readFrames(frames, unit.get())) return nullptr;
    if (!readUnitValues(record, unit.get())) return nullptr;
    auto payload = record.stringMap("clientSideRtbPayload");
    if (!payload.empty()) unit->setClientSideRtbPayload(std::move(payload));
    std::optional<std::string> symbol = record.get("screenOrientation", &orientation) ? enumSymbol(orientation) : std::nullopt;
    if (!symbol) {
        VuderuLog("screenOrientationDatum is not present");
        return nullptr;
    }
    unit->setScreenOrientation(VuderuAdUtil::screenOrientationStringToEnum(symbol));
    return unit;
}

bool applyConfiguration(const avro_value_t& datum) {
    Record record(datum);
    std::string url;
    std::int32_t cacheSizeMb = 0, maxAssetSizeKb = 0;
    if (!record.string("sdkAssetUrl", "sdkAssetUrlDatum is not present", &url) || !record.int32("cacheSizeMb", "cacheSize is not present", &cacheSizeMb) ||
        !record.int32("maxAssetSizeKb", "maxAssetSize is not present", &maxAssetSizeKb)) {
        return false;
    }
    auto manager = VuderuAdManager::instance();
    std::string bundle = NSString::stringWithFormat("%@ios.zip", url);
    if (manager->sdkAssetUrl() != bundle) {
        manager->setSdkAssetUrlUpdated(true);
        manager->setSdkAssetUrl(bundle);
    }
    if (auto bytes = VuderuAdResponse::limitInBytes(cacheSizeMb, kBytesPerMegabyte)) manager->setCacheSize(*bytes);
    if (auto bytes = VuderuAdResponse::limitInBytes(maxAssetSizeKb, kBytesPerKilobyte)) manager->setMaxAssetSize(*bytes);
    return true;
}

// NO, logged, for a reply that would cost more decoded than it may. `whole` tells whether the
// walk found one value ending where the body ends (false also when it could not follow the body).
bool affordable(avro_schema_t schema, const NSData& body, bool* whole) {
    AvroItemCounts counts;
    // A body the walk cannot follow is left to the decoder, which says why.
    if (!avroCountItems(schema, body.bytes(), body.length(), &counts, whole)) return true;
    const std::size_t units = counts["AdUnit"], frames = counts["AdFrame"], callbacks = counts["Callback"];
    const std::size_t actions = counts[std::string(kAvroFieldCountPrefix) + "actions"];
    std::size_t items = 0;
    for (const auto& [name, count] : counts) {
        if (name.rfind(kAvroFieldCountPrefix, 0) != 0) items += count;
    }
    // An action is one of the "other" items (a string) that costs a request when it runs.
    const std::size_t others = items - units - frames - callbacks - actions;
    const std::size_t cost = units * VuderuAdResponse::kUnitCost + frames * VuderuAdResponse::kFrameCost +
                             callbacks * VuderuAdResponse::kCallbackCost + actions * VuderuAdResponse::kActionCost +
                             others * VuderuAdResponse::kItemCost;
    const std::size_t allowed = VuderuAdResponse::kAllowedBytes + body.length() * VuderuAdResponse::kAllowedBytesPerBodyByte;
    if (units <= VuderuAdResponse::kMaximumUnits && actions <= VuderuAdResponse::kMaximumActions && cost <= allowed) return true;
    VuderuLog("AdResponse: a reply of %lu bytes with %lu units, %lu frames, %lu callbacks, %lu actions and %lu other items would take "
              "%lu bytes (at most %lu units, %lu actions and %lu bytes); it is refused",
              static_cast<unsigned long>(body.length()), static_cast<unsigned long>(units), static_cast<unsigned long>(frames),
              static_cast<unsigned long>(callbacks), static_cast<unsigned long>(actions), static_cast<unsigned long>(others),
              static_cast<unsigned long>(cost), static_cast<unsigned long>(VuderuAdResponse::kMaximumUnits),
              static_cast<unsigned long>(VuderuAdResponse::kMaximumActions), static_cast<unsigned long>(allowed));
    return false;
}

} // namespace

struct VuderuAdResponse::Schemas {
    std::vector<AvroSchema> parsed; // in the order of kResponseSchemaTexts; the first is AdResponse
    AvroValueClass response;        // values of AdResponse
};

VuderuAdResponse::VuderuAdResponse() = default;
VuderuAdResponse::~VuderuAdResponse() = default;

bool VuderuAdResponse::initSchema() {
    if (schemas_) return true;
    auto schemas = std::make_unique<Schemas>();
    if (!avroParseSchemas(kResponseSchemaTexts, schemas->parsed)) return false;
    schemas->response = avroValueClass(schemas->parsed.front().get());
    if (!schemas->response) {
        VuderuLog("%s", kResponseSchemaTexts[0].failure);
        return false;
    }
    schemas_ = std::move(schemas);
    VuderuLog("Successfully parsed ad response schema");
    return true;
}

std::optional<std::int32_t> VuderuAdResponse::limitInBytes(std::int32_t value, std::int64_t unit) {
    if (value < 0) return std::nullopt;
    std::int64_t bytes = static_cast<std::int64_t>(value) * unit;
    return static_cast<std::int32_t>(std::min<std::int64_t>(bytes, std::numeric_limits<std::int32_t>::max()));
}

std::optional<Units> VuderuAdResponse::parseAdResponse(const NSData& body) {
    if (!initSchema()) return std::nullopt;
    bool whole = false;
    if (!affordable(schemas_->parsed.front().get(), body, &whole)) return std::nullopt;
    std::string error;
    AvroValue reply;
    if (!avroReadUntrusted(schemas_->response.get(), body.bytes(), body.length(), &reply, &error)) {
        VuderuLog("AdResponse: the reply of %lu bytes does not decode: %s", static_cast<unsigned long>(body.length()), error);
        return std::nullopt;
    }
    if (!whole) {
        // The decoder stops at the value's end: bytes after it would pass unread.
        VuderuLog("AdResponse: the reply of %lu bytes holds more than one whole value; it is refused", static_cast<unsigned long>(body.length()));
        return std::nullopt;
    }
    Record response(*reply);
    for (const auto& text : response.strings("errors")) VuderuLog("Error in AdRequest: [%s]", text);
    avro_value_t configuration, branch, list, item;
    int discriminant = -1;
    if (response.get("configuration", &configuration) && avro_value_get_type(&configuration) == AVRO_UNION &&
        avro_value_get_discriminant(&configuration, &discriminant) == 0 && discriminant == 0 &&
        avro_value_get_current_branch(&configuration, &branch) == 0) {
        if (!applyConfiguration(branch)) return std::nullopt;
    }
    Units units;
    if (!response.get("adUnits", &list)) return units;
    for (std::size_t i = 0, count = Record::count(list, AVRO_ARRAY); i < count; ++i) {
        if (!Record::item(list, i, &item)) return std::nullopt;
        auto unit = readUnit(item);
        if (!unit) return std::nullopt;
        units.push_back(unit);
    }
    return units;
}
