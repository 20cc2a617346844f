#pragma once
// Keeps the app-cloud user id in the standard user defaults.

#include "platform/foundation/NSObject.h"
#include "platform/foundation/Value.h"

#include <memory>
#include <string>

inline constexpr const char* VuderuAppCloudUserKey = "com.vuderu.appclouduser";

class VuderuSharedData : public NSObject {
public:
    static std::shared_ptr<VuderuSharedData> instance();

    // A non-empty id is stored; an empty one removes the key.
    void storeAppCloudUserID(const std::string& userID);
    // The stored object, or null.
    Value storedAppCloudUserID() const;
};
