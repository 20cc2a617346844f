#pragma once
// A triangle menu on a visible window, recording what it tells itself, on a manual clock.

#include "controls/penrose/RSPenroseViewController.h"

#include "platform/testsupport/RunLoopSupport.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIFingers.h"
#include "platform/uikit/UIWindow.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

class RecordingPenrose : public RSPenroseViewController {
public:
    std::vector<std::string> calls;
    void didSelectPenroseButtonAtIndex(int index) override { calls.push_back("select " + std::to_string(index)); }
    void didShowPenrose() override { calls.push_back("show"); }
    void didHidePenrose() override { calls.push_back("hide"); }
};

class PenroseTest : public ::testing::Test {
protected:
    // Where the menu lies on a 320 by 568 screen.
    static constexpr CGFloat kParkedTop = -215;
    static constexpr CGFloat kParkedBottom = 568 - 44;
    static constexpr CGFloat kDropped = 568 / 2 - 140;

    void SetUp() override {
        UIApplication::sharedApplication()->setStatusBarHidden(false);
        window_ = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 568));
        menu_ = std::make_shared<RecordingPenrose>();
    }
    void TearDown() override { UIApplication::sharedApplication()->setStatusBarHidden(false); }

    // Shows the menu parked on the side, with the three bars' buttons when asked.
    void show(int side = 0, bool buttons = true) {
        menu_->setSideAppear(side);
        window_->setRootViewController(menu_);
        window_->makeKeyAndVisible();
        if (buttons) menu_->addButtonsToTopLeftRight("Music", "Photos", "Videos");
        menu_->calls.clear();
    }
    // Lets the running animations finish.
    void settle() { clock_.advance(RSPenroseViewController::kMoveDuration); }

    // One finger lands, moves 12 points along y (the pan begins there) and then `dy` further, or
    // through the given x positions; `cancel` lifts it as the system would cancel it.
    void panFrom(CGPoint start, CGFloat dy, const std::vector<CGFloat>& xs = {}, bool cancel = false) {
        UIFingers fingers(window_);
        fingers.down({start});
        CGPoint began{start.x, start.y + (dy < 0 ? -12 : 12)};
        fingers.move({began});
        for (CGFloat x : xs) fingers.move({{x, began.y}});
        fingers.move({{xs.empty() ? began.x : xs.back(), began.y + dy}});
        if (cancel)
            fingers.cancel();
        else
            fingers.up();
    }
    // A horizontal pan: starts 12 points right of `start`'s x and goes through the x positions.
    void turnFrom(CGPoint start, const std::vector<CGFloat>& xs) {
        UIFingers fingers(window_);
        fingers.down({{start.x + 12, start.y}});
        fingers.move({start});
        for (CGFloat x : xs) fingers.move({{x, start.y}});
        fingers.up();
    }

    bool overlayShown() const { return menu_->overlayBackground()->superview() != nullptr; }
    CGFloat containerY() const { return menu_->penroseViewContainer()->frame().origin.y; }
    bool statusBarHidden() const { return UIApplication::sharedApplication()->isStatusBarHidden(); }

    ManualClock clock_;
    std::shared_ptr<UIWindow> window_;
    std::shared_ptr<RecordingPenrose> menu_;
};
