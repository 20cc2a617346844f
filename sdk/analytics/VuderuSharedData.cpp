#include "sdk/analytics/VuderuSharedData.h"

#include "platform/foundation/NSUserDefaults.h"
#include "platform/foundation/SharedInstance.h"

#include <mutex>

std::shared_ptr<VuderuSharedData> VuderuSharedData::instance() {
    return SharedInstance<VuderuSharedData>::slot().getOrMake([] { return std::make_shared<VuderuSharedData>(); });
}

void VuderuSharedData::storeAppCloudUserID(const std::string& userID) {
    auto defaults = NSUserDefaults::standardUserDefaults();
    if (userID.empty()) defaults->removeObjectForKey(VuderuAppCloudUserKey);
    else defaults->setObjectForKey(Value(userID), VuderuAppCloudUserKey);
}

Value VuderuSharedData::storedAppCloudUserID() const {
    return NSUserDefaults::standardUserDefaults()->objectForKey(VuderuAppCloudUserKey);
}
