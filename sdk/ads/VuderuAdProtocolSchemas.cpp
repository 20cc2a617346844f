#include "sdk/ads/VuderuAdProtocolSchemas.h"

namespace {

const std::string kV10 = R"("namespace":"com.vuderu.adServer.networking.protocol.v10")";
const std::string kV2 = R"("namespace":"com.vuderu.adServer.networking.protocol.v2")";
const std::string kV1 = R"("namespace":"com.vuderu.adServer.networking.protocol.v1")";

std::string record(const std::string& name, const std::string& ns, const std::string& fields) {
    return R"({"type":"record","name":")" + name + R"(",)" + ns + R"(,"fields":[)" + fields + "]}";
}

std::string field(const std::string& name, const std::string& type) { return R"({"name":")" + name + R"(","type":)" + type + "}"; }

std::string field(const std::string& name, const std::string& type, const std::string& defaultValue) {
    return R"({"name":")" + name + R"(","type":)" + type + R"(,"default":)" + defaultValue + "}";
}

std::string arrayOf(const std::string& items) { return R"({"type":"array","items":)" + items + "}"; }
std::string mapOf(const std::string& values) { return R"({"type":"map","values":)" + values + "}"; }

const std::string kString = R"("string")";
const std::string kInt = R"("int")";
const std::string kLong = R"("long")";
const std::string kBoolean = R"("boolean")";
const std::string kNullText = R"("null")";
const std::string kFloat = R"("float")";

} // namespace

namespace VuderuAdProtocolSchemas {

const std::string& screenOrientationType() {
    static const std::string text =
        R"({"type":"enum","name":"ScreenOrientationType",)" + kV10 + R"(,"symbols":["PORTRAIT","LANDSCAPE","UNKNOWN"]})";
    return text;
}

const std::string& callback() {
    static const std::string text = record("Callback", kV10, field("event", kString) + "," + field("actions", arrayOf(kString)));
    return text;
}

const std::string& adSpaceLayout() {
    static const std::string text = record("AdSpaceLayout", kV10,
                                           field("adWidth", kInt) + "," + field("adHeight", kInt) + "," + field("fix", kString) + "," +
                                               field("format", kString) + "," + field("alignment", kString));
    return text;
}

const std::string& adFrame() {
    static const std::string text = record(
        "AdFrame", kV10,
        field("binding", kInt) + "," + field("display", kString) + "," + field("content", kString) + "," +
            field("adSpaceLayout", adSpaceLayout()) + "," + field("callbacks", arrayOf(callback())) + "," + field("adGuid", kString) + "," +
            field("cachingEnum", kInt, "1") + "," + field("assetExpirationTimestampUTCMillis", kLong) + "," +
            field("cacheWhitelistedAssets", arrayOf(kString), "[]") + "," + field("cacheBlacklistedAssets", arrayOf(kString), "[]"));
    return text;
}

const std::string& adUnit() {
    static const std::string text = record(
        "AdUnit", kV10,
        field("adSpace", kString) + "," + field("expiration", kLong) + "," + field("adFrames", arrayOf(adFrame())) + "," +
            field("combinable", kInt, "0") + "," + field("groupId", kString) + "," + field("idHash", kString, kNullText) + "," +
            field("serveTime", kLong) + "," + field("newCap", kInt, "-1") + "," + field("previousCap", kInt, "-1") + "," +
            field("previousCapType", kInt, "0") + "," + field("expirationTime", kLong) + "," + field("price", kLong, "0") + "," +
            field("adomain", kString, kNullText) + "," + field("closableTime", kLong, "0") + "," + field("rewardable", kBoolean, "false") +
            "," + field("preRenderTimeoutMillis", kLong, "10000") + "," + field("preCacheAdSkippableTimeLimitMillis", kInt, "20000") + "," +
            field("videoAutoPlay", kBoolean, "false") + "," + field("supportMRAID", kBoolean, "false") + "," +
            field("preRender", kBoolean, "true") + "," + field("renderTime", kBoolean, "false") + "," +
            field("clientSideRtbPayload", mapOf(kString), "{}") + "," + field("screenOrientation", screenOrientationType(), R"("UNKNOWN")"));
    return text;
}

const std::string& configuration() {
    static const std::string text = record("Configuration", kV10,
                                           field("sdkAssetUrl", kString) + "," + field("cacheSizeMb", kInt, "20") + "," +
                                               field("maxAssetSizeKb", kInt, "2024"));
    return text;
}

const std::string& adResponse() {
    static const std::string text = record("AdResponse", kV10,
                                           field("adUnits", arrayOf(adUnit())) + "," + field("errors", arrayOf(kString), "[]") + "," +
                                               field("configuration", "[" + configuration() + R"(,"null"])", kNullText));
    return text;
}

const std::string& adReportedIdV10() {
    static const std::string text = record("AdReportedId", kV10, field("type", kInt) + "," + field("id", R"("bytes")"));
    return text;
}

const std::string& location() {
    static const std::string text = record("Location", kV10, field("lat", kFloat, "0.0") + "," + field("lon", kFloat, "0.0"));
    return text;
}

const std::string& adViewContainer() {
    static const std::string text = record("AdViewContainer", kV10,
                                           field("viewWidth", kInt, "0") + "," + field("viewHeight", kInt, "0") + "," +
                                               field("screenWidth", kInt, "0") + "," + field("screenHeight", kInt, "0") + "," +
                                               field("density", kFloat, "1.0") + "," +
                                               field("screenOrientation", screenOrientationType(), R"("UNKNOWN")"));
    return text;
}

const std::string& testAds() {
    static const std::string text = record("TestAds", kV10, field("adspacePlacement", kInt, "0"));
    return text;
}

const std::string& frequencyCapInfo() {
    static const std::string text = record("FrequencyCapInfo", kV10,
                                           field("idHash", kString, kNullText) + "," + field("serveTime", kLong) + "," +
                                               field("expirationTime", kLong) + "," + field("views", kInt) + "," + field("newCap", kInt) +
                                               "," + field("previousCap", kInt) + "," + field("previousCapType", kInt));
    return text;
}

const std::string& targetingOverride() {
    static const std::string text = record("TargetingOverride", kV10,
                                           field("ageRange", kInt, "-2") + "," + field("gender", kInt, "-2") + "," +
                                               field("personas", arrayOf(kInt), "[]"));
    return text;
}

const std::string& adRequest() {
    static const std::string text = record(
        "AdRequest", kV10,
        field("apiKey", kString) + "," + field("agentVersion", kString, kNullText) + "," + field("adSpaceName", kString) + "," +
            field("sessionId", kLong) + "," + field("adReportedIds", arrayOf(adReportedIdV10())) + "," +
            field("location", location(), kNullText) + "," + field("testDevice", kBoolean, "false") + "," +
            field("bindings", arrayOf(kInt)) + "," + field("adViewContainer", adViewContainer(), kNullText) + "," +
            field("locale", kString, kNullText) + "," + field("timezone", kString, kNullText) + "," +
            field("osVersion", kString, kNullText) + "," + field("devicePlatform", kString, kNullText) + "," +
            field("testAds", testAds(), kNullText) + "," + field("keywords", mapOf(kString), "[]") + "," +
            field("refresh", kBoolean, "false") + "," + field("canDoSKAppStore", kBoolean, "false") + "," +
            field("networkStatus", kInt, "1") + "," + field("frequencyCapInfos", arrayOf(frequencyCapInfo())) + "," +
            field("adTrackingEnabled", kBoolean) + "," + field("preferredLanguage", kString) + "," + field("bcat", arrayOf(kString)) +
            "," + field("userAgent", kString, kNullText) + "," + field("targetingOverride", targetingOverride(), "[]") + "," +
            field("sendConfiguration", kBoolean, "false") + "," + field("origins", arrayOf(kString), "[]") + "," +
            field("renderTime", kBoolean, "false") + "," + field("clientSideRtbPayload", mapOf(kString), "{}"));
    return text;
}

const std::string& adReportedIdV2() {
    static const std::string text = record("AdReportedId", kV2, field("type", kInt) + "," + field("id", R"("bytes")"));
    return text;
}

const std::string& sdkAdEvent() {
    static const std::string text =
        record("SdkAdEvent", kV2, field("type", kString) + "," + field("params", mapOf(kString)) + "," + field("timeOffset", kLong));
    return text;
}

const std::string& sdkAdLog() {
    static const std::string text = record("SdkAdLog", kV2,
                                           field("sessionId", kLong) + "," + field("adLogGUID", kString) + "," +
                                               field("sdkAdEvents", arrayOf(sdkAdEvent())));
    return text;
}

const std::string& sdkLogRequest() {
    static const std::string text = record("SdkLogRequest", kV2,
                                           field("apiKey", kString) + "," + field("adReportedIds", arrayOf(adReportedIdV2())) + "," +
                                               field("sdkAdLogs", arrayOf(sdkAdLog())) + "," + field("agentTimestamp", kLong) + "," +
                                               field("agentVersion", kString) + "," + field("testDevice", kBoolean, "false"));
    return text;
}

const std::string& sdkLogResponse() {
    static const std::string text = record("SdkLogResponse", kV1, field("result", kString) + "," + field("errors", arrayOf(kString)));
    return text;
}

} // namespace VuderuAdProtocolSchemas
