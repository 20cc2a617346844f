#pragma once
// NSLog: one line to standard error in the platform's format rules (%@ takes any object or value).
// Tests capture the lines instead (NSLogCapture).

#include "platform/foundation/NSString.h"

#include <functional>
#include <string>
#include <vector>

void NSLogv(const std::string& message);

template <class... Args>
void NSLog(std::string_view format, const Args&... args) {
    NSLogv(NSString::stringWithFormat(format, args...));
}

// While alive, every NSLog line is recorded (and not printed unless `echo`).
class NSLogCapture {
public:
    explicit NSLogCapture(bool echo = false);
    ~NSLogCapture();
    NSLogCapture(const NSLogCapture&) = delete;
    NSLogCapture& operator=(const NSLogCapture&) = delete;

    std::vector<std::string> lines() const;
    bool contains(std::string_view text) const;
    std::size_t count(std::string_view text) const;
    void clear();

    struct State;

private:
    State* state_;
};
