#include "platform/foundation/NSURL.h"

#include "platform/foundation/DeviceRoot.h"
#include "platform/foundation/NSString.h"

#include <cctype>
#include <sys/stat.h>

namespace {

bool allowedInURL(unsigned char c) {
    return std::isalnum(c) || std::string_view("-._~:/?#[]@!$&'()*+,;=").find(static_cast<char>(c)) != std::string_view::npos;
}

bool validText(const std::string& s) {
    for (std::size_t i = 0; i < s.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (c == '%') {
            if (i + 2 >= s.size() || !std::isxdigit(static_cast<unsigned char>(s[i + 1])) ||
                !std::isxdigit(static_cast<unsigned char>(s[i + 2]))) {
                return false;
            }
            i += 2;
            continue;
        }
        if (!allowedInURL(c)) return false;
    }
    return true;
}

// Splits a reference into its parts (RFC 3986, appendix B). `relative` tells whether it had
// no scheme.
NSURL::Parts parse(const std::string& s) {
    NSURL::Parts p;
    std::size_t i = 0;
    std::size_t colon = s.find(':');
    std::size_t firstDelimiter = s.find_first_of("/?#");
    if (colon != std::string::npos && colon > 0 && (firstDelimiter == std::string::npos || colon < firstDelimiter) &&
        std::isalpha(static_cast<unsigned char>(s[0]))) {
        bool ok = true;
        for (std::size_t k = 0; k < colon; ++k) {
            char c = s[k];
            if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.')) ok = false;
        }
        if (ok) {
            p.schemeAsWritten = s.substr(0, colon);
            p.scheme = NSString::lowercaseString(p.schemeAsWritten);
            i = colon + 1;
        }
    }
    if (s.compare(i, 2, "//") == 0) {
        p.hasAuthority = true;
        std::size_t end = s.find_first_of("/?#", i + 2);
        std::string authority = s.substr(i + 2, (end == std::string::npos ? s.size() : end) - (i + 2));
        i = end == std::string::npos ? s.size() : end;
        if (auto at = authority.rfind('@'); at != std::string::npos) {
            std::string userInfo = authority.substr(0, at);
            authority.erase(0, at + 1);
            auto c = userInfo.find(':');
            p.user = userInfo.substr(0, c);
            if (c != std::string::npos) p.password = userInfo.substr(c + 1);
        }
        std::size_t portColon = std::string::npos;
        if (!authority.empty() && authority[0] == '[') {
            auto close = authority.find(']');
            if (close != std::string::npos && close + 1 < authority.size() && authority[close + 1] == ':') portColon = close + 1;
        } else {
            portColon = authority.rfind(':');
        }
        if (portColon != std::string::npos) {
            std::string portText = authority.substr(portColon + 1);
            authority.erase(portColon);
            if (!portText.empty()) {
                bool digits = portText.size() <= 5;
                for (char c : portText) digits = digits && std::isdigit(static_cast<unsigned char>(c));
                if (digits) p.port = std::stoi(portText);
            }
        }
        p.host = authority;
    }
    std::size_t pathEnd = s.find_first_of("?#", i);
    p.path = s.substr(i, (pathEnd == std::string::npos ? s.size() : pathEnd) - i);
    i = pathEnd == std::string::npos ? s.size() : pathEnd;
    if (i < s.size() && s[i] == '?') {
        std::size_t end = s.find('#', i);
        p.query = s.substr(i + 1, (end == std::string::npos ? s.size() : end) - i - 1);
        i = end == std::string::npos ? s.size() : end;
    }
    if (i < s.size() && s[i] == '#') p.fragment = s.substr(i + 1);
    return p;
}

std::string removeDotSegments(const std::string& path) {
    std::string input = path, output;
    while (!input.empty()) {
        if (input.rfind("../", 0) == 0) input.erase(0, 3);
        else if (input.rfind("./", 0) == 0) input.erase(0, 2);
        else if (input.rfind("/./", 0) == 0) input.replace(0, 3, "/");
        else if (input == "/.") input = "/";
        else if (input.rfind("/../", 0) == 0 || input == "/..") {
            input = input == "/.." ? "/" : input.substr(3);
            auto slash = output.rfind('/');
            output.erase(slash == std::string::npos ? 0 : slash);
        } else if (input == "." || input == "..") input.clear();
        else {
            std::size_t start = input[0] == '/' ? 1 : 0;
            std::size_t next = input.find('/', start);
            output += input.substr(0, next);
            input.erase(0, next == std::string::npos ? input.size() : next);
        }
    }
    return output;
}

NSURL::Parts resolve(const NSURL::Parts& r, const NSURL::Parts& base) {
    NSURL::Parts t;
    if (!r.scheme.empty()) {
        t = r;
        t.path = removeDotSegments(r.path);
        return t;
    }
    if (r.hasAuthority) {
        t = r;
        t.path = removeDotSegments(r.path);
    } else {
        t.hasAuthority = base.hasAuthority;
        t.user = base.user;
        t.password = base.password;
        t.host = base.host;
        t.port = base.port;
        if (r.path.empty()) {
            t.path = base.path;
            t.query = r.query ? r.query : base.query;
        } else {
            if (r.path[0] == '/') {
                t.path = removeDotSegments(r.path);
            } else {
                std::string merged;
                if (base.hasAuthority && base.path.empty()) merged = "/" + r.path;
                else {
                    auto slash = base.path.rfind('/');
                    merged = (slash == std::string::npos ? "" : base.path.substr(0, slash + 1)) + r.path;
                }
                t.path = removeDotSegments(merged);
            }
            t.query = r.query;
        }
    }
    t.scheme = base.scheme;
    t.schemeAsWritten = base.schemeAsWritten;
    t.fragment = r.fragment;
    return t;
}

} // namespace

std::string NSURL::Parts::compose() const {
    std::string out;
    if (!scheme.empty()) out += (schemeAsWritten.empty() ? scheme : schemeAsWritten) + ":";
    if (hasAuthority) {
        out += "//";
        if (!user.empty() || !password.empty()) out += user + (password.empty() ? "" : ":" + password) + "@";
        out += host;
        if (port) out += ":" + std::to_string(*port);
    }
    out += path;
    if (query) out += "?" + *query;
    if (fragment) out += "#" + *fragment;
    return out;
}

NSURL::NSURL(std::string text, NSURLPtr base, Parts resolved) : text_(std::move(text)), base_(std::move(base)), parts_(std::move(resolved)) {}

NSURLPtr NSURL::URLWithString(const std::string& string) { return URLWithString(string, nullptr); }

NSURLPtr NSURL::URLWithString(const std::string& string, const NSURLPtr& baseURL) {
    if (!validText(string)) return nullptr;
    Parts parts = parse(string);
    if (baseURL) parts = resolve(parts, baseURL->parts_);
    if (!baseURL && parts.scheme.empty() && string.empty()) return nullptr;
    return std::make_shared<NSURL>(string, baseURL ? baseURL->absoluteURL() : nullptr, std::move(parts));
}

NSURLPtr NSURL::URLWithNavigationText(const std::string& string) {
    static const char* const kHex = "0123456789ABCDEF";
    std::string text;
    for (unsigned char c : string) {
        if (c == '%' || allowedInURL(c)) {
            text += static_cast<char>(c);
        } else {
            text += '%';
            text += kHex[c >> 4];
            text += kHex[c & 15];
        }
    }
    Parts parts = parse(text);
    if (parts.scheme.empty()) return nullptr;
    return std::make_shared<NSURL>(text, nullptr, std::move(parts));
}

NSURLPtr NSURL::fileURLWithPath(const std::string& path) {
    struct stat st{};
    bool isDirectory = ::stat(DeviceRoot::hostPath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    return fileURLWithPath(path, isDirectory);
}

NSURLPtr NSURL::fileURLWithPath(const std::string& path, bool isDirectory) {
    std::string p = path.empty() || path[0] != '/' ? NSString::stringByAppendingPathComponent("/", path) : path;
    if (isDirectory && (p.empty() || p.back() != '/')) p += '/';
    std::string escaped = NSString::stringByAddingPercentEncoding(p, NSString::URLPathAllowed);
    return URLWithString("file://" + escaped);
}

std::string NSURL::absoluteString() const { return parts_.compose(); }

NSURLPtr NSURL::absoluteURL() const {
    if (!base_) return std::const_pointer_cast<NSURL>(self<NSURL>());
    return std::make_shared<NSURL>(absoluteString(), nullptr, parts_);
}

std::string NSURL::scheme() const { return parts_.scheme; }
std::string NSURL::host() const {
    std::string h = parts_.host;
    if (h.size() >= 2 && h.front() == '[' && h.back() == ']') h = h.substr(1, h.size() - 2);
    return NSString::stringByRemovingPercentEncoding(h).value_or(h);
}
std::optional<int> NSURL::port() const { return parts_.port; }
std::string NSURL::user() const { return NSString::stringByRemovingPercentEncoding(parts_.user).value_or(parts_.user); }
std::string NSURL::password() const { return NSString::stringByRemovingPercentEncoding(parts_.password).value_or(parts_.password); }

std::string NSURL::path() const {
    std::string p = NSString::stringByRemovingPercentEncoding(parts_.path).value_or(parts_.path);
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    return p;
}

std::optional<std::string> NSURL::query() const { return parts_.query; }
std::optional<std::string> NSURL::fragment() const { return parts_.fragment; }

std::string NSURL::resourceSpecifier() const {
    std::string all = absoluteString();
    return parts_.scheme.empty() ? all : all.substr(parts_.scheme.size() + 1);
}

std::string NSURL::lastPathComponent() const { return NSString::lastPathComponent(path()); }
std::string NSURL::pathExtension() const { return NSString::pathExtension(path()); }
std::vector<std::string> NSURL::pathComponents() const { return NSString::pathComponents(path()); }
bool NSURL::isFileURL() const { return parts_.scheme == "file"; }

NSURLPtr NSURL::URLByAppendingPathComponent(const std::string& component) const {
    Parts p = parts_;
    std::string escaped = NSString::stringByAddingPercentEncoding(component, NSString::URLPathAllowed);
    if (p.path.empty() || p.path.back() != '/') p.path += '/';
    p.path += escaped;
    return std::make_shared<NSURL>(p.compose(), nullptr, p);
}

NSURLPtr NSURL::URLByDeletingLastPathComponent() const {
    Parts p = parts_;
    std::string path = p.path;
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    auto slash = path.rfind('/');
    p.path = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    p.query.reset();
    p.fragment.reset();
    return std::make_shared<NSURL>(p.compose(), nullptr, p);
}

std::string NSURL::description() const { return base_ ? text_ + " -- " + base_->absoluteString() : text_; }

bool NSURL::isEqual(const NSObject* other) const {
    auto u = dynamic_cast<const NSURL*>(other);
    return u && u->absoluteString() == absoluteString();
}

std::size_t NSURL::hash() const { return static_cast<std::size_t>(NSString::hash(absoluteString())); }
