#pragma once
// An options button over the middle of three tabs at the bottom of a white 320 by 568 screen,
// with a delegate that records what it is told, on a manual clock.

#include "controls/optionsbutton/OPOptionsButton.h"

#include "app/support/UIColor+Color.h"
#include "platform/testsupport/RunLoopSupport.h"
#include "platform/uikit/UIFingers.h"
#include "platform/uikit/UIWindow.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

class RecordingOptionsDelegate : public OPOptionButtonDelegate {
public:
    std::int64_t count = 5;
    std::vector<std::string> calls;
    void opOptionsButtonDidSelectItem(OPOptionsButton&, OPOptionItem& item) override {
        calls.push_back("select " + std::to_string(item.index()));
    }
    std::int64_t opOptionsButtonNumberOfItems(OPOptionsButton&) override { return count; }
    void opOptionsButtonWillDisplayButtonItem(OPOptionsButton&, OPOptionItem& item) override {
        item.setBackgroundColor(UIColor_Color::colorWithR255G255B255A255(91, 165, 255, 255));
    }
    std::optional<std::string> opOptionsButtonTitleForItemAtIndex(OPOptionsButton&, std::int64_t index) override {
        if (index == 1) return "one";
        return std::nullopt;
    }
};

class OptionsButtonTest : public ::testing::Test {
public:
    static constexpr CGFloat kBarTop = 519;
    // The middle of the button, over the middle tab.
    static constexpr CGPoint kButtonMiddle{160, kBarTop + 24.5};

    void SetUp() override {
        window_ = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 568));
        root_ = std::make_shared<UIView>(window_->bounds());
        root_->setBackgroundColor(UIColor::whiteColor());
        window_->addSubview(root_);
        bar_ = std::make_shared<UITabBar>(CGRectMake(0, kBarTop, 320, 49));
        bar_->setItems({std::make_shared<UITabBarItem>(), std::make_shared<UITabBarItem>(),
                        std::make_shared<UITabBarItem>()});
        bar_->setSelectedItem(bar_->items()[0]);
        root_->addSubview(bar_);
        window_->makeKeyAndVisible();
        delegate_ = std::make_shared<RecordingOptionsDelegate>();
        button_ = OPOptionsButton::initForTabBarForItemIndexDelegate(bar_, 1, delegate_);
    }

    void press() { UIFingers(window_).tap(kButtonMiddle); }
    // Opens the menu and lets every step and fade run out.
    void open() {
        press();
        settle();
    }
    // In small steps, so that what a step queues for later also runs.
    void settle() {
        for (int i = 0; i < 10; ++i) clock_.advance(0.1);
    }
    // The middle of an item's round body (its centre is its lower-right corner).
    static CGPoint bodyOf(const std::shared_ptr<OPOptionItem>& item) {
        return CGPointMake(item->center().x - 20, item->center().y - 20);
    }
    std::size_t indexIn(const std::shared_ptr<UIView>& view) const {
        auto& subviews = root_->subviews();
        return static_cast<std::size_t>(std::find(subviews.begin(), subviews.end(), view) - subviews.begin());
    }

    ManualClock clock_;
    std::shared_ptr<UIWindow> window_;
    std::shared_ptr<UIView> root_;
    std::shared_ptr<UITabBar> bar_;
    std::shared_ptr<RecordingOptionsDelegate> delegate_;
    std::shared_ptr<OPOptionsButton> button_;
};
