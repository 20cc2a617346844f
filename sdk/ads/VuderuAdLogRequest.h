#pragma once
// The body of an ad-log upload: a batch of ad logs, with the events each carries for one
// transfer, as an Avro SdkLogRequest record in binary.

#include "platform/foundation/NSData.h"
#include "sdk/ads/VuderuAdLog.h"

#include <memory>
#include <string>
#include <vector>

class VuderuAdLogRequest : public NSObject {
public:
    VuderuAdLogRequest(std::vector<VuderuAdLogPtr> adLogs, std::string transferIdentifier);
    ~VuderuAdLogRequest() override;

    const std::vector<VuderuAdLogPtr>& adLogsArray() const { return adLogsArray_; }
    const std::string& transferIdentifier() const { return transferIdentifier_; }

    // Idempotent; NO when a schema does not parse.
    bool initSchema();
    // The encoded request, or nil on any failure (logged). The one-line JSON form serves only
    // the log; a text it cannot render (not UTF-8) does not stop the request.
    NSDataPtr dataRepresentation();
    // Whether bytes are one whole request as dataRepresentation gives it, and nothing more: how a
    // stored block of the ad-log manager is known among other files named alike.
    static bool isRequestData(const NSData& data);

private:
    struct Schemas;
    struct Record;
    // The request record; nil when it cannot be built.
    std::unique_ptr<Record> generateAdLogRequest();

    std::vector<VuderuAdLogPtr> adLogsArray_;
    std::string transferIdentifier_;
    std::unique_ptr<Schemas> schemas_;
};
