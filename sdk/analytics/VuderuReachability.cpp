#include "sdk/analytics/VuderuReachability.h"

#include "platform/foundation/NSNotificationCenter.h"

#include <arpa/inet.h>
#include <cstdio>
#include <netinet/in.h>

namespace {

constexpr std::uint32_t kLinkLocalNetwork = 0xA9FE0000;  // 169.254.0.0, host order

void VuderuReachabilityCallback(const SCNetworkReachabilityRef&, SCNetworkReachabilityFlags, void* info) {
    auto* object = static_cast<VuderuReachability*>(info);
    NSNotificationCenter::defaultCenter()->postNotificationName(kVuderuReachabilityChangedNotification,
                                                                Value(object->self<VuderuReachability>()));
}

sockaddr_in ipv4Address(std::uint32_t hostOrder) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(hostOrder);
    return address;
}

} // namespace

std::shared_ptr<VuderuReachability> VuderuReachability::vuderuReachabilityWithHostName(const std::string& hostName) {
    auto target = SCNetworkReachabilityCreateWithName(nullptr, hostName.c_str());
    if (!target) return nullptr;
    auto object = std::make_shared<VuderuReachability>(std::move(target));
    object->setKey(hostName);
    return object;
}

std::shared_ptr<VuderuReachability> VuderuReachability::vuderuReachabilityWithAddress(const sockaddr_in& address) {
    auto target = SCNetworkReachabilityCreateWithAddress(kCFAllocatorDefault, reinterpret_cast<const sockaddr*>(&address));
    if (!target) return nullptr;
    auto object = std::make_shared<VuderuReachability>(std::move(target));
    object->setKey(vuderuMakeAddressKey(address.sin_addr.s_addr));
    return object;
}

std::string VuderuReachability::vuderuMakeAddressKey(std::uint32_t address) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(&address);
    char key[16];
    std::snprintf(key, sizeof key, "%d.%d.%d.%d", bytes[0], bytes[1], bytes[2], bytes[3]);
    return key;
}

std::shared_ptr<VuderuReachability> VuderuReachability::vuderuReachabilityForInternetConnection() {
    auto object = vuderuReachabilityWithAddress(ipv4Address(0));
    if (object) object->setKey("InternetConnection");
    return object;
}

std::shared_ptr<VuderuReachability> VuderuReachability::vuderuReachabilityForLocalWiFi() {
    auto object = vuderuReachabilityWithAddress(ipv4Address(kLinkLocalNetwork));
    if (object) {
        object->setKey("LocalWiFiConnection");
        object->isLocalWiFi_ = true;
    }
    return object;
}

VuderuReachability::VuderuReachability(SCNetworkReachabilityRef target) : vuderuReachabilityRef_(std::move(target)) {}

VuderuReachability::~VuderuReachability() {
    vuderuStopNotifier();
}

std::string VuderuReachability::key() const {
    std::lock_guard lock(keyLock_);
    return key_;
}

void VuderuReachability::setKey(const std::string& key) {
    std::lock_guard lock(keyLock_);
    key_ = key;
}

bool VuderuReachability::vuderuStartNotifier() {
    SCNetworkReachabilityContext context{0, this, nullptr, nullptr, nullptr};
    if (!SCNetworkReachabilitySetCallback(vuderuReachabilityRef_, VuderuReachabilityCallback, &context)) return false;
    auto runLoop = NSRunLoop::currentRunLoop();
    if (!SCNetworkReachabilityScheduleWithRunLoop(vuderuReachabilityRef_, runLoop, NSDefaultRunLoopMode)) return false;
    scheduledRunLoop_ = runLoop;
    return true;
}

void VuderuReachability::vuderuStopNotifier() {
    if (!vuderuReachabilityRef_) return;
    // The design unschedules from the current run loop; the loop it was scheduled on is the one
    // that can hold it, so stopping from another thread still takes the callback away.
    if (scheduledRunLoop_) SCNetworkReachabilityUnscheduleFromRunLoop(vuderuReachabilityRef_, scheduledRunLoop_, NSDefaultRunLoopMode);
    SCNetworkReachabilitySetCallback(vuderuReachabilityRef_, nullptr, nullptr);
    scheduledRunLoop_.reset();
}

VuderuReachabilityStatus VuderuReachability::vuderuNetworkStatusForFlags(SCNetworkReachabilityFlags flags) const {
    if (!(flags & kSCNetworkReachabilityFlagsReachable)) return VuderuNotReachable;
    if (isLocalWiFi_) return (flags & kSCNetworkReachabilityFlagsIsDirect) ? VuderuReachableViaWiFi : VuderuNotReachable;
    if (flags & kSCNetworkReachabilityFlagsIsWWAN) return VuderuReachableViaWWAN;
    const SCNetworkReachabilityFlags rest = flags & ~(kSCNetworkReachabilityFlagsReachable | kSCNetworkReachabilityFlagsIsLocalAddress |
                                                      kSCNetworkReachabilityFlagsIsDirect);
    if (rest == (kSCNetworkReachabilityFlagsTransientConnection | kSCNetworkReachabilityFlagsConnectionRequired)) return VuderuNotReachable;
    if (rest & kSCNetworkReachabilityFlagsTransientConnection) return VuderuReachableViaWiFi;
    if (rest == 0) return VuderuReachableViaWiFi;
    return (rest & kSCNetworkReachabilityFlagsConnectionRequired) ? VuderuReachableViaWiFi : VuderuNotReachable;
}

bool VuderuReachability::readFlags(SCNetworkReachabilityFlags* flags) const {
    return SCNetworkReachabilityGetFlags(vuderuReachabilityRef_, flags);
}

VuderuReachabilityStatus VuderuReachability::vuderuCurrentReachabilityStatus() const {
    SCNetworkReachabilityFlags flags = 0;
    return readFlags(&flags) ? vuderuNetworkStatusForFlags(flags) : VuderuNotReachable;
}

bool VuderuReachability::isVuderuReachable() const {
    SCNetworkReachabilityFlags flags = 0;
    return readFlags(&flags) && vuderuNetworkStatusForFlags(flags) != VuderuNotReachable;
}

bool VuderuReachability::isVuderuConnectionRequired() const {
    return vuderuReachabilityFlags() & kSCNetworkReachabilityFlagsConnectionRequired;
}

bool VuderuReachability::isVuderuConnectionOnDemand() const {
    SCNetworkReachabilityFlags flags = vuderuReachabilityFlags();
    return (flags & kSCNetworkReachabilityFlagsConnectionRequired) &&
           (flags & (kSCNetworkReachabilityFlagsConnectionOnTraffic | kSCNetworkReachabilityFlagsConnectionOnDemand));
}

bool VuderuReachability::isVuderuUserInterventionRequired() const {
    SCNetworkReachabilityFlags flags = vuderuReachabilityFlags();
    return (flags & kSCNetworkReachabilityFlagsConnectionRequired) && (flags & kSCNetworkReachabilityFlagsInterventionRequired);
}

SCNetworkReachabilityFlags VuderuReachability::vuderuReachabilityFlags() const {
    SCNetworkReachabilityFlags flags = 0;
    return readFlags(&flags) ? flags : 0;
}
