#include "platform/system/NetworkInterfaces.h"

#include <fstream>
#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <net/if_arp.h>
#include <sstream>
#include <sys/socket.h>

namespace {

std::string defaultRouteInterface() {
    std::ifstream routes("/proc/net/route");
    std::string line;
    std::getline(routes, line); // header
    while (std::getline(routes, line)) {
        std::istringstream fields(line);
        std::string name, destination;
        if (fields >> name >> destination && destination == "00000000") return name;
    }
    return {};
}

std::string firstEthernetInterface() {
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return {};
    std::string found;
    for (ifaddrs* a = list; a && found.empty(); a = a->ifa_next) {
        if (!a->ifa_addr || a->ifa_addr->sa_family != AF_PACKET) continue;
        const auto* link = reinterpret_cast<const sockaddr_ll*>(a->ifa_addr);
        if (link->sll_hatype == ARPHRD_ETHER && link->sll_halen == 6) found = a->ifa_name;
    }
    freeifaddrs(list);
    return found;
}

} // namespace

std::string NetworkInterfaceHostName(std::string_view deviceName) {
    if (deviceName != kDevicePrimaryInterface) return std::string(deviceName);
    std::string name = defaultRouteInterface();
    return name.empty() ? firstEthernetInterface() : name;
}
