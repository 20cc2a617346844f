#include "platform/uikit/UIControl.h"
#include "platform/uikit/UIFingers.h"
#include "platform/uikit/UIPanGestureRecognizer.h"
#include "platform/uikit/UIRotationGestureRecognizer.h"
#include "platform/uikit/UITapGestureRecognizer.h"
#include "platform/uikit/UIWindow.h"

#include "platform/uikit/tests/GestureStates.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

namespace {
class Recorder : public UIView {
public:
    using UIView::UIView;
    std::vector<std::string> log;
    void touchesBeganWithEvent(const UITouchSet&, const std::shared_ptr<UIEvent>&) override { log.push_back("began"); }
    void touchesMovedWithEvent(const UITouchSet&, const std::shared_ptr<UIEvent>&) override { log.push_back("moved"); }
    void touchesEndedWithEvent(const UITouchSet&, const std::shared_ptr<UIEvent>&) override { log.push_back("ended"); }
    void touchesCancelledWithEvent(const UITouchSet&, const std::shared_ptr<UIEvent>&) override { log.push_back("cancelled"); }
};

// Every action a recognizer sends: its state and what the test reads off it then.
struct Journal {
    std::shared_ptr<NSObject> target = std::make_shared<NSObject>();
    std::vector<UIGestureRecognizerState> states;
    std::vector<CGPoint> values;
};

template <class Recognizer, class Read>
std::shared_ptr<Recognizer> watch(Journal& journal, Read read) {
    return std::make_shared<Recognizer>(journal.target, [&journal, read](NSObject&, UIGestureRecognizer& g) {
        journal.states.push_back(g.state());
        journal.values.push_back(read(static_cast<Recognizer&>(g)));
    });
}

class GestureTest : public ::testing::Test {
protected:
    void SetUp() override {
        window_ = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 568));
        view_ = std::make_shared<Recorder>(CGRectMake(0, 100, 320, 300));
        window_->addSubview(view_);
    }
    std::shared_ptr<UIWindow> window_;
    std::shared_ptr<Recorder> view_;
};

using namespace gesture_states;
} // namespace

TEST_F(GestureTest, PanBeginsAfterTenPointsAndReportsTheTranslation) {
    Journal journal;
    auto pan = watch<UIPanGestureRecognizer>(journal, [this](UIPanGestureRecognizer& g) { return g.translationInView(view_); });
    view_->addGestureRecognizer(pan);
    EXPECT_EQ(pan->view(), view_);

    UIFingers fingers(window_);
    fingers.down({{100, 200}});
    fingers.move({{104, 203}}); // 5 points: not yet a pan
    EXPECT_EQ(pan->state(), UIGestureRecognizerStatePossible);
    fingers.move({{106, 208}}); // 10 points
    EXPECT_EQ(pan->state(), B);
    EXPECT_EQ(pan->locationInView(view_), CGPointMake(106, 108));
    fingers.move({{130, 260}});
    fingers.up();
    EXPECT_EQ(journal.states, (std::vector<UIGestureRecognizerState>{B, C, E}));
    EXPECT_EQ(journal.values, (std::vector<CGPoint>{{6, 8}, {30, 60}, {30, 60}}));
    EXPECT_EQ(pan->state(), UIGestureRecognizerStatePossible); // ready for the next gesture

    // Translation in a view turned half round runs the other way; setting it moves the origin.
    auto turned = std::make_shared<UIView>(CGRectMake(0, 0, 100, 100));
    turned->setTransform(CGAffineTransformMakeRotation(std::numbers::pi));
    window_->addSubview(turned);
    fingers = UIFingers(window_);
    fingers.down({{100, 200}});
    fingers.move({{100, 230}});
    auto t = pan->translationInView(turned);
    EXPECT_NEAR(t.x, 0, 1e-9);
    EXPECT_NEAR(t.y, -30, 1e-9);
    pan->setTranslationInView(CGPointZero, view_);
    fingers.move({{100, 240}});
    EXPECT_EQ(pan->translationInView(view_), CGPointMake(0, 10));
    fingers.up();
}

TEST_F(GestureTest, AShortDragIsNoPanAndACancelledOneSaysSo) {
    Journal journal;
    auto pan = watch<UIPanGestureRecognizer>(journal, [](UIPanGestureRecognizer& g) { return g.translationInView(nullptr); });
    view_->addGestureRecognizer(pan);
    UIFingers(window_).drag({100, 200}, {105, 205}, 3);
    EXPECT_TRUE(journal.states.empty());
    EXPECT_EQ(view_->log, (std::vector<std::string>{"began", "moved", "moved", "moved", "ended"}));

    UIFingers fingers(window_);
    fingers.down({{100, 200}});
    fingers.move({{100, 250}});
    fingers.cancel();
    EXPECT_EQ(journal.states, (std::vector<UIGestureRecognizerState>{B, X}));
}

TEST_F(GestureTest, RotationFollowsTwoFingersTurning) {
    struct Case {
        CGFloat degrees;
        int steps;
    };
    for (auto c : {Case{90, 9}, Case{-45, 5}, Case{200, 20}}) {
        SCOPED_TRACE(c.degrees);
        Journal journal;
        auto rotation = watch<UIRotationGestureRecognizer>(journal, [](UIRotationGestureRecognizer& g) {
            return CGPointMake(g.rotation(), g.velocity());
        });
        view_->addGestureRecognizer(rotation);
        UIFingers(window_).twist({160, 250}, 50, c.degrees, c.steps);
        ASSERT_GE(journal.states.size(), 3u);
        EXPECT_EQ(journal.states.front(), B);
        EXPECT_EQ(journal.states[1], C);
        EXPECT_EQ(journal.states.back(), E);
        CGFloat radians = c.degrees * std::numbers::pi / 180;
        EXPECT_NEAR(journal.values.back().x, radians, 1e-9);
        // Each step turns by the same angle, 1/60 s apart.
        EXPECT_NEAR(journal.values[1].y, radians / c.steps * 60, 1e-6);
        view_->removeGestureRecognizer(rotation);
        EXPECT_FALSE(rotation->view());
    }
    // One finger does not rotate.
    Journal journal;
    auto rotation = watch<UIRotationGestureRecognizer>(journal, [](UIRotationGestureRecognizer& g) {
        return CGPointMake(g.rotation(), 0);
    });
    view_->addGestureRecognizer(rotation);
    UIFingers(window_).drag({100, 200}, {200, 300}, 5);
    EXPECT_TRUE(journal.states.empty());
}

TEST_F(GestureTest, ARecognizedGestureCancelsTheViewsTouches) {
    struct Case {
        const char* name;
        bool pan; // a pan, or else a tap
        bool cancels;
        std::vector<std::string> viewSees;
    };
    const Case cases[] = {
        {"pan", true, true, {"began", "cancelled"}},
        {"pan that leaves the touches", true, false, {"began", "moved", "moved", "ended"}},
        {"tap", false, true, {"began", "cancelled"}},
        {"tap that leaves the touches", false, false, {"began", "ended"}},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        Journal journal;
        UIGestureRecognizerPtr g;
        if (c.pan) g = watch<UIPanGestureRecognizer>(journal, [](UIPanGestureRecognizer&) { return CGPointZero; });
        else g = watch<UITapGestureRecognizer>(journal, [](UITapGestureRecognizer&) { return CGPointZero; });
        g->setCancelsTouchesInView(c.cancels);
        // On a superview: the recognizer watches the touches of the views inside it too.
        auto inner = std::make_shared<Recorder>(CGRectMake(0, 0, 320, 300));
        view_->addSubview(inner);
        view_->addGestureRecognizer(g);
        UIFingers fingers(window_);
        fingers.down({{100, 200}});
        if (c.pan) {
            fingers.move({{100, 230}});
            fingers.move({{100, 260}});
        }
        fingers.up();
        EXPECT_EQ(inner->log, c.viewSees);
        EXPECT_TRUE(view_->log.empty());
        EXPECT_EQ(journal.states.back(), UIGestureRecognizerStateEnded);
    }
}

TEST_F(GestureTest, TapRulesAndWhoWins) {
    Journal taps;
    auto tap = watch<UITapGestureRecognizer>(taps, [](UITapGestureRecognizer& g) { return g.locationInView(nullptr); });
    view_->addGestureRecognizer(tap);
    UIFingers(window_).tap({50, 150});
    EXPECT_EQ(taps.values, (std::vector<CGPoint>{{50, 150}}));
    // Moving away, or a second tap where one is asked for, is no tap.
    UIFingers(window_).drag({50, 150}, {50, 170}, 2);
    UIFingers(window_).tap({50, 150}, 2);
    EXPECT_EQ(taps.states.size(), 1u);
    tap->setNumberOfTapsRequired(2);
    UIFingers(window_).tap({50, 150}, 2);
    EXPECT_EQ(taps.states.size(), 2u);
    tap->setNumberOfTapsRequired(1);

    // A pan that begins makes the tap sharing its touch fail.
    Journal pans;
    auto pan = watch<UIPanGestureRecognizer>(pans, [](UIPanGestureRecognizer&) { return CGPointZero; });
    view_->addGestureRecognizer(pan);
    UIFingers fingers(window_);
    fingers.down({{50, 150}});
    fingers.move({{50, 160}});
    EXPECT_EQ(tap->state(), UIGestureRecognizerStateFailed);
    fingers.move({{50, 150}});
    fingers.up();
    EXPECT_EQ(taps.states.size(), 2u);
    EXPECT_EQ(pans.states.back(), E);

    // A control under the finger keeps its tap from the superview's tap recognizer.
    auto control = std::make_shared<UIControl>(CGRectMake(0, 0, 100, 50));
    view_->addSubview(control);
    int upInside = 0;
    auto target = std::make_shared<NSObject>();
    control->addTargetActionForControlEvents(target, [&](NSObject&, UIControl&, UIEvent*) { ++upInside; },
                                             UIControlEventTouchUpInside);
    UIFingers(window_).tap({50, 120});
    EXPECT_EQ(upInside, 1);
    EXPECT_EQ(taps.states.size(), 2u);
    // A disabled recognizer hears nothing.
    tap->setEnabled(false);
    UIFingers(window_).tap({200, 300});
    EXPECT_EQ(taps.states.size(), 2u);
}
