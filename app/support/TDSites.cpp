#include "app/support/TDSites.h"

#include "platform/foundation/NSLog.h"
#include "platform/foundation/NSURL.h"

#include <cstdlib>
#include <mutex>

namespace TDSites {
namespace {
std::mutex lock;
std::string videoSite;  // empty: the production hosts
std::string makerSite;
std::string probeURL;  // empty: the public page

std::string current(const std::string& override, const char* host) {
    std::lock_guard<std::mutex> guard(lock);
    return override.empty() ? std::string("http://") + host : override;
}

bool set(std::string& slot, const std::string& origin) {
    std::string normalized = origin.empty() ? std::string() : normalizedOrigin(origin);
    if (!origin.empty() && normalized.empty()) return false;
    std::lock_guard<std::mutex> guard(lock);
    slot = normalized;
    return true;
}

void loadVariable(const char* name, bool (*setter)(const std::string&), const char* what = "origin") {
    const char* value = std::getenv(name);
    if (!value || !*value) return;
    if (!setter(value)) NSLog("%s is not an http(s) %s, ignored: %s", name, what, value);
}
} // namespace

std::string normalizedOrigin(const std::string& text) {
    auto url = NSURL::URLWithString(text);
    if (!url) return {};
    const std::string scheme = url->scheme();
    if ((scheme != "http" && scheme != "https") || url->host().empty()) return {};
    if (!url->user().empty() || url->query() || url->fragment()) return {};
    if (url->path() != "" && url->path() != "/") return {};
    if (url->resourceSpecifier().rfind("//", 0) != 0) return {};
    const std::string host = url->host();
    if (host.find_first_of(":@[]/ ") != std::string::npos) return {};
    std::string origin = scheme + "://" + host;
    if (auto port = url->port()) origin += ":" + std::to_string(*port);
    return origin;
}

std::string videoInformationOrigin() { return current(videoSite, kVideoWebHost); }
std::string videoImageOrigin() { return current(videoSite, kVideoImageHost); }
std::string videoDataFeedOrigin() { return current(videoSite, kVideoDataFeedHost); }
std::string makerSiteOrigin() { return current(makerSite, kMakerSiteHost); }

std::string versionServiceBaseURL() { return makerSiteOrigin() + "/Tandrel"; }

std::string bookmarkletInstallerURL() {
    return makerSiteOrigin() + "/Tandrel/egg.php?bookmark=javascript:window.location='tandrel://'+document.URL;";
}

bool setVideoSiteOrigin(const std::string& origin) { return set(videoSite, origin); }
bool setMakerSiteOrigin(const std::string& origin) { return set(makerSite, origin); }

std::string reachabilityProbeURL() {
    std::lock_guard<std::mutex> guard(lock);
    return probeURL.empty() ? std::string(kReachabilityProbePage) : probeURL;
}

bool setReachabilityProbeURL(const std::string& text) {
    if (!text.empty()) {
        auto url = NSURL::URLWithString(text);
        if (!url || (url->scheme() != "http" && url->scheme() != "https") || url->host().empty()) return false;
        if (url->resourceSpecifier().rfind("//", 0) != 0) return false;
    }
    std::lock_guard<std::mutex> guard(lock);
    probeURL = text;
    return true;
}

void loadFromEnvironment() {
    loadVariable("TANDREL_VIDEO_SITE", setVideoSiteOrigin);
    loadVariable("TANDREL_MAKER_SITE", setMakerSiteOrigin);
    loadVariable("TANDREL_PROBE_URL", setReachabilityProbeURL, "URL");
}

} // namespace TDSites
