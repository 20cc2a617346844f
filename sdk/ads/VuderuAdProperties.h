#pragma once
// The process-wide user cookies and targeting keywords that ad requests carry, under one lock.

#include <map>
#include <optional>
#include <string>
#include <vector>

class VuderuAdProperties {
public:
    using Dictionary = std::map<std::string, std::string>;

    // nil is ignored; otherwise the cookies become the given entries.
    static void setUserCookies(const std::optional<Dictionary>& cookies);
    static void clearUserCookies();
    // A copy; with an app-cloud user id stored, it is added under "appCloudUserId".
    static Dictionary userCookies();

    // The keywords become the given entries (nil empties them). A change of keywords empties the
    // ad-unit cache, so that no unit fetched for other keywords is shown.
    static void setKeywords(const std::optional<Dictionary>& keywords);
    static void clearKeywords();
    static Dictionary keywords();
    static std::vector<std::string> keywordsKeys();
    static std::optional<std::string> keywordValueForKey(const std::string& key);
};
