#pragma once
// The device's network interface names on the host. The device calls its primary interface
// "en0"; here that is the host interface carrying the default route (from /proc/net/route), or
// else the first interface other than loopback that has an Ethernet link-level address. Other
// names are the host's own.

#include <string>
#include <string_view>

inline constexpr const char* kDevicePrimaryInterface = "en0";

std::string NetworkInterfaceHostName(std::string_view deviceName);
