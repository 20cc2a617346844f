// VuderuUtil's debug counters: kept only while the log level is above 1.

#include "sdk/analytics/VuderuUtil.h"

#include "platform/foundation/NSLog.h"
#include "platform/foundation/NSString.h"

#include <mutex>

namespace {

std::mutex& debugCounterLock() {
    static std::mutex lock;
    return lock;
}

std::map<std::string, int>& debugCounters() {
    static std::map<std::string, int> all;
    return all;
}

void changeDebugCounter(const std::string& key, int delta) {
    if (VuderuUtil::logLevel() <= 1) return;
    std::lock_guard<std::mutex> guard(debugCounterLock());
    debugCounters()[key] += delta;
}

} // namespace

void VuderuUtil::incrementCounter(const std::string& name) { changeDebugCounter(name, 1); }
void VuderuUtil::decrementCounter(const std::string& name) { changeDebugCounter(name, -1); }

void VuderuUtil::incrementCounterLocationName(const std::string& name, const char* location) {
    changeDebugCounter(NSString::stringWithFormat("%@_location_%s", name, location), 1);
}

void VuderuUtil::decrementCounterLocationName(const std::string& name, const char* location) {
    changeDebugCounter(NSString::stringWithFormat("%@_location_%s", name, location), -1);
}

std::map<std::string, int> VuderuUtil::allCounters() {
    std::lock_guard<std::mutex> guard(debugCounterLock());
    return debugCounters();
}

void VuderuUtil::printCounters() {
    if (logLevel() <= 1) return;
    auto all = allCounters();
    NSLog("=========== Printing All Counters [name, value] ===========");
    for (const auto& [name, value] : all) NSLog("[%-100s=> %5d]", name.c_str(), value);
    NSLog("===========================================================");
}
