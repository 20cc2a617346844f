#pragma once
// One ad fetch: builds the Avro AdRequest record for a space from the device, session,
// targeting, frequency-cap and configuration state, POSTs it with its CRC-32 in "fm-checksum",
// checks the reply's checksum and decodes it into ad units. Each request reports exactly one
// outcome to its delegate, or none when it stops before sending (logged) or is cancelled.
//
// A reply whose frames hold VAST documents is reported once they are parsed: each such unit
// becomes a video unit, one that fails to parse is dropped, and the rest are reported as soon as
// every remaining video unit is parsed (a failure or cancel when none is left). While parsers run
// they hold the request.

#include "platform/foundation/NSError.h"
#include "platform/foundation/Value.h"
#include "platform/graphics/CGGeometry.h"
#include "sdk/ads/VuderuAdUnit.h"
#include "sdk/ads/VuderuVASTXMLParser.h"
#include "sdk/analytics/VuderuHttpAsyncTask.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class VuderuAdRequestDelegate {
public:
    virtual ~VuderuAdRequestDelegate() = default;
    virtual void requestSuccessfulWithParams(const std::vector<VuderuAdUnitPtr>& units, const Value& params) = 0;
    // `error` is nil for a transport failure while the network is reachable.
    virtual void requestDidFailError(const Value& params, const NSErrorPtr& error) = 0;
    virtual void requestDidCancel() = 0;
};

class VuderuAdRequest : public VuderuHttpAsyncTaskDelegate,
                        public VuderuVASTXMLParserDelegate,
                        public std::enable_shared_from_this<VuderuAdRequest> {
public:
    using DelegatePtr = std::shared_ptr<VuderuAdRequestDelegate>;
    static constexpr const char* kTaskTag = "adRequest";

    VuderuAdRequest();
    ~VuderuAdRequest() override;

    // Idempotent; NO (logged) when a schema does not parse.
    bool initSchema();

    // Builds the record and sends it; the request keeps itself alive until its HTTP task reports.
    void getAdRequestForSpace(const std::string& space, const CGRect& viewContainerBounds, const DelegatePtr& delegate,
                              const Value& params, bool renderStage, const std::map<std::string, std::string>& payload);
    // The encoded record alone (nil when it cannot be built; logged): what getAdRequestForSpace sends.
    NSDataPtr encodedAdRequestForSpace(const std::string& space, const CGRect& viewContainerBounds, bool renderStage,
                                       const std::map<std::string, std::string>& payload);
    // POSTs encoded bytes to the ad server with their checksum.
    void sendAdRequest(const NSDataPtr& body, const DelegatePtr& delegate, const Value& params);

    void requestSuccessfulWithResponse(const VuderuHttpAsyncTaskPtr& task, const VuderuHTTPResponsePtr& response) override;
    void requestDidFailWithResponse(const VuderuHttpAsyncTaskPtr& task, const VuderuHTTPResponsePtr& response) override;
    void requestDidCancelWithResponse(const VuderuHttpAsyncTaskPtr& task, const VuderuHTTPResponsePtr& response) override;

    // A unit is found by the GUID of any of its frames that hold a VAST document.
    void parseSuccessful(const std::string& adGuid) override;
    void parseDidFail(const std::string& adGuid) override;
    void parsetDidCancel(const std::string& adGuid) override;

    // Removes the task (by identity) from the running ones.
    void unregisterTask(const VuderuHttpAsyncTaskPtr& task);
    std::vector<VuderuHttpAsyncTaskPtr> runningTasks() const;
    const std::vector<VuderuAdUnitPtr>& adUnits() const { return adUnits_; }

    // "sendConfiguration" for a space: an empty name, no stored SDK bundle, or one cached more
    // than seven days ago.
    static bool shouldSendConfiguration(const std::string& space);

private:
    struct Schemas;
    // The delegate and params travel with the task until it reports.
    struct Running {
        VuderuHttpAsyncTaskPtr task;
        DelegatePtr delegate;
        Value params;
    };
    // Takes the task's entry out of the running ones (empty entry when unknown).
    Running finish(const VuderuHttpAsyncTaskPtr& task);
    static void fail(const Running& running, const std::string& text);
    // Starts a parser per VAST frame; false when the reply holds none.
    bool startVASTParsing(const Running& running);
    // Takes the unit of a VAST frame out of the waiting ones (nil when none waits for it).
    VuderuAdUnitPtr takeVASTUnit(const std::string& adGuid, bool wholeUnit);
    void removeUnitAfterVAST(const std::string& adGuid, bool cancelled);
    void reportWhenEveryVideoUnitIsParsed();

    std::unique_ptr<Schemas> schemas_;
    std::vector<Running> running_;
    std::vector<VuderuAdUnitPtr> adUnits_;
    std::shared_ptr<VuderuAdRequest> keepAlive_;
    // The VAST step: who hears the outcome, the frames still parsing with their units, and
    // whether the one outcome has gone.
    Running vastOutcome_;
    std::vector<std::pair<std::string, VuderuAdUnitPtr>> parsingVAST_;
    bool vastReported_ = false;
};
