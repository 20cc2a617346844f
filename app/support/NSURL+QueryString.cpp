#include "app/support/NSURL+QueryString.h"

namespace NSURL_QueryString {

VPQueryDictionary dictionaryForQueryString(const NSURL& url) {
    auto query = url.query();
    return query ? NSString_QueryString::dictionaryFromQueryStringComponents(*query) : VPQueryDictionary{};
}

} // namespace NSURL_QueryString
