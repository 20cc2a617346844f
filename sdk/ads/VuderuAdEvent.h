#pragma once
// One thing that happened to an ad, named by the 36-name event vocabulary whose position is the
// event id; an id-0 event keeps the raw name it arrived with. Archived with keyed coding.

#include "platform/foundation/NSCoder.h"
#include "platform/foundation/NSObject.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class VuderuAdEvent;
using VuderuAdEventPtr = std::shared_ptr<VuderuAdEvent>;

class VuderuAdEvent : public NSObject, public NSCoding {
public:
    enum : std::int32_t {
        kUnknown = 0, kRequested = 1, kFilled = 3, kUnfilled = 4, kRendered = 5, kRenderFailed = 6, kClicked = 7, kVideoStart = 8,
        kVideoCompleted = 9, kUrlVerified = 13, kUrlNotVerified = 14, kLaunchUrlFailed = 15, kUserConfirmed = 16,
        kUserCanceled = 17, kAdWillClose = 18, kAdClosed = 19, kEventListenerAdded = 23, kCapExhausted = 27, kCapNotExhausted = 28,
        kSendUrlStatusResult = 34, kPrepared = 35
    };
    using ParamMap = std::map<std::string, std::string>;

    static const std::vector<std::string>& adEventArrayInstance();
    // Ids 0 to 35 only.
    static const std::string& adEventEnumToString(std::int32_t eventId);
    // 0 for nil and names outside the table.
    static std::int32_t adEventStringToEnum(const std::optional<std::string>& name);

    // The name is kept only for id 0; toBeSent starts clear.
    VuderuAdEvent(std::int32_t eventId, std::optional<std::string> eventName, std::shared_ptr<ParamMap> paramsMap, std::int64_t timeOffset);

    std::int32_t eventId() const { return eventId_; }
    // The stored name of an id-0 event, else the vocabulary's name of the id.
    std::string eventName() const;
    std::int64_t sessionStartTimeOffset() const { return sessionStartTimeOffset_; }
    const std::shared_ptr<ParamMap>& paramMap() const { return paramMap_; }
    bool toBeSent() const { return toBeSent_; }
    void setToBeSent(bool value) { toBeSent_ = value; }
    // Bytes of the name and the parameters' keys and values an event may hold: a pair that
    // would take it past them is dropped (logged), the event kept with the others.
    static constexpr std::size_t kMaximumBytes = 4096;
    std::size_t byteSize() const;
    // Its entries replace equal keys (a map is made when there is none), within kMaximumBytes.
    void addParams(const std::shared_ptr<ParamMap>& params);
    bool compareWithAdEvent(const VuderuAdEvent& other) const;
    std::string description() const override;

    // Keys "eventId", "eventName" (only an id-0 event's name), "sessionStartTimeOffset",
    // "paramMap" and "toBeSent".
    void encodeWithCoder(NSCoder& coder) const override;
    static std::shared_ptr<VuderuAdEvent> initWithCoder(const NSCoder& coder);
    // Makes events decodable; idempotent.
    static void registerForCoding();

private:
    bool fitsWithinBound(const ParamMap& params) const;
    std::int32_t eventId_ = 0;
    std::optional<std::string> storedName_;
    std::int64_t sessionStartTimeOffset_ = 0;
    std::shared_ptr<ParamMap> paramMap_;
    bool toBeSent_ = false;
};
