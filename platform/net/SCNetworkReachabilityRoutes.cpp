#include "platform/net/SCNetworkReachabilityRoutes.h"

#include <arpa/inet.h>
#include <bit>
#include <fstream>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr std::uint32_t kRoutesLinkLocalNetwork = 0xA9FE0000;  // 169.254.0.0/16, host order
constexpr std::uint32_t kLinkLocalMask = 0xFFFF0000;
constexpr std::uint32_t kLoopbackNetwork = 0x7F000000;   // 127.0.0.0/8, host order
constexpr std::uint32_t kLoopbackMask = 0xFF000000;

struct InterfaceAddress {
    std::string name;
    std::uint32_t address = 0;  // host order
    unsigned flags = 0;
};

struct Route {
    std::string interface;
    std::uint32_t destination = 0;  // host order
    std::uint32_t mask = 0;
    long metric = 0;
};

std::vector<InterfaceAddress> interfaces() {
    std::vector<InterfaceAddress> result;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) return result;
    for (ifaddrs* entry = list; entry; entry = entry->ifa_next) {
        InterfaceAddress item{entry->ifa_name ? entry->ifa_name : "", 0, entry->ifa_flags};
        if (entry->ifa_addr && entry->ifa_addr->sa_family == AF_INET) {
            item.address = ntohl(reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr.s_addr);
        }
        result.push_back(std::move(item));
    }
    ::freeifaddrs(list);
    return result;
}

// The IPv4 routes of the main table, as the kernel lists them.
std::vector<Route> routes() {
    std::vector<Route> result;
    std::ifstream file("/proc/net/route");
    std::string line;
    std::getline(file, line);  // the column titles
    while (std::getline(file, line)) {
        std::istringstream fields(line);
        std::string interface, destination, gateway, flags, refs, use, metric, mask;
        if (!(fields >> interface >> destination >> gateway >> flags >> refs >> use >> metric >> mask)) continue;
        if ((std::stoul(flags, nullptr, 16) & 0x1) == 0) continue;  // RTF_UP
        // The kernel prints the addresses in network byte order read as a host integer.
        Route route{interface, ntohl(static_cast<std::uint32_t>(std::stoul(destination, nullptr, 16))),
                    ntohl(static_cast<std::uint32_t>(std::stoul(mask, nullptr, 16))), std::stol(metric)};
        result.push_back(std::move(route));
    }
    return result;
}

// The interface the host would send to the address through (the longest matching prefix, then
// the lowest metric); only the default route when `defaultOnly`.
std::optional<std::string> routeInterface(std::uint32_t address, bool defaultOnly) {
    std::optional<Route> best;
    for (const Route& route : routes()) {
        if (defaultOnly ? route.mask != 0 : (address & route.mask) != route.destination) continue;
        if (!best || std::popcount(route.mask) > std::popcount(best->mask) ||
            (route.mask == best->mask && route.metric < best->metric)) {
            best = route;
        }
    }
    if (!best) return std::nullopt;
    return best->interface;
}

bool interfaceIsUpAndNotLoopback(const std::vector<InterfaceAddress>& all, const std::string& name) {
    for (const InterfaceAddress& item : all) {
        if (item.name == name) return (item.flags & IFF_UP) && !(item.flags & IFF_LOOPBACK);
    }
    return false;
}

} // namespace

SCNetworkReachabilityFlags SCNetworkReachabilityMeasureFlags(std::optional<std::uint32_t> address) {
    const std::vector<InterfaceAddress> all = interfaces();
    const bool linkLocalTarget = address && (*address & kLinkLocalMask) == kRoutesLinkLocalNetwork && (*address & ~kLinkLocalMask) == 0;
    SCNetworkReachabilityFlags flags = 0;
    if (address && (*address & kLoopbackMask) == kLoopbackNetwork) return 0;
    if (address && *address != 0 && !linkLocalTarget) {
        for (const InterfaceAddress& item : all) {
            if (item.address != *address) continue;
            if (item.flags & IFF_LOOPBACK) return 0;
            if (item.flags & IFF_UP) {
                return kSCNetworkReachabilityFlagsReachable | kSCNetworkReachabilityFlagsIsLocalAddress |
                       kSCNetworkReachabilityFlagsIsDirect;
            }
        }
    }
    const bool byDefaultRoute = !address || *address == 0;
    if (auto interface = routeInterface(address.value_or(0), byDefaultRoute); interface && interfaceIsUpAndNotLoopback(all, *interface)) {
        flags |= kSCNetworkReachabilityFlagsReachable;
    }
    if (linkLocalTarget) {
        for (const InterfaceAddress& item : all) {
            if ((item.address & kLinkLocalMask) == kRoutesLinkLocalNetwork && (item.flags & IFF_UP) && !(item.flags & IFF_LOOPBACK)) {
                flags |= kSCNetworkReachabilityFlagsIsDirect;
            }
        }
    }
    return flags;
}
