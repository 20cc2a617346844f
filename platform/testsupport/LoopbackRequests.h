// Requests of the URL-loading tests, and how long a test waits for their outcome.
#pragma once

#include "platform/net/NSURLRequest.h"

#include <string>

namespace loopback_requests {

// What a request to the loopback server may take before it times out, and how long a test runs the
// main loop for an outcome (a loaded machine included) before it gives up.
inline constexpr double kRequestTimeout = 30;
inline constexpr double kWait = 60;

// A request that bypasses every cache.
inline NSURLRequestPtr requestFor(const std::string& url, double timeout = kRequestTimeout) {
    return NSURLRequest::requestWithURL(NSURL::URLWithString(url), NSURLRequestReloadIgnoringLocalCacheData, timeout);
}

} // namespace loopback_requests
