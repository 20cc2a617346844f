#include "controls/transitions/FTFlipSegue.h"
#include "controls/transitions/FTFlipTransition.h"
#include "controls/transitions/UINavigationController+FTFlipTransition.h"
#include "controls/transitions/tests/TransitionTestSupport.h"
#include "platform/foundation/NSException.h"
#include "platform/uikit/UINavigationController.h"

#include <gtest/gtest.h>

namespace {
class FlipTest : public TransitionTest {
protected:
    std::shared_ptr<FTFlipTransition> flip(std::uint64_t style, std::int32_t action = FTCompletionKeepViews) {
        transition_ = std::make_shared<FTFlipTransition>(source_, destination_, FTTransition::defaultDuration(), style, action);
        transition_->perform([this](bool finished) { completions_.push_back(finished); });
        return transition_;
    }
    // The layer's explicit animation of the key path.
    template <class A>
    static std::shared_ptr<A> animation(const std::shared_ptr<CALayer>& layer, const std::string& keyPath) {
        for (auto& a : layer->animations())
            if (auto typed = std::dynamic_pointer_cast<A>(a); typed && typed->keyPath() == keyPath) return typed;
        return nullptr;
    }
    // Runs the first half to its end (the stage switch and the second half's start).
    void firstHalf() { finish(0.16); }

    std::shared_ptr<FTFlipTransition> transition_;
    std::vector<bool> completions_;
};
} // namespace

TEST_F(FlipTest, ShadesFollowCosineThenSineWithExactEnds) {
    views({320, 480});
    auto t = flip(FTFlipStyleDefault);
    auto reveal = animation<CAKeyframeAnimation>(t->layerRevealShadow(), "opacity");
    ASSERT_TRUE(reveal);
    auto down = numbers(reveal);
    ASSERT_EQ(down.size(), 10u);
    EXPECT_EQ(down.front(), static_cast<float>(1.0 / 3.0));
    EXPECT_EQ(down.back(), 0);
    EXPECT_TRUE(std::is_sorted(down.rbegin(), down.rend()));
    EXPECT_DOUBLE_EQ(animation<CABasicAnimation>(t->layerFront(), "transform.rotation.y")->duration(), static_cast<float>(0.15));
    auto gradient = animation<CABasicAnimation>(t->layerFrontShadow(), "opacity");
    EXPECT_EQ(CAAnimationNumber(gradient->fromValue()), 0);
    EXPECT_EQ(CAAnimationNumber(gradient->toValue()), 0.1);

    firstHalf();
    EXPECT_EQ(t->flipStage(), 1u);
    auto facing = animation<CAKeyframeAnimation>(t->layerFacingShadow(), "opacity");
    ASSERT_TRUE(facing);
    auto up = numbers(facing);
    ASSERT_EQ(up.size(), 10u);
    EXPECT_EQ(up.front(), 0);
    EXPECT_EQ(up.back(), static_cast<float>(1.0 / 3.0));
    EXPECT_EQ(animation<CABasicAnimation>(t->layerBack(), "transform.rotation.y")->timingFunction()->name(),
              kCAMediaTimingFunctionEaseOut);
    // After the switch: facing, back, reveal; the front has gone.
    auto root = t->animationView()->layer();
    EXPECT_EQ(root->sublayers(), (std::vector<std::shared_ptr<CALayer>>{t->layerFacing(), t->layerBack(), t->layerReveal()}));
    EXPECT_FALSE(t->layerFront()->superlayer());
    finish(0.16);
    EXPECT_EQ(completions_, std::vector<bool>{true});
    EXPECT_FALSE(t->wereLayersBuilt());
    EXPECT_EQ(container_->subviews().size(), 1u);
}

TEST_F(FlipTest, TurningSignsFollowTheStyle) {
    struct Case {
        std::uint64_t style;
        const char* keyPath;
        double frontTo, backFrom;
    } cases[] = {
        {FTFlipStyleDefault, "transform.rotation.y", -M_PI / 2, M_PI / 2},
        {FTFlipStyleBackward, "transform.rotation.y", M_PI / 2, -M_PI / 2},
        {FTFlipStyleVertical, "transform.rotation.x", M_PI / 2, -M_PI / 2},
        {FTFlipStyleBackward | FTFlipStyleVertical, "transform.rotation.x", -M_PI / 2, M_PI / 2},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.style);
        clear();
        views({320, 480});
        auto t = flip(c.style);
        auto front = animation<CABasicAnimation>(t->layerFront(), c.keyPath);
        ASSERT_TRUE(front);
        EXPECT_EQ(CAAnimationNumber(front->fromValue()), 0);
        EXPECT_DOUBLE_EQ(*CAAnimationNumber(front->toValue()), c.frontTo);
        firstHalf();
        auto back = animation<CABasicAnimation>(t->layerBack(), c.keyPath);
        ASSERT_TRUE(back);
        EXPECT_DOUBLE_EQ(*CAAnimationNumber(back->fromValue()), c.backFrom);
        EXPECT_EQ(CAAnimationNumber(back->toValue()), 0);
        finish(0.16);
    }
}

TEST_F(FlipTest, ReversePerspectiveInvertsM34AndMakesNoShades) {
    views({320, 480});
    auto t = flip(FTFlipStyleReversePerspective);
    EXPECT_EQ(t->animationView()->layer()->sublayerTransform().m34, 1 / (160 * 4.6666667));
    EXPECT_FALSE(t->layerRevealShadow());
    EXPECT_FALSE(t->layerFacingShadow());
    EXPECT_TRUE(t->layerReveal()->sublayers().empty());
    firstHalf();
    EXPECT_TRUE(t->layerFacing()->sublayers().empty());
    finish(0.16);
    EXPECT_EQ(completions_, std::vector<bool>{true});

    clear();
    views({320, 480});
    EXPECT_EQ(flip(FTFlipStyleDefault)->animationView()->layer()->sublayerTransform().m34, -1 / (160 * 4.6666667));
}

TEST_F(FlipTest, AHiddenDestinationAboveTheSourceIsShownMaskedAndHiddenAgain) {
    views({320, 480});
    container_->addSubview(destination_);
    destination_->setHidden(true);
    auto t = flip(FTFlipStyleDefault);
    EXPECT_TRUE(t->wasDestinationViewShown());
    EXPECT_FALSE(destination_->isHidden());
    EXPECT_FALSE(source_->isHidden());
    // The destination, above, shows only its revealed (right) half.
    ASSERT_EQ(destination_->layer()->mask(), t->revealLayerMask());
    EXPECT_EQ(t->revealLayerMask()->path()->boundingBox(), CGRectMake(160, 0, 160, 480));
    EXPECT_FALSE(t->layerReveal()->contents());
    EXPECT_EQ(t->layerReveal()->bounds().size, CGSizeMake(160, 480));
    EXPECT_EQ(t->layerReveal()->position(), CGPointMake(160, 240));
    EXPECT_EQ(t->layerFront()->anchorPoint(), CGPointMake(0, 0.5));
    firstHalf();
    finish(0.16);
    EXPECT_EQ(completions_, std::vector<bool>{true});
    EXPECT_TRUE(destination_->isHidden());
    EXPECT_FALSE(destination_->layer()->mask());
}

TEST_F(FlipTest, AModalDestinationFillsTheRevealedPageWhileTheSourceStaysVisible) {
    views({320, 480});
    auto t = flip(FTFlipStyleBackward);
    ASSERT_TRUE(t->layerReveal()->contents());
    EXPECT_EQ(t->layerReveal()->bounds().size, CGSizeMake(160, 480));
    EXPECT_EQ(t->layerReveal()->anchorPoint(), CGPointMake(1, 0.5));
    EXPECT_FALSE(source_->isHidden());
    EXPECT_EQ(container_->subviews().back(), t->animationView());
    EXPECT_EQ(t->animationView()->autoresizingMask(), 45u);
    firstHalf();
    finish(0.16);
    EXPECT_EQ(completions_, std::vector<bool>{true});
    EXPECT_FALSE(t->animationView());
}

TEST_F(FlipTest, MisuseAndShortStacks) {
    auto root = std::make_shared<UIViewController>(), other = std::make_shared<UIViewController>();
    try {
        FTFlipSegue("s", root, other).perform();
        FAIL() << "no exception";
    } catch (const NSException& e) {
        EXPECT_EQ(e.name(), "Incomplete Implementation");
        EXPECT_EQ(e.reason(), "FTFlipSegue must be subclassed and the perform method implemented.");
    }
    auto nav = UINavigationController::initWithRootViewController(root);
    try {
        FTFlipNavPopSegue("s", root, other).perform();
        FAIL() << "no exception";
    } catch (const NSException& e) {
        EXPECT_EQ(e.name(), "Invalid Operation");
        EXPECT_EQ(e.reason(), "UINavigationController parent must have at least 2 child controllers in its stack.  Otherwise no pop can be performed.");
    }
    EXPECT_EQ(FTFlipNavPopSegue("s", root, other).style(), 1u);
    window_->setRootViewController(nav);
    window_->layoutIfNeeded();
    EXPECT_FALSE(UINavigationController_FTFlipTransition::popViewControllerWithFlipStyle(nav, 0));
    EXPECT_EQ(nav->viewControllers().size(), 1u);
}
