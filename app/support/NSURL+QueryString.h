#pragma once
// The query part of a URL as a query dictionary (NSString+QueryString.h).

#include "app/support/NSString+QueryString.h"
#include "platform/foundation/NSURL.h"

namespace NSURL_QueryString {

// Empty when the URL has no query.
VPQueryDictionary dictionaryForQueryString(const NSURL& url);

} // namespace NSURL_QueryString
