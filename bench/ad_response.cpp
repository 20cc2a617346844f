// A typical ad reply (five units of three frames with four callbacks each) decoded into ad units
// by the SDK, beside a small decoder on Avro C's generic value interface alone (fresh values per
// message) that copies the same fields out. The two take turns, several passes of N messages
// each; the medians of each one's passes are printed with their ratio (aim: at most 1.2).

#include "bench/Alternation.h"
#include "sdk/ads/VuderuAdProtocolSchemas.h"
#include "sdk/ads/VuderuAdResponse.h"
#include "sdk/ads/tests/AvroBytes.h"

#include <avro.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr int kMessages = 2000;
constexpr int kPasses = 7;

std::string typicalReply() {
    AvroBytes out;
    out.l(5);
    for (int u = 0; u < 5; ++u) {
        out.s("space-" + std::to_string(u)).l(1700000000000).l(3);
        for (int f = 0; f < 3; ++f) {
            out.l(2).s("<html><body>frame " + std::to_string(f) + " of an ad with some markup in it</body></html>").s("{\"content\":true}");
            out.l(320).l(50).s("both").s("banner").s("b-c");
            out.l(4);
            for (const char* event : {"clicked", "rendered", "videoStart", "adClosed"}) {
                out.s(event).strings({"sendUrlAsync?url=https%3A%2F%2Ftrack.example%2Fe", "directOpen"});
            }
            out.end();
            out.s("guid-" + std::to_string(u) + "-" + std::to_string(f)).l(1).l(1700000000000).strings({"a.mp4"}).strings({});
        }
        out.end();
        out.l(0).s("group").s("hash-" + std::to_string(u)).l(1600000000000).l(3).l(-1).l(0).l(1800000000000).l(0).s("example.com").l(0);
        out.b(false).l(10000).l(20000).b(false).b(true).b(true).b(false);
        out.l(1).s("bid").s("0.25").end();
        out.l(0);
    }
    out.end().strings({}).l(0).s("https://assets.example/").l(20).l(2024);
    return out.str();
}

// What the peer copies out of a unit: the same facts the SDK's units keep.
struct PlainFrame {
    int binding = 0;
    std::string display, content, guid, fix, format, alignment;
    int width = 0, height = 0, caching = 0;
    long long assetExpiration = 0;
    std::map<std::string, std::vector<std::string>> callbacks;
    std::vector<std::string> white, black;
};
struct PlainUnit {
    std::string space, group, hash;
    long long expiration = 0, serveTime = 0, expirationTime = 0, closable = 0, preRenderTimeout = 0;
    int combinable = 0, newCap = 0, prevCap = 0, prevCapType = 0, skippable = 0, orientation = 0;
    bool rewardable = false, autoPlay = false, mraid = false, preRender = false, renderTime = false;
    std::map<std::string, std::string> payload;
    std::vector<PlainFrame> frames;
};

std::string text(avro_value_t& record, const char* name) {
    avro_value_t field;
    const char* s = nullptr;
    size_t size = 0;
    avro_value_get_by_name(&record, name, &field, nullptr);
    avro_value_get_string(&field, &s, &size);
    return s ? std::string(s, size ? size - 1 : 0) : std::string();
}
template <class T, class Getter>
T number(avro_value_t& record, const char* name, Getter get) {
    avro_value_t field;
    T value{};
    avro_value_get_by_name(&record, name, &field, nullptr);
    get(&field, &value);
    return value;
}
int32_t int32(avro_value_t& r, const char* n) { return number<int32_t>(r, n, [](avro_value_t* f, int32_t* v) { avro_value_get_int(f, v); }); }
int64_t int64(avro_value_t& r, const char* n) { return number<int64_t>(r, n, [](avro_value_t* f, int64_t* v) { avro_value_get_long(f, v); }); }
bool boolean(avro_value_t& r, const char* n) { return number<int>(r, n, [](avro_value_t* f, int* v) { avro_value_get_boolean(f, v); }) != 0; }
std::vector<std::string> strings(avro_value_t& record, const char* name) {
    avro_value_t list, item;
    size_t count = 0;
    avro_value_get_by_name(&record, name, &list, nullptr);
    avro_value_get_size(&list, &count);
    std::vector<std::string> out;
    for (size_t i = 0; i < count; ++i) {
        const char* s = nullptr;
        size_t size = 0;
        avro_value_get_by_index(&list, i, &item, nullptr);
        avro_value_get_string(&item, &s, &size);
        out.emplace_back(s, size ? size - 1 : 0);
    }
    return out;
}

PlainFrame plainFrame(avro_value_t& f) {
    PlainFrame frame;
    frame.binding = int32(f, "binding");
    frame.display = text(f, "display");
    frame.content = text(f, "content");
    frame.guid = text(f, "adGuid");
    frame.caching = int32(f, "cachingEnum");
    frame.assetExpiration = int64(f, "assetExpirationTimestampUTCMillis") / 1000;
    avro_value_t layout, callbacks, callback;
    avro_value_get_by_name(&f, "adSpaceLayout", &layout, nullptr);
    frame.width = int32(layout, "adWidth");
    frame.height = int32(layout, "adHeight");
    frame.fix = text(layout, "fix");
    frame.format = text(layout, "format");
    frame.alignment = text(layout, "alignment");
    avro_value_get_by_name(&f, "callbacks", &callbacks, nullptr);
    size_t count = 0;
    avro_value_get_size(&callbacks, &count);
    for (size_t i = 0; i < count; ++i) {
        avro_value_get_by_index(&callbacks, i, &callback, nullptr);
        frame.callbacks[text(callback, "event")] = strings(callback, "actions");
    }
    frame.white = strings(f, "cacheWhitelistedAssets");
    frame.black = strings(f, "cacheBlacklistedAssets");
    return frame;
}

PlainUnit plainUnit(avro_value_t& u) {
    PlainUnit unit;
    unit.space = text(u, "adSpace");
    unit.expiration = int64(u, "expiration");
    avro_value_t frames, frame, payload, value, orientation;
    avro_value_get_by_name(&u, "adFrames", &frames, nullptr);
    size_t count = 0;
    avro_value_get_size(&frames, &count);
    for (size_t i = 0; i < count; ++i) {
        avro_value_get_by_index(&frames, i, &frame, nullptr);
        unit.frames.push_back(plainFrame(frame));
    }
    unit.combinable = int32(u, "combinable");
    unit.group = text(u, "groupId");
    unit.hash = text(u, "idHash");
    unit.serveTime = int64(u, "serveTime");
    unit.newCap = int32(u, "newCap");
    unit.prevCap = int32(u, "previousCap");
    unit.prevCapType = int32(u, "previousCapType");
    unit.expirationTime = int64(u, "expirationTime");
    unit.closable = int64(u, "closableTime");
    unit.rewardable = boolean(u, "rewardable");
    unit.preRenderTimeout = int64(u, "preRenderTimeoutMillis");
    unit.skippable = int32(u, "preCacheAdSkippableTimeLimitMillis");
    unit.autoPlay = boolean(u, "videoAutoPlay");
    unit.mraid = boolean(u, "supportMRAID");
    unit.preRender = boolean(u, "preRender");
    unit.renderTime = boolean(u, "renderTime");
    avro_value_get_by_name(&u, "clientSideRtbPayload", &payload, nullptr);
    avro_value_get_size(&payload, &count);
    for (size_t i = 0; i < count; ++i) {
        const char* key = nullptr;
        const char* s = nullptr;
        size_t size = 0;
        avro_value_get_by_index(&payload, i, &value, &key);
        avro_value_get_string(&value, &s, &size);
        unit.payload[key] = std::string(s, size ? size - 1 : 0);
    }
    avro_value_get_by_name(&u, "screenOrientation", &orientation, nullptr);
    avro_value_get_enum(&orientation, &unit.orientation);
    return unit;
}

std::size_t peerDecode(avro_value_iface_t* iface, const std::string& bytes) {
    avro_value_t reply, units, unit;
    avro_generic_value_new(iface, &reply);
    avro_reader_t reader = avro_reader_memory(bytes.data(), static_cast<int64_t>(bytes.size()));
    std::vector<PlainUnit> out;
    if (avro_value_read(reader, &reply) == 0) {
        avro_value_get_by_name(&reply, "adUnits", &units, nullptr);
        size_t count = 0;
        avro_value_get_size(&units, &count);
        for (size_t i = 0; i < count; ++i) {
            avro_value_get_by_index(&units, i, &unit, nullptr);
            out.push_back(plainUnit(unit));
        }
    }
    avro_reader_free(reader);
    avro_value_decref(&reply);
    return out.size();
}

} // namespace

int main() {
    const std::string reply = typicalReply();
    const NSData body(reply.data(), reply.size());
    auto response = std::make_shared<VuderuAdResponse>();
    avro_schema_t schema = nullptr;
    const std::string& json = VuderuAdProtocolSchemas::adResponse();
    if (avro_schema_from_json_length(json.data(), json.size(), &schema) != 0) return 1;
    avro_value_iface_t* iface = avro_generic_class_from_schema(schema);
    std::size_t oursUnits = 0, peerUnits = 0;
    auto runOurs = [&] {
        for (int i = 0; i < kMessages; ++i) oursUnits = response->parseAdResponse(body)->size();
    };
    auto runPeer = [&] {
        for (int i = 0; i < kMessages; ++i) peerUnits = peerDecode(iface, reply);
    };
    auto medians = alternate(kPasses, runOurs, runPeer);
    avro_value_iface_decref(iface);
    avro_schema_decref(schema);
    double oursSeconds = medians.ours, peerSeconds = medians.peer;
    std::printf("ad reply of %zu bytes (5 units x 3 frames x 4 callbacks) decoded %d times, %d passes each, alternating; medians:\n"
                "  VuderuAdResponse: %8.1f us/reply   generic value interface: %8.1f us/reply   time ratio ours/generic: %.2f (aim <= 1.2)  %s\n",
                reply.size(), kMessages, kPasses, oursSeconds / kMessages * 1e6, peerSeconds / kMessages * 1e6, oursSeconds / peerSeconds,
                oursUnits == 5 && peerUnits == 5 ? "both decoded 5 units" : "UNIT COUNTS DIFFER");
    printSpread(medians);
    return oursUnits == 5 && peerUnits == 5 ? 0 : 1;
}
