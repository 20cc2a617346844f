#include "platform/foundation/NSLog.h"

#include "platform/foundation/PlatformClock.h"
#include "platform/foundation/PrintableText.h"

#include <cmath>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <unistd.h>

struct NSLogCapture::State {
    std::vector<std::string> lines;
    bool echo = false;
    State* previous = nullptr;
};

namespace {
std::mutex logLock;
NSLogCapture::State* capture = nullptr;
} // namespace

void NSLogv(const std::string& message) {
    // Stamped with the device's time: the stepped clock's under a script or a test, read before
    // the log's lock is taken.
    const double now = PlatformClock::now();
    auto seconds = static_cast<std::time_t>(std::floor(now));
    auto milliseconds = static_cast<long>((now - std::floor(now)) * 1000);
    if (milliseconds > 999) milliseconds = 999;
    std::lock_guard<std::mutex> guard(logLock);
    if (capture) {
        capture->lines.push_back(message);
        if (!capture->echo) return;
    }
    std::tm tm{};
    localtime_r(&seconds, &tm);
    char stamp[64];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &tm);
    // The line goes to a terminal: file names, titles and server text in it never reach it as
    // controls, direction marks or broken UTF-8, but shown as escapes as on the screen.
    std::fprintf(stderr, "%s.%03ld Tandrel[%d] %s\n", stamp, milliseconds, static_cast<int>(getpid()), PrintableText(message).c_str());
}

NSLogCapture::NSLogCapture(bool echo) : state_(new State) {
    std::lock_guard<std::mutex> guard(logLock);
    state_->echo = echo;
    state_->previous = capture;
    capture = state_;
}

NSLogCapture::~NSLogCapture() {
    {
        std::lock_guard<std::mutex> guard(logLock);
        capture = state_->previous;
    }
    delete state_;
}

std::vector<std::string> NSLogCapture::lines() const {
    std::lock_guard<std::mutex> guard(logLock);
    return state_->lines;
}

bool NSLogCapture::contains(std::string_view text) const { return count(text) > 0; }

std::size_t NSLogCapture::count(std::string_view text) const {
    std::lock_guard<std::mutex> guard(logLock);
    std::size_t n = 0;
    for (const auto& line : state_->lines) n += line.find(text) != std::string::npos;
    return n;
}

void NSLogCapture::clear() {
    std::lock_guard<std::mutex> guard(logLock);
    state_->lines.clear();
}
