#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIView.h"
#include "platform/uikit/UIWindow.h"

#include <gtest/gtest.h>

TEST(UIView, FrameFollowsCenterBoundsAndTransform) {
    auto v = std::make_shared<UIView>(CGRectMake(10, 20, 100, 50));
    EXPECT_EQ(v->center(), CGPointMake(60, 45));
    EXPECT_EQ(v->bounds(), CGRectMake(0, 0, 100, 50));
    v->setTransform(CGAffineTransformMakeScale(2, 2));
    EXPECT_EQ(v->frame(), CGRectMake(-40, -5, 200, 100));
    EXPECT_EQ(v->bounds().size, CGSizeMake(100, 50)); // the model size stays
    v->setTransform(CGAffineTransformIdentity);
    v->setCenter({0, 0});
    EXPECT_EQ(v->frame(), CGRectMake(-50, -25, 100, 50));
}

TEST(UIView, SubviewOrderAndTree) {
    auto root = std::make_shared<UIView>(CGRectMake(0, 0, 100, 100));
    auto a = std::make_shared<UIView>(), b = std::make_shared<UIView>(), c = std::make_shared<UIView>();
    root->addSubview(a);
    root->addSubview(b);
    root->insertSubviewAtIndex(c, 0);
    EXPECT_EQ(root->subviews(), (std::vector<UIViewPtr>{c, a, b}));
    root->bringSubviewToFront(c);
    EXPECT_EQ(root->subviews(), (std::vector<UIViewPtr>{a, b, c}));
    root->sendSubviewToBack(b);
    EXPECT_EQ(root->subviews(), (std::vector<UIViewPtr>{b, a, c}));
    root->insertSubviewAboveSubview(b, c);
    EXPECT_EQ(root->subviews(), (std::vector<UIViewPtr>{a, c, b}));
    // Adding a view elsewhere takes it from its old parent.
    a->addSubview(b);
    EXPECT_EQ(root->subviews(), (std::vector<UIViewPtr>{a, c}));
    EXPECT_TRUE(b->isDescendantOfView(root.get()));
    b->setTag(7);
    EXPECT_EQ(root->viewWithTag(7), b);
    b->removeFromSuperview();
    EXPECT_FALSE(b->superview());
    EXPECT_FALSE(root->viewWithTag(7));
}

TEST(UIView, ConvertsPointsThroughBoundsOffsetsAndTransforms) {
    auto window = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 568));
    auto outer = std::make_shared<UIView>(CGRectMake(10, 100, 300, 300));
    auto inner = std::make_shared<UIView>(CGRectMake(20, 30, 50, 50));
    window->addSubview(outer);
    outer->addSubview(inner);
    EXPECT_EQ(inner->convertPointToView({0, 0}, nullptr), CGPointMake(30, 130));
    EXPECT_EQ(inner->convertPointFromView({30, 130}, window), CGPointMake(0, 0));
    EXPECT_EQ(inner->window(), window);
    // A scrolled view (bounds origin) moves its content up.
    auto b = outer->bounds();
    b.origin.y = 25;
    outer->setBounds(b);
    EXPECT_EQ(inner->convertPointToView({0, 0}, nullptr), CGPointMake(30, 105));
    EXPECT_EQ(inner->convertRectToView(CGRectMake(0, 0, 10, 10), outer), CGRectMake(20, 30, 10, 10));
    // Doubling the inner view about its center.
    inner->setTransform(CGAffineTransformMakeScale(2, 2));
    EXPECT_EQ(inner->convertPointToView({0, 0}, outer), CGPointMake(-5, 5));
    auto back = inner->convertPointFromView({-5, 5}, outer);
    EXPECT_DOUBLE_EQ(back.x, 0);
    EXPECT_DOUBLE_EQ(back.y, 0);
}

TEST(UIView, HitTestFindsTheTopmostVisibleInteractiveView) {
    auto root = std::make_shared<UIView>(CGRectMake(0, 0, 200, 200));
    auto below = std::make_shared<UIView>(CGRectMake(0, 0, 100, 100));
    auto above = UIButton::buttonWithType(UIButtonTypeCustom);
    above->setFrame(CGRectMake(50, 50, 100, 100));
    root->addSubview(below);
    root->addSubview(above);
    EXPECT_EQ(root->hitTestWithEvent({60, 60}, nullptr), above);
    EXPECT_EQ(root->hitTestWithEvent({10, 10}, nullptr), below);
    EXPECT_EQ(root->hitTestWithEvent({190, 10}, nullptr), root);
    EXPECT_FALSE(root->hitTestWithEvent({250, 10}, nullptr));
    above->setHidden(true);
    EXPECT_EQ(root->hitTestWithEvent({60, 60}, nullptr), below);
    below->setUserInteractionEnabled(false);
    EXPECT_EQ(root->hitTestWithEvent({60, 60}, nullptr), root);
}

namespace {
class CountingView : public UIView {
public:
    using UIView::UIView;
    void layoutSubviews() override { ++layouts; }
    int layouts = 0;
};
} // namespace

TEST(UIView, LaysOutOnlyWhenNeeded) {
    auto v = std::make_shared<CountingView>(CGRectMake(0, 0, 10, 10));
    v->layoutIfNeeded();
    v->layoutIfNeeded();
    EXPECT_EQ(v->layouts, 1);
    v->setFrame(CGRectMake(5, 5, 10, 10)); // a move needs no layout
    v->layoutIfNeeded();
    EXPECT_EQ(v->layouts, 1);
    v->setFrame(CGRectMake(5, 5, 20, 10));
    v->layoutIfNeeded();
    EXPECT_EQ(v->layouts, 2);
    v->setNeedsLayout();
    v->layoutIfNeeded();
    EXPECT_EQ(v->layouts, 3);
}

TEST(UIControl, SendsActionsForTheirEventsWhileTheTargetLives) {
    auto button = UIButton::buttonWithType(UIButtonTypeCustom);
    auto target = std::make_shared<NSObject>();
    int taps = 0, changes = 0;
    button->addTargetActionForControlEvents(target, [&](NSObject&, UIControl&, UIEvent*) { ++taps; }, UIControlEventTouchUpInside);
    button->addTargetActionForControlEvents(target, [&](NSObject&, UIControl&, UIEvent*) { ++changes; }, UIControlEventValueChanged);
    button->sendActionsForControlEvents(UIControlEventTouchUpInside);
    EXPECT_EQ(taps, 1);
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(button->allControlEvents(), UIControlEventTouchUpInside | UIControlEventValueChanged);
    button->removeTargetForControlEvents(target.get(), UIControlEventValueChanged);
    button->sendActionsForControlEvents(UIControlEventValueChanged);
    EXPECT_EQ(changes, 0);
    target.reset();
    button->sendActionsForControlEvents(UIControlEventTouchUpInside);
    EXPECT_EQ(taps, 1);
}

TEST(UIButton, StateValuesFallBackToNormal) {
    auto button = UIButton::buttonWithType(UIButtonTypeCustom);
    button->setTitleForState("Go", UIControlStateNormal);
    button->setTitleForState("Going", UIControlStateHighlighted);
    EXPECT_EQ(button->currentTitle(), "Go");
    button->setHighlighted(true);
    EXPECT_EQ(button->currentTitle(), "Going");
    button->setEnabled(false);
    EXPECT_EQ(button->state(), UIControlStateHighlighted | UIControlStateDisabled);
    EXPECT_EQ(button->currentTitle(), "Go");
}

namespace {
// Records the superviews it is told it moves to, and lets touches through outside its subviews.
struct PassThroughView : UIView {
    using UIView::UIView;
    std::vector<UIView*> moves;
    void willMoveToSuperview(const UIViewPtr& superview) override { moves.push_back(superview.get()); }
    UIViewPtr hitTestWithEvent(CGPoint point, const std::shared_ptr<UIEvent>& event) override {
        for (auto& s : subviews())
            if (CGRectContainsPoint(s->frame(), point)) return UIView::hitTestWithEvent(point, event);
        return nullptr;
    }
};
} // namespace

TEST(UIView, SubclassesHearOfTheirNewSuperviewAndChooseWhatTheyTake) {
    auto window = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 480));
    auto host = std::make_shared<UIView>(CGRectMake(0, 0, 320, 480));
    auto other = std::make_shared<UIView>(CGRectMake(0, 0, 320, 480));
    window->addSubview(host);
    window->addSubview(other);
    auto beneath = std::make_shared<UIButton>();
    beneath->setFrame(CGRectMake(0, 400, 100, 80));
    host->addSubview(beneath);
    auto ad = std::make_shared<PassThroughView>(CGRectMake(0, 380, 320, 100));
    auto content = std::make_shared<UIView>(CGRectMake(110, 0, 100, 100));
    ad->addSubview(content);

    // Moving between superviews is one change, told once; removal tells of none.
    host->addSubview(ad);
    other->addSubview(ad);
    ad->removeFromSuperview();
    EXPECT_EQ(ad->moves, (std::vector<UIView*>{host.get(), other.get(), nullptr}));

    host->addSubview(ad);
    other->removeFromSuperview();
    EXPECT_EQ(window->hitTestWithEvent({150, 420}, nullptr), content);
    EXPECT_EQ(window->hitTestWithEvent({50, 420}, nullptr), beneath);
}

TEST(UIView, TheKeyWindowFindsAViewByTagAnywhereInItsTree) {
    auto window = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 480));
    window->makeKeyAndVisible();
    auto outer = std::make_shared<UIView>(), inner = std::make_shared<UIView>();
    window->addSubview(outer);
    outer->addSubview(inner);
    inner->setTag(24999);
    auto key = UIApplication::sharedApplication()->keyWindow();
    ASSERT_EQ(key, window);
    EXPECT_EQ(key->viewWithTag(24999), inner);
    EXPECT_FALSE(key->viewWithTag(17));
    UIApplication::sharedApplication()->reset();
}
