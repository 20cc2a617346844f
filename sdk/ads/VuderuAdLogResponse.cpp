#include "sdk/ads/VuderuAdLogResponse.h"

#include "sdk/ads/VuderuAdProtocolSchemas.h"
#include "sdk/ads/VuderuAvroRecord.h"
#include "sdk/analytics/VuderuLog.h"

#include <strings.h>

struct VuderuAdLogResponse::Schema {
    AvroSchema response;
    AvroValueClass values;
};

VuderuAdLogResponse::VuderuAdLogResponse() = default;
VuderuAdLogResponse::~VuderuAdLogResponse() = default;

bool VuderuAdLogResponse::initSchema() {
    if (schema_) return true;
    AvroSchema schema = avroSchemaFromJson(VuderuAdProtocolSchemas::sdkLogResponse());
    if (!schema) {
        VuderuLog("Unable to parse ad log response schema");
        return false;
    }
    AvroValueClass values = avroValueClass(schema.get());
    if (!values) {
        VuderuLog("Unable to parse ad log response schema");
        return false;
    }
    schema_ = std::make_unique<Schema>(Schema{std::move(schema), std::move(values)});
    VuderuLog("Successfully parsed ad log response schema");
    return true;
}

std::shared_ptr<VuderuAdLogResponse> VuderuAdLogResponse::parseAdLogResponse(const NSData& body) {
    if (!initSchema()) return nullptr;
    std::string error;
    AvroValue reply;
    if (!avroReadUntrusted(schema_->values.get(), body.bytes(), body.length(), &reply, &error)) {
        VuderuLog("AdLogResponse: the reply of %lu bytes does not decode: %s", static_cast<unsigned long>(body.length()), error);
        return nullptr;
    }
    VuderuAvroRecord record(*reply);
    std::string result;
    if (!record.string("result", "Result of adlog response is not present", &result)) return nullptr;
    result_ = std::move(result);
    errors_ = record.strings("errors");
    for (const auto& text : errors_) VuderuLog("Ad log server response error is [%s]", text);
    return self<VuderuAdLogResponse>();
}

bool VuderuAdLogResponse::isResultSuccess() const { return ::strcasecmp(result_.c_str(), "success") == 0 && result_.size() == 7; }
