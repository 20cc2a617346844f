#include "platform/foundation/NSLocale.h"

#include <cstdlib>
#include <string_view>

namespace {

std::string env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

// "de_CH.UTF-8@euro" -> "de_CH"; "" for the C and POSIX locales.
std::string localeName(std::string_view value) {
    auto cut = value.find_first_of(".@");
    std::string name(value.substr(0, cut));
    if (name == "C" || name == "POSIX") return {};
    return name;
}

std::string languageTag(std::string name) {
    for (char& c : name) {
        if (c == '_') c = '-';
    }
    return name;
}

} // namespace

std::vector<std::string> NSLocale::preferredLanguages() {
    std::vector<std::string> out;
    auto add = [&out](const std::string& name) {
        std::string tag = languageTag(localeName(name));
        if (tag.empty()) return;
        for (const auto& existing : out) {
            if (existing == tag) return;
        }
        out.push_back(tag);
    };
    // LANGUAGE is a colon-separated list and counts only beside a locale other than C.
    std::string base = localeName(env("LC_ALL"));
    if (base.empty()) base = localeName(env("LC_MESSAGES"));
    if (base.empty()) base = localeName(env("LANG"));
    if (!base.empty()) {
        std::string list = env("LANGUAGE");
        std::size_t start = 0;
        while (start <= list.size() && !list.empty()) {
            std::size_t colon = list.find(':', start);
            add(list.substr(start, colon == std::string::npos ? std::string::npos : colon - start));
            if (colon == std::string::npos) break;
            start = colon + 1;
        }
        add(base);
    }
    return out;
}

std::string NSLocale::currentLocaleIdentifier() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        std::string locale = localeName(env(name));
        if (!locale.empty()) return locale;
    }
    return "en_US_POSIX";
}
