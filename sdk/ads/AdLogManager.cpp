#include "sdk/ads/AdLogManager.h"

#include "sdk/analytics/VuderuLog.h"

std::shared_ptr<AdLogManager> AdLogManager::instance() {
    static const auto manager = std::make_shared<AdLogManager>();
    return manager;
}

void AdLogManager::storeAdLog(const VuderuAdLogPtr& log) {
    if (!log) {
        VuderuLog("Ad Log sent is nil");
        return;
    }
    std::lock_guard guard(lock_);
    adLogsMap_[log->GUID()] = log;
}

VuderuAdLogPtr AdLogManager::getAdLog(const std::optional<std::string>& guid) const {
    std::lock_guard guard(lock_);
    auto found = adLogsMap_.find(guid);
    return found == adLogsMap_.end() ? nullptr : found->second;
}
