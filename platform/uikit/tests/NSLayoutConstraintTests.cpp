#include "platform/foundation/NSException.h"
#include "platform/uikit/NSLayoutConstraint.h"
#include "platform/uikit/UIView.h"

#include <gtest/gtest.h>

namespace {

UIViewPtr sized(CGFloat width, CGFloat height) {
    auto view = std::make_shared<UIView>(CGRectMake(0, 0, width, height));
    view->setTranslatesAutoresizingMaskIntoConstraints(false);
    return view;
}

TEST(NSLayoutConstraint, AStackCentredInItsSuperviewTakesItsSizeFromWhatItHolds) {
    auto outer = std::make_shared<UIView>(CGRectMake(0, 0, 300, 400));
    auto stack = sized(0, 0);
    auto a = sized(100, 30), b = sized(60, 10), c = sized(40, 20);
    outer->addSubview(stack);
    for (auto& v : {a, b, c}) {
        stack->addSubview(v);
        stack->addConstraint(NSLayoutConstraint::constraintWithItem(v, NSLayoutAttributeCenterX, NSLayoutRelationEqual, stack,
                                                                    NSLayoutAttributeCenterX, 1, 0));
    }
    stack->addConstraints(NSLayoutConstraint::constraintsWithVisualFormat("V:|[a]-20-[b]-[c]|", 0, {}, {{"a", a}, {"b", b}, {"c", c}}));
    for (auto attribute : {NSLayoutAttributeCenterX, NSLayoutAttributeCenterY})
        outer->addConstraint(NSLayoutConstraint::constraintWithItem(stack, attribute, NSLayoutRelationEqual, outer, attribute, 1, 0));
    outer->layoutIfNeeded();

    EXPECT_EQ(stack->frame(), CGRectMake(100, 156, 100, 88)) << "30 + 20 + 10 + 8 + 20 high, as wide as the widest";
    EXPECT_EQ(a->frame(), CGRectMake(0, 0, 100, 30));
    EXPECT_EQ(b->frame(), CGRectMake(20, 50, 60, 10));
    EXPECT_EQ(c->frame(), CGRectMake(30, 68, 40, 20));
}

TEST(NSLayoutConstraint, UnreadableFormatsAreRefused) {
    auto outer = std::make_shared<UIView>();
    auto a = sized(10, 10);
    outer->addSubview(a);
    for (const char* format : {"V:|[missing]|", "V:|[a]-x-|", "V:|[a", "V:||", "V:|{a}|"})
        EXPECT_THROW(NSLayoutConstraint::constraintsWithVisualFormat(format, 0, {}, {{"a", a}}), NSException) << format;
    EXPECT_EQ(NSLayoutConstraint::constraintsWithVisualFormat("V:|-gap-[a]", 0, {{"gap", 12}}, {{"a", a}}).at(0)->constant(), 12);
}

} // namespace
