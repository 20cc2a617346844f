#include "platform/testsupport/RunLoopSupport.h"
#include "platform/uikit/UIFingers.h"
#include "platform/uikit/UILongPressGestureRecognizer.h"
#include "platform/uikit/UIPanGestureRecognizer.h"
#include "platform/uikit/UIWindow.h"

#include "platform/uikit/tests/GestureStates.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
class PressedView : public UIView {
public:
    using UIView::UIView;
    std::vector<std::string> log;
    void touchesBeganWithEvent(const UITouchSet&, const std::shared_ptr<UIEvent>&) override { log.push_back("began"); }
    void touchesEndedWithEvent(const UITouchSet&, const std::shared_ptr<UIEvent>&) override { log.push_back("ended"); }
    void touchesCancelledWithEvent(const UITouchSet&, const std::shared_ptr<UIEvent>&) override { log.push_back("cancelled"); }
};

class LongPressTest : public ::testing::Test {
protected:
    void SetUp() override {
        window_ = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 568));
        view_ = std::make_shared<PressedView>(CGRectMake(0, 100, 320, 300));
        window_->addSubview(view_);
        press_ = std::make_shared<UILongPressGestureRecognizer>(target_, [this](NSObject&, UIGestureRecognizer& g) {
            states_.push_back(g.state());
            points_.push_back(g.locationInView(view_));
        });
        press_->setMinimumPressDuration(0.3);
        view_->addGestureRecognizer(press_);
    }

    ManualClock clock_;
    std::shared_ptr<UIWindow> window_;
    std::shared_ptr<PressedView> view_;
    std::shared_ptr<NSObject> target_ = std::make_shared<NSObject>();
    std::shared_ptr<UILongPressGestureRecognizer> press_;
    std::vector<UIGestureRecognizerState> states_;
    std::vector<CGPoint> points_;
};

using namespace gesture_states;
} // namespace

TEST_F(LongPressTest, BeginsOnceTheFingerStayedDownLongEnoughThenFollowsItUntilItLifts) {
    UIFingers fingers(window_);
    fingers.down({{100, 200}});
    clock_.advance(0.29);
    EXPECT_TRUE(states_.empty()) << "not held long enough yet";
    clock_.advance(0.02);
    EXPECT_EQ(states_, std::vector<UIGestureRecognizerState>{B});
    // Once begun, the finger may wander: the press changes rather than fails.
    fingers.move({{150, 260}});
    fingers.up();
    EXPECT_EQ(states_, (std::vector<UIGestureRecognizerState>{B, C, E}));
    EXPECT_EQ(points_, (std::vector<CGPoint>{{100, 100}, {150, 160}, {150, 160}}));
    // The press took the touch from the view it landed on.
    EXPECT_EQ(view_->log, (std::vector<std::string>{"began", "cancelled"}));
    EXPECT_EQ(press_->state(), UIGestureRecognizerStatePossible);
}

TEST_F(LongPressTest, AShortTouchOrAFingerThatMovesAwayIsNoPress) {
    const struct {
        const char* name;
        CGPoint moveTo;
        double heldFor;
    } cases[] = {
        {"lifted early", {100, 200}, 0.1},
        {"moved 11 points before the press", {111, 200}, 0.1},
    };
    for (const auto& c : cases) {
        {
            UIFingers fingers(window_);
            fingers.down({{100, 200}});
            fingers.move({c.moveTo});
            clock_.advance(c.heldFor);
            fingers.up();
        }
        // The press's timer is gone with the gesture: nothing begins later.
        clock_.advance(1);
        EXPECT_TRUE(states_.empty()) << c.name;
        EXPECT_EQ(press_->state(), UIGestureRecognizerStatePossible) << c.name;
    }
    // A finger that stays within ten points still presses.
    UIFingers fingers(window_);
    fingers.down({{100, 200}});
    fingers.move({{106, 208}});
    clock_.advance(0.3);
    EXPECT_EQ(states_, std::vector<UIGestureRecognizerState>{B});
}

TEST_F(LongPressTest, APressThatBeginsMakesAWaitingPanFailUnlessTheyMayRecognizeTogether) {
    class Together : public UIGestureRecognizerDelegate {
    public:
        bool allow = false;
        bool gestureRecognizerShouldRecognizeSimultaneouslyWith(UIGestureRecognizer&, UIGestureRecognizer&) override { return allow; }
    };
    auto together = std::make_shared<Together>();
    int pans = 0;
    auto pan = std::make_shared<UIPanGestureRecognizer>(target_, [&pans](NSObject&, UIGestureRecognizer&) { ++pans; });
    pan->setDelegate(together);
    view_->addGestureRecognizer(pan);

    for (bool allow : {false, true}) {
        together->allow = allow;
        pans = 0;
        UIFingers fingers(window_);
        fingers.down({{100, 200}});
        clock_.advance(0.3);
        fingers.move({{100, 260}});
        fingers.up();
        EXPECT_EQ(pans > 0, allow) << "simultaneous: " << allow;
    }
}

TEST_F(LongPressTest, TwoFingersAreNoOneFingerPress) {
    UIFingers fingers(window_);
    fingers.down({{100, 200}, {200, 200}});
    clock_.advance(1);
    fingers.up();
    EXPECT_TRUE(states_.empty());
}
