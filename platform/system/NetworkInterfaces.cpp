#include "platform/system/NetworkInterfaces.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fstream>
#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <mutex>
#include <net/if_arp.h>
#include <sstream>
#include <sys/socket.h>
#include <unistd.h>

namespace {

std::vector<HostInterfaceEntry> readInterfaces() {
    std::vector<HostInterfaceEntry> result;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return result;
    for (ifaddrs* a = list; a; a = a->ifa_next) {
        HostInterfaceEntry entry;
        entry.name = a->ifa_name ? a->ifa_name : "";
        entry.flags = a->ifa_flags;
        if (a->ifa_addr && a->ifa_addr->sa_family == AF_INET) {
            entry.ipv4 = ntohl(reinterpret_cast<const sockaddr_in*>(a->ifa_addr)->sin_addr.s_addr);
        } else if (a->ifa_addr && a->ifa_addr->sa_family == AF_PACKET) {
            const auto* link = reinterpret_cast<const sockaddr_ll*>(a->ifa_addr);
            entry.link = true;
            entry.hardwareType = link->sll_hatype;
            std::size_t length = link->sll_halen < sizeof link->sll_addr ? link->sll_halen : sizeof link->sll_addr;
            entry.hardwareAddress.assign(link->sll_addr, link->sll_addr + length);
        }
        result.push_back(std::move(entry));
    }
    freeifaddrs(list);
    return result;
}

std::vector<HostRoute> readRoutes() {
    std::vector<HostRoute> result;
    std::ifstream file("/proc/net/route");
    std::string line;
    std::getline(file, line);  // the column titles
    while (std::getline(file, line)) {
        std::istringstream fields(line);
        std::string interface, destination, gateway, flags, refs, use, metric, mask;
        if (!(fields >> interface >> destination >> gateway >> flags >> refs >> use >> metric >> mask)) continue;
        char* end = nullptr;
        HostRoute route;
        route.interface = interface;
        // The kernel prints the addresses in network byte order read as a host integer.
        route.destination = ntohl(static_cast<std::uint32_t>(std::strtoul(destination.c_str(), &end, 16)));
        route.mask = ntohl(static_cast<std::uint32_t>(std::strtoul(mask.c_str(), &end, 16)));
        route.flags = static_cast<unsigned>(std::strtoul(flags.c_str(), &end, 16));
        route.metric = std::strtol(metric.c_str(), &end, 10);
        result.push_back(std::move(route));
    }
    return result;
}

class FactsCache {
public:
    FactsCache() {
        fd_ = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_ROUTE);
        if (fd_ < 0) return;
        sockaddr_nl local{};
        local.nl_family = AF_NETLINK;
        local.nl_groups = RTMGRP_LINK | RTMGRP_IPV4_IFADDR | RTMGRP_IPV4_ROUTE | RTMGRP_IPV6_IFADDR;
        if (::bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }

    std::shared_ptr<const HostNetworkFacts> now() {
        std::lock_guard guard(lock_);
        if (!facts_ || changedSinceRead()) {
            auto facts = std::make_shared<HostNetworkFacts>();
            facts->interfaces = readInterfaces();
            facts->routes = readRoutes();
            // Announcements made while reading are drained with the next question, which reads again.
            facts_ = std::move(facts);
        }
        return facts_;
    }

private:
    // Drains the announcements; true when there was any, when some were lost (the socket's
    // buffer ran over) or when there is no socket to tell.
    bool changedSinceRead() {
        if (fd_ < 0) return true;
        bool changed = false;
        char buffer[8192];
        for (;;) {
            ssize_t n = ::recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT);
            if (n > 0) {
                changed = true;
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) changed = true;  // ENOBUFS: announcements lost
            return changed;
        }
    }

    std::mutex lock_;
    int fd_ = -1;
    std::shared_ptr<const HostNetworkFacts> facts_;
};

std::string defaultRouteInterface(const HostNetworkFacts& facts) {
    for (const HostRoute& route : facts.routes)
        if (route.destination == 0) return route.interface;
    return {};
}

std::string firstEthernetInterface(const HostNetworkFacts& facts) {
    for (const HostInterfaceEntry& entry : facts.interfaces)
        if (entry.link && entry.hardwareType == ARPHRD_ETHER && entry.hardwareAddress.size() == 6) return entry.name;
    return {};
}

} // namespace

std::shared_ptr<const HostNetworkFacts> HostNetworkFactsNow() {
    // Lives as long as the process: asked from threads that may outlast static destruction.
    static auto* cache = new FactsCache();
    return cache->now();
}

std::string NetworkInterfaceHostName(std::string_view deviceName) {
    if (deviceName != kDevicePrimaryInterface) return std::string(deviceName);
    auto facts = HostNetworkFactsNow();
    std::string name = defaultRouteInterface(*facts);
    return name.empty() ? firstEthernetInterface(*facts) : name;
}
