#include "platform/testsupport/RunLoopSupport.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIView.h"
#include "platform/uikit/UIViewController.h"
#include "platform/uikit/UIWindow.h"

#include <gtest/gtest.h>

TEST(UIViewAnimation, ModelValuesChangeAtOnceAndTheCompletionWaitsForDelayPlusDuration) {
    ManualClock clock;
    UIView::clearRecordedAnimations();
    auto view = std::make_shared<UIView>(CGRectMake(0, 0, 10, 10));
    std::vector<bool> finished;
    UIView::animateWithDuration(0.3, 0.2, UIViewAnimationOptionCurveEaseOut, [&] { view->setAlpha(0); },
                                [&](bool done) { finished.push_back(done); });
    EXPECT_EQ(view->alpha(), 0);
    drainMain();
    EXPECT_TRUE(finished.empty());
    clock.advance(0.4);
    EXPECT_TRUE(finished.empty());
    clock.advance(0.1);
    EXPECT_EQ(finished, std::vector<bool>{true});

    UIView::animateWithDuration(1.0, [&] { view->setCenter({50, 50}); });
    auto records = UIView::recordedAnimations();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].duration, 0.3);
    EXPECT_EQ(records[0].delay, 0.2);
    EXPECT_EQ(records[0].options, UIViewAnimationOptionCurveEaseOut);
    EXPECT_TRUE(records[0].hasCompletion);
    EXPECT_FALSE(records[1].hasCompletion);
    EXPECT_EQ(view->center(), CGPointMake(50, 50));
}

TEST(UIViewControllerPresentation, CompletionsRunOnTheMainLoopAfterTheChange) {
    UIApplication::sharedApplication()->reset();
    auto window = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 568));
    auto base = std::make_shared<UIViewController>();
    window->setRootViewController(base);
    window->makeKeyAndVisible();
    auto modal = std::make_shared<UIViewController>();
    std::vector<std::string> done;
    base->presentViewControllerAnimatedCompletion(modal, true, [&] { done.push_back("presented"); });
    EXPECT_TRUE(done.empty());
    EXPECT_TRUE(runMainUntil([&] { return !done.empty(); }));
    modal->dismissViewControllerAnimatedCompletion(true, [&] { done.push_back("dismissed"); });
    EXPECT_TRUE(runMainUntil([&] { return done.size() == 2; }));
    EXPECT_EQ(done, (std::vector<std::string>{"presented", "dismissed"}));
    UIApplication::sharedApplication()->reset();
}
