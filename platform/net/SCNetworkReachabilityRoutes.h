#pragma once
// How the host would reach a target: the route it would take and the interface that route
// leaves through (the stand-in's measurement of reachability flags).

#include "platform/net/SCNetworkReachability.h"

#include <cstdint>
#include <optional>

// The flags of an IPv4 address (host byte order), or of a name (nullopt), on the host now.
SCNetworkReachabilityFlags SCNetworkReachabilityMeasureFlags(std::optional<std::uint32_t> address);
