#pragma once
// Explicit animations of a layer's properties. The stand-in records them: an animation added to a
// layer keeps its key path and values, stays attached until its time on the platform clock has
// run (and after, unless removed on completion), and tells its delegate when it stops. The
// layer's model values are left as they are, as on the device: code that wants the end value to
// stay sets the property itself.

#include "platform/foundation/NSObject.h"
#include "platform/graphics/CGGeometry.h"
#include "platform/graphics/CGPath.h"
#include "platform/uikit/CAMediaTimingFunction.h"
#include "platform/uikit/CATransform3D.h"
#include "platform/uikit/UIColor.h"

#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

// What an animation carries from and to: nothing (nil), a number, a point, a size, a rect, a 3D
// transform, a colour or a path.
using CAAnimationValue = std::variant<std::monostate, double, CGPoint, CGSize, CGRect, CATransform3D, UIColorPtr, CGPathRef>;

class CAAnimation;

class CAAnimationDelegate {
public:
    virtual ~CAAnimationDelegate() = default;
    virtual void animationDidStart(CAAnimation&) {}
    // finished is false when the animation was removed before its time ran out.
    virtual void animationDidStopFinished(CAAnimation&, bool) {}
};

class CAAnimation : public NSObject {
public:
    // 0 takes the enclosing transaction's duration when the animation is added.
    double duration() const { return duration_; }
    void setDuration(double duration) { duration_ = duration; }
    // Seconds after being added that the animation starts (the platform's beginTime, relative).
    double beginTime() const { return beginTime_; }
    void setBeginTime(double time) { beginTime_ = time; }
    // nil takes the enclosing transaction's function.
    CAMediaTimingFunctionPtr timingFunction() const { return timingFunction_; }
    void setTimingFunction(CAMediaTimingFunctionPtr function) { timingFunction_ = std::move(function); }
    const std::string& fillMode() const { return fillMode_; }
    void setFillMode(std::string mode) { fillMode_ = std::move(mode); }
    bool isRemovedOnCompletion() const { return removedOnCompletion_; }
    void setRemovedOnCompletion(bool removed) { removedOnCompletion_ = removed; }
    // Held strongly, as the platform does.
    std::shared_ptr<CAAnimationDelegate> delegate() const { return delegate_; }
    void setDelegate(std::shared_ptr<CAAnimationDelegate> delegate) { delegate_ = std::move(delegate); }

    // A layer attaches a copy of what it is given.
    virtual std::shared_ptr<CAAnimation> copy() const = 0;

protected:
    // The timing, fill and delegate of this animation onto another.
    void copyTimingTo(CAAnimation& other) const;

private:
    double duration_ = 0;
    double beginTime_ = 0;
    CAMediaTimingFunctionPtr timingFunction_;
    std::string fillMode_ = kCAFillModeRemoved;
    bool removedOnCompletion_ = true;
    std::shared_ptr<CAAnimationDelegate> delegate_;
};
using CAAnimationPtr = std::shared_ptr<CAAnimation>;

// An animation of one property, named by its key path ("opacity", "transform.rotation.y",
// "bounds.size.height").
class CAPropertyAnimation : public CAAnimation {
public:
    const std::string& keyPath() const { return keyPath_; }
    void setKeyPath(std::string keyPath) { keyPath_ = std::move(keyPath); }

protected:
    void copyPropertyTo(CAPropertyAnimation& other) const {
        copyTimingTo(other);
        other.keyPath_ = keyPath_;
    }

private:
    std::string keyPath_;
};

class CABasicAnimation : public CAPropertyAnimation {
public:
    static std::shared_ptr<CABasicAnimation> animationWithKeyPath(const std::string& keyPath);
    const CAAnimationValue& fromValue() const { return from_; }
    void setFromValue(CAAnimationValue value) { from_ = std::move(value); }
    const CAAnimationValue& toValue() const { return to_; }
    void setToValue(CAAnimationValue value) { to_ = std::move(value); }
    const CAAnimationValue& byValue() const { return by_; }
    void setByValue(CAAnimationValue value) { by_ = std::move(value); }
    std::shared_ptr<CAAnimation> copy() const override;

private:
    CAAnimationValue from_, to_, by_;
};

class CAKeyframeAnimation : public CAPropertyAnimation {
public:
    static std::shared_ptr<CAKeyframeAnimation> animationWithKeyPath(const std::string& keyPath);
    const std::vector<CAAnimationValue>& values() const { return values_; }
    void setValues(std::vector<CAAnimationValue> values) { values_ = std::move(values); }
    // Fractions of the duration, one per value; empty spreads the values evenly.
    const std::vector<double>& keyTimes() const { return keyTimes_; }
    void setKeyTimes(std::vector<double> times) { keyTimes_ = std::move(times); }
    const std::vector<CAMediaTimingFunctionPtr>& timingFunctions() const { return timingFunctions_; }
    void setTimingFunctions(std::vector<CAMediaTimingFunctionPtr> functions) { timingFunctions_ = std::move(functions); }
    std::shared_ptr<CAAnimation> copy() const override;

private:
    std::vector<CAAnimationValue> values_;
    std::vector<double> keyTimes_;
    std::vector<CAMediaTimingFunctionPtr> timingFunctions_;
};

// A number carried by an animation value, or nullopt when it holds something else.
inline std::optional<double> CAAnimationNumber(const CAAnimationValue& value) {
    if (auto d = std::get_if<double>(&value)) return *d;
    return std::nullopt;
}
