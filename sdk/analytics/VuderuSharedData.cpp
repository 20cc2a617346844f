#include "sdk/analytics/VuderuSharedData.h"

#include "platform/foundation/NSUserDefaults.h"

#include <mutex>

std::shared_ptr<VuderuSharedData> VuderuSharedData::instance() {
    static std::mutex lock;
    static std::shared_ptr<VuderuSharedData> shared;
    std::lock_guard<std::mutex> guard(lock);
    if (!shared) shared = std::make_shared<VuderuSharedData>();
    return shared;
}

void VuderuSharedData::storeAppCloudUserID(const std::string& userID) {
    auto defaults = NSUserDefaults::standardUserDefaults();
    if (userID.empty()) defaults->removeObjectForKey(VuderuAppCloudUserKey);
    else defaults->setObjectForKey(Value(userID), VuderuAppCloudUserKey);
}

Value VuderuSharedData::storedAppCloudUserID() const {
    return NSUserDefaults::standardUserDefaults()->objectForKey(VuderuAppCloudUserKey);
}
