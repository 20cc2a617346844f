#include "sdk/ads/VuderuAdRequest.h"

#include "platform/foundation/NSDate.h"
#include "sdk/ads/VuderuAdError.h"
#include "sdk/ads/VuderuAdProtocolSchemas.h"
#include "sdk/ads/VuderuAdRequestRecord.h"
#include "sdk/ads/VuderuAdResponse.h"
#include "sdk/ads/VuderuAvro.h"
#include "sdk/ads/VuderuContentLoadingManager.h"
#include "sdk/ads/VuderuVASTUtil.h"
#include "sdk/analytics/VuderuLog.h"
#include "sdk/analytics/VuderuNetworkUtil.h"
#include "sdk/analytics/VuderuUtil.h"

#include <algorithm>
#include <cstdlib>

namespace {

// The first is the request's own; the records follow in the order they are declared in it.
const AvroSchemaText kAdRequestSchemaTexts[] = {
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

bool adRequestFailed(const char* format) {
    VuderuLog(format, avro_strerror());
    return false;
}

} // namespace

struct VuderuAdRequest::Schemas {
    std::vector<AvroSchema> parsed;  // in the order of kAdRequestSchemaTexts
    AvroValueClass requestClass;     // values of the request's schema
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
    if (!avroParseSchemas(kAdRequestSchemaTexts, schemas->parsed)) return false;
    schemas->requestClass = avroValueClass(schemas->parsed.front().get());
    if (!schemas->requestClass) {
        VuderuLog("%s", kAdRequestSchemaTexts[0].failure);
        return false;
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
    AvroValue record;
    if (!record.make(schemas_->requestClass.get())) {
        adRequestFailed("Unable to create Ad Request datum structure: %s");
        return nullptr;
    }
    if (!fillAdRequestRecord(*record, VuderuAdRequestInput{space, viewContainerBounds, renderStage, payload})) return nullptr;
    VuderuLog("Successfully created ad request.");
    // Written into a buffer of the size the library computes for the value.
    std::size_t size = 0;
    std::vector<std::uint8_t> bytes;
    AvroWriter writer;
    if (avro_value_sizeof(record.get(), &size) == 0) {
        bytes.resize(size);
        writer.reset(avro_writer_memory(reinterpret_cast<const char*>(bytes.data()), static_cast<int64_t>(size)));
    }
    if (!writer || avro_value_write(writer.get(), record.get()) != 0) {
        VuderuLog("Unable to validate= %s\n", avro_strerror());
        return nullptr;
    }
    bytes.resize(static_cast<std::size_t>(avro_writer_tell(writer.get())));
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
    if (startVASTParsing(running)) return;
    if (running.delegate) running.delegate->requestSuccessfulWithParams(adUnits_, running.params);
}

void VuderuAdRequest::requestDidFailWithResponse(const VuderuHttpAsyncTaskPtr& task, const VuderuHTTPResponsePtr& response) {
    auto self = std::move(keepAlive_);
    VuderuLog("AdRequest: Could not connect to server: %@", response && response->error() ? response->error()->description() : "(null)");
    Running running = finish(task);
    // A refused status and a lost connection take one road: the cache names the failure 117
    // unless the network is gone.
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

bool VuderuAdRequest::startVASTParsing(const Running& running) {
    // The frames themselves, not copies of their documents: a document is as long as its reply lets it be.
    std::vector<VuderuAdFramePtr> documents;
    for (const auto& unit : adUnits_) {
        for (const auto& frame : unit->adFrames()) {
            if (!frame || VuderuVASTUtil::detectVASTVersion(frame->display()) <= 0) continue;
            unit->setAdType(VuderuAdUnit::kAdTypeVideo);
            unit->setVastParsed(false);
            parsingVAST_.emplace_back(frame->adLogGUID(), unit);
            documents.push_back(frame);
        }
    }
    if (documents.empty()) return false;
    vastOutcome_ = running;
    // Every video unit is marked before the first parser starts: a document without wrappers
    // is parsed, and reported, before the next parser exists.
    auto self = shared_from_this();
    for (const auto& frame : documents) {
        VuderuVASTXMLParser::initWithAdGUIDWithDelegate(frame->adLogGUID(), self)->parse(frame->display());
    }
    return true;
}

VuderuAdUnitPtr VuderuAdRequest::takeVASTUnit(const std::string& adGuid, bool wholeUnit) {
    auto entry = std::find_if(parsingVAST_.begin(), parsingVAST_.end(), [&](const auto& e) { return e.first == adGuid; });
    if (entry == parsingVAST_.end()) return nullptr;
    VuderuAdUnitPtr unit = entry->second;
    parsingVAST_.erase(entry);
    if (wholeUnit) std::erase_if(parsingVAST_, [&](const auto& e) { return e.second == unit; });
    return unit;
}

void VuderuAdRequest::parseSuccessful(const std::string& adGuid) {
    auto unit = takeVASTUnit(adGuid, false);
    if (!unit) return;
    bool waiting = std::any_of(parsingVAST_.begin(), parsingVAST_.end(), [&](const auto& e) { return e.second == unit; });
    if (!waiting) unit->setVastParsed(true);
    reportWhenEveryVideoUnitIsParsed();
}

void VuderuAdRequest::parseDidFail(const std::string& adGuid) { removeUnitAfterVAST(adGuid, false); }

void VuderuAdRequest::parsetDidCancel(const std::string& adGuid) { removeUnitAfterVAST(adGuid, true); }

void VuderuAdRequest::removeUnitAfterVAST(const std::string& adGuid, bool cancelled) {
    auto unit = takeVASTUnit(adGuid, true);
    if (!unit) return;
    std::erase(adUnits_, unit);
    if (!adUnits_.empty()) {
        reportWhenEveryVideoUnitIsParsed();
        return;
    }
    if (vastReported_) return;
    vastReported_ = true;
    if (!vastOutcome_.delegate) return;
    if (cancelled) {
        vastOutcome_.delegate->requestDidCancel();
    } else {
        vastOutcome_.delegate->requestDidFailError(vastOutcome_.params, nullptr);
    }
}

void VuderuAdRequest::reportWhenEveryVideoUnitIsParsed() {
    if (vastReported_) return;
    bool parsed = std::all_of(adUnits_.begin(), adUnits_.end(), [](const VuderuAdUnitPtr& unit) {
        return unit->adType() != VuderuAdUnit::kAdTypeVideo || unit->vastParsed();
    });
    if (!parsed) return;
    vastReported_ = true;
    if (vastOutcome_.delegate) vastOutcome_.delegate->requestSuccessfulWithParams(adUnits_, vastOutcome_.params);
}
