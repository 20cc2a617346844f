#include "controls/introduction/OBIntroductionView.h"

#include "platform/testsupport/RunLoopSupport.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIFingers.h"
#include "platform/uikit/UIGraphics.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIViewController.h"
#include "platform/uikit/UIWindow.h"
#include "platform/testsupport/DrawnImages.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {
class Listener : public OBIntroductionDelegate {
public:
    std::vector<std::string> heard;
    void introductionDidFinishWithType(std::int32_t type) override { heard.push_back("finish " + std::to_string(type)); }
    void introductionDidChangeToPanelWithIndex(const std::shared_ptr<OBIntroductionPanel>& panel, std::int64_t index) override {
        heard.push_back("panel " + panel->Title() + " " + std::to_string(index));
    }
};

using drawn_images::filledImage;

class IntroductionTest : public ::testing::Test {
protected:
    void SetUp() override {
        UIApplication::sharedApplication()->reset();
        window_ = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 480));
        window_->setRootViewController(std::make_shared<UIViewController>());
        window_->makeKeyAndVisible();
        UIView::clearRecordedAnimations();
    }
    void TearDown() override { UIApplication::sharedApplication()->reset(); }

    // Three titled panels, A, B and C, shown over the window's view.
    std::shared_ptr<OBIntroductionView> show(std::int32_t direction) {
        OBIntroductionView::Panels panels;
        for (const char* t : {"A", "B", "C"})
            panels.push_back(OBIntroductionPanel::initWithimageTitleDescription(filledImage(100, 80), t, "Some words."));
        auto view = OBIntroductionView::initWithFrameHeaderTextPanelsLanguageDirection(window_->bounds(), "Welcome", panels, direction);
        view->setDelegate(listener_);
        view->showInViewAnimateDuration(window_->rootViewController()->view(), 0);
        return view;
    }
    void swipe(const std::shared_ptr<OBIntroductionView>& view, UIScrollViewSwipe direction) {
        UIScreenReply reply;
        ASSERT_TRUE(view->ContentScrollView()->swipe(direction, reply)) << reply.error;
        drainMain();
    }

    std::shared_ptr<UIWindow> window_;
    std::shared_ptr<Listener> listener_ = std::make_shared<Listener>();
};
} // namespace

TEST_F(IntroductionTest, PagesLayOutUnderTheHeaderWithTheFooterBelow) {
    auto untitled = OBIntroductionPanel::initWithimageDescription(filledImage(100, 80), "Just words.");
    auto titled = OBIntroductionPanel::initWithimageTitleDescription(filledImage(400, 50), "Title", "Words.");
    auto view = OBIntroductionView::initWithFrameHeaderTextPanels(CGRectMake(0, 0, 320, 480), "Hello", {untitled, titled});
    EXPECT_EQ(view->HeaderLabel()->text(), "Hello");
    EXPECT_FALSE(view->HeaderLabel()->isHidden());
    auto scroll = view->ContentScrollView();
    EXPECT_EQ(scroll->frame().origin.y, 70); // header at 25, 45 high
    EXPECT_TRUE(scroll->isPagingEnabled());
    ASSERT_EQ(view->panelViews().size(), 2u);

    // Without a title the description follows the picture at t + 10; the picture sits 5 points
    // right of centre.
    auto first = view->panelViews()[0];
    EXPECT_EQ(untitled->PanelContentView()->frame(), CGRectMake(160 + 5 - 50, 0, 100, 80));
    auto description = first->subviews()[0];
    EXPECT_EQ(description->frame().origin.y, 90);
    EXPECT_EQ(first->frame().size.height, std::floor(80 + description->frame().size.height));
    // A picture wider than the page is narrowed to it.
    EXPECT_EQ(titled->PanelContentView()->frame().size.width, 320);

    EXPECT_EQ(scroll->frame().size.height, first->frame().size.height);
    EXPECT_EQ(scroll->contentSize(), CGSizeMake(3 * 320, first->frame().size.height)); // two pages and the close page
    CGFloat footer = 70 + first->frame().size.height + 1;
    EXPECT_EQ(view->PageControl()->frame(), CGRectMake((320 - 185) / 2.0, footer, 185, 36));
    EXPECT_EQ(view->SkipButton()->frame(), CGRectMake(240, footer, 80, 36));
    EXPECT_EQ(view->SkipButton()->titleForState(UIControlStateNormal), "Skip");
    EXPECT_EQ(view->PageControl()->numberOfPages(), 2);
    EXPECT_EQ(first->alpha(), 1);
    EXPECT_EQ(view->panelViews()[1]->alpha(), 0);
}

TEST_F(IntroductionTest, ATallPictureShrinksSoThePageFitsAboveTheFooter) {
    // Title and text take more than the 63 points the 310-point picture leaves.
    std::string words;
    for (int i = 0; i < 12; ++i) words += "A picture taller than the screen, and words under it. ";
    auto tall = OBIntroductionPanel::initWithimageTitleDescription(filledImage(200, 600), "Tall", words);
    auto view = OBIntroductionView::initWithFrameHeaderTextPanels(CGRectMake(0, 0, 320, 480), "Hi", {tall});
    auto page = view->panelViews()[0];
    EXPECT_EQ(page->frame().size.height, 480 - 70 - 37);
    auto title = page->subviews()[0];
    auto description = page->subviews()[1];
    CGFloat Th = title->frame().size.height, D = description->frame().size.height;
    EXPECT_EQ(D, 100 + 10); // a long text is cut to 100 points
    EXPECT_EQ(tall->PanelContentView()->frame().size.height, 373 - 10 - Th - D);
    EXPECT_EQ(title->frame().origin.y, 373 - 10 - Th - D + 5);
}

TEST_F(IntroductionTest, SwipingLeftToRightChangesPagesAndPastTheLastFinishes) {
    auto view = show(OBIntroductionView::kLeftToRight);
    auto screen = [&] {
        UIScreenDescription description;
        description.describeWindow(window_);
        return description.text();
    };
    EXPECT_NE(screen().find("introduction: \"Welcome\"\n  \"A\" \"Some words.\"\n"), std::string::npos) << screen();
    swipe(view, UIScrollViewSwipe::Left);
    EXPECT_NE(screen().find("  \"B\" \"Some words.\"\n"), std::string::npos) << screen();
    EXPECT_NE(screen().find("page 2 of 3\n"), std::string::npos) << screen();
    EXPECT_EQ(view->CurrentPanelIndex(), 1);
    EXPECT_EQ(view->PageControl()->currentPage(), 1);
    EXPECT_EQ(view->panelViews()[1]->alpha(), 1);
    EXPECT_EQ(view->panelViews()[0]->alpha(), 0);
    swipe(view, UIScrollViewSwipe::Left);
    EXPECT_EQ(view->alpha(), 1);
    swipe(view, UIScrollViewSwipe::Left); // onto the close page: faded out, then finished
    EXPECT_EQ(view->alpha(), 0);
    EXPECT_EQ(listener_->heard, (std::vector<std::string>{"panel B 1", "panel C 2", "finish 0"}));
    EXPECT_TRUE(view->superview());
}

TEST_F(IntroductionTest, RightToLeftStartsAtTheRightAndReportsThePanelShown) {
    auto view = show(OBIntroductionView::kRightToLeft);
    auto scroll = view->ContentScrollView();
    EXPECT_EQ(scroll->contentOffset().x, 3 * 320);
    EXPECT_EQ(view->CurrentPanelIndex(), 2);
    EXPECT_EQ(view->PageControl()->currentPage(), 2);
    EXPECT_EQ(view->SkipButton()->frame().origin.x, 0);
    swipe(view, UIScrollViewSwipe::Right);
    swipe(view, UIScrollViewSwipe::Right);
    EXPECT_EQ(view->alpha(), 1);
    swipe(view, UIScrollViewSwipe::Right);
    EXPECT_EQ(view->alpha(), 0);
    // Pages from the left hold C, B, A: the second page from the left shows B.
    EXPECT_EQ(listener_->heard, (std::vector<std::string>{"panel B 1", "panel C 0", "finish 0"}));
}

TEST_F(IntroductionTest, PageControlTapsScrollResizeAndNotify) {
    auto view = show(OBIntroductionView::kLeftToRight);
    auto control = view->PageControl();
    auto f = control->convertRectToView(control->bounds(), nullptr);
    UIFingers(window_).tap({CGRectGetMidX(f) + 40, CGRectGetMidY(f)}); // the right end lies under Skip
    EXPECT_EQ(view->CurrentPanelIndex(), 1);
    EXPECT_EQ(view->LastPanelIndex(), 0);
    drainMain();
    EXPECT_EQ(view->ContentScrollView()->contentOffset().x, 320);
    EXPECT_EQ(view->ContentScrollView()->frame().size.height, view->panelViews()[1]->frame().size.height);
    UIFingers(window_).tap({f.origin.x + 10, CGRectGetMidY(f)});
    drainMain();
    EXPECT_EQ(view->ContentScrollView()->contentOffset().x, 0);
    EXPECT_EQ(listener_->heard, (std::vector<std::string>{"panel B 1", "panel A 0"}));
}

TEST_F(IntroductionTest, SkipFinishesWithTypeOneAndFadesOutInPlace) {
    auto view = show(OBIntroductionView::kLeftToRight);
    UIView::clearRecordedAnimations();
    auto skip = view->SkipButton();
    auto f = skip->convertRectToView(skip->bounds(), nullptr);
    UIFingers(window_).tap({CGRectGetMidX(f), CGRectGetMidY(f)});
    EXPECT_EQ(listener_->heard, (std::vector<std::string>{"finish 1"}));
    EXPECT_EQ(view->alpha(), 0);
    ASSERT_FALSE(UIView::recordedAnimations().empty());
    EXPECT_EQ(UIView::recordedAnimations().back().duration, 0.3);
    EXPECT_TRUE(view->superview());
}

TEST_F(IntroductionTest, NoPanelsAndNoDelegate) {
    auto empty = OBIntroductionView::initWithFrameHeaderTextPanels(CGRectMake(0, 0, 320, 480), "Nothing", {});
    EXPECT_TRUE(empty->panelViews().empty());
    EXPECT_FALSE(empty->ContentScrollView()->superview());
    EXPECT_EQ(empty->PageControl()->numberOfPages(), 0);

    auto view = show(OBIntroductionView::kLeftToRight);
    view->setDelegate(nullptr);
    swipe(view, UIScrollViewSwipe::Left);
    view->skipIntroduction();
    EXPECT_EQ(view->CurrentPanelIndex(), 1);
    EXPECT_TRUE(listener_->heard.empty());
}
