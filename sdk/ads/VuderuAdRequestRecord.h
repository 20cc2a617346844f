#pragma once
// Fills a value of the AdRequest schema from the device, session, targeting, frequency-cap and
// configuration state: every field is set, in schema order.

#include "platform/graphics/CGGeometry.h"
#include "sdk/ads/VuderuAvro.h"

#include <map>
#include <string>

struct VuderuAdRequestInput {
    const std::string& space;
    const CGRect& bounds;  // the ad container's
    bool renderStage;
    const std::map<std::string, std::string>& payload;
};

// NO (logged with the library's error) when a field cannot be set.
bool fillAdRequestRecord(avro_value_t record, const VuderuAdRequestInput& input);
