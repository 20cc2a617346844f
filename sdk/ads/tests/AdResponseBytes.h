#pragma once
// AdResponse replies written by hand for the decoder's tests and the fuzzer's seeds: units of one
// frame with two callbacks, an error, and a configuration or none.

#include "sdk/ads/tests/AvroBytes.h"

#include <cstdint>
#include <string>
#include <vector>

namespace adresponse {

struct FrameShape {
    std::string guid = "guid-1";
    std::int64_t assetExpirationMillis = 1999;
    bool layout = true; // the schema requires one; a foreign writer might not
    bool duplicateCallback = false;
    std::string display = "<html/>";
    std::int64_t unitExpirationMillis = 1700000000000;  // 0: never
    // Further actions of the "rendered" callback, each a tracking request.
    std::size_t renderedTrackers = 0;
};

inline AvroBytes& frame(AvroBytes& out, const FrameShape& shape) {
    out.l(2).s(shape.display).s("content");
    out.l(320).l(50).s("both").s("banner").s("b-c");
    out.l(shape.duplicateCallback ? 3 : 2);
    out.s("clicked").strings({"directOpen", "sendUrl"});
    if (shape.renderedTrackers == 0) {
        out.s("rendered").strings({"track"});
    } else {
        out.s("rendered").l(static_cast<std::int64_t>(shape.renderedTrackers + 1)).s("track");
        for (std::size_t i = 0; i < shape.renderedTrackers; ++i) out.s("sendUrlAsync?url=http://tracker.example/t");
        out.end();
    }
    if (shape.duplicateCallback) out.s("clicked").strings({"second"});
    out.end();
    out.s(shape.guid).l(1).l(shape.assetExpirationMillis).strings({"w1", "w2"}).strings({"b1"});
    return out;
}

// An AdUnit record with one frame; `orientation` is the enum index.
inline AvroBytes& unit(AvroBytes& out, const FrameShape& shape, std::int64_t orientation, bool payload) {
    out.s("space").l(shape.unitExpirationMillis).l(1);
    frame(out, shape).end();
    out.l(1).s("group").s("hash").l(1600000000000).l(3).l(-1).l(0).l(1800000000000).l(42).s("adomain.example").l(5000).b(true);
    out.l(10000).l(20000).b(false).b(true).b(true).b(false);
    if (payload) out.l(2).s("k1").s("v1").s("k2").s("v2").end();
    else out.end();
    out.l(orientation);
    return out;
}

inline std::string response(int units, bool configuration, std::int64_t cacheSizeMb = 20, std::int64_t maxAssetSizeKb = 2024,
                     FrameShape shape = {}, std::int64_t orientation = 1) {
    AvroBytes out;
    if (units) {
        out.l(units);
        for (int i = 0; i < units; ++i) unit(out, shape, orientation, i == 0);
    }
    out.end();
    out.strings({"first error"});
    if (configuration) out.l(0).s("https://assets.example/sdk/").l(cacheSizeMb).l(maxAssetSizeKb);
    else out.l(1);
    return out.str();
}

// One unit per shape, each of one frame, without a configuration.
inline std::string response(const std::vector<FrameShape>& units) {
    AvroBytes out;
    out.l(static_cast<std::int64_t>(units.size()));
    for (std::size_t i = 0; i < units.size(); ++i) unit(out, units[i], 1, i == 0);
    out.end();
    out.strings({"first error"});
    out.l(1);
    return out.str();
}

} // namespace adresponse
