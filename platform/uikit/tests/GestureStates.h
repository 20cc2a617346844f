// Short names for the states a recognizer's actions report, for tables of expected sequences.
#pragma once

#include "platform/uikit/UIGestureRecognizer.h"

namespace gesture_states {
inline constexpr auto B = UIGestureRecognizerStateBegan;
inline constexpr auto C = UIGestureRecognizerStateChanged;
inline constexpr auto E = UIGestureRecognizerStateEnded;
inline constexpr auto X = UIGestureRecognizerStateCancelled;
} // namespace gesture_states
