#pragma once
// The first-use date: the moment the SDK was first used with the current application key on
// this device. It lives in the keychain ("VuderuSessionTimestampKey", with the key it belongs to
// under "VuderuAPIKey"); older installations kept it in a file, which is moved into the keychain.

#include "platform/foundation/NSDate.h"

#include <memory>
#include <string>

class VuderuInitialTimestamp {
public:
    // The first-use date for the key; when there is none yet (or the key changed), the
    // session's start (now when nil) becomes it.
    static std::shared_ptr<NSDate> initialTimestamp(const std::string& apiKey, const std::shared_ptr<NSDate>& sessionStartTime);
    // "<data directory>/.initialTimestamp<hash of the key>.archive", after moving a file left in
    // the old directory there.
    static std::string initialTimestampFilePath(const std::string& apiKey);
    static std::string oldInitialTimestampFilePathUptilAgentVersion109(const std::string& apiKey);
};
