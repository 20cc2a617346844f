#include "platform/uikit/CATransaction.h"

#include "platform/foundation/NSRunLoop.h"
#include "platform/foundation/PlatformClock.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace {
constexpr double kImplicitDuration = 0.25;

struct Frame {
    std::optional<double> duration;
    CAMediaTimingFunctionPtr timingFunction;
    std::function<void()> completion;
    std::optional<bool> disableActions;
    double longest = 0;
};

// Begun transactions, innermost last; the first entry is the implicit transaction, never committed.
std::vector<Frame>& frames() {
    thread_local std::vector<Frame> stack{Frame{}};
    return stack;
}

Frame& current() { return frames().back(); }
} // namespace

void CATransaction::begin() { frames().push_back(Frame{}); }

void CATransaction::commit() {
    auto& stack = frames();
    if (stack.size() < 2) return;
    Frame done = std::move(stack.back());
    stack.pop_back();
    // The enclosing transaction waits for what this one started.
    if (stack.size() > 1) stack.back().longest = std::max(stack.back().longest, done.longest);
    if (done.completion) NSRunLoop::mainRunLoop()->performAfterDelay(done.longest, std::move(done.completion));
}

double CATransaction::animationDuration() {
    auto& stack = frames();
    for (auto it = stack.rbegin(); it != stack.rend(); ++it)
        if (it->duration) return *it->duration;
    return kImplicitDuration;
}

void CATransaction::setAnimationDuration(double duration) { current().duration = duration; }

CAMediaTimingFunctionPtr CATransaction::animationTimingFunction() {
    auto& stack = frames();
    for (auto it = stack.rbegin(); it != stack.rend(); ++it)
        if (it->timingFunction) return it->timingFunction;
    return nullptr;
}

void CATransaction::setAnimationTimingFunction(CAMediaTimingFunctionPtr function) { current().timingFunction = std::move(function); }

std::function<void()> CATransaction::completionBlock() { return current().completion; }

void CATransaction::setCompletionBlock(std::function<void()> block) { current().completion = std::move(block); }

bool CATransaction::disableActions() {
    auto& stack = frames();
    for (auto it = stack.rbegin(); it != stack.rend(); ++it)
        if (it->disableActions) return *it->disableActions;
    return false;
}

void CATransaction::setDisableActions(bool disable) { current().disableActions = disable; }

void CATransaction::noteAnimation(double delay, double duration) {
    auto& frame = current();
    frame.longest = std::max(frame.longest, std::max(0.0, delay) + std::max(0.0, duration));
}

double CACurrentMediaTime() { return PlatformClock::monotonic(); }
