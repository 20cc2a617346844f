#include "sdk/ads/VuderuAdProtocolSchemas.h"

namespace {

const std::string kV10 = R"("namespace":"com.vuderu.adServer.networking.protocol.v10")";
const std::string kV2 = R"("namespace":"com.vuderu.adServer.networking.protocol.v2")";
const std::string kV1 = R"("namespace":"com.vuderu.adServer.networking.protocol.v1")";

std::string record(const std::string& name, const std::string& ns, const std::string& fields) {
    return R"({"type":"record","name":")" + name + R"(",)" + ns + R"(,"fields":[)" + fields + "]}";
}

std::string adProtocolSchemasField(const std::string& name, const std::string& type) { return R"({"name":")" + name + R"(","type":)" + type + "}"; }

std::string adProtocolSchemasField(const std::string& name, const std::string& type, const std::string& defaultValue) {
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
    static const std::string text = record("Callback", kV10, adProtocolSchemasField("event", kString) + "," + adProtocolSchemasField("actions", arrayOf(kString)));
    return text;
}

const std::string& adSpaceLayout() {
    static const std::string text = record("AdSpaceLayout", kV10,
                                           adProtocolSchemasField("adWidth", kInt) + "," + adProtocolSchemasField("adHeight", kInt) + "," + adProtocolSchemasField("fix", kString) + "," +
                                               adProtocolSchemasField("format", kString) + "," + adProtocolSchemasField("alignment", kString));
    return text;
}

const std::string& adFrame() {
    static const std::string text = record(
        "AdFrame", kV10,
        adProtocolSchemasField("binding", kInt) + "," + adProtocolSchemasField("display", kString) + "," + adProtocolSchemasField("content", kString) + "," +
            adProtocolSchemasField("adSpaceLayout", adSpaceLayout()) + "," + adProtocolSchemasField("callbacks", arrayOf(callback())) + "," + adProtocolSchemasField("adGuid", kString) + "," +
            adProtocolSchemasField("cachingEnum", kInt, "1") + "," + adProtocolSchemasField("assetExpirationTimestampUTCMillis", kLong) + "," +
            adProtocolSchemasField("cacheWhitelistedAssets", arrayOf(kString), "[]") + "," + adProtocolSchemasField("cacheBlacklistedAssets", arrayOf(kString), "[]"));
    return text;
}

const std::string& adUnit() {
    static const std::string text = record(
        "AdUnit", kV10,
        adProtocolSchemasField("adSpace", kString) + "," + adProtocolSchemasField("expiration", kLong) + "," + adProtocolSchemasField("adFrames", arrayOf(adFrame())) + "," +
            adProtocolSchemasField("combinable", kInt, "0") + "," + adProtocolSchemasField("groupId", kString) + "," + adProtocolSchemasField("idHash", kString, kNullText) + "," +
            adProtocolSchemasField("serveTime", kLong) + "," + adProtocolSchemasField("newCap", kInt, "-1") + "," + adProtocolSchemasField("previousCap", kInt, "-1") + "," +
            adProtocolSchemasField("previousCapType", kInt, "0") + "," + adProtocolSchemasField("expirationTime", kLong) + "," + adProtocolSchemasField("price", kLong, "0") + "," +
            adProtocolSchemasField("adomain", kString, kNullText) + "," + adProtocolSchemasField("closableTime", kLong, "0") + "," + adProtocolSchemasField("rewardable", kBoolean, "false") +
            "," + adProtocolSchemasField("preRenderTimeoutMillis", kLong, "10000") + "," + adProtocolSchemasField("preCacheAdSkippableTimeLimitMillis", kInt, "20000") + "," +
            adProtocolSchemasField("videoAutoPlay", kBoolean, "false") + "," + adProtocolSchemasField("supportMRAID", kBoolean, "false") + "," +
            adProtocolSchemasField("preRender", kBoolean, "true") + "," + adProtocolSchemasField("renderTime", kBoolean, "false") + "," +
            adProtocolSchemasField("clientSideRtbPayload", mapOf(kString), "{}") + "," + adProtocolSchemasField("screenOrientation", screenOrientationType(), R"("UNKNOWN")"));
    return text;
}

const std::string& configuration() {
    static const std::string text = record("Configuration", kV10,
                                           adProtocolSchemasField("sdkAssetUrl", kString) + "," + adProtocolSchemasField("cacheSizeMb", kInt, "20") + "," +
                                               adProtocolSchemasField("maxAssetSizeKb", kInt, "2024"));
    return text;
}

const std::string& adResponse() {
    static const std::string text = record("AdResponse", kV10,
                                           adProtocolSchemasField("adUnits", arrayOf(adUnit())) + "," + adProtocolSchemasField("errors", arrayOf(kString), "[]") + "," +
                                               adProtocolSchemasField("configuration", "[" + configuration() + R"(,"null"])", kNullText));
    return text;
}

const std::string& adReportedIdV10() {
    static const std::string text = record("AdReportedId", kV10, adProtocolSchemasField("type", kInt) + "," + adProtocolSchemasField("id", R"("bytes")"));
    return text;
}

const std::string& location() {
    static const std::string text = record("Location", kV10, adProtocolSchemasField("lat", kFloat, "0.0") + "," + adProtocolSchemasField("lon", kFloat, "0.0"));
    return text;
}

const std::string& adViewContainer() {
    static const std::string text = record("AdViewContainer", kV10,
                                           adProtocolSchemasField("viewWidth", kInt, "0") + "," + adProtocolSchemasField("viewHeight", kInt, "0") + "," +
                                               adProtocolSchemasField("screenWidth", kInt, "0") + "," + adProtocolSchemasField("screenHeight", kInt, "0") + "," +
                                               adProtocolSchemasField("density", kFloat, "1.0") + "," +
                                               adProtocolSchemasField("screenOrientation", screenOrientationType(), R"("UNKNOWN")"));
    return text;
}

const std::string& testAds() {
    static const std::string text = record("TestAds", kV10, adProtocolSchemasField("adspacePlacement", kInt, "0"));
    return text;
}

const std::string& frequencyCapInfo() {
    static const std::string text = record("FrequencyCapInfo", kV10,
                                           adProtocolSchemasField("idHash", kString, kNullText) + "," + adProtocolSchemasField("serveTime", kLong) + "," +
                                               adProtocolSchemasField("expirationTime", kLong) + "," + adProtocolSchemasField("views", kInt) + "," + adProtocolSchemasField("newCap", kInt) +
                                               "," + adProtocolSchemasField("previousCap", kInt) + "," + adProtocolSchemasField("previousCapType", kInt));
    return text;
}

const std::string& targetingOverride() {
    static const std::string text = record("TargetingOverride", kV10,
                                           adProtocolSchemasField("ageRange", kInt, "-2") + "," + adProtocolSchemasField("gender", kInt, "-2") + "," +
                                               adProtocolSchemasField("personas", arrayOf(kInt), "[]"));
    return text;
}

const std::string& adRequest() {
    static const std::string text = record(
        "AdRequest", kV10,
        adProtocolSchemasField("apiKey", kString) + "," + adProtocolSchemasField("agentVersion", kString, kNullText) + "," + adProtocolSchemasField("adSpaceName", kString) + "," +
            adProtocolSchemasField("sessionId", kLong) + "," + adProtocolSchemasField("adReportedIds", arrayOf(adReportedIdV10())) + "," +
            adProtocolSchemasField("location", location(), kNullText) + "," + adProtocolSchemasField("testDevice", kBoolean, "false") + "," +
            adProtocolSchemasField("bindings", arrayOf(kInt)) + "," + adProtocolSchemasField("adViewContainer", adViewContainer(), kNullText) + "," +
            adProtocolSchemasField("locale", kString, kNullText) + "," + adProtocolSchemasField("timezone", kString, kNullText) + "," +
            adProtocolSchemasField("osVersion", kString, kNullText) + "," + adProtocolSchemasField("devicePlatform", kString, kNullText) + "," +
            adProtocolSchemasField("testAds", testAds(), kNullText) + "," + adProtocolSchemasField("keywords", mapOf(kString), "[]") + "," +
            adProtocolSchemasField("refresh", kBoolean, "false") + "," + adProtocolSchemasField("canDoSKAppStore", kBoolean, "false") + "," +
            adProtocolSchemasField("networkStatus", kInt, "1") + "," + adProtocolSchemasField("frequencyCapInfos", arrayOf(frequencyCapInfo())) + "," +
            adProtocolSchemasField("adTrackingEnabled", kBoolean) + "," + adProtocolSchemasField("preferredLanguage", kString) + "," + adProtocolSchemasField("bcat", arrayOf(kString)) +
            "," + adProtocolSchemasField("userAgent", kString, kNullText) + "," + adProtocolSchemasField("targetingOverride", targetingOverride(), "[]") + "," +
            adProtocolSchemasField("sendConfiguration", kBoolean, "false") + "," + adProtocolSchemasField("origins", arrayOf(kString), "[]") + "," +
            adProtocolSchemasField("renderTime", kBoolean, "false") + "," + adProtocolSchemasField("clientSideRtbPayload", mapOf(kString), "{}"));
    return text;
}

const std::string& adReportedIdV2() {
    static const std::string text = record("AdReportedId", kV2, adProtocolSchemasField("type", kInt) + "," + adProtocolSchemasField("id", R"("bytes")"));
    return text;
}

const std::string& sdkAdEvent() {
    static const std::string text =
        record("SdkAdEvent", kV2, adProtocolSchemasField("type", kString) + "," + adProtocolSchemasField("params", mapOf(kString)) + "," + adProtocolSchemasField("timeOffset", kLong));
    return text;
}

const std::string& sdkAdLog() {
    static const std::string text = record("SdkAdLog", kV2,
                                           adProtocolSchemasField("sessionId", kLong) + "," + adProtocolSchemasField("adLogGUID", kString) + "," +
                                               adProtocolSchemasField("sdkAdEvents", arrayOf(sdkAdEvent())));
    return text;
}

const std::string& sdkLogRequest() {
    static const std::string text = record("SdkLogRequest", kV2,
                                           adProtocolSchemasField("apiKey", kString) + "," + adProtocolSchemasField("adReportedIds", arrayOf(adReportedIdV2())) + "," +
                                               adProtocolSchemasField("sdkAdLogs", arrayOf(sdkAdLog())) + "," + adProtocolSchemasField("agentTimestamp", kLong) + "," +
                                               adProtocolSchemasField("agentVersion", kString) + "," + adProtocolSchemasField("testDevice", kBoolean, "false"));
    return text;
}

const std::string& sdkLogResponse() {
    static const std::string text = record("SdkLogResponse", kV1, adProtocolSchemasField("result", kString) + "," + adProtocolSchemasField("errors", arrayOf(kString)));
    return text;
}

} // namespace VuderuAdProtocolSchemas
