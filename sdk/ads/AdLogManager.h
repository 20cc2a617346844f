#pragma once
// The single store of ad logs, keyed by ad-log GUID (a log without GUID under a placeholder key).
// Sending, archiving and the cap on the number of logs come with the sender.

#include "sdk/ads/VuderuAdLog.h"

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

class AdLogManager : public NSObject {
public:
    static std::shared_ptr<AdLogManager> instance();

    // Replaces any log under the same GUID; nil is only logged.
    void storeAdLog(const VuderuAdLogPtr& log);
    // nil looks up the log without GUID.
    VuderuAdLogPtr getAdLog(const std::optional<std::string>& guid) const;

private:
    mutable std::mutex lock_;
    std::map<std::optional<std::string>, VuderuAdLogPtr> adLogsMap_;
};
