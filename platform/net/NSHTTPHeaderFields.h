#pragma once
// HTTP header fields: names compare without regard to case, as on the wire; a field keeps the
// spelling it was first set with.

#include <map>
#include <string>
#include <strings.h>

struct NSCaseInsensitiveLess {
    bool operator()(const std::string& a, const std::string& b) const { return strcasecmp(a.c_str(), b.c_str()) < 0; }
};

using NSHTTPHeaderFields = std::map<std::string, std::string, NSCaseInsensitiveLess>;
