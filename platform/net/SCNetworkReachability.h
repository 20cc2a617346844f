#pragma once
// Network reachability of a target (an IPv4 address or a host name), measured on the host.
//
// A target is reachable when the route the host would use for it leaves through an interface that
// is up and not a loopback interface. A target that is one of the host's own addresses adds
// IsLocalAddress and IsDirect; the link-local network 169.254.0.0 adds IsDirect while an interface
// has a link-local address. Names are never looked up: the default route judges them. IsWWAN is
// never measured (the host has no cellular link).
//
// Changes come from a netlink route socket (links, addresses, routes) watched on the run loop the
// target is scheduled in; the callback runs there whenever the target's flags change.
//
// The device can be told which network it has (none, WiFi, cellular) instead of measuring: the
// chosen flags replace the measured ones for every target, and every scheduled target's callback
// runs on its run loop.

#include "platform/foundation/NSRunLoop.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

struct sockaddr;

using SCNetworkReachabilityFlags = std::uint32_t;
enum : SCNetworkReachabilityFlags {
    kSCNetworkReachabilityFlagsTransientConnection = 1u << 0,
    kSCNetworkReachabilityFlagsReachable = 1u << 1,
    kSCNetworkReachabilityFlagsConnectionRequired = 1u << 2,
    kSCNetworkReachabilityFlagsConnectionOnTraffic = 1u << 3,
    kSCNetworkReachabilityFlagsInterventionRequired = 1u << 4,
    kSCNetworkReachabilityFlagsConnectionOnDemand = 1u << 5,
    kSCNetworkReachabilityFlagsIsLocalAddress = 1u << 16,
    kSCNetworkReachabilityFlagsIsDirect = 1u << 17,
    kSCNetworkReachabilityFlagsIsWWAN = 1u << 18,
};

class SCNetworkReachability;
using SCNetworkReachabilityRef = std::shared_ptr<SCNetworkReachability>;

using SCNetworkReachabilityCallBack = void (*)(const SCNetworkReachabilityRef& target, SCNetworkReachabilityFlags flags,
                                               void* info);
struct SCNetworkReachabilityContext {
    long version = 0;
    void* info = nullptr;
    const void* (*retain)(const void* info) = nullptr;
    void (*release)(const void* info) = nullptr;
    const void* (*copyDescription)(const void* info) = nullptr;
};

// The allocator argument of the design's creation calls; there is only the default one.
using CFAllocatorRef = const void*;
inline constexpr CFAllocatorRef kCFAllocatorDefault = nullptr;

// Nil for a null address, an address that is not IPv4, or a null or empty name.
SCNetworkReachabilityRef SCNetworkReachabilityCreateWithAddress(CFAllocatorRef allocator, const sockaddr* address);
SCNetworkReachabilityRef SCNetworkReachabilityCreateWithName(CFAllocatorRef allocator, const char* nodename);

// Replaces the callback (a null callback removes it); the context's info is handed to it. The
// context's retain and release functions are called for the info when given.
bool SCNetworkReachabilitySetCallback(const SCNetworkReachabilityRef& target, SCNetworkReachabilityCallBack callback,
                                      const SCNetworkReachabilityContext* context);
// One run loop per target; scheduling it in another while scheduled fails.
bool SCNetworkReachabilityScheduleWithRunLoop(const SCNetworkReachabilityRef& target, const std::shared_ptr<NSRunLoop>& runLoop,
                                              const NSRunLoopMode& mode);
bool SCNetworkReachabilityUnscheduleFromRunLoop(const SCNetworkReachabilityRef& target,
                                                const std::shared_ptr<NSRunLoop>& runLoop, const NSRunLoopMode& mode);
// The target's flags now; false (flags untouched) for a nil target or a null pointer.
bool SCNetworkReachabilityGetFlags(const SCNetworkReachabilityRef& target, SCNetworkReachabilityFlags* flags);

// The network the device is told it has, instead of the measured one.
enum class SCDeviceNetwork { Measured, None, WiFi, Cellular };
// "none", "wifi", "cellular" (and "measured" for going back); nullopt for anything else.
std::optional<SCDeviceNetwork> SCDeviceNetworkFromName(std::string_view name);
// Sets the device's network and runs the callback of every scheduled target on its run loop.
void SCNetworkReachabilitySetDeviceNetwork(SCDeviceNetwork network);
SCDeviceNetwork SCNetworkReachabilityDeviceNetwork();
