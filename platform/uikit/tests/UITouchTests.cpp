#include "platform/uikit/UIControl.h"
#include "platform/uikit/UIFingers.h"
#include "platform/uikit/UIWindow.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
// Writes each touch phase it gets, with the location in its own coordinates.
class TouchRecorder : public UIView {
public:
    using UIView::UIView;
    std::vector<std::string> log;
    std::vector<CGPoint> previous;
    void note(const char* phase, const UITouchSet& touches) {
        auto p = touches.front()->locationInView(self<UIView>());
        log.push_back(std::string(phase) + " " + std::to_string(int(p.x)) + "," + std::to_string(int(p.y)));
        previous.push_back(touches.front()->previousLocationInView(self<UIView>()));
    }
    void touchesBeganWithEvent(const UITouchSet& t, const std::shared_ptr<UIEvent>&) override { note("began", t); }
    void touchesMovedWithEvent(const UITouchSet& t, const std::shared_ptr<UIEvent>&) override { note("moved", t); }
    void touchesEndedWithEvent(const UITouchSet& t, const std::shared_ptr<UIEvent>&) override { note("ended", t); }
    void touchesCancelledWithEvent(const UITouchSet& t, const std::shared_ptr<UIEvent>&) override { note("cancelled", t); }
};

// Sends every hit to another view, as a view that widens a small target does.
class Redirect : public UIView {
public:
    using UIView::UIView;
    UIViewPtr target;
    UIViewPtr hitTestWithEvent(CGPoint point, const std::shared_ptr<UIEvent>& event) override {
        return UIView::hitTestWithEvent(point, event) ? target : nullptr;
    }
};

std::shared_ptr<UIWindow> makeWindow() { return std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 568)); }
} // namespace

TEST(UITouch, PhasesReachTheHitViewAndGoUpItsResponders) {
    auto window = makeWindow();
    auto outer = std::make_shared<TouchRecorder>(CGRectMake(100, 100, 200, 200));
    auto plain = std::make_shared<UIView>(CGRectMake(10, 10, 50, 50)); // handles nothing: passes up
    window->addSubview(outer);
    outer->addSubview(plain);

    UIFingers fingers(window);
    fingers.down({{120, 120}});
    EXPECT_EQ(fingers.touches().front()->view(), plain);
    EXPECT_EQ(fingers.touches().front()->phase(), UITouchPhaseBegan);
    fingers.move({{130, 125}});
    fingers.up();
    EXPECT_EQ(outer->log, (std::vector<std::string>{"began 20,20", "moved 30,25", "ended 30,25"}));
    EXPECT_EQ(outer->previous[1], CGPointMake(20, 20));
    EXPECT_TRUE(fingers.taken());

    // A view that handles nothing, with nothing above it that does: the touch falls off the chain.
    auto lone = makeWindow();
    lone->addSubview(std::make_shared<UIView>(CGRectMake(0, 0, 50, 50)));
    UIFingers nobody(lone);
    nobody.tap({10, 10});
    EXPECT_FALSE(nobody.taken());
}

TEST(UITouch, HitTestOverridesChooseTheView) {
    auto window = makeWindow();
    auto recorder = std::make_shared<TouchRecorder>(CGRectMake(0, 0, 10, 10));
    auto wide = std::make_shared<Redirect>(CGRectMake(0, 300, 320, 100));
    wide->target = recorder;
    window->addSubview(recorder);
    window->addSubview(wide);
    UIFingers(window).tap({160, 350});
    EXPECT_EQ(recorder->log, (std::vector<std::string>{"began 160,350", "ended 160,350"}));
    // Hidden and non-interactive views are passed over.
    auto cover = std::make_shared<TouchRecorder>(CGRectMake(0, 0, 320, 568));
    window->addSubview(cover);
    cover->setUserInteractionEnabled(false);
    UIFingers(window).tap({160, 350});
    EXPECT_TRUE(cover->log.empty());
    EXPECT_EQ(recorder->log.size(), 4u);
}

TEST(UITouch, TwoFingersOnTwoViewsEachGetTheirOwn) {
    auto window = makeWindow();
    auto left = std::make_shared<TouchRecorder>(CGRectMake(0, 0, 160, 568));
    auto right = std::make_shared<TouchRecorder>(CGRectMake(160, 0, 160, 568));
    window->addSubview(left);
    window->addSubview(right);
    UIFingers fingers(window);
    fingers.down({{10, 10}, {200, 10}});
    fingers.move({{20, 10}, {200, 10}});
    fingers.up();
    EXPECT_EQ(left->log, (std::vector<std::string>{"began 10,10", "moved 20,10", "ended 20,10"}));
    EXPECT_EQ(right->log, (std::vector<std::string>{"began 40,10", "moved 40,10", "ended 40,10"}));
}

namespace {
std::vector<std::string> controlEventNames(unsigned long events) {
    static const std::pair<unsigned long, const char*> names[] = {
        {UIControlEventTouchDown, "down"},         {UIControlEventTouchDownRepeat, "repeat"},
        {UIControlEventTouchDragEnter, "enter"},   {UIControlEventTouchDragExit, "exit"},
        {UIControlEventTouchDragInside, "inside"}, {UIControlEventTouchDragOutside, "outside"},
        {UIControlEventTouchUpInside, "up-inside"}, {UIControlEventTouchUpOutside, "up-outside"},
        {UIControlEventTouchCancel, "cancel"}};
    std::vector<std::string> out;
    for (auto& [bit, name] : names)
        if (events & bit) out.push_back(name);
    return out;
}
} // namespace

TEST(UIControlTracking, SendsTheEventsOfTheFingersPath) {
    struct Case {
        const char* name;
        std::vector<CGPoint> path; // down, moves…, up where the last move left the finger
        bool cancel;
        std::vector<std::string> events;
        std::vector<bool> highlighted; // after the down and each move
    };
    // The control covers (100, 100)–(200, 150).
    const Case cases[] = {
        {"tap", {{150, 120}}, false, {"down", "up-inside"}, {true}},
        {"drag inside", {{150, 120}, {160, 130}}, false, {"down", "inside", "up-inside"}, {true, true}},
        {"dragged out", {{150, 120}, {150, 200}}, false, {"down", "exit", "outside", "up-outside"}, {true, false}},
        {"out and back",
         {{150, 120}, {250, 120}, {150, 120}},
         false,
         {"down", "exit", "outside", "enter", "inside", "up-inside"},
         {true, false, true}},
        {"cancelled", {{150, 120}}, true, {"down", "cancel"}, {true}},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto window = makeWindow();
        auto control = std::make_shared<UIControl>(CGRectMake(100, 100, 100, 50));
        window->addSubview(control);
        auto target = std::make_shared<NSObject>();
        std::vector<std::string> events;
        std::vector<bool> highlighted;
        // One action per event kind, so the order of the sends shows.
        for (unsigned long bit = 1; bit <= UIControlEventTouchCancel; bit <<= 1)
            control->addTargetActionForControlEvents(
                target, [&, bit](NSObject&, UIControl&, UIEvent*) {
                    for (auto& n : controlEventNames(bit)) events.push_back(n);
                },
                bit);
        UIFingers fingers(window);
        fingers.down({c.path[0]});
        highlighted.push_back(control->isHighlighted());
        for (std::size_t i = 1; i < c.path.size(); ++i) {
            fingers.move({c.path[i]});
            highlighted.push_back(control->isHighlighted());
        }
        c.cancel ? fingers.cancel() : fingers.up();
        EXPECT_EQ(events, c.events);
        EXPECT_EQ(highlighted, c.highlighted);
        EXPECT_FALSE(control->isHighlighted());
        EXPECT_FALSE(control->isTracking());
    }
}

TEST(UIControlTracking, ADisabledControlLetsTheTouchPassUp) {
    auto window = makeWindow();
    auto back = std::make_shared<TouchRecorder>(CGRectMake(0, 0, 320, 568));
    auto control = std::make_shared<UIControl>(CGRectMake(100, 100, 100, 50));
    window->addSubview(back);
    back->addSubview(control);
    int sent = 0;
    auto target = std::make_shared<NSObject>();
    control->addTargetActionForControlEvents(target, [&](NSObject&, UIControl&, UIEvent*) { ++sent; }, UIControlEventAllEvents);
    control->setEnabled(false);
    UIFingers(window).tap({150, 120});
    EXPECT_EQ(sent, 0);
    EXPECT_EQ(back->log, (std::vector<std::string>{"began 150,120", "ended 150,120"}));
    EXPECT_FALSE(control->isHighlighted());
}

TEST(UITouch, FingersLeftDownAreCancelledWhenTheyGo) {
    auto window = makeWindow();
    auto view = std::make_shared<TouchRecorder>(CGRectMake(0, 0, 320, 568));
    window->addSubview(view);
    {
        UIFingers fingers(window);
        fingers.down({{10, 10}});
    }
    EXPECT_EQ(view->log, (std::vector<std::string>{"began 10,10", "cancelled 10,10"}));
}
