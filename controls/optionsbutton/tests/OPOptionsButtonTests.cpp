// The options button: where it sits, how it opens and closes, and its options' half circle.

#include "OptionsButtonFixture.h"

#include "platform/foundation/NSNotificationCenter.h"
#include "platform/testsupport/TestImages.h"
#include "platform/uikit/UIDevice.h"
#include "platform/uikit/UIDisplay.h"
#include "platform/uikit/UIScreen.h"

#include <cmath>
#include <numbers>

using Calls = std::vector<std::string>;

TEST_F(OptionsButtonTest, SitsOverItsTabOrNowhere) {
    EXPECT_EQ(button_->frame(), CGRectMake(130, kBarTop - 5.5, 60, 60));
    EXPECT_EQ(button_->center(), CGPointMake(190, kBarTop + 54.5)) << "the centre is the lower-right corner";
    EXPECT_EQ(root_->subviews().back(), button_);
    EXPECT_EQ(button_->currentState(), OPOptionsButtonStateNormal);
    EXPECT_NE(button_->dynamicsAnimator(), nullptr);
    EXPECT_FALSE(button_->dynamicItem()->allowsRotation());

    for (std::int64_t index : {3, 7, -1}) {
        SCOPED_TRACE(index);
        auto stray = OPOptionsButton::initForTabBarForItemIndexDelegate(bar_, index, delegate_);
        EXPECT_EQ(stray->superview(), nullptr);
        EXPECT_EQ(stray->dynamicsAnimator(), nullptr);
        bar_->setSelectedItem(bar_->items()[2]);
        EXPECT_EQ(stray->currentState(), OPOptionsButtonStateNormal);
    }
}

TEST_F(OptionsButtonTest, OptionsLieOnAHalfCircleGrowingWithTheirCount) {
    struct Row {
        std::int64_t count;
        std::vector<double> degrees;
    } rows[] = {{1, {90}}, {5, {18, 54, 90, 126, 162}}, {2, {45, 135}}};
    for (auto& row : rows) {
        SCOPED_TRACE(row.count);
        SetUp();
        delegate_->count = row.count;
        open();
        auto& items = button_->items();
        ASSERT_EQ(items.size(), static_cast<std::size_t>(row.count));
        CGFloat radius = 20 * static_cast<CGFloat>(row.count);
        for (std::size_t i = 0; i < items.size(); ++i) {
            double a = row.degrees[i] * std::numbers::pi / 180;
            CGPoint anchor = items[i]->attachment()->anchorPoint();
            EXPECT_NEAR(anchor.x, 190 + radius * std::cos(a) - 10, 1e-4) << i;
            EXPECT_NEAR(anchor.y, 568 - 60 - radius * std::sin(a), 1e-4) << i;
            EXPECT_EQ(items[i]->center(), anchor) << "the spring has pulled it there";
            EXPECT_EQ(items[i]->index(), static_cast<std::int64_t>(i));
            EXPECT_EQ(items[i]->attachment()->damping(), 0.5);
            EXPECT_EQ(items[i]->attachment()->frequency(), 4.0);
            EXPECT_EQ(items[i]->attachment()->length(), 1.0);
            EXPECT_EQ(indexIn(items[i]), indexIn(bar_) - 1 - (items.size() - 1 - i)) << "under the bar, over the overlay";
        }
        EXPECT_GT(indexIn(items[0]), indexIn(button_->blackView()));
    }
    EXPECT_EQ(button_->items()[1]->currentTitle(), "one");
    EXPECT_EQ(button_->items()[0]->currentTitle(), "");
}

TEST_F(OptionsButtonTest, NoOptionsStillDarkenAndSwap) {
    delegate_->count = 0;
    open();
    EXPECT_TRUE(button_->items().empty());
    EXPECT_EQ(button_->currentState(), OPOptionsButtonStateOpen);
    ASSERT_NE(button_->blackView(), nullptr);
    EXPECT_DOUBLE_EQ(button_->blackView()->alpha(), 0.7);
}

TEST_F(OptionsButtonTest, PressesDuringAFadeAreIgnored) {
    press();
    EXPECT_EQ(button_->currentState(), OPOptionsButtonStateOpen);
    EXPECT_FALSE(button_->isEnabled());
    clock_.advance(0.1);
    ASSERT_EQ(button_->items().size(), 5u);
    press();
    UIFingers(window_).tap({20, 100});  // the overlay
    EXPECT_EQ(button_->currentState(), OPOptionsButtonStateOpen);
    clock_.advance(0.25);
    EXPECT_TRUE(button_->isEnabled());

    UIFingers(window_).tap({20, 100});
    EXPECT_EQ(button_->currentState(), OPOptionsButtonStateClosed);
    clock_.advance(0.1);
    press();
    EXPECT_EQ(button_->currentState(), OPOptionsButtonStateClosed) << "the overlay is fading out";
    settle();
    EXPECT_TRUE(button_->items().empty());
    EXPECT_EQ(button_->blackView(), nullptr);
    EXPECT_EQ(indexIn(bar_), 0u) << "overlay and items have left the view tree";
    EXPECT_TRUE(delegate_->calls.empty());
}

TEST_F(OptionsButtonTest, QuickReopeningNeverLeavesOptionsOutOfAClosedMenu) {
    open();
    // Closing and at once opening again (both steps still pending) ends open with its options.
    button_->buttonPressed();
    button_->setEnabled(true);
    button_->buttonPressed();
    settle();
    EXPECT_EQ(button_->currentState(), OPOptionsButtonStateOpen);
    EXPECT_NE(button_->blackView(), nullptr);
    // And opening then closing before the options come out leaves none.
    button_->buttonPressed();
    settle();
    button_->buttonPressed();
    button_->buttonPressed();
    settle();
    EXPECT_EQ(button_->currentState(), OPOptionsButtonStateClosed);
    EXPECT_TRUE(button_->items().empty());
}

TEST_F(OptionsButtonTest, AChoicePullsTheOthersBackAndGrowsTheChosen) {
    open();
    auto chosen = button_->items()[2];
    UIFingers(window_).tap(bodyOf(chosen));
    EXPECT_EQ(delegate_->calls, (Calls{"select 2"}));
    EXPECT_EQ(button_->currentState(), OPOptionsButtonStateClosed);
    ASSERT_EQ(button_->items().size(), 4u);
    auto others = button_->items();
    drainMain();
    for (auto& item : others) EXPECT_EQ(item->center(), button_->center()) << item->index();
    EXPECT_EQ(chosen->transform(), CGAffineTransformMakeScale(5, 5));
    EXPECT_EQ(chosen->alpha(), 0);
    EXPECT_EQ(chosen->center(), CGPointMake(160 + 100, 284));
    EXPECT_EQ(chosen->superview(), root_);
    settle();
    EXPECT_EQ(chosen->superview(), nullptr);
    EXPECT_TRUE(button_->items().empty());
    for (auto& item : others) EXPECT_EQ(item->superview(), nullptr);
}

TEST_F(OptionsButtonTest, ATabChangeOrATurnClosesOnlyAnOpenMenu) {
    struct Row {
        const char* name;
        std::function<void(OptionsButtonTest&)> act;
    } rows[] = {
        {"tab", [](OptionsButtonTest& t) { t.bar_->setSelectedItem(t.bar_->items()[2]); }},
        {"turn",
         [](OptionsButtonTest&) { NSNotificationCenter::defaultCenter()->postNotificationName(UIDeviceOrientationDidChangeNotification); }},
    };
    for (auto& row : rows) {
        SCOPED_TRACE(row.name);
        SetUp();
        row.act(*this);
        EXPECT_EQ(button_->currentState(), OPOptionsButtonStateNormal);
        open();
        row.act(*this);
        EXPECT_EQ(button_->currentState(), OPOptionsButtonStateClosed);
        settle();
        row.act(*this);
        EXPECT_EQ(button_->currentState(), OPOptionsButtonStateClosed);
        EXPECT_TRUE(button_->items().empty());
    }
}

TEST_F(OptionsButtonTest, TheButtonTakesItsObserversWithItWhenItGoes) {
    open();
    std::weak_ptr<OPOptionsButton> gone = button_;
    std::weak_ptr<OPOptionItem> item = button_->items()[0];
    button_->buttonPressed();
    settle();
    button_->removeFromSuperview();
    button_.reset();
    EXPECT_TRUE(gone.expired());
    EXPECT_TRUE(item.expired()) << "an option and its spring do not hold each other";
    bar_->setSelectedItem(bar_->items()[2]);
    NSNotificationCenter::defaultCenter()->postNotificationName(UIDeviceOrientationDidChangeNotification);
    EXPECT_EQ(indexIn(bar_), 0u);
}

TEST_F(OptionsButtonTest, FacesSwapBySnapping) {
    auto bytes = TestImages::png(10, 10);
    auto gear = UIImage::imageWithData(NSData(bytes.data(), bytes.size()));
    ASSERT_NE(gear, nullptr);
    button_->setImageForOPOptionsButtonState(gear, OPOptionsButtonStateNormal);
    button_->setImageForOPOptionsButtonState(gear, OPOptionsButtonStateOpen);
    auto resting = button_->openedStateImage();
    auto openFace = button_->closedStateImage();
    EXPECT_EQ(resting->frame(), CGRectMake(0, 10, 60, 40));
    EXPECT_EQ(openFace->center(), CGPointMake(30, 80)) << "hidden below the clipped square";
    open();
    EXPECT_EQ(resting->center(), CGPointMake(30, -20));
    EXPECT_EQ(openFace->center(), CGPointMake(30, 30));
    auto& snaps = button_->dynamicsAnimator2()->behaviors();
    ASSERT_EQ(snaps.size(), 2u);
    EXPECT_EQ(std::static_pointer_cast<UISnapBehavior>(snaps[0])->item(), openFace);
    EXPECT_EQ(std::static_pointer_cast<UISnapBehavior>(snaps[1])->damping(), 0.78);
    press();
    settle();
    EXPECT_EQ(resting->center(), CGPointMake(30, 30));
    EXPECT_EQ(openFace->center(), CGPointMake(30, 80));
}

TEST_F(OptionsButtonTest, TheOverlayDarkensTheScreenUnderBlueOptions) {
    open();
    auto screen = UIDisplaySnapshot();
    auto scale = UIScreen::mainScreen()->scale();
    auto at = [&](CGPoint p) { return screen->pixelAt(int(p.x * scale), int(p.y * scale)); };
    auto item = at(bodyOf(button_->items()[2]));
    EXPECT_EQ(item, (CGImage::Pixel{91, 165, 255, 255}));
    auto dark = at({20, 100});
    EXPECT_NEAR(dark.red, 77, 1);
    EXPECT_EQ(dark.red, dark.blue);
}
