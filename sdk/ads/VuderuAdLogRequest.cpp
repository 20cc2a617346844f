#include "sdk/ads/VuderuAdLogRequest.h"

#include "sdk/ads/VuderuAdProtocolSchemas.h"
#include "sdk/ads/VuderuAvro.h"
#include "sdk/ads/VuderuFieldLookup.h"
#include "sdk/analytics/VuderuLog.h"
#include "sdk/analytics/VuderuUtil.h"

#include <cstdlib>
#include <cstring>

namespace {

const AvroSchemaText kSchemaTexts[] = {
    {VuderuAdProtocolSchemas::sdkLogRequest, "Unable to parse ad log request schema"},
    {VuderuAdProtocolSchemas::sdkAdLog, "Unable to parse ad log schema"},
    {VuderuAdProtocolSchemas::sdkAdEvent, "Unable to parse ad event schema"},
    {VuderuAdProtocolSchemas::adReportedIdV2, "Unable to parse vuderu id schema"},
};

std::string field(std::int32_t number) { return VuderuFieldLookup::getStringValueForFieldTypeEncodeForUrl(number, false).value_or(""); }

// The nested schemas, taken from the request's own so that every record matches it.
struct Shapes {
    avro_schema_t request = nullptr;
    avro_schema_t reportedIds = nullptr, reportedId = nullptr;
    avro_schema_t adLogs = nullptr, adLog = nullptr;
    avro_schema_t adEvents = nullptr, adEvent = nullptr, params = nullptr;

    explicit Shapes(avro_schema_t schema) : request(schema) {
        reportedIds = avro_schema_record_field_get(request, "adReportedIds");
        reportedId = reportedIds ? avro_schema_array_items(reportedIds) : nullptr;
        adLogs = avro_schema_record_field_get(request, "sdkAdLogs");
        adLog = adLogs ? avro_schema_array_items(adLogs) : nullptr;
        adEvents = adLog ? avro_schema_record_field_get(adLog, "sdkAdEvents") : nullptr;
        adEvent = adEvents ? avro_schema_array_items(adEvents) : nullptr;
        params = adEvent ? avro_schema_record_field_get(adEvent, "params") : nullptr;
    }
    bool complete() const { return reportedId && adLog && adEvent && params; }
};

bool set(avro_datum_t record, const char* name, const AvroDatum& value) { return value && avro_record_set(record, name, value.get()) == 0; }

bool failed(const char* format) {
    VuderuLog(format, avro_strerror());
    return false;
}

// The device identifiers, "<type>:<id>", split at the first ":".
bool appendReportedIds(const Shapes& shapes, avro_datum_t list) {
    for (const auto& entry : VuderuFieldLookup::getDataValuesForFieldType(VuderuFieldLookup::kFids)) {
        const auto* bytes = reinterpret_cast<const char*>(entry->bytes());
        const void* colon = std::memchr(bytes, ':', entry->length());
        if (!colon || colon == bytes) continue;
        std::size_t at = static_cast<std::size_t>(static_cast<const char*>(colon) - bytes);
        AvroDatum id = avroOwn(avro_record(shapes.reportedId));
        if (!id || !set(id.get(), "type", avroOwn(avro_int32(std::atoi(std::string(bytes, at).c_str())))) ||
            !set(id.get(), "id", avroOwn(avro_bytes(bytes + at + 1, static_cast<int64_t>(entry->length() - at - 1)))) ||
            avro_array_append_datum(list, id.get()) != 0) {
            return failed("Unable to create AdReportedId datum structure: %s");
        }
    }
    return true;
}

AvroDatum makeEvent(const Shapes& shapes, const VuderuAdEvent& event) {
    AvroDatum record = avroOwn(avro_record(shapes.adEvent));
    AvroDatum params = avroOwn(avro_map(shapes.params));
    if (!record || !params) return nullptr;
    if (event.paramMap()) {
        for (const auto& [key, value] : *event.paramMap()) {
            AvroDatum text = avroOwn(avro_string(value.c_str()));
            if (!text || avro_map_set(params.get(), key.c_str(), text.get()) != 0) return nullptr;
        }
    }
    if (!set(record.get(), "type", avroOwn(avro_string(event.eventName().c_str()))) || !set(record.get(), "params", params) ||
        !set(record.get(), "timeOffset", avroOwn(avro_int64(event.sessionStartTimeOffset())))) {
        return nullptr;
    }
    return record;
}

bool appendAdLog(const Shapes& shapes, const VuderuAdLog& log, const VuderuAdLog::EventList& events, avro_datum_t list) {
    AvroDatum adEvents = avroOwn(avro_array(shapes.adEvents));
    if (!adEvents) return failed("Unable to create AdLog datum structure: %s");
    for (const auto& event : events) {
        if (!event || !event->toBeSent()) continue;
        AvroDatum record = makeEvent(shapes, *event);
        if (!record || avro_array_append_datum(adEvents.get(), record.get()) != 0) return failed("Unable to create AdEvent datum structure: %s");
    }
    AvroDatum record = avroOwn(avro_record(shapes.adLog));
    if (!record || !set(record.get(), "sessionId", avroOwn(avro_int64(log.sessionId()))) ||
        !set(record.get(), "adLogGUID", avroOwn(avro_string(log.GUID().value_or("").c_str()))) ||
        !set(record.get(), "sdkAdEvents", adEvents) || avro_array_append_datum(list, record.get()) != 0) {
        return failed("Unable to create AdLog datum structure: %s");
    }
    return true;
}

} // namespace

struct VuderuAdLogRequest::Schemas {
    std::vector<AvroSchema> parsed; // in the order of kSchemaTexts; the first is SdkLogRequest
};

struct VuderuAdLogRequest::Record {
    AvroDatum datum;
};

VuderuAdLogRequest::VuderuAdLogRequest(std::vector<VuderuAdLogPtr> adLogs, std::string transferIdentifier)
    : adLogsArray_(std::move(adLogs)), transferIdentifier_(std::move(transferIdentifier)) {}

VuderuAdLogRequest::~VuderuAdLogRequest() = default;

bool VuderuAdLogRequest::initSchema() {
    if (schemas_) return true;
    auto schemas = std::make_unique<Schemas>();
    if (!avroParseSchemas(kSchemaTexts, schemas->parsed)) return false;
    schemas_ = std::move(schemas);
    VuderuLog("Successfully parsed ad log request schema");
    return true;
}

std::unique_ptr<VuderuAdLogRequest::Record> VuderuAdLogRequest::generateAdLogRequest() {
    if (!initSchema()) return nullptr;
    Shapes shapes(schemas_->parsed.front().get());
    if (!shapes.complete()) return nullptr;
    AvroDatum reportedIds = avroOwn(avro_array(shapes.reportedIds));
    AvroDatum adLogs = avroOwn(avro_array(shapes.adLogs));
    if (!reportedIds || !adLogs || !appendReportedIds(shapes, reportedIds.get())) return nullptr;
    for (const auto& log : adLogsArray_) {
        if (!log) continue;
        const auto events = log->eventsWithTransferIdentifier(transferIdentifier_);
        if (!events || events->empty()) {
            VuderuLog("AdLogRequest: Empty adevent array found for guid %@", log->GUID().value_or("(null)"));
            continue;
        }
        if (!appendAdLog(shapes, *log, *events, adLogs.get())) return nullptr;
    }
    AvroDatum request = avroOwn(avro_record(shapes.request));
    std::int64_t timestamp = std::strtoll(field(VuderuFieldLookup::kAgentTimestamp).c_str(), nullptr, 10);
    bool testDevice = std::atoi(field(VuderuFieldLookup::kTestDevice).c_str()) != 0;
    if (!request || !set(request.get(), "apiKey", avroOwn(avro_string(field(VuderuFieldLookup::kApiKey).c_str()))) ||
        !set(request.get(), "adReportedIds", reportedIds) || !set(request.get(), "sdkAdLogs", adLogs) ||
        !set(request.get(), "agentTimestamp", avroOwn(avro_int64(timestamp))) ||
        !set(request.get(), "agentVersion", avroOwn(avro_string(field(VuderuFieldLookup::kAgentVersion).c_str()))) ||
        !set(request.get(), "testDevice", avroOwn(avro_boolean(testDevice ? 1 : 0)))) {
        failed("Unable to create Ad Log Request datum structure: %s");
        return nullptr;
    }
    VuderuLog("Successfully created ad log request. Any errors? %s", avro_strerror());
    return std::make_unique<Record>(Record{std::move(request)});
}

NSDataPtr VuderuAdLogRequest::dataRepresentation() {
    auto record = generateAdLogRequest();
    if (!record) return nullptr;
    std::vector<std::uint8_t> bytes;
    std::string error;
    if (!avroEncode(schemas_->parsed.front().get(), record->datum.get(), &bytes, &error)) {
        VuderuLog("Unable to validate= %s\n", error);
        return nullptr;
    }
    if (VuderuUtil::logLevel() > 1) {
        std::string json;
        if (avroJsonOfEncoded(schemas_->parsed.front().get(), bytes, &json)) {
            VuderuLog("Sending AdLogRequest of size %lu....", static_cast<unsigned long>(json.size()));
        } else {
            VuderuLog("AdLogRequest ERROR: cannot get JSON AdRequest");
        }
    }
    return std::make_shared<NSData>(std::move(bytes));
}

bool VuderuAdLogRequest::isRequestData(const NSData& data) {
    // Parsed once and only read afterwards, so concurrent checks may share them.
    static const std::vector<AvroSchema>* schemas = [] {
        auto* parsed = new std::vector<AvroSchema>;
        if (!avroParseSchemas(kSchemaTexts, *parsed)) parsed->clear();
        return parsed;
    }();
    return !schemas->empty() && avroIsWholeValue(schemas->front().get(), data.bytes(), data.length());
}
