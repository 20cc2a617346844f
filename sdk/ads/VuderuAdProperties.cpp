#include "sdk/ads/VuderuAdProperties.h"

#include "sdk/ads/VuderuAdCache.h"
#include "sdk/analytics/VuderuSharedData.h"

#include <mutex>

namespace {

struct Store {
    std::recursive_mutex lock;
    VuderuAdProperties::Dictionary cookies;
    VuderuAdProperties::Dictionary keywords;
};

Store& store() {
    static Store shared;
    return shared;
}

} // namespace

void VuderuAdProperties::setUserCookies(const std::optional<Dictionary>& cookies) {
    if (!cookies) return;
    std::lock_guard guard(store().lock);
    store().cookies = *cookies;
}

void VuderuAdProperties::clearUserCookies() {
    std::lock_guard guard(store().lock);
    store().cookies.clear();
}

VuderuAdProperties::Dictionary VuderuAdProperties::userCookies() {
    std::lock_guard guard(store().lock);
    Dictionary copy = store().cookies;
    Value userId = VuderuSharedData::instance()->storedAppCloudUserID();
    if (!userId.isNull()) copy["appCloudUserId"] = userId.stringValue();
    return copy;
}

void VuderuAdProperties::setKeywords(const std::optional<Dictionary>& keywords) {
    std::lock_guard guard(store().lock);
    Dictionary previous = store().keywords;
    store().keywords = keywords.value_or(Dictionary{});
    // No unit fetched for other keywords may be shown.
    if (store().keywords != previous) VuderuAdCache::clearCache();
}

void VuderuAdProperties::clearKeywords() { setKeywords(std::nullopt); }

VuderuAdProperties::Dictionary VuderuAdProperties::keywords() {
    std::lock_guard guard(store().lock);
    return store().keywords;
}

std::vector<std::string> VuderuAdProperties::keywordsKeys() {
    std::lock_guard guard(store().lock);
    std::vector<std::string> keys;
    for (const auto& entry : store().keywords) keys.push_back(entry.first);
    return keys;
}

std::optional<std::string> VuderuAdProperties::keywordValueForKey(const std::string& key) {
    std::lock_guard guard(store().lock);
    auto found = store().keywords.find(key);
    return found == store().keywords.end() ? std::nullopt : std::optional<std::string>(found->second);
}
