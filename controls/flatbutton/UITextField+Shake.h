#pragma once
// Shakes a text field: steps of `speed` seconds each move it by +delta, then -delta, and so on
// along one axis (0: x, any other value: y), and it snaps back when the steps run out. A shake
// of n times makes ceil(n / 2) + 1 moves, because each step both lowers the times left and
// raises the steps made.

#include "platform/uikit/UITextField.h"

#include <cstdint>
#include <memory>

namespace UITextField_Shake {
inline constexpr double kDefaultSpeed = 0.03;
inline constexpr std::int64_t kShakeAlongX = 0;

void shakeWithDelta(const std::shared_ptr<UITextField>& field, std::int32_t times, double delta);
void shakeWithDeltaAndSpeed(const std::shared_ptr<UITextField>& field, std::int32_t times, double delta, double speed);
void shakeWithDeltaAndSpeedShakeDirection(const std::shared_ptr<UITextField>& field, std::int32_t times, double delta,
                                          double speed, std::int64_t shakeDirection);
// One step: `times` left, `direction` +1 or -1, `currentTimes` steps made before this one.
void _shakeDirectionCurrentTimesWithDeltaAndSpeedShakeDirection(const std::shared_ptr<UITextField>& field,
                                                                std::int32_t times, std::int32_t direction,
                                                                std::int32_t currentTimes, double delta, double speed,
                                                                std::int64_t shakeDirection);
} // namespace UITextField_Shake
