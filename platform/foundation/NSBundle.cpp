#include "platform/foundation/NSBundle.h"

#include "platform/foundation/DeviceRoot.h"
#include "platform/foundation/NSData.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/NSPropertyListSerialization.h"
#include "platform/foundation/NSString.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#ifndef TANDREL_SOURCE_DIR
#define TANDREL_SOURCE_DIR ""
#endif

const std::string NSBundleMainBundlePath = "/Applications/Tandrel.app";
const std::string kCFBundleIdentifierKey = "CFBundleIdentifier";
const std::string kCFBundleNameKey = "CFBundleName";
const std::string kCFBundleVersionKey = "CFBundleVersion";
const std::string kCFBundleExecutableKey = "CFBundleExecutable";
const std::string kCFBundleInfoDictionaryVersionKey = "CFBundleInfoDictionaryVersion";

namespace {
const std::string kInfoPlistName = "Info.plist";
const std::string kDefaultStringsTable = "Localizable";
const std::string kStringsExtension = "strings";
const std::string kDevelopmentLocalization = "en.lproj";

bool isHostDirectory(const std::string& hostPath) {
    struct stat st{};
    return !hostPath.empty() && ::stat(hostPath.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool isDeviceFile(const std::string& devicePath) {
    struct stat st{};
    return ::stat(NSString::fileSystemRepresentation(devicePath).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string executableFolder() {
    char buffer[4096];
    ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return {};
    return NSString::stringByDeletingLastPathComponent(std::string(buffer, static_cast<std::size_t>(n)));
}

// Reads a .strings file body: UTF-16 with a byte-order mark, or UTF-8.
std::string decodeText(const std::string& bytes) {
    auto fromUTF16 = [&](bool bigEndian) {
        std::u16string units;
        for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
            auto a = static_cast<unsigned char>(bytes[i]), b = static_cast<unsigned char>(bytes[i + 1]);
            units.push_back(static_cast<char16_t>(bigEndian ? (a << 8 | b) : (b << 8 | a)));
        }
        return NSString::utf8(units);
    };
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF && static_cast<unsigned char>(bytes[1]) == 0xFE)
        return fromUTF16(false);
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFE && static_cast<unsigned char>(bytes[1]) == 0xFF)
        return fromUTF16(true);
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) return bytes.substr(3);
    return bytes;
}

class StringsParser {
public:
    explicit StringsParser(const std::string& text) : s_(text) {}

    std::optional<Value::Dictionary> parse() {
        Value::Dictionary table;
        while (true) {
            if (!skipSpace()) return std::nullopt;
            if (i_ >= s_.size()) return table;
            auto key = token();
            if (!key || !skipSpace()) return std::nullopt;
            if (i_ < s_.size() && s_[i_] == ';') {
                ++i_;
                table[*key] = *key;
                continue;
            }
            if (i_ >= s_.size() || s_[i_] != '=') return std::nullopt;
            ++i_;
            if (!skipSpace()) return std::nullopt;
            auto value = token();
            if (!value || !skipSpace() || i_ >= s_.size() || s_[i_] != ';') return std::nullopt;
            ++i_;
            table[*key] = *value;
        }
    }

private:
    // Skips white space and comments; false for an unterminated comment.
    bool skipSpace() {
        while (i_ < s_.size()) {
            char c = s_[i_];
            if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
                ++i_;
            } else if (s_.compare(i_, 2, "/*") == 0) {
                auto end = s_.find("*/", i_ + 2);
                if (end == std::string::npos) return false;
                i_ = end + 2;
            } else if (s_.compare(i_, 2, "//") == 0) {
                auto end = s_.find('\n', i_);
                i_ = end == std::string::npos ? s_.size() : end + 1;
            } else {
                break;
            }
        }
        return true;
    }

    static bool isWordCharacter(char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$' || c == '/' || c == ':' || c == '.' || c == '-';
    }

    std::optional<std::string> token() {
        if (i_ >= s_.size()) return std::nullopt;
        if (s_[i_] != '"') {
            std::size_t start = i_;
            while (i_ < s_.size() && isWordCharacter(s_[i_])) ++i_;
            if (i_ == start) return std::nullopt;
            return s_.substr(start, i_ - start);
        }
        ++i_;
        std::u16string pending;
        std::string out;
        auto flush = [&] {
            if (!pending.empty()) out += NSString::utf8(pending);
            pending.clear();
        };
        while (i_ < s_.size()) {
            char c = s_[i_++];
            if (c == '"') {
                flush();
                return out;
            }
            if (c != '\\') {
                flush();
                out += c;
                continue;
            }
            if (i_ >= s_.size()) return std::nullopt;
            char e = s_[i_++];
            if (e == 'U' || e == 'u') {
                if (i_ + 4 > s_.size()) return std::nullopt;
                char* end = nullptr;
                std::string hex = s_.substr(i_, 4);
                long unit = std::strtol(hex.c_str(), &end, 16);
                if (end != hex.c_str() + 4) return std::nullopt;
                i_ += 4;
                // Surrogate pairs arrive as two escapes; decode them together.
                pending.push_back(static_cast<char16_t>(unit));
                continue;
            }
            flush();
            switch (e) {
            case 'n': out += '\n'; break;
            case 't': out += '\t'; break;
            case 'r': out += '\r'; break;
            case '0': out += '\0'; break;
            default: out += e; break;
            }
        }
        return std::nullopt;
    }

    const std::string& s_;
    std::size_t i_ = 0;
};
} // namespace

std::optional<Value::Dictionary> NSBundleParseStringsFile(const std::string& contents) {
    if (contents.compare(0, 6, "bplist") == 0 || contents.compare(0, 5, "<?xml") == 0) {
        auto plist = NSPropertyListSerialization::propertyListWithData(contents);
        if (!plist || !plist->isDictionary()) return std::nullopt;
        return std::move(plist->dictionary());
    }
    return StringsParser(decodeText(contents)).parse();
}

NSBundle::NSBundle(std::string devicePath) : path_(NSString::stringByStandardizingPath(devicePath)) {}

std::string NSBundle::mainBundleHostFolder() {
    std::vector<std::string> candidates;
    if (const char* env = std::getenv("TANDREL_RESOURCES"); env && *env) candidates.emplace_back(env);
    std::string exe = executableFolder();
    if (!exe.empty()) {
        candidates.push_back(exe + "/resources");
        candidates.push_back(NSString::stringByDeletingLastPathComponent(exe) + "/resources");
    }
    std::string source = TANDREL_SOURCE_DIR;
    if (!source.empty()) candidates.push_back(source + "/resources");
    for (const auto& c : candidates) {
        if (isHostDirectory(c)) return c;
    }
    return source.empty() ? std::string() : source + "/resources";
}

std::shared_ptr<NSBundle> NSBundle::mainBundle() {
    static std::shared_ptr<NSBundle> bundle = [] {
        DeviceRoot::mount(NSBundleMainBundlePath, mainBundleHostFolder());
        return std::make_shared<NSBundle>(NSBundleMainBundlePath);
    }();
    return bundle;
}

std::shared_ptr<NSBundle> NSBundle::bundleWithPath(const std::string& devicePath) {
    if (!isHostDirectory(NSString::fileSystemRepresentation(devicePath))) return nullptr;
    return std::make_shared<NSBundle>(devicePath);
}

std::string NSBundle::pathForResource(const std::string& name, const std::string& type) const {
    return pathForResource(name, type, {});
}

std::string NSBundle::pathForResource(const std::string& name, const std::string& type, const std::string& subdirectory) const {
    if (name.empty() && type.empty()) return {};
    std::string file = name;
    if (!type.empty()) file += type.front() == '.' ? type : "." + type;
    std::string folder = subdirectory.empty() ? path_ : NSString::stringByAppendingPathComponent(path_, subdirectory);
    for (const std::string& candidate : {NSString::stringByAppendingPathComponent(folder, file),
                                         NSString::stringByAppendingPathComponent(
                                             NSString::stringByAppendingPathComponent(folder, kDevelopmentLocalization), file)}) {
        if (isDeviceFile(candidate)) return candidate;
    }
    return {};
}

std::vector<std::string> NSBundle::pathsForResourcesOfType(const std::string& type, const std::string& subdirectory) const {
    std::string folder = subdirectory.empty() ? path_ : NSString::stringByAppendingPathComponent(path_, subdirectory);
    std::string extension = !type.empty() && type.front() == '.' ? type.substr(1) : type;
    std::vector<std::string> paths;
    DIR* dir = ::opendir(NSString::fileSystemRepresentation(folder).c_str());
    if (!dir) return paths;
    while (dirent* entry = ::readdir(dir)) {
        std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        std::string path = NSString::stringByAppendingPathComponent(folder, name);
        if (!isDeviceFile(path)) continue;
        if (extension.empty() || NSString::pathExtension(name) == extension) paths.push_back(path);
    }
    ::closedir(dir);
    std::sort(paths.begin(), paths.end());
    return paths;
}

NSURLPtr NSBundle::URLForResource(const std::string& name, const std::string& extension) const {
    return URLForResource(name, extension, {});
}

NSURLPtr NSBundle::URLForResource(const std::string& name, const std::string& extension, const std::string& subdirectory) const {
    std::string path = pathForResource(name, extension, subdirectory);
    return path.empty() ? nullptr : NSURL::fileURLWithPath(path);
}

Value::Dictionary NSBundle::infoDictionary() const {
    std::lock_guard<std::mutex> guard(lock_);
    if (!info_) {
        NSErrorPtr error;
        std::string path = NSString::stringByAppendingPathComponent(path_, kInfoPlistName);
        auto plist = NSPropertyListSerialization::propertyListWithContentsOfFile(path, &error);
        if (plist && plist->isDictionary()) {
            info_ = std::move(plist->dictionary());
        } else {
            if (plist || (error && error->code() != NSFileReadNoSuchFileError))
                NSLog("NSBundle: cannot read %@: %@", path, plist ? std::string("not a dictionary") : error->localizedDescription());
            info_ = Value::Dictionary{};
        }
    }
    return *info_;
}

Value NSBundle::objectForInfoDictionaryKey(const std::string& key) const { return Value(infoDictionary())[key]; }

std::string NSBundle::bundleIdentifier() const {
    Value identifier = objectForInfoDictionaryKey(kCFBundleIdentifierKey);
    return identifier.isString() ? identifier.string() : std::string();
}

const Value::Dictionary& NSBundle::strings(const std::string& table) const {
    auto it = tables_.find(table);
    if (it != tables_.end()) return it->second;
    Value::Dictionary entries;
    std::string path = pathForResource(table, kStringsExtension, kDevelopmentLocalization);
    if (path.empty()) path = pathForResource(table, kStringsExtension);
    if (!path.empty()) {
        if (NSDataPtr data = NSData::dataWithContentsOfFile(path)) {
            auto parsed = NSBundleParseStringsFile(std::string(data->stringView()));
            if (parsed) {
                entries = std::move(*parsed);
            } else {
                NSLog("NSBundle: cannot parse the strings file %@", path);
            }
        }
    }
    return tables_.emplace(table, std::move(entries)).first->second;
}

std::string NSBundle::localizedStringForKey(const std::string& key, const std::string& value, const std::string& table) const {
    {
        std::lock_guard<std::mutex> guard(lock_);
        const auto& entries = strings(table.empty() ? kDefaultStringsTable : table);
        auto found = entries.find(key);
        if (found != entries.end() && found->second.isString()) return found->second.string();
    }
    return value.empty() ? key : value;
}

std::string NSBundle::description() const { return "NSBundle <" + path_ + "> (loaded)"; }
