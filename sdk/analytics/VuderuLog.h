#pragma once
// The SDK's log rule: a line is written only when the log level is above the line's threshold,
// 1 for most lines and 0 for the few that must show at any level above 0.

#include "platform/foundation/NSLog.h"
#include "sdk/analytics/VuderuUtil.h"

template <class... Args>
void VuderuLogAbove(int threshold, std::string_view format, const Args&... args) {
    if (VuderuUtil::logLevel() > threshold) NSLog(format, args...);
}

// A diagnostic line: written at log level 2 and above.
template <class... Args>
void VuderuLog(std::string_view format, const Args&... args) {
    VuderuLogAbove(1, format, args...);
}
