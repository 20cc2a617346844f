#include "controls/transitions/FTAnimation.h"
#include "controls/transitions/FTFoldGeometry.h"
#include "controls/transitions/FTFoldSegue.h"
#include "controls/transitions/FTFoldTransition.h"
#include "controls/transitions/UINavigationController+FTFoldTransition.h"
#include "controls/transitions/UIView+FTAnimation.h"
#include "controls/transitions/UIViewController+FTFoldTransition.h"
#include "controls/transitions/tests/TransitionTestSupport.h"
#include "platform/foundation/NSException.h"
#include "platform/uikit/UINavigationController.h"

#include <gtest/gtest.h>

namespace {
// The fold's layers, by their places in the host view's tree.
struct FoldLayers {
    UIViewPtr host;
    std::shared_ptr<CALayer> main, upper, incomingFirst, foldingFirst, lower, foldingSecond, incomingSecond;
};

class FoldTest : public TransitionTest {
protected:
    FoldLayers fold(std::uint64_t style, double duration = 0.3, std::int32_t action = FTCompletionKeepViews) {
        transition_ = std::make_shared<FTFoldTransition>(source_, destination_, duration, style, action);
        transition_->perform([this](bool finished) { completions_.push_back(finished); });
        FoldLayers l;
        l.host = container_->subviews().front();
        l.main = sub(l.host->layer(), 0);
        l.upper = sub(l.main, 0);
        l.incomingFirst = sub(l.upper, 0);
        l.foldingFirst = sub(l.upper, 1);
        l.lower = sub(l.upper, 2);
        l.foldingSecond = sub(l.lower, 0);
        l.incomingSecond = sub(l.lower, 1);
        return l;
    }
    std::shared_ptr<FTFoldTransition> transition_;
    std::vector<bool> completions_;
};

double pixelHeight(const std::shared_ptr<CALayer>& layer) { return layer->contents()->height(); }
} // namespace

TEST_F(FoldTest, AcrossLengthsSplitAtWholePixelsAndTheOddSecondHalfGrows) {
    struct Case {
        CGFloat across, scale, first, second, otherSecondPixels;
    } cases[] = {
        {.across = 101, .scale = 1, .first = 51, .second = 50, .otherSecondPixels = 51},
        {.across = 100, .scale = 1, .first = 50, .second = 50, .otherSecondPixels = 50},
        {.across = 101, .scale = 2, .first = 50.5, .second = 50.5, .otherSecondPixels = 101},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.across << " at scale " << c.scale);
        setScale(c.scale);
        clear();
        views({200, c.across});
        auto l = fold(FTFoldStyleDefault);
        ASSERT_TRUE(l.incomingSecond);
        EXPECT_EQ(l.foldingFirst->bounds().size, CGSizeMake(202, c.first));
        EXPECT_EQ(l.foldingSecond->bounds().size, CGSizeMake(202, c.second));
        EXPECT_EQ(l.lower->position(), CGPointMake(100, c.first));
        EXPECT_EQ(l.incomingSecond->position(), CGPointMake(100, c.second));
        // The folding halves carry a transparent point on each side; the incoming halves none.
        EXPECT_EQ(l.foldingFirst->contents()->width(), 202 * c.scale);
        EXPECT_EQ(l.incomingFirst->contents()->width(), 200 * c.scale);
        EXPECT_EQ(pixelHeight(l.incomingSecond), c.otherSecondPixels);
        EXPECT_EQ(pixelHeight(l.foldingSecond), c.second * c.scale);
        finish(0.31);
    }
}

TEST_F(FoldTest, KeyFrameListsEndExactlyAndNeverHoldNaN) {
    struct Case {
        double duration;
        bool reverse;
        std::size_t entries;
        float firstSize, lastSize;
    } cases[] = {
        {.duration = 0.3, .reverse = false, .entries = 19, .firstSize = 101, .lastSize = 0},
        {.duration = 0.3, .reverse = true, .entries = 19, .firstSize = 0, .lastSize = 101},
        {.duration = 0, .reverse = false, .entries = 1, .firstSize = 0, .lastSize = 0},
        {.duration = 0, .reverse = true, .entries = 1, .firstSize = 0, .lastSize = 0},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.duration << (c.reverse ? " reversed" : ""));
        auto frames = FTFoldKeyFrames::make(c.duration, c.reverse, 50.5, 0.25);
        ASSERT_EQ(frames.sizes.size(), c.entries);
        EXPECT_EQ(frames.sizes.front(), c.firstSize);
        EXPECT_EQ(frames.sizes.back(), c.lastSize);
        for (auto list : {&frames.sizes, &frames.foldingShades, &frames.cubeShades})
            for (float v : *list) EXPECT_FALSE(std::isnan(v));
        // The shade darkens as the fold closes: 0.25 where the size is 0.
        EXPECT_EQ(frames.foldingShades.back(), c.lastSize == 0 ? 0.25f : 0.0f);
    }
}

TEST_F(FoldTest, TheMainLayerAnimatesItsSizeAndTheHingesTurnWithDefaultPerspective) {
    setScale(2);
    views({320, 480});
    auto l = fold(FTFoldStyleDefault);
    EXPECT_EQ(l.main->sublayerTransform().m34, -1 / (240 * 4.6666667));
    auto sizes = only<CAKeyframeAnimation>(l.main);
    ASSERT_TRUE(sizes);
    EXPECT_EQ(sizes->keyPath(), "bounds.size.height");
    EXPECT_EQ(sizes->values().size(), 19u);
    EXPECT_EQ(numbers(sizes).front(), 480);
    EXPECT_EQ(numbers(sizes).back(), 0);
    EXPECT_EQ(sizes->fillMode(), kCAFillModeForwards);
    EXPECT_FALSE(sizes->isRemovedOnCompletion());
    EXPECT_EQ(sizes->timingFunction()->name(), kCAMediaTimingFunctionEaseOut);
    EXPECT_DOUBLE_EQ(sizes->duration(), static_cast<float>(0.3));
    auto upper = only<CABasicAnimation>(l.upper);
    ASSERT_TRUE(upper);
    EXPECT_EQ(upper->keyPath(), "transform.rotation.x");
    EXPECT_EQ(CAAnimationNumber(upper->fromValue()), 0);
    EXPECT_DOUBLE_EQ(*CAAnimationNumber(upper->toValue()), -M_PI / 2);
    EXPECT_DOUBLE_EQ(*CAAnimationNumber(only<CABasicAnimation>(l.lower)->toValue()), M_PI);
    // The shades follow the folding-shade list; the second ends in the shadow colour at a quarter.
    auto secondShade = std::dynamic_pointer_cast<CAGradientLayer>(sub(l.foldingSecond, 0));
    ASSERT_TRUE(secondShade);
    EXPECT_EQ(secondShade->colors()[1]->alpha(), 0.25);
    EXPECT_EQ(secondShade->frame(), CGRectMake(1, 0, 320, 240));
    EXPECT_EQ(numbers(only<CAKeyframeAnimation>(secondShade)).back(), 0.25);
    // The model values stay where they were.
    EXPECT_TRUE(CATransform3DIsIdentity(l.upper->transform()));
    EXPECT_EQ(l.main->bounds().size.height, 480);
}

TEST_F(FoldTest, SidewaysAndReversedFoldsTurnTheOtherWay) {
    struct Case {
        std::uint64_t style;
        const char *rotation, *size;
        double upperFrom, upperTo;
        const char* curve;
    } cases[] = {
        {FTFoldStyleSideways, "transform.rotation.y", "bounds.size.width", 0, M_PI / 2, kCAMediaTimingFunctionEaseOut},
        {FTFoldStyleReverse, "transform.rotation.x", "bounds.size.height", -M_PI / 2, 0, kCAMediaTimingFunctionEaseIn},
        {FTFoldStyleReverse | FTFoldStyleSideways, "transform.rotation.y", "bounds.size.width", M_PI / 2, 0,
         kCAMediaTimingFunctionEaseIn},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.style);
        clear();
        views({320, 480});
        auto l = fold(c.style);
        auto upper = only<CABasicAnimation>(l.upper);
        ASSERT_TRUE(upper);
        EXPECT_EQ(upper->keyPath(), c.rotation);
        EXPECT_DOUBLE_EQ(*CAAnimationNumber(upper->fromValue()), c.upperFrom);
        EXPECT_DOUBLE_EQ(*CAAnimationNumber(upper->toValue()), c.upperTo);
        EXPECT_EQ(upper->timingFunction()->name(), c.curve);
        EXPECT_EQ(only<CAKeyframeAnimation>(l.main)->keyPath(), c.size);
        finish(0.31);
    }
    // Sideways the halves are left and right: the lower hinge sits at the first half's width.
    views({320, 480});
    auto l = fold(FTFoldStyleSideways);
    EXPECT_EQ(l.lower->position(), CGPointMake(160, 240));
    EXPECT_EQ(l.foldingFirst->bounds().size, CGSizeMake(160, 482));
}

TEST_F(FoldTest, CubeFacesAreFixedAndShaded) {
    views({320, 480});
    auto l = fold(FTFoldStyleCube);
    EXPECT_TRUE(l.incomingFirst->animations().empty());
    EXPECT_NEAR(l.incomingFirst->transform().m23, 1, 1e-12); // turned 90 degrees about x
    EXPECT_NEAR(l.incomingSecond->transform().m23, -1, 1e-12);
    EXPECT_EQ(l.incomingFirst->bounds().size, CGSizeMake(322, 240));
    auto cubeShade = sub(l.incomingFirst, 0);
    ASSERT_TRUE(cubeShade);
    EXPECT_EQ(numbers(only<CAKeyframeAnimation>(cubeShade)).front(), 0.25);
    auto secondShade = std::dynamic_pointer_cast<CAGradientLayer>(sub(l.foldingSecond, 0));
    EXPECT_EQ(secondShade->colors()[1]->alpha(), 0);
}

TEST_F(FoldTest, TheSourceHidesUntilTheEndAndTheCompletionActionApplies) {
    struct Case {
        std::int32_t action;
        bool sourceInContainer, sourceHidden, destinationInContainer;
    } cases[] = {
        {.action = FTCompletionSwapViews, .sourceInContainer = false, .sourceHidden = false, .destinationInContainer = true},
        {.action = FTCompletionToggleHidden, .sourceInContainer = true, .sourceHidden = true, .destinationInContainer = false},
        {.action = FTCompletionKeepViews, .sourceInContainer = true, .sourceHidden = false, .destinationInContainer = false},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.action);
        clear();
        completions_.clear();
        views({320, 480});
        auto l = fold(FTFoldStyleDefault, 0.3, c.action);
        EXPECT_TRUE(source_->isHidden());
        EXPECT_EQ(container_->subviews().front(), l.host);
        finish(0.29);
        EXPECT_TRUE(completions_.empty());
        finish(0.02); // the transaction runs for the duration in single precision
        EXPECT_EQ(completions_, std::vector<bool>{true});
        EXPECT_FALSE(l.host->superview());
        EXPECT_EQ(source_->superview() == container_, c.sourceInContainer);
        EXPECT_EQ(source_->isHidden(), c.sourceHidden);
        EXPECT_EQ(destination_->superview() == container_, c.destinationInContainer);
    }
}

TEST_F(FoldTest, MisuseRaisesNamedExceptionsBeforeTouchingAnything) {
    views({320, 480});
    auto base = std::make_shared<FTTransition>(source_, destination_, 0.3, 0, 0);
    try {
        base->perform();
        FAIL() << "no exception";
    } catch (const NSException& e) {
        EXPECT_EQ(e.name(), "Incomplete Implementation");
        EXPECT_EQ(e.reason(), "FTTransition must be subclassed and the perform: method implemented.");
    }
    auto lonely = std::make_shared<UIViewController>();
    EXPECT_THROW(UIViewController_FTFoldTransition::dismissViewControllerWithFoldStyleCompletion(lonely, 0, nullptr), NSException);

    auto root = std::make_shared<UIViewController>(), second = std::make_shared<UIViewController>();
    auto nav = UINavigationController::initWithRootViewController(root);
    auto outside = std::make_shared<UIViewController>();
    struct Case {
        std::shared_ptr<UIViewController> source;
        bool pop;
        std::string reason;
    } cases[] = {
        {outside, true, "FTFoldNavPopSegue can only be performed on a child controller of a UINavigationController."},
        {outside, false, "FTFoldNavPushSegue can only be performed on a child controller of a UINavigationController."},
        {root, true, "UINavigationController parent must have at least 2 child controllers in its stack.  Otherwise no pop can be performed."},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.reason);
        std::shared_ptr<FTFoldSegue> segue;
        if (c.pop) segue = std::make_shared<FTFoldNavPopSegue>("s", c.source, second);
        else segue = std::make_shared<FTFoldNavPushSegue>("s", c.source, second);
        try {
            segue->perform();
            ADD_FAILURE() << "no exception";
        } catch (const NSException& e) {
            EXPECT_EQ(e.name(), "Invalid Operation");
            EXPECT_EQ(e.reason(), c.reason);
        }
    }
    nav->pushViewControllerAnimated(second, false);
    auto notVisible = std::make_shared<FTFoldNavPopSegue>("s", root, second);
    try {
        notVisible->perform();
        ADD_FAILURE() << "no exception";
    } catch (const NSException& e) {
        EXPECT_EQ(e.reason(), "FTFoldNavPopSegue can only be performed from the current visibleViewController of a UINavigationController.");
    }
    EXPECT_EQ(FTFoldNavPopSegue("s", root, second).style(), 1u);
    EXPECT_EQ(FTFoldModalSegue("s", root, second).style(), 0u);
    EXPECT_EQ(nav->viewControllers().size(), 2u);
}

TEST_F(FoldTest, NavigationFoldsThenChangesTheStack) {
    auto root = std::make_shared<UIViewController>(), second = std::make_shared<UIViewController>();
    auto nav = UINavigationController::initWithRootViewController(root);
    window_->setRootViewController(nav);
    window_->layoutIfNeeded();
    // Nothing to go back to: nil, and no fold.
    auto before = window_->subviews().size();
    EXPECT_FALSE(UINavigationController_FTFoldTransition::popViewControllerWithFoldStyle(nav, 0));
    EXPECT_EQ(window_->subviews().size(), before);
    // Pop to root on a stack of one still folds and returns nothing.
    EXPECT_TRUE(UINavigationController_FTFoldTransition::popToRootViewControllerWithFoldStyle(nav, 0).empty());
    finish(0.31);

    UINavigationController_FTFoldTransition::pushViewControllerFoldStyle(nav, second, 0);
    EXPECT_EQ(nav->viewControllers().size(), 1u);
    finish(0.31);
    EXPECT_EQ(nav->viewControllers().size(), 2u);
    EXPECT_EQ(UINavigationController_FTFoldTransition::popViewControllerWithFoldStyle(nav, 0), root);
    EXPECT_EQ(nav->viewControllers().size(), 2u);
    finish(0.31);
    EXPECT_EQ(nav->viewControllers().size(), 1u);
}

TEST_F(FoldTest, TheAppPresentsItsSetupScreenInANavigationControllerFromTheCentreLine) {
    auto files = std::make_shared<UIViewController>();
    window_->setRootViewController(files);
    window_->layoutIfNeeded();
    auto setup = UINavigationController::initWithRootViewController(std::make_shared<UIViewController>());
    int done = 0;
    UIViewController_FTFoldTransition::presentViewControllerFoldStyleCompletion(files, setup, FTFoldStyleReverse,
                                                                                [&](bool finished) { done += finished; });
    // The fold runs in a host view at the back of the window, over the files screen's place.
    auto host = window_->subviews().front();
    EXPECT_EQ(host->frame(), CGRectMake(0, 0, 320, 568));
    EXPECT_TRUE(files->view()->isHidden());
    EXPECT_EQ(setup->view()->bounds(), CGRectMake(0, 0, 320, 568));
    auto main = sub(host->layer(), 0);
    auto sizes = only<CAKeyframeAnimation>(main);
    ASSERT_TRUE(sizes);
    EXPECT_EQ(sizes->timingFunction()->name(), kCAMediaTimingFunctionEaseIn);
    EXPECT_EQ(numbers(sizes).front(), 0);
    EXPECT_EQ(numbers(sizes).back(), 568);
    EXPECT_FALSE(files->presentedViewController());
    finish(0.31);
    EXPECT_EQ(done, 1);
    EXPECT_EQ(files->presentedViewController(), setup);
    EXPECT_FALSE(files->view()->isHidden());
    EXPECT_FALSE(host->superview());
}

TEST_F(FoldTest, ADismissedNavigationControllerFoldsBelowTheStatusBar) {
    auto files = std::make_shared<UIViewController>();
    window_->setRootViewController(files);
    window_->layoutIfNeeded();
    struct Case {
        std::shared_ptr<UIViewController> presented;
        CGRect rect;
    } cases[] = {
        {UINavigationController::initWithRootViewController(std::make_shared<UIViewController>()), CGRectMake(0, 20, 320, 548)},
        {std::make_shared<UIViewController>(), CGRectMake(0, 0, 320, 568)},
    };
    for (auto& c : cases) {
        auto t = std::make_shared<FTFoldTransition>(c.presented->view(), files->view(), 0.3, 0, FTCompletionKeepViews);
        t->setDismissing(true);
        t->setPresentedController(c.presented);
        EXPECT_EQ(t->calculateRect(), c.rect);
    }
}

TEST_F(FoldTest, SnapshotsKeepTheirInsetsTransparentAndSiblingOrderIsRead) {
    setScale(1);
    views({100, 100});
    auto image = FTAnimation::renderImageFromView(source_, CGRectMake(50, 0, 50, 100), UIEdgeInsets{0, 1, 0, 1});
    ASSERT_TRUE(image);
    EXPECT_EQ(image->size(), CGSizeMake(52, 100));
    auto pixels = image->CGImage();
    EXPECT_EQ(pixels->pixelAt(0, 50).alpha, 0);
    EXPECT_EQ(pixels->pixelAt(51, 50).alpha, 0);
    EXPECT_EQ(pixels->pixelAt(1, 50), (CGImage::Pixel{255, 0, 0, 255}));

    container_->addSubview(destination_);
    EXPECT_TRUE(UIView_FTAnimation::isAboveSiblingView(destination_, source_));
    EXPECT_TRUE(UIView_FTAnimation::isBelowSiblingView(source_, destination_));
    EXPECT_FALSE(UIView_FTAnimation::subViewIsAboveSubView(source_, destination_));
}
