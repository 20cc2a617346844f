#pragma once
// The ad system's errors: domain "VuderuAds", a code of the table below, and the description as
// the only user-info entry.

#include "platform/foundation/NSError.h"

#include <memory>
#include <string>

extern const std::string kVuderuAdsErrorDomain;

enum VuderuAdErrorCode : unsigned {
    kVuderuAdErrorInvalidSpace = 101,
    kVuderuAdErrorNetworkNotReachable = 102,
    kVuderuAdErrorInitInProgress = 103,
    kVuderuAdErrorNoAds = 104,
    kVuderuAdErrorUnitNotActive = 105,
    kVuderuAdErrorNotVerified = 106,
    kVuderuAdErrorFrameNotActive = 107,
    kVuderuAdErrorNetworkCouldNotSatisfy = 108,
    kVuderuAdErrorNoNetworkPlugin = 109,
    kVuderuAdErrorUnsupportedBinding = 111,
    kVuderuAdErrorUnitNotFound = 112,
    kVuderuAdErrorCannotLoadUnits = 113,
    kVuderuAdErrorViewLoadFailed = 114,
    kVuderuAdErrorNotReady = 115,
    kVuderuAdErrorCannotDisplay = 116,
    kVuderuAdErrorRequestFailed = 117,
    kVuderuAdErrorVideoFailed = 118,
};

class VuderuAdError : public NSError {
public:
    VuderuAdError(unsigned code, const std::string& description);
    static std::shared_ptr<VuderuAdError> adErrorWithCodeDescription(unsigned code, const std::string& description);
};
