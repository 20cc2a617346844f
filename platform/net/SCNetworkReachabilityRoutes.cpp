#include "platform/net/SCNetworkReachabilityRoutes.h"

#include "platform/system/NetworkInterfaces.h"

#include <bit>
#include <net/if.h>
#include <net/route.h>
#include <netinet/in.h>
#include <string>
#include <vector>

namespace {

constexpr std::uint32_t kRoutesLinkLocalNetwork = 0xA9FE0000;  // 169.254.0.0/16, host order
constexpr std::uint32_t kLinkLocalMask = 0xFFFF0000;
constexpr std::uint32_t kLoopbackNetwork = 0x7F000000;   // 127.0.0.0/8, host order
constexpr std::uint32_t kLoopbackMask = 0xFF000000;

// The interface the host would send to the address through (the longest matching prefix, then
// the lowest metric); only the default route when `defaultOnly`.
std::optional<std::string> routeInterface(const HostNetworkFacts& facts, std::uint32_t address, bool defaultOnly) {
    const HostRoute* best = nullptr;
    for (const HostRoute& route : facts.routes) {
        if ((route.flags & RTF_UP) == 0) continue;
        if (defaultOnly ? route.mask != 0 : (address & route.mask) != route.destination) continue;
        if (!best || std::popcount(route.mask) > std::popcount(best->mask) ||
            (route.mask == best->mask && route.metric < best->metric)) {
            best = &route;
        }
    }
    if (!best) return std::nullopt;
    return best->interface;
}

bool interfaceIsUpAndNotLoopback(const std::vector<HostInterfaceEntry>& all, const std::string& name) {
    for (const HostInterfaceEntry& item : all) {
        if (item.name == name) return (item.flags & IFF_UP) && !(item.flags & IFF_LOOPBACK);
    }
    return false;
}

} // namespace

SCNetworkReachabilityFlags SCNetworkReachabilityMeasureFlags(std::optional<std::uint32_t> address) {
    const auto facts = HostNetworkFactsNow();
    const std::vector<HostInterfaceEntry>& all = facts->interfaces;
    const bool linkLocalTarget = address && (*address & kLinkLocalMask) == kRoutesLinkLocalNetwork && (*address & ~kLinkLocalMask) == 0;
    SCNetworkReachabilityFlags flags = 0;
    if (address && (*address & kLoopbackMask) == kLoopbackNetwork) return 0;
    if (address && *address != 0 && !linkLocalTarget) {
        for (const HostInterfaceEntry& item : all) {
            if (item.ipv4 != *address) continue;
            if (item.flags & IFF_LOOPBACK) return 0;
            if (item.flags & IFF_UP) {
                return kSCNetworkReachabilityFlagsReachable | kSCNetworkReachabilityFlagsIsLocalAddress |
                       kSCNetworkReachabilityFlagsIsDirect;
            }
        }
    }
    const bool byDefaultRoute = !address || *address == 0;
    if (auto interface = routeInterface(*facts, address.value_or(0), byDefaultRoute); interface && interfaceIsUpAndNotLoopback(all, *interface)) {
        flags |= kSCNetworkReachabilityFlagsReachable;
    }
    if (linkLocalTarget) {
        for (const HostInterfaceEntry& item : all) {
            if ((item.ipv4 & kLinkLocalMask) == kRoutesLinkLocalNetwork && (item.flags & IFF_UP) && !(item.flags & IFF_LOOPBACK)) {
                flags |= kSCNetworkReachabilityFlagsIsDirect;
            }
        }
    }
    return flags;
}
