#pragma once
// Layout constraints, as far as the system's views use them: centring a view on another
// (centre-to-centre) and stacking views along an axis by a visual format such as
// "V:|[padlock]-20-[title]-[message]|". There is no general solver: a view laid out by constraints
// keeps the size it was given (sizeToFit) unless it holds constrained views itself, in which case
// it is as wide as its widest such view and as tall as its stack; then the container places
// each constrained subview by its centring or stacking constraints at its own layout.

#include "platform/graphics/CGGeometry.h"
#include "platform/foundation/NSObject.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

class UIView;

enum NSLayoutAttribute : long {
    NSLayoutAttributeNotAnAttribute = 0,
    NSLayoutAttributeLeft = 1,
    NSLayoutAttributeRight = 2,
    NSLayoutAttributeTop = 3,
    NSLayoutAttributeBottom = 4,
    NSLayoutAttributeLeading = 5,
    NSLayoutAttributeTrailing = 6,
    NSLayoutAttributeWidth = 7,
    NSLayoutAttributeHeight = 8,
    NSLayoutAttributeCenterX = 9,
    NSLayoutAttributeCenterY = 10,
};

enum NSLayoutRelation : long {
    NSLayoutRelationLessThanOrEqual = -1,
    NSLayoutRelationEqual = 0,
    NSLayoutRelationGreaterThanOrEqual = 1,
};

class NSLayoutConstraint;
using NSLayoutConstraintPtr = std::shared_ptr<NSLayoutConstraint>;

class NSLayoutConstraint : public NSObject {
public:
    // The space "-" stands for between two views, and between a view and its superview's edge.
    static constexpr CGFloat kStandardSpacing = 8;
    static constexpr CGFloat kStandardEdgeSpacing = 20;

    // firstItem.firstAttribute (relation) secondItem.secondAttribute × multiplier + constant.
    static NSLayoutConstraintPtr constraintWithItem(const std::shared_ptr<UIView>& item, NSLayoutAttribute attribute,
                                                    NSLayoutRelation relation, const std::shared_ptr<UIView>& toItem,
                                                    NSLayoutAttribute toAttribute, CGFloat multiplier, CGFloat constant);
    // "V:" or "H:" (default), then "|" for the superview, "[name]" for a view of `views`, and
    // between them nothing (no space), "-" (the standard space) or "-N-" (N points, a number or a
    // name of `metrics`). The superview is the first named view's superview when the constraints
    // are made. Throws an NSException named "NSInternalInconsistencyException" for a format it
    // cannot read or an unknown name.
    static std::vector<NSLayoutConstraintPtr> constraintsWithVisualFormat(const std::string& format, unsigned long options,
                                                                          const std::map<std::string, CGFloat>& metrics,
                                                                          const std::map<std::string, std::shared_ptr<UIView>>& views);

    std::shared_ptr<UIView> firstItem() const { return first_.lock(); }
    NSLayoutAttribute firstAttribute() const { return firstAttribute_; }
    NSLayoutRelation relation() const { return relation_; }
    std::shared_ptr<UIView> secondItem() const { return second_.lock(); }
    NSLayoutAttribute secondAttribute() const { return secondAttribute_; }
    CGFloat multiplier() const { return multiplier_; }
    CGFloat constant() const { return constant_; }

private:
    // Weak: a container holds its constraints, and they name the container itself.
    std::weak_ptr<UIView> first_;
    NSLayoutAttribute firstAttribute_ = NSLayoutAttributeNotAnAttribute;
    NSLayoutRelation relation_ = NSLayoutRelationEqual;
    std::weak_ptr<UIView> second_;
    NSLayoutAttribute secondAttribute_ = NSLayoutAttributeNotAnAttribute;
    CGFloat multiplier_ = 1;
    CGFloat constant_ = 0;
};

// The size a view laid out by constraints takes (see above).
CGSize NSLayoutConstraintFittingSize(const UIView& view);
// Places the container's constrained subviews; UIView's layout calls it.
void NSLayoutConstraintLayOut(UIView& container);
