#include "platform/foundation/NSTimeZone.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace {

constexpr const char* kZoneInfo = "zoneinfo/";

std::string hostZoneName() {
    if (const char* tz = std::getenv("TZ"); tz && *tz) {
        std::string name = tz[0] == ':' ? tz + 1 : tz;
        if (auto at = name.find(kZoneInfo); at != std::string::npos) name = name.substr(at + std::char_traits<char>::length(kZoneInfo));
        if (!name.empty()) return name;
    }
    std::error_code error;
    std::string target = std::filesystem::read_symlink("/etc/localtime", error).string();
    if (auto at = target.find(kZoneInfo); !error && at != std::string::npos) return target.substr(at + std::char_traits<char>::length(kZoneInfo));
    return "GMT";
}

} // namespace

std::shared_ptr<NSTimeZone> NSTimeZone::localTimeZone() { return std::make_shared<NSTimeZone>(hostZoneName()); }
