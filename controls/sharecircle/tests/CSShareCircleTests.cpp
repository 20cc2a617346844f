// The share circle on its own window above a white app window, on a manual clock: the ring of
// sharers, the marker under the finger, choosing, staying and leaving.

#include "controls/sharecircle/CSShareCircleView.h"

#include "platform/testsupport/RunLoopSupport.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIDisplay.h"
#include "platform/uikit/UIFingers.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIWindow.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {
using Names = std::vector<std::string>;

struct RecordingCircleDelegate : CSShareCircleViewDelegate {
    Names chosen;
    bool circleStillUp = false;
    void shareCircleViewDidSelectSharer(CSShareCircleView& view, const std::shared_ptr<CSSharer>& sharer) override {
        chosen.push_back(sharer->name());
        circleStillUp = view.shareCircleWindow() != nullptr;
    }
};

class ShareCircleTest : public ::testing::Test {
protected:
    // The disc's top left on the 320 by 568 screen.
    static constexpr CGPoint kDisc{160 - 137.5, 284 - 137.5};
    static constexpr CGPoint kCentre{160, 284};

    void SetUp() override {
        UIApplication::sharedApplication()->reset();
        UIView::clearRecordedAnimations();
        app_ = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 568));
        auto content = std::make_shared<UIView>(app_->bounds());
        content->setBackgroundColor(UIColor::whiteColor());
        app_->addSubview(content);
        app_->makeKeyAndVisible();
    }
    void TearDown() override { UIApplication::sharedApplication()->reset(); }

    void show(const Names& names, bool animated = false) {
        std::vector<std::shared_ptr<CSSharer>> sharers;
        for (auto& name : names) sharers.push_back(CSSharer::initWithNameImageName(name, name + ".png"));
        circle_ = std::make_shared<CSShareCircleView>(sharers);
        circle_->setDelegate(delegate_);
        circle_->showAnimated(animated);
    }
    // A disc point on the screen.
    static CGPoint onScreen(CGPoint inDisc) { return {kDisc.x + inDisc.x, kDisc.y + inDisc.y}; }
    // A finger from the disc's centre through the points (screen coordinates), then lifted.
    void dragTo(std::vector<CGPoint> points, bool lift = true) {
        fingers_ = std::make_unique<UIFingers>(circle_->shareCircleWindow());
        fingers_->down({kCentre});
        for (auto p : points) fingers_->move({p});
        if (lift) fingers_->up();
    }
    void settle() {
        for (int i = 0; i < 10; ++i) clock_.advance(0.1);
    }

    ManualClock clock_;
    std::shared_ptr<UIWindow> app_;
    std::shared_ptr<CSShareCircleView> circle_;
    std::shared_ptr<RecordingCircleDelegate> delegate_ = std::make_shared<RecordingCircleDelegate>();
    std::unique_ptr<UIFingers> fingers_;
};
} // namespace

TEST_F(ShareCircleTest, FourSharersSitRightTopLeftAndBottomOnTheirOwnWindow) {
    show({"Facebook", "Twitter", "Mail", "SMS"});
    struct Row {
        const char* name;
        CGPoint at;
    } rows[] = {{"Facebook", {237.5, 137.5}}, {"Twitter", {137.5, 37.5}}, {"Mail", {37.5, 137.5}}, {"SMS", {137.5, 237.5}}};
    auto& layers = circle_->sharerLayers();
    ASSERT_EQ(layers.size(), 4u);
    auto disc = circle_->shareCircleContainerView();
    for (std::size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(rows[i].name);
        EXPECT_EQ(layers[i]->name(), rows[i].name);
        EXPECT_NEAR(layers[i]->position().x, rows[i].at.x, 1e-4);
        EXPECT_NEAR(layers[i]->position().y, rows[i].at.y, 1e-4);
        EXPECT_EQ(layers[i]->bounds().size, CGSizeMake(45, 45));
        EXPECT_EQ(layers[i]->opacity(), 1);
        EXPECT_EQ(layers[i]->superlayer(), disc->layer());
    }
    EXPECT_EQ(disc->frame(), CGRectMake(kDisc.x, kDisc.y, 275, 275));
    EXPECT_EQ(disc->layer()->cornerRadius(), 137.5);
    EXPECT_EQ(circle_->introTextLayer()->string(), "Drag to\nShare");
    EXPECT_EQ(circle_->touchLayer()->position(), CGPointMake(137.5, 137.5));
    EXPECT_FLOAT_EQ(circle_->touchLayer()->opacity(), 0.2f);
    auto window = circle_->shareCircleWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowLevel(), 1999.0);
    EXPECT_TRUE(window->isKeyWindow());
    EXPECT_EQ(circle_->oldKeyWindow(), app_);
    EXPECT_FALSE(circle_->isAnimating());
}

TEST_F(ShareCircleTest, TheSixthOfSevenLiesOnTopAndWinsEveryHit) {
    show({"A", "B", "C", "D", "E", "F", "G"});
    auto& layers = circle_->sharerLayers();
    ASSERT_EQ(layers.size(), 7u);
    EXPECT_EQ(circle_->numberOfVisibleSharers(), 6u);
    EXPECT_EQ(layers[6]->position(), layers[5]->position());
    EXPECT_EQ(layers[6]->opacity(), 0);
    // The sixth at 300 degrees: down and to the right.
    EXPECT_NEAR(layers[5]->position().x, 137.5 + 50, 1e-3);
    EXPECT_NEAR(layers[5]->position().y, 137.5 + 86.6025, 1e-3);
    dragTo({onScreen(layers[5]->position())});
    settle();
    EXPECT_EQ(delegate_->chosen, Names{"F"});
}

TEST_F(ShareCircleTest, AFingerOutsideTheDiscKeepsTheMarkerOnTheRing) {
    show({"Facebook", "Twitter", "Mail", "SMS"});
    // Up and to the right, between Facebook and Twitter, far beyond the disc.
    dragTo({{kCentre.x + 40, kCentre.y - 40}, {kCentre.x + 300, kCentre.y - 300}}, false);
    app_->layoutIfNeeded();
    circle_->shareCircleWindow()->layoutIfNeeded();
    CGPoint marker = circle_->touchLayer()->position();
    EXPECT_NEAR(marker.x, 137.5 + 102.5 / std::sqrt(2.0), 1e-6);
    EXPECT_NEAR(marker.y, 137.5 - 102.5 / std::sqrt(2.0), 1e-6);
    EXPECT_TRUE(circle_->isDragging());
    EXPECT_EQ(circle_->shareTitleLayer()->string(), "");
    EXPECT_EQ(circle_->introTextLayer()->opacity(), 0);
    for (auto& layer : circle_->sharerLayers()) EXPECT_FLOAT_EQ(layer->opacity(), 0.6f) << layer->name();

    fingers_->up();
    circle_->shareCircleWindow()->layoutIfNeeded();
    settle();
    EXPECT_NE(circle_->shareCircleWindow(), nullptr) << "a lift between icons leaves the circle up";
    EXPECT_FALSE(circle_->isDragging());
    EXPECT_EQ(circle_->touchLayer()->position(), CGPointMake(137.5, 137.5));
    EXPECT_TRUE(delegate_->chosen.empty());
}

TEST_F(ShareCircleTest, ALiftInAnIconsSnapZoneChoosesItAfterTheSlideOut) {
    show({"Facebook", "Twitter", "Mail", "SMS"});
    // Within 30 points of Mail's centre on both axes.
    dragTo({onScreen({37.5 + 25, 137.5 - 28})}, false);
    circle_->shareCircleWindow()->layoutIfNeeded();
    EXPECT_EQ(circle_->touchLayer()->position(), circle_->sharerLayers()[2]->position()) << "snapped onto the icon";
    EXPECT_NEAR(circle_->touchLayer()->position().y, 137.5, 1e-4);
    EXPECT_EQ(circle_->shareTitleLayer()->string(), "Mail");
    EXPECT_EQ(circle_->sharerLayers()[2]->opacity(), 1);
    EXPECT_FLOAT_EQ(circle_->sharerLayers()[0]->opacity(), 0.6f);
    fingers_->up();
    EXPECT_TRUE(app_->isKeyWindow()) << "the app's window is key again as the disc leaves";
    EXPECT_TRUE(delegate_->chosen.empty());
    settle();
    EXPECT_EQ(delegate_->chosen, Names{"Mail"});
    EXPECT_TRUE(delegate_->circleStillUp) << "told before the circle is torn down";
    EXPECT_EQ(circle_->shareCircleWindow(), nullptr);
    EXPECT_TRUE(circle_->sharerLayers().empty());

    // The same circle shows again, built afresh.
    circle_->showAnimated(false);
    EXPECT_EQ(circle_->sharerLayers().size(), 4u);
    EXPECT_NE(circle_->shareCircleWindow(), nullptr);
}

TEST_F(ShareCircleTest, ATouchOutsideTheDiscDismissesSilently) {
    show({"Facebook", "Twitter", "Mail", "SMS"});
    UIFingers(circle_->shareCircleWindow()).tap({10, 20});
    auto disc = circle_->shareCircleContainerView();
    ASSERT_NE(disc, nullptr);
    EXPECT_EQ(disc->center().y, 568 + 137.5);
    settle();
    EXPECT_EQ(circle_->shareCircleWindow(), nullptr);
    EXPECT_TRUE(delegate_->chosen.empty());
    EXPECT_TRUE(app_->isKeyWindow());
}

TEST_F(ShareCircleTest, TouchesWaitForTheSpringToFinish) {
    show({"Facebook", "Twitter", "Mail", "SMS"}, true);
    EXPECT_TRUE(circle_->isAnimating());
    auto records = UIView::recordedAnimations();
    ASSERT_FALSE(records.empty());
    EXPECT_TRUE(records.back().spring);
    EXPECT_EQ(records.back().duration, static_cast<double>(0.7f));
    EXPECT_EQ(records.back().springDamping, static_cast<double>(0.6f));
    EXPECT_EQ(records.back().initialSpringVelocity, 0.5);
    EXPECT_EQ(records.back().options, UIViewAnimationOptionCurveEaseIn);
    EXPECT_EQ(circle_->shareCircleContainerView()->center(), kCentre);

    UIFingers(circle_->shareCircleWindow()).tap({10, 20});
    dragTo({onScreen({37.5, 137.5})});
    settle();
    EXPECT_NE(circle_->shareCircleWindow(), nullptr) << "ignored while the disc slid in";
    EXPECT_TRUE(delegate_->chosen.empty());
    EXPECT_FALSE(circle_->isAnimating());
    UIFingers(circle_->shareCircleWindow()).tap({10, 20});
    settle();
    EXPECT_EQ(circle_->shareCircleWindow(), nullptr);
}

TEST_F(ShareCircleTest, TheDiscShowsBetweenIconsOverADarkenedScreen) {
    show({"Facebook", "Twitter", "Mail", "SMS"});
    auto screen = UIDisplaySnapshot();
    auto scale = UIScreen::mainScreen()->scale();
    auto at = [&](CGPoint p) { return screen->pixelAt(int(p.x * scale), int(p.y * scale)); };
    EXPECT_EQ(at({kCentre.x + 42, kCentre.y - 42}), (CGImage::Pixel{91, 165, 230, 255}));
    auto dark = at({5, 5});
    EXPECT_NEAR(dark.red, 140, 1) << "white under black at 0.45";
    EXPECT_EQ(dark.red, dark.blue);
}
