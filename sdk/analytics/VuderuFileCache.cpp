#include "sdk/analytics/VuderuFileCache.h"

#include "platform/foundation/NSException.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSKeyedArchiver.h"
#include "sdk/analytics/VuderuLog.h"
#include "sdk/analytics/VuderuUtil.h"

#include <mutex>

namespace {

std::mutex& instanceLock() {
    static std::mutex lock;
    return lock;
}

std::shared_ptr<VuderuFileCache>& storedInstance() {
    static auto* instance = new std::shared_ptr<VuderuFileCache>;
    return *instance;
}

bool staysInDirectory(const std::string& part) {
    return part.find('/') == std::string::npos && part.find('\0') == std::string::npos;
}

} // namespace

std::shared_ptr<VuderuFileCache> VuderuFileCache::createInstanceWithApiKeyAgentVersion(const std::string& apiKey,
                                                                                      const std::string& agentVersion) {
    std::lock_guard lock(instanceLock());
    if (!storedInstance()) storedInstance() = std::make_shared<VuderuFileCache>(apiKey, agentVersion);
    return storedInstance();
}

std::shared_ptr<VuderuFileCache> VuderuFileCache::instance() {
    std::lock_guard lock(instanceLock());
    return storedInstance();
}

void VuderuFileCache::cleanup() {
    std::lock_guard lock(instanceLock());
    storedInstance().reset();
}

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
