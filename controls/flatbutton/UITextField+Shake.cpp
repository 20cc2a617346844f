#include "controls/flatbutton/UITextField+Shake.h"

void UITextField_Shake::shakeWithDelta(const std::shared_ptr<UITextField>& field, std::int32_t times, double delta) {
    shakeWithDeltaAndSpeed(field, times, delta, kDefaultSpeed);
}

void UITextField_Shake::shakeWithDeltaAndSpeed(const std::shared_ptr<UITextField>& field, std::int32_t times,
                                               double delta, double speed) {
    shakeWithDeltaAndSpeedShakeDirection(field, times, delta, speed, kShakeAlongX);
}

void UITextField_Shake::shakeWithDeltaAndSpeedShakeDirection(const std::shared_ptr<UITextField>& field,
                                                             std::int32_t times, double delta, double speed,
                                                             std::int64_t shakeDirection) {
    _shakeDirectionCurrentTimesWithDeltaAndSpeedShakeDirection(field, times, 1, 0, delta, speed, shakeDirection);
}

void UITextField_Shake::_shakeDirectionCurrentTimesWithDeltaAndSpeedShakeDirection(
    const std::shared_ptr<UITextField>& field, std::int32_t times, std::int32_t direction, std::int32_t currentTimes,
    double delta, double speed, std::int64_t shakeDirection) {
    UIView::animateWithDuration(
        speed,
        [field, delta, direction, shakeDirection] {
            const double offset = delta * direction;
            field->setTransform(shakeDirection == kShakeAlongX ? CGAffineTransformMakeTranslation(offset, 0)
                                                               : CGAffineTransformMakeTranslation(0, offset));
        },
        [=](bool) {
            if (currentTimes >= times) {
                field->setTransform(CGAffineTransformIdentity);
                return;
            }
            _shakeDirectionCurrentTimesWithDeltaAndSpeedShakeDirection(field, times - 1, -direction, currentTimes + 1,
                                                                       delta, speed, shakeDirection);
        });
}
