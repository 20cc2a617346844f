#include "platform/graphics/CGContext.h"
#include "platform/testsupport/RunLoopSupport.h"
#include "platform/uikit/CAGradientLayer.h"
#include "platform/uikit/CAShapeLayer.h"
#include "platform/uikit/CATextLayer.h"
#include "platform/uikit/CATransaction.h"
#include "platform/uikit/CATransformLayer.h"
#include "platform/uikit/UIView.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {
std::vector<CALayer*> order(const CALayer& parent) {
    std::vector<CALayer*> out;
    for (auto& l : parent.sublayers()) out.push_back(l.get());
    return out;
}

CGImage::Pixel pixelOf(const std::shared_ptr<CALayer>& layer, int x, int y) {
    auto image = CGImage::createWithSize(100, 100);
    CGContext context(image, 1);
    layer->renderInContext(context);
    return image->pixelAt(x, y);
}
} // namespace

TEST(CALayerTree, AddInsertAboveBelowAndRemoveKeepOneParent) {
    auto root = CALayer::layer();
    auto a = CALayer::layer(), b = CALayer::layer(), c = CALayer::layer(), d = CALayer::layer();
    root->addSublayer(a);
    root->addSublayer(b);
    root->insertSublayerBelow(c, a);
    root->insertSublayerAbove(d, a);
    EXPECT_EQ(order(*root), (std::vector<CALayer*>{c.get(), a.get(), d.get(), b.get()}));
    // Moving within the parent does not duplicate; moving to another parent leaves the first.
    root->insertSublayerAbove(c, b);
    EXPECT_EQ(order(*root), (std::vector<CALayer*>{a.get(), d.get(), b.get(), c.get()}));
    auto other = CALayer::layer();
    other->addSublayer(a);
    EXPECT_EQ(a->superlayer(), other);
    EXPECT_EQ(order(*root), (std::vector<CALayer*>{d.get(), b.get(), c.get()}));
    d->removeFromSuperlayer();
    EXPECT_FALSE(d->superlayer());
    EXPECT_EQ(order(*root), (std::vector<CALayer*>{b.get(), c.get()}));
}

TEST(CALayerTree, SubviewLayersFollowTheSubviewsOrderAmongPlainSublayers) {
    auto parent = std::make_shared<UIView>(CGRectMake(0, 0, 100, 100));
    auto plain = CALayer::layer();
    auto v1 = std::make_shared<UIView>(), v2 = std::make_shared<UIView>();
    parent->addSubview(v1);
    parent->layer()->addSublayer(plain);
    parent->insertSubviewAtIndex(v2, 0);
    EXPECT_EQ(order(*parent->layer()), (std::vector<CALayer*>{v2->layer().get(), v1->layer().get(), plain.get()}));
    parent->bringSubviewToFront(v2);
    EXPECT_EQ(order(*parent->layer()), (std::vector<CALayer*>{v1->layer().get(), v2->layer().get(), plain.get()}));
    v1->removeFromSuperview();
    EXPECT_EQ(order(*parent->layer()), (std::vector<CALayer*>{v2->layer().get(), plain.get()}));
}

TEST(CALayerAnimation, ImplicitActionsUnlessDisabledOrBackingAView) {
    ManualClock clock;
    auto root = CALayer::layer();
    auto layer = CALayer::layer();
    layer->setOpacity(0.5f); // not in a tree yet: no action
    EXPECT_TRUE(layer->animationKeys().empty());
    root->addSublayer(layer);
    layer->setPosition({5, 5}); // just put into the tree: no action until the next pass
    EXPECT_TRUE(layer->animationKeys().empty());
    drainMain();
    layer->setPosition({10, 10});
    layer->setOpacity(1);
    EXPECT_EQ(layer->animationKeys(), (std::vector<std::string>{"position", "opacity"}));
    auto opacity = std::dynamic_pointer_cast<CABasicAnimation>(layer->animationForKey("opacity"));
    ASSERT_TRUE(opacity);
    EXPECT_EQ(CAAnimationNumber(opacity->fromValue()), 0.5);
    EXPECT_DOUBLE_EQ(opacity->duration(), 0.25);
    clock.advance(0.25);
    drainMain();
    EXPECT_TRUE(layer->animationKeys().empty());

    CATransaction::begin();
    CATransaction::setDisableActions(true);
    layer->setPosition({20, 20});
    CATransaction::commit();
    EXPECT_TRUE(layer->animations().empty());
    EXPECT_EQ(layer->position(), CGPointMake(20, 20));

    auto view = std::make_shared<UIView>();
    root->addSublayer(view->layer());
    view->setAlpha(0.2);
    EXPECT_TRUE(view->layer()->animations().empty());
    EXPECT_FLOAT_EQ(view->layer()->opacity(), 0.2f);
}

TEST(CALayerAnimation, TransactionTimesItsAnimationsAndCompletesWhenTheLongestEnds) {
    ManualClock clock;
    auto layer = CALayer::layer();
    int completions = 0;
    CATransaction::begin();
    CATransaction::setAnimationDuration(0.4);
    CATransaction::setAnimationTimingFunction(CAMediaTimingFunction::functionWithName(kCAMediaTimingFunctionEaseIn));
    CATransaction::setCompletionBlock([&] { ++completions; });
    auto spin = CABasicAnimation::animationWithKeyPath("transform.rotation.y");
    spin->setFromValue(0.0);
    spin->setToValue(M_PI / 2);
    spin->setFillMode(kCAFillModeForwards);
    spin->setRemovedOnCompletion(false);
    layer->addAnimation(spin, "");
    auto fade = CAKeyframeAnimation::animationWithKeyPath("opacity");
    fade->setValues({1.0, 0.5, 0.0});
    fade->setDuration(0.6);
    layer->addAnimation(fade, "fade");
    CATransaction::commit();

    auto attached = layer->animations();
    ASSERT_EQ(attached.size(), 2u);
    auto first = std::dynamic_pointer_cast<CABasicAnimation>(attached[0]);
    EXPECT_EQ(first->keyPath(), "transform.rotation.y");
    EXPECT_DOUBLE_EQ(first->duration(), 0.4);
    EXPECT_EQ(first->timingFunction()->name(), kCAMediaTimingFunctionEaseIn);
    EXPECT_TRUE(CATransform3DIsIdentity(layer->transform())); // the model value is left alone
    EXPECT_EQ(layer->animationKeys(), std::vector<std::string>{"fade"});

    clock.advance(0.5);
    drainMain();
    EXPECT_EQ(completions, 0);
    EXPECT_EQ(layer->animations().size(), 2u);
    clock.advance(0.1);
    drainMain();
    EXPECT_EQ(completions, 1);
    // The one not removed on completion stays, with its values.
    ASSERT_EQ(layer->animations().size(), 1u);
    EXPECT_EQ(layer->animations()[0], first);
}

TEST(CALayerAnimation, AReplacedKeyedAnimationStopsUnfinished) {
    ManualClock clock;
    struct Stops : CAAnimationDelegate {
        std::vector<bool> finished;
        void animationDidStopFinished(CAAnimation&, bool done) override { finished.push_back(done); }
    };
    auto stops = std::make_shared<Stops>();
    auto layer = CALayer::layer();
    auto a = CABasicAnimation::animationWithKeyPath("position");
    a->setDelegate(stops);
    layer->addAnimation(a, "move");
    layer->addAnimation(a, "move");
    EXPECT_EQ(stops->finished, std::vector<bool>{false});
    clock.advance(0.25);
    drainMain();
    EXPECT_EQ(stops->finished, (std::vector<bool>{false, true}));
}

TEST(CATransform3D, RotationsAndTheTwoDimensionalPart) {
    auto y = CATransform3DMakeRotation(M_PI / 2, 0, 1, 0);
    EXPECT_NEAR(y.m11, 0, 1e-12);
    EXPECT_NEAR(y.m13, -1, 1e-12);
    auto z = CATransform3DMakeRotation(M_PI / 2, 0, 0, 1);
    auto affine = CATransform3DGetAffineTransform(z);
    EXPECT_NEAR(affine.b, 1, 1e-12);
    EXPECT_NEAR(affine.c, -1, 1e-12);
    auto moved = CATransform3DTranslate(CATransform3DMakeScale(2, 2, 1), 5, 0, 0);
    EXPECT_EQ(moved.m41, 10);
    auto perspective = CATransform3DIdentity;
    perspective.m34 = -0.002;
    EXPECT_FALSE(CATransform3DIsAffine(perspective));
    EXPECT_TRUE(CGAffineTransformIsIdentity(CATransform3DGetAffineTransform(perspective)));
}

TEST(CALayerDisplay, ShapesGradientsMasksAndOpacity) {
    auto root = CALayer::layer();
    root->setBounds(CGRectMake(0, 0, 100, 100));
    root->setBackgroundColor(UIColor::whiteColor());
    auto shape = CAShapeLayer::layer();
    shape->setFrame(CGRectMake(0, 0, 50, 50));
    auto path = CGPath::create();
    path->addRect(CGRectMake(10, 10, 20, 20));
    shape->setPath(path);
    shape->setFillColor(UIColor::colorWithRed(1, 0, 0, 1));
    root->addSublayer(shape);
    auto gradient = CAGradientLayer::layer();
    gradient->setFrame(CGRectMake(50, 0, 50, 100));
    gradient->setColors({UIColor::blackColor(), UIColor::whiteColor()});
    root->addSublayer(gradient);
    auto carrier = CATransformLayer::layer();
    carrier->setFrame(CGRectMake(0, 50, 50, 50));
    carrier->setBackgroundColor(UIColor::blackColor()); // a transform layer paints nothing itself
    auto faded = CALayer::layer();
    faded->setFrame(CGRectMake(0, 0, 50, 50));
    faded->setBackgroundColor(UIColor::blackColor());
    faded->setOpacity(0.5);
    auto mask = CAShapeLayer::layer();
    auto half = CGPath::create();
    half->addRect(CGRectMake(0, 0, 25, 50));
    mask->setPath(half);
    mask->setFrame(CGRectMake(0, 0, 50, 50));
    faded->setMask(mask);
    carrier->addSublayer(faded);
    root->addSublayer(carrier);

    EXPECT_EQ(pixelOf(root, 20, 20), (CGImage::Pixel{255, 0, 0, 255}));
    EXPECT_EQ(pixelOf(root, 40, 40), (CGImage::Pixel{255, 255, 255, 255}));
    EXPECT_LT(pixelOf(root, 75, 5).red, 30);
    EXPECT_GT(pixelOf(root, 75, 95).red, 225);
    EXPECT_NEAR(pixelOf(root, 10, 75).red, 128, 3); // half-opaque black, inside the mask
    EXPECT_EQ(pixelOf(root, 40, 75).red, 255);      // outside the mask
}

TEST(CALayerDisplay, TextLayersDrawTheirStringAndNameThemselves) {
    auto text = CATextLayer::layer();
    text->setFrame(CGRectMake(0, 0, 100, 100));
    text->setForegroundColor(UIColor::blackColor());
    text->setFontSize(40);
    text->setString("WW");
    text->setName("title");
    EXPECT_EQ(text->screenName(), "WW");
    auto image = CGImage::createWithSize(100, 100);
    CGContext context(image, 1);
    text->renderInContext(context);
    int inked = 0;
    for (int x = 0; x < 100; ++x)
        for (int y = 0; y < 50; ++y) inked += image->pixelAt(x, y).alpha > 128;
    EXPECT_GT(inked, 50);
}

TEST(UIViewAutoresizing, MarginsAndSizesFollowTheSuperview) {
    auto parent = std::make_shared<UIView>(CGRectMake(0, 0, 200, 100));
    struct Case {
        unsigned long mask;
        CGRect after;
    } cases[] = {
        {UIViewAutoresizingNone, CGRectMake(50, 20, 100, 60)},
        {UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight, CGRectMake(50, 20, 200, 160)},
        {UIViewAutoresizingFlexibleLeftMargin | UIViewAutoresizingFlexibleRightMargin, CGRectMake(100, 20, 100, 60)},
        {UIViewAutoresizingFlexibleTopMargin, CGRectMake(50, 120, 100, 60)},
    };
    for (auto& c : cases) {
        parent->setFrame(CGRectMake(0, 0, 200, 100));
        auto child = std::make_shared<UIView>(CGRectMake(50, 20, 100, 60));
        child->setAutoresizingMask(c.mask);
        parent->addSubview(child);
        parent->setFrame(CGRectMake(0, 0, 300, 200));
        SCOPED_TRACE(c.mask);
        EXPECT_EQ(child->frame(), c.after);
        child->removeFromSuperview();
    }
}

TEST(UIViewAnimation, DelaySetInsideTheBlockAndOvertakenBlocksFinishNo) {
    ManualClock clock;
    UIView::clearRecordedAnimations();
    auto view = std::make_shared<UIView>(CGRectMake(0, 0, 10, 10));
    std::vector<std::string> events;
    UIView::animateWithDuration(0.2, [&] {
        UIView::setAnimationDelay(0.1);
        view->setAlpha(1);
    }, [&](bool done) { events.push_back(done ? "delayed YES" : "delayed NO"); });
    EXPECT_EQ(UIView::recordedAnimations().back().delay, 0.1);
    clock.advance(0.25);
    drainMain();
    EXPECT_TRUE(events.empty());
    clock.advance(0.05);
    drainMain();
    EXPECT_EQ(events, std::vector<std::string>{"delayed YES"});

    events.clear();
    UIView::animateWithDuration(0.3, [&] { view->setAlpha(0.7); }, [&](bool done) { events.push_back(done ? "in YES" : "in NO"); });
    UIView::animateWithDuration(0.3, [&] {
        view->setAlpha(0);
        view->setCenter({1, 1});
    }, [&](bool done) { events.push_back(done ? "out YES" : "out NO"); });
    drainMain();
    EXPECT_EQ(events, std::vector<std::string>{"in NO"});
    // Partly overtaken: on time, not finished.
    UIView::animateWithDuration(0.1, [&] { view->setCenter({2, 2}); }, nullptr);
    clock.advance(0.3);
    drainMain();
    EXPECT_EQ(events, (std::vector<std::string>{"in NO", "out NO"}));
}
