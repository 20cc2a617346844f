#include "sdk/analytics/VuderuFileCache.h"

#include "platform/foundation/NSException.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSKeyedArchiver.h"
#include "platform/foundation/SharedInstance.h"
#include "sdk/analytics/VuderuLog.h"
#include "sdk/analytics/VuderuUtil.h"

#include <mutex>

namespace {

bool staysInDirectory(const std::string& part) {
    return part.find('/') == std::string::npos && part.find('\0') == std::string::npos;
}

} // namespace

std::shared_ptr<VuderuFileCache> VuderuFileCache::createInstanceWithApiKeyAgentVersion(const std::string& apiKey,
                                                                                      const std::string& agentVersion) {
    return SharedInstance<VuderuFileCache>::slot().getOrMake([&] { return std::make_shared<VuderuFileCache>(apiKey, agentVersion); });
}

std::shared_ptr<VuderuFileCache> VuderuFileCache::instance() { return SharedInstance<VuderuFileCache>::slot().get(); }

void VuderuFileCache::cleanup() { SharedInstance<VuderuFileCache>::slot().take(); }

VuderuFileCache::VuderuFileCache(std::string apiKey, std::string agentVersion)
    : apiKey_(std::move(apiKey)), agentVersion_(std::move(agentVersion)) {}

std::optional<std::string> VuderuFileCache::createFilePath(const std::string& prefix, bool forCurentAgentVersion) const {
    const std::string version = forCurentAgentVersion ? agentVersion_ : std::string();
    if (!staysInDirectory(prefix) || !staysInDirectory(apiKey_) || !staysInDirectory(version)) return std::nullopt;
    return VuderuUtil::filePathDirectory() + "/vuderuCache_" + prefix + "_" + apiKey_ + "_" + version + ".archive";
}

std::optional<std::string> VuderuFileCache::save(const Value& object, const std::string& prefix, bool forCurentAgentVersion) const {
    auto path = createFilePath(prefix, forCurentAgentVersion);
    bool saved = false;
    if (path) {
        try {
            saved = NSKeyedArchiver::archiveRootObjectToFile(object, *path);
        } catch (const NSException&) {
            saved = false;
        }
    }
    if (!saved) {
        VuderuLog("VuderuFileCache: object[%@] cannot be saved to disk", object);
        return std::nullopt;
    }
    return path;
}

Value VuderuFileCache::get(const std::string& prefix, bool forCurentAgentVersion) const {
    auto path = createFilePath(prefix, forCurentAgentVersion);
    if (!path || !NSFileManager::defaultManager()->fileExistsAtPath(*path)) return Value();
    return VuderuUtil::safeUnarchiveObjectWithFile(*path);
}

bool VuderuFileCache::remove(const std::string& prefix, bool forCurentAgentVersion) const {
    auto path = createFilePath(prefix, forCurentAgentVersion);
    return path && NSFileManager::defaultManager()->removeItemAtPath(*path, nullptr);
}
