#pragma once
// Transactions group layer changes and animations. begin and commit nest; a change made outside
// any begun transaction belongs to the implicit one (0.25 seconds, actions on). Animations added
// inside a transaction take its duration and timing function when they have none of their own;
// its completion block runs on the main run loop once the longest of them (nested transactions'
// included) has ended on the platform clock, or at the next pass when there are none.
// Main thread only.

#include "platform/uikit/CAMediaTimingFunction.h"

#include <functional>

class CATransaction {
public:
    static void begin();
    static void commit();

    static double animationDuration();
    static void setAnimationDuration(double duration);
    static CAMediaTimingFunctionPtr animationTimingFunction();
    static void setAnimationTimingFunction(CAMediaTimingFunctionPtr function);
    static std::function<void()> completionBlock();
    static void setCompletionBlock(std::function<void()> block);
    // Layers make no implicit animations while set (inherited by nested transactions).
    static bool disableActions();
    static void setDisableActions(bool disable);

    // An animation of that length, starting after the delay, joined the current transaction.
    static void noteAnimation(double delay, double duration);
};

// The platform clock in seconds, as animations are timed.
double CACurrentMediaTime();
