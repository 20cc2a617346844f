#include "sdk/ads/VuderuAdProperties.h"

#include "sdk/ads/VuderuAdCache.h"
#include "sdk/analytics/VuderuSharedData.h"

#include <mutex>

namespace {

struct AdPropertiesStore {
    std::recursive_mutex lock;
    VuderuAdProperties::Dictionary cookies;
    VuderuAdProperties::Dictionary keywords;
};

AdPropertiesStore& adPropertiesStore() {
    static AdPropertiesStore shared;
    return shared;
}

} // namespace

void VuderuAdProperties::setUserCookies(const std::optional<Dictionary>& cookies) {
    if (!cookies) return;
    std::lock_guard guard(adPropertiesStore().lock);
    adPropertiesStore().cookies = *cookies;
}

void VuderuAdProperties::clearUserCookies() {
    std::lock_guard guard(adPropertiesStore().lock);
    adPropertiesStore().cookies.clear();
}

VuderuAdProperties::Dictionary VuderuAdProperties::userCookies() {
    std::lock_guard guard(adPropertiesStore().lock);
    Dictionary copy = adPropertiesStore().cookies;
    Value userId = VuderuSharedData::instance()->storedAppCloudUserID();
    if (!userId.isNull()) copy["appCloudUserId"] = userId.stringValue();
    return copy;
}

void VuderuAdProperties::setKeywords(const std::optional<Dictionary>& keywords) {
    std::lock_guard guard(adPropertiesStore().lock);
    Dictionary previous = adPropertiesStore().keywords;
    adPropertiesStore().keywords = keywords.value_or(Dictionary{});
    // No unit fetched for other keywords may be shown.
    if (adPropertiesStore().keywords != previous) VuderuAdCache::clearCache();
}

void VuderuAdProperties::clearKeywords() { setKeywords(std::nullopt); }

VuderuAdProperties::Dictionary VuderuAdProperties::keywords() {
    std::lock_guard guard(adPropertiesStore().lock);
    return adPropertiesStore().keywords;
}

std::vector<std::string> VuderuAdProperties::keywordsKeys() {
    std::lock_guard guard(adPropertiesStore().lock);
    std::vector<std::string> keys;
    for (const auto& entry : adPropertiesStore().keywords) keys.push_back(entry.first);
    return keys;
}

std::optional<std::string> VuderuAdProperties::keywordValueForKey(const std::string& key) {
    std::lock_guard guard(adPropertiesStore().lock);
    auto found = adPropertiesStore().keywords.find(key);
    return found == adPropertiesStore().keywords.end() ? std::nullopt : std::optional<std::string>(found->second);
}
