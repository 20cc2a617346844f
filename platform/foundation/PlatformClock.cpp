#include "platform/foundation/PlatformClock.h"

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <vector>

namespace {
std::mutex lock;
std::atomic<bool> manual{false};
double manualWall = 0;
double manualMonotonic = 0;
std::uint64_t nextToken = 1;

std::map<std::uint64_t, std::function<void()>>& observers() {
    // Never destroyed: run loops of threads still ending while the process exits unregister here.
    static auto* list = new std::map<std::uint64_t, std::function<void()>>();
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
    std::lock_guard<std::mutex> guard(lock);
    return manualWall;
}

double PlatformClock::monotonic() {
    if (!manual) return hostMonotonic();
    std::lock_guard<std::mutex> guard(lock);
    return manualMonotonic;
}

bool PlatformClock::isManual() { return manual; }

void PlatformClock::setManual(double wallSeconds) {
    {
        std::lock_guard<std::mutex> guard(lock);
        manualWall = wallSeconds < 0 ? hostWall() : wallSeconds;
        manualMonotonic = hostMonotonic();
        manual = true;
    }
    advance(0);
}

void PlatformClock::setAutomatic() {
    manual = false;
    std::vector<std::function<void()>> toCall;
    {
        std::lock_guard<std::mutex> guard(lock);
        for (auto& [token, observer] : observers()) toCall.push_back(observer);
    }
    for (auto& observer : toCall) observer();
}

void PlatformClock::advance(double seconds) {
    std::vector<std::function<void()>> toCall;
    {
        std::lock_guard<std::mutex> guard(lock);
        if (!manual) return;
        if (seconds > 0) {
            manualWall += seconds;
            manualMonotonic += seconds;
        }
        for (auto& [token, observer] : observers()) toCall.push_back(observer);
    }
    for (auto& observer : toCall) observer();
}

std::uint64_t PlatformClock::addObserver(std::function<void()> observer) {
    std::lock_guard<std::mutex> guard(lock);
    std::uint64_t token = nextToken++;
    observers()[token] = std::move(observer);
    return token;
}

void PlatformClock::removeObserver(std::uint64_t token) {
    std::lock_guard<std::mutex> guard(lock);
    observers().erase(token);
}
