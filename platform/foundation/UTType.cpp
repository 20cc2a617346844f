#include "platform/foundation/UTType.h"

#include "platform/foundation/NSString.h"

#include <fstream>
#include <map>
#include <mutex>
#include <sstream>

const std::string kUTTagClassFilenameExtension = "public.filename-extension";
const std::string kUTTagClassMIMEType = "public.mime-type";

namespace {
const char* const kMimeTypesFile = "/etc/mime.types";
// Identifiers made here: a known MIME type, or an extension nobody knows.
const std::string kMimeIdentifierPrefix = "tandrel.mime.";
const std::string kDynamicIdentifierPrefix = "dyn.ext.";

struct Database {
    std::map<std::string, std::string> mimeTypeOfExtension; // lower-case extension -> MIME type
    std::map<std::string, std::string> extensionOfMimeType; // MIME type -> its first extension
};

Database load() {
    Database db;
    std::ifstream file(kMimeTypesFile);
    std::string line;
    while (std::getline(file, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream words(line);
        std::string type, extension;
        if (!(words >> type)) continue;
        type = NSString::lowercaseString(type);
        while (words >> extension) {
            extension = NSString::lowercaseString(extension);
            // The first line that names an extension decides it.
            db.mimeTypeOfExtension.emplace(extension, type);
            db.extensionOfMimeType.emplace(type, extension);
        }
    }
    return db;
}

const Database& database() {
    static const Database db = load();
    return db;
}

bool startsWith(const std::string& text, const std::string& prefix) { return text.compare(0, prefix.size(), prefix) == 0; }
} // namespace

std::string UTTypeCreatePreferredIdentifierForTag(const std::string& tagClass, const std::string& tag, const std::string&) {
    if (tag.empty()) return {};
    std::string lower = NSString::lowercaseString(tag);
    if (tagClass == kUTTagClassMIMEType) return kMimeIdentifierPrefix + lower;
    if (tagClass != kUTTagClassFilenameExtension) return {};
    const auto& known = database().mimeTypeOfExtension;
    auto it = known.find(lower);
    return it == known.end() ? kDynamicIdentifierPrefix + lower : kMimeIdentifierPrefix + it->second;
}

std::string UTTypeCopyPreferredTagWithClass(const std::string& identifier, const std::string& tagClass) {
    if (startsWith(identifier, kMimeIdentifierPrefix)) {
        std::string type = identifier.substr(kMimeIdentifierPrefix.size());
        if (tagClass == kUTTagClassMIMEType) return type;
        if (tagClass == kUTTagClassFilenameExtension) {
            const auto& extensions = database().extensionOfMimeType;
            auto it = extensions.find(type);
            return it == extensions.end() ? std::string() : it->second;
        }
        return {};
    }
    if (startsWith(identifier, kDynamicIdentifierPrefix) && tagClass == kUTTagClassFilenameExtension) {
        return identifier.substr(kDynamicIdentifierPrefix.size());
    }
    return {};
}
