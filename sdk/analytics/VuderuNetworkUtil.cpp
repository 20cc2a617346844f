#include "sdk/analytics/VuderuNetworkUtil.h"

#include "platform/foundation/SharedInstance.h"
#include "platform/foundation/ThreadSafety.h"
#include "platform/net/NSURLError.h"
#include "sdk/analytics/VuderuLog.h"
#include "sdk/analytics/VuderuReachability.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdlib>

const std::string kVuderuNetworkStatusChangedNotification = "VuderuNetworkStatusChangedNotification";

namespace {

constexpr const char* kReportPath = "aas.do";
constexpr const char* kAdRequestPath = "v10/getAds.do";
constexpr const char* kAdLogPath = "postAdLog.do";
constexpr const char* kLikelyNotReachableDomain = "kCFErrorDomainCFNetwork";
constexpr long kLikelyNotReachableCode = 1;
constexpr int kHighestPort = 65535;

struct State {
    RecursiveMutex lock;  // the class lock: start and change (observers run after it)
    bool started TD_GUARDED_BY(lock) = false;
    std::atomic<bool> notReachable{false};
    std::atomic<int> statusCode{VuderuNetworkStatusNone};
    std::shared_ptr<VuderuReachability> watched TD_GUARDED_BY(lock);
    std::shared_ptr<NSObject> observer TD_GUARDED_BY(lock);
    Mutex urlLock;
    std::string serverURL TD_GUARDED_BY(urlLock);
    std::string adServerUrl TD_GUARDED_BY(urlLock);
    std::string adLogServerUrl TD_GUARDED_BY(urlLock);
    bool appCloudProduction TD_GUARDED_BY(urlLock) = true;
};

std::string defaultServerURL(bool secure) {
    return VuderuNetworkUtil::endpointURL(secure ? "https" : "http", VuderuNetworkUtil::kAnalyticsHost, kReportPath);
}
std::string defaultAdServerUrl(bool secure) {
    return VuderuNetworkUtil::endpointURL(secure ? "https" : "http", VuderuNetworkUtil::kAdServerHost, kAdRequestPath);
}
std::string defaultAdLogServerUrl(bool secure) {
    return VuderuNetworkUtil::endpointURL(secure ? "https" : "http", VuderuNetworkUtil::kAdLogHost, kAdLogPath);
}

State& state() {
    static State* instance = [] {
        auto* made = new State;
        MutexLock lock(made->urlLock);
        made->serverURL = defaultServerURL(false);
        made->adServerUrl = defaultAdServerUrl(false);
        made->adLogServerUrl = defaultAdLogServerUrl(false);
        return made;
    }();
    return *instance;
}

// 2 → reachable, code 3; 1 → reachable, code 2; 0 → not reachable, code 0.
void applyStatus(int status) {
    State& s = state();
    switch (status) {
        case VuderuReachableViaWWAN: s.notReachable = false; s.statusCode = VuderuNetworkStatusCellular; break;
        case VuderuReachableViaWiFi: s.notReachable = false; s.statusCode = VuderuNetworkStatusWiFi; break;
        case VuderuNotReachable: s.notReachable = true; s.statusCode = VuderuNetworkStatusNone; break;
        default: break;
    }
}

} // namespace

std::shared_ptr<VuderuNetworkUtil> VuderuNetworkUtil::instance() {
    static NeverDestroyed<std::shared_ptr<VuderuNetworkUtil>> instance(std::make_shared<VuderuNetworkUtil>());
    return *instance;
}

NSErrorPtr VuderuNetworkUtil::lastNetworkOperationError() const {
    MutexLock lock(errorLock_);
    return lastNetworkOperationError_;
}

void VuderuNetworkUtil::setLastNetworkOperationErrorValue(NSErrorPtr error) {
    MutexLock lock(errorLock_);
    lastNetworkOperationError_ = std::move(error);
}

void VuderuNetworkUtil::initNetworkReachability() {
    State& s = state();
    MutexLock lock(s.lock);
    if (s.started) return;
    s.observer = NSNotificationCenter::defaultCenter()->addObserverForName(
        kVuderuReachabilityChangedNotification, nullptr, nullptr,
        [](const std::shared_ptr<NSNotification>& notification) { updateNetworkStatus(notification); });
    std::string host = hostOverride() ? hostOverride()->substr(0, hostOverride()->rfind(':')) : kAdServerHost;
    s.watched = VuderuReachability::vuderuReachabilityWithHostName(host);
    if (s.watched) s.watched->vuderuStartNotifier();
    int status = VuderuReachability::vuderuReachabilityForInternetConnection()->vuderuCurrentReachabilityStatus();
    VuderuLog("initial network status [%d] ========= ", status);
    applyStatus(status);
    s.started = true;
}

void VuderuNetworkUtil::updateNetworkStatus(const std::shared_ptr<NSNotification>& notification) {
    auto reachability = notification ? notification->object().objectAs<VuderuReachability>() : nullptr;
    State& s = state();
    {
        MutexLock lock(s.lock);
        int status = reachability ? reachability->vuderuCurrentReachabilityStatus() : VuderuNotReachable;
        VuderuLog("updated network status [%d] ======== ", status);
        applyStatus(status);
    }
    // The observers are the senders and perhaps the host: they run outside the class lock, and
    // read the status the latest change left.
    NSNotificationCenter::defaultCenter()->postNotificationName(kVuderuNetworkStatusChangedNotification, Value(instance()));
}

bool VuderuNetworkUtil::isNetworkReachable() {
    return !state().notReachable.load();
}

int VuderuNetworkUtil::networkStatus() {
    return state().statusCode.load();
}

void VuderuNetworkUtil::setLastNetworkOperationError(const NSErrorPtr& error) {
    instance()->setLastNetworkOperationErrorValue(error);
}

void VuderuNetworkUtil::setNetworkLikelyNotReachable() {
    setLastNetworkOperationError(NSError::errorWithDomain(kLikelyNotReachableDomain, kLikelyNotReachableCode));
}

bool VuderuNetworkUtil::isNetworkLikelyNotReachable() {
    if (!isNetworkReachable()) return true;
    auto error = instance()->lastNetworkOperationError();
    if (!error) return false;
    if (error->domain() == kLikelyNotReachableDomain) return true;
    // Of the URL loading system's errors only those that mean no way to the host count: a refused
    // TLS handshake, a bad answer or a cancel says nothing about the network.
    if (error->domain() != NSURLErrorDomain) return false;
    static constexpr long kNoNetworkCodes[] = {NSURLErrorNotConnectedToInternet, NSURLErrorNetworkConnectionLost, NSURLErrorCannotFindHost,
                                               NSURLErrorDNSLookupFailed,        NSURLErrorCannotConnectToHost,   NSURLErrorTimedOut};
    return std::find(std::begin(kNoNetworkCodes), std::end(kNoNetworkCodes), error->code()) != std::end(kNoNetworkCodes);
}

std::string VuderuNetworkUtil::serverURL() {
    State& s = state();
    MutexLock lock(s.urlLock);
    return s.serverURL;
}

void VuderuNetworkUtil::setServerURL(const std::string& url) {
    State& s = state();
    MutexLock lock(s.urlLock);
    s.serverURL = url;
}

std::string VuderuNetworkUtil::adServerUrl() {
    State& s = state();
    MutexLock lock(s.urlLock);
    return s.adServerUrl;
}

void VuderuNetworkUtil::setAdServerUrl(const std::string& url) {
    State& s = state();
    MutexLock lock(s.urlLock);
    s.adServerUrl = url;
}

std::string VuderuNetworkUtil::adLogServerUrl() {
    State& s = state();
    MutexLock lock(s.urlLock);
    return s.adLogServerUrl;
}

void VuderuNetworkUtil::setAdLogServerUrl(const std::string& url) {
    State& s = state();
    MutexLock lock(s.urlLock);
    s.adLogServerUrl = url;
}

void VuderuNetworkUtil::setSecureTransportEnabled(bool enabled) {
    State& s = state();
    MutexLock lock(s.urlLock);
    s.serverURL = defaultServerURL(enabled);
    s.adServerUrl = defaultAdServerUrl(enabled);
    s.adLogServerUrl = defaultAdLogServerUrl(enabled);
}

void VuderuNetworkUtil::setAppCloudServerToStaging(bool staging) {
    State& s = state();
    MutexLock lock(s.urlLock);
    s.appCloudProduction = !staging;
}

std::string VuderuNetworkUtil::appCloudServerUrl() {
    State& s = state();
    MutexLock lock(s.urlLock);
    return endpointURL("https", s.appCloudProduction ? kAppCloudHost : kAppCloudStagingHost, "");
}

std::string VuderuNetworkUtil::endpointURL(const char* scheme, const char* host, const char* path) {
    const auto& standIn = hostOverride();
    return std::string(scheme) + "://" + (standIn ? *standIn : std::string(host)) + "/" + path;
}

const std::optional<std::string>& VuderuNetworkUtil::hostOverride() {
    static const std::optional<std::string> value = []() -> std::optional<std::string> {
        const char* text = std::getenv(kHostVariable);
        if (!text || !*text) return std::nullopt;
        if (!isHostAndPort(text)) {
            NSLog("Vuderu: %s=\"%s\" is not a host and port; using the built-in hosts", kHostVariable, text);
            return std::nullopt;
        }
        return std::string(text);
    }();
    return value;
}

bool VuderuNetworkUtil::isHostAndPort(std::string_view value) {
    auto colon = value.rfind(':');
    if (colon == std::string_view::npos || colon == 0 || colon + 1 == value.size()) return false;
    for (char c : value.substr(0, colon)) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-') return false;
    }
    std::string_view port = value.substr(colon + 1);
    if (port.size() > 5) return false;
    int number = 0;
    for (char c : port) {
        if (c < '0' || c > '9') return false;
        number = number * 10 + (c - '0');
    }
    return number >= 1 && number <= kHighestPort;
}
