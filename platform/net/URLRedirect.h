#pragma once
// The request a redirect leads to, shared by the URL-loading front ends: nil when the response is
// no redirect (or has no usable Location). 303, and 301/302 after a POST, go on as a GET without
// a body (HEAD stays HEAD); 307 and 308 keep method and body.

#include "platform/net/NSHTTPURLResponse.h"
#include "platform/net/NSURLRequest.h"

#include <memory>

inline constexpr int kURLMaximumRedirects = 16;

NSURLRequestPtr URLRedirectRequest(const NSURLRequestPtr& request, const std::shared_ptr<NSHTTPURLResponse>& response);
