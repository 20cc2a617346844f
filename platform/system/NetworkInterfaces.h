#pragma once
// The host's network as the device's network services see it: its interfaces and IPv4 routes,
// and the device's interface names. The device calls its primary interface "en0"; here that is
// the host interface carrying the default route (from /proc/net/route), or else the first
// interface other than loopback that has an Ethernet link-level address. Other names are the
// host's own.
//
// The interfaces and routes are read once and kept: a netlink socket subscribed to the kernel's
// link, address and route announcements tells when to read them again, so asking costs one
// system call while nothing changes. The kernel queues its announcement before the change's own
// call returns, so a change is seen by the next question. Where no such socket can be had,
// every question reads the host again.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

inline constexpr const char* kDevicePrimaryInterface = "en0";

// One entry of the interface list: an interface with one of its addresses (or none).
struct HostInterfaceEntry {
    std::string name;
    unsigned flags = 0;                    // IFF_*
    std::uint32_t ipv4 = 0;                // an IPv4 address, host byte order; 0 for other entries
    bool link = false;                     // a link-level entry
    unsigned short hardwareType = 0;       // ARPHRD_* of a link-level entry
    std::vector<std::uint8_t> hardwareAddress;
};

// An IPv4 route of the main table, as the kernel lists it.
struct HostRoute {
    std::string interface;
    std::uint32_t destination = 0;  // host byte order
    std::uint32_t mask = 0;
    unsigned flags = 0;             // RTF_*
    long metric = 0;
};

struct HostNetworkFacts {
    std::vector<HostInterfaceEntry> interfaces;
    std::vector<HostRoute> routes;
};

// The host's interfaces and routes as they are now (see above).
std::shared_ptr<const HostNetworkFacts> HostNetworkFactsNow();

std::string NetworkInterfaceHostName(std::string_view deviceName);
