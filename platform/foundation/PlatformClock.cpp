#include "platform/foundation/PlatformClock.h"

#include <atomic>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <map>
#include <mutex>
#include <vector>

namespace {
std::mutex platformClockLock;
std::atomic<bool> manual{false};
// Manual wall time is its start plus the monotonic time passed since, worked out at each reading,
// so that however many steps moved it, two readings differ by what the monotonic clock moved.
double manualWallStart = 0;
double manualMonotonicStart = 0;
double manualMonotonic = 0;
std::uint64_t nextToken = 1;

std::map<std::uint64_t, std::function<void()>>& observers() {
    // Never destroyed: run loops of threads still ending while the process exits unregister here.
    static auto* list = new std::map<std::uint64_t, std::function<void()>>();
    return *list;
}

std::map<std::uint64_t, PlatformClock::DueTimeSource>& dueTimeSources() {
    static auto* list = new std::map<std::uint64_t, PlatformClock::DueTimeSource>();
    return *list;
}

double hostWall() {
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}

double hostMonotonic() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}
} // namespace

double PlatformClock::now() {
    if (!manual) return hostWall();
    std::lock_guard<std::mutex> guard(platformClockLock);
    // The time passed is the difference of two large readings, a rounding off what the steps
    // added up to: kept to the microsecond, 1800 s passed read as 1800 s.
    return manualWallStart + std::round((manualMonotonic - manualMonotonicStart) * 1e6) / 1e6;
}

double PlatformClock::monotonic() {
    if (!manual) return hostMonotonic();
    std::lock_guard<std::mutex> guard(platformClockLock);
    return manualMonotonic;
}

bool PlatformClock::isManual() { return manual; }

void PlatformClock::setManual(double wallSeconds) {
    {
        std::lock_guard<std::mutex> guard(platformClockLock);
        manualWallStart = wallSeconds < 0 ? hostWall() : wallSeconds;
        manualMonotonic = manualMonotonicStart = hostMonotonic();
        manual = true;
    }
    advance(0);
}

void PlatformClock::setAutomatic() {
    manual = false;
    std::vector<std::function<void()>> toCall;
    {
        std::lock_guard<std::mutex> guard(platformClockLock);
        for (auto& [token, observer] : observers()) toCall.push_back(observer);
    }
    for (auto& observer : toCall) observer();
}

namespace {
// Changes manual time under the platformClockLock, then tells every observer (outside it). Nothing in automatic mode.
void changeManualTime(const std::function<void()>& change) {
    std::vector<std::function<void()>> toCall;
    {
        std::lock_guard<std::mutex> guard(platformClockLock);
        if (!manual) return;
        change();
        for (auto& [token, observer] : observers()) toCall.push_back(observer);
    }
    for (auto& observer : toCall) observer();
}
} // namespace

void PlatformClock::advance(double seconds) {
    changeManualTime([seconds] {
        if (seconds <= 0) return;
        manualMonotonic += seconds;
    });
}

void PlatformClock::advanceTo(double monotonicSeconds) {
    changeManualTime([monotonicSeconds] {
        if (!(monotonicSeconds > manualMonotonic)) return;
        manualMonotonic = monotonicSeconds;
    });
}

std::uint64_t PlatformClock::addObserver(std::function<void()> observer) {
    std::lock_guard<std::mutex> guard(platformClockLock);
    std::uint64_t token = nextToken++;
    observers()[token] = std::move(observer);
    return token;
}

void PlatformClock::removeObserver(std::uint64_t token) {
    std::lock_guard<std::mutex> guard(platformClockLock);
    observers().erase(token);
}

std::uint64_t PlatformClock::addDueTimeSource(DueTimeSource nextDueAfter) {
    std::lock_guard<std::mutex> guard(platformClockLock);
    std::uint64_t token = nextToken++;
    dueTimeSources()[token] = std::move(nextDueAfter);
    return token;
}

void PlatformClock::removeDueTimeSource(std::uint64_t token) {
    std::lock_guard<std::mutex> guard(platformClockLock);
    dueTimeSources().erase(token);
}

double PlatformClock::nextDueAfter(double after) {
    std::vector<DueTimeSource> sources;
    {
        std::lock_guard<std::mutex> guard(platformClockLock);
        for (auto& [token, source] : dueTimeSources()) sources.push_back(source);
    }
    // Sources take their own locks (a run loop's, the timer thread's): never under the clock's.
    double earliest = std::numeric_limits<double>::infinity();
    for (auto& source : sources) earliest = std::min(earliest, source(after));
    return earliest;
}
