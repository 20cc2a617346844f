#pragma once
// The ad-log server's reply, an Avro SdkLogResponse record: a result word and error strings.
// Replies are untrusted: a truncated, foreign or hostile body gives none, logged.

#include "platform/foundation/NSData.h"
#include "platform/foundation/NSObject.h"

#include <memory>
#include <string>
#include <vector>

class VuderuAdLogResponse : public NSObject {
public:
    VuderuAdLogResponse();
    ~VuderuAdLogResponse() override;

    bool initSchema();
    // Fills result and errors and answers this response; nil when the body does not decode or
    // has no result.
    std::shared_ptr<VuderuAdLogResponse> parseAdLogResponse(const NSData& body);
    const std::string& result() const { return result_; }
    const std::vector<std::string>& errors() const { return errors_; }
    // "success" in any letter case.
    bool isResultSuccess() const;

private:
    struct Schema;
    std::unique_ptr<Schema> schema_;
    std::string result_;
    std::vector<std::string> errors_;
};
