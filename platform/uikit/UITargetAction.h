#pragma once
// Typed target–action. Controls, bar button items and gesture recognizers keep their target
// weakly, as an NSObject, and hand it back to the action while it lives. Their registrations also
// take the target as what it is, a shared_ptr<T>, with an action that takes a T&: a member
// function of T (`&TDYouTube::popEasterEggView`) or a callable. The action takes the sender's
// arguments after the target, or only the leading ones it needs. The one cast back to T is made
// here, from the very type the target was registered as, so no action casts its target by hand.

#include "platform/foundation/NSObject.h"

#include <functional>
#include <type_traits>
#include <utility>

namespace UITargetAction {

template <class F, class T, class A, class B>
void invokeLeading(F& action, T& target, A& a, B b) {
    if constexpr (std::is_invocable_v<F&, T&, A&, B>) {
        std::invoke(action, target, a, b);
    } else if constexpr (std::is_invocable_v<F&, T&, A&>) {
        std::invoke(action, target, a);
    } else {
        static_assert(std::is_invocable_v<F&, T&>, "an action takes its target, then none, some or all of the sender's arguments");
        std::invoke(action, target);
    }
}

template <class F, class T, class A>
void invokeLeading(F& action, T& target, A& a) {
    if constexpr (std::is_invocable_v<F&, T&, A&>) {
        std::invoke(action, target, a);
    } else {
        static_assert(std::is_invocable_v<F&, T&>, "an action takes its target, then none or all of the sender's arguments");
        std::invoke(action, target);
    }
}

// The stored form of a typed action, for a sender that passes Args after the target. Called only
// by the registrations, with the T of the target they were given.
template <class T, class... Args, class F>
std::function<void(NSObject&, Args...)> erased(F action) {
    static_assert(std::is_base_of_v<NSObject, T>, "a target is an NSObject");
    return [action = std::move(action)](NSObject& target, Args... args) mutable {
        invokeLeading(action, static_cast<T&>(target), args...);
    };
}

} // namespace UITargetAction
