#include "netkit/NKNetworkReachabilityManager.h"

#include "netkit/NKLocalizedString.h"
#include "platform/dispatch/dispatch.h"
#include "platform/foundation/NSNotificationCenter.h"

#include <netinet/in.h>

const std::string NKNetworkingReachabilityDidChangeNotification = "com.netkit.networking.reachability.change";
const std::string NKNetworkingReachabilityNotificationStatusItem = "NKNetworkingReachabilityNotificationStatusItem";

namespace {

constexpr long kBackgroundPriority = -32768;

// The callback's info: the status block, shared by the context's copies.
using StatusBlock = std::function<void(long long)>;
using StatusBlockRef = std::shared_ptr<StatusBlock>;

const void* retainStatusBlock(const void* info) { return new StatusBlockRef(*static_cast<const StatusBlockRef*>(info)); }

void releaseStatusBlock(const void* info) {
    if (info) delete static_cast<const StatusBlockRef*>(info);
}

void reachabilityCallback(const SCNetworkReachabilityRef&, SCNetworkReachabilityFlags flags, void* info) {
    long long status = NKNetworkReachabilityStatusForFlags(flags);
    if (info && **static_cast<StatusBlockRef*>(info)) (**static_cast<StatusBlockRef*>(info))(status);
    dispatch_async(dispatch_get_main_queue(), [status] {
        NSNotificationCenter::defaultCenter()->postNotificationName(NKNetworkingReachabilityDidChangeNotification, Value(),
                                                                    {{NKNetworkingReachabilityNotificationStatusItem, Value(status)}});
    });
}

} // namespace

std::string NKStringFromNetworkReachabilityStatus(long long status) {
    switch (status) {
    case NKNetworkReachabilityStatusNotReachable: return NKLocalizedString("Not Reachable");
    case NKNetworkReachabilityStatusReachableViaWWAN: return NKLocalizedString("Reachable via WWAN");
    case NKNetworkReachabilityStatusReachableViaWiFi: return NKLocalizedString("Reachable via WiFi");
    default: return NKLocalizedString("Unknown");
    }
}

NKNetworkReachabilityStatus NKNetworkReachabilityStatusForFlags(SCNetworkReachabilityFlags flags) {
    bool reachable = flags & kSCNetworkReachabilityFlagsReachable;
    bool needsConnection = flags & kSCNetworkReachabilityFlagsConnectionRequired;
    bool connectsAutomatically = flags & (kSCNetworkReachabilityFlagsConnectionOnTraffic | kSCNetworkReachabilityFlagsConnectionOnDemand);
    bool withoutUser = connectsAutomatically && !(flags & kSCNetworkReachabilityFlagsInterventionRequired);
    if (!reachable || (needsConnection && !withoutUser)) return NKNetworkReachabilityStatusNotReachable;
    return (flags & kSCNetworkReachabilityFlagsIsWWAN) ? NKNetworkReachabilityStatusReachableViaWWAN : NKNetworkReachabilityStatusReachableViaWiFi;
}

std::shared_ptr<NKNetworkReachabilityManager> NKNetworkReachabilityManager::sharedManager() {
    static std::shared_ptr<NKNetworkReachabilityManager> shared = [] {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        return managerForAddress(reinterpret_cast<const sockaddr*>(&address));
    }();
    return shared;
}

std::shared_ptr<NKNetworkReachabilityManager> NKNetworkReachabilityManager::managerForDomain(const std::string& domain) {
    auto manager = std::make_shared<NKNetworkReachabilityManager>(SCNetworkReachabilityCreateWithName(kCFAllocatorDefault, domain.c_str()));
    manager->association_ = ForName;
    return manager;
}

std::shared_ptr<NKNetworkReachabilityManager> NKNetworkReachabilityManager::managerForAddress(const sockaddr* address) {
    auto manager = std::make_shared<NKNetworkReachabilityManager>(SCNetworkReachabilityCreateWithAddress(kCFAllocatorDefault, address));
    manager->association_ = ForAddress;
    return manager;
}

NKNetworkReachabilityManager::NKNetworkReachabilityManager(SCNetworkReachabilityRef reachability) : reachability_(std::move(reachability)) {}

NKNetworkReachabilityManager::~NKNetworkReachabilityManager() {
    stopMonitoring();
    // The callback's info holds only a weak reference to this manager; the target goes with it.
    if (reachability_) SCNetworkReachabilitySetCallback(reachability_, nullptr, nullptr);
}

long long NKNetworkReachabilityManager::networkReachabilityStatus() const {
    std::lock_guard guard(mutex_);
    return status_;
}

void NKNetworkReachabilityManager::setNetworkReachabilityStatus(long long status) {
    willChangeValueForKey("networkReachabilityStatus");
    {
        std::lock_guard guard(mutex_);
        status_ = status;
    }
    didChangeValueForKey("networkReachabilityStatus");
}

std::string NKNetworkReachabilityManager::localizedNetworkReachabilityStatusString() const {
    return NKStringFromNetworkReachabilityStatus(networkReachabilityStatus());
}

void NKNetworkReachabilityManager::setReachabilityStatusChangeBlock(std::function<void(long long status)> block) {
    std::lock_guard guard(mutex_);
    statusBlock_ = std::move(block);
}

std::set<std::string> NKNetworkReachabilityManager::keyPathsForValuesAffectingValueForKey(const std::string& key) const {
    if (key == "reachable" || key == "reachableViaWWAN" || key == "reachableViaWiFi") return {"networkReachabilityStatus"};
    return {};
}

void NKNetworkReachabilityManager::startMonitoring() {
    stopMonitoring();
    if (!reachability_) return;
    std::weak_ptr<NKNetworkReachabilityManager> weakSelf = self<NKNetworkReachabilityManager>();
    StatusBlock callback = [weakSelf](long long status) {
        auto self = weakSelf.lock();
        if (!self) return;
        self->setNetworkReachabilityStatus(status);
        std::function<void(long long)> block;
        {
            std::lock_guard guard(self->mutex_);
            block = self->statusBlock_;
        }
        if (block) block(status);
    };
    StatusBlockRef info = std::make_shared<StatusBlock>(callback);
    SCNetworkReachabilityContext context{0, &info, retainStatusBlock, releaseStatusBlock, nullptr};
    SCNetworkReachabilitySetCallback(reachability_, reachabilityCallback, &context);
    SCNetworkReachabilityScheduleWithRunLoop(reachability_, NSRunLoop::mainRunLoop(), NSRunLoopCommonModes);
    if (association_ == ForName) return;
    auto target = reachability_;
    dispatch_async(dispatch_get_global_queue(kBackgroundPriority, 0), [target, callback] {
        SCNetworkReachabilityFlags flags = 0;
        SCNetworkReachabilityGetFlags(target, &flags);
        long long status = NKNetworkReachabilityStatusForFlags(flags);
        dispatch_async(dispatch_get_main_queue(), [callback, status] { callback(status); });
    });
}

void NKNetworkReachabilityManager::stopMonitoring() {
    if (!reachability_) return;
    SCNetworkReachabilityUnscheduleFromRunLoop(reachability_, NSRunLoop::mainRunLoop(), NSRunLoopCommonModes);
}
