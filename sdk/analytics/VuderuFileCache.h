#pragma once
// Whole objects kept as keyed-archive files, one per prefix, in the SDK data directory, named
// after the application key and the agent version so that another key or SDK version never
// reads them. One instance, made during start-up; before that instance() is nil.
//
// The file name is "vuderuCache_<prefix>_<key>_<version>.archive". A prefix, key or version that
// would take it out of the data directory (a "/" or a NUL) names no file: saves fail like a
// failed write (nil, logged), loads find nothing and removes do nothing.

#include "platform/foundation/NSObject.h"
#include "platform/foundation/Value.h"

#include <memory>
#include <optional>
#include <string>

class VuderuFileCache : public NSObject {
public:
    static std::shared_ptr<VuderuFileCache> createInstanceWithApiKeyAgentVersion(const std::string& apiKey, const std::string& agentVersion);
    static std::shared_ptr<VuderuFileCache> instance();
    static void cleanup();

    VuderuFileCache(std::string apiKey, std::string agentVersion);

    const std::string& apiKey() const { return apiKey_; }
    const std::string& agentVersion() const { return agentVersion_; }

    std::optional<std::string> createFilePath(const std::string& prefix, bool forCurentAgentVersion) const;
    std::optional<std::string> save(const Value& object, const std::string& prefix, bool forCurentAgentVersion = true) const;
    // Nil when there is no file or it cannot be read.
    Value get(const std::string& prefix, bool forCurentAgentVersion = true) const;
    bool remove(const std::string& prefix, bool forCurentAgentVersion = true) const;

private:
    std::string apiKey_;
    std::string agentVersion_;
};
