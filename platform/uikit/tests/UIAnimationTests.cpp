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

namespace {
// What an animation delegate heard of its animations' ends.
struct StopLog : NSObject {
    struct Stop {
        std::string id;
        bool finished;
        void* context;
    };
    std::vector<Stop> stops;
    static void record(NSObject& self, const std::string& id, bool finished, void* context) {
        static_cast<StopLog&>(self).stops.push_back({id, finished, context});
    }
};

void beginTimed(const std::string& id, double duration, const std::shared_ptr<StopLog>& log, void* context = nullptr) {
    UIView::beginAnimationsContext(id, context);
    UIView::setAnimationDuration(duration);
    UIView::setAnimationDelegate(log);
    UIView::setAnimationDidStopSelector(&StopLog::record);
}
} // namespace

TEST(UIViewAnimation, BeginCommitChangesAtOnceAndReportsTheIdAfterTheDuration) {
    ManualClock clock;
    UIView::clearRecordedAnimations();
    auto view = std::make_shared<UIView>(CGRectMake(0, 0, 10, 10));
    auto log = std::make_shared<StopLog>();
    int context = 0;
    beginTimed("grow", 0.5, log, &context);
    view->setBounds(CGRectMake(0, 0, 40, 40));
    view->setCenter({100, 100});
    UIView::commitAnimations();
    EXPECT_EQ(view->frame(), CGRectMake(80, 80, 40, 40));

    clock.advance(0.4);
    EXPECT_TRUE(log->stops.empty());
    clock.advance(0.1);
    ASSERT_EQ(log->stops.size(), 1u);
    EXPECT_EQ(log->stops[0].id, "grow");
    EXPECT_TRUE(log->stops[0].finished);
    EXPECT_EQ(log->stops[0].context, &context);

    auto records = UIView::recordedAnimations();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].animationID, "grow");
    EXPECT_EQ(records[0].duration, 0.5);
    EXPECT_TRUE(records[0].hasCompletion);
}

TEST(UIViewAnimation, BeginCommitTakenOverOrOrphanedAnimations) {
    ManualClock clock;
    auto view = std::make_shared<UIView>(CGRectMake(0, 0, 10, 10));
    auto log = std::make_shared<StopLog>();

    // A later animation of the same property ends the earlier one unfinished, at the next pass.
    beginTimed("first", 1.0, log);
    view->setAlpha(0.5);
    UIView::commitAnimations();
    beginTimed("second", 1.0, log);
    view->setAlpha(0);
    UIView::commitAnimations();
    drainMain();
    ASSERT_EQ(log->stops.size(), 1u);
    EXPECT_EQ(log->stops[0].id, "first");
    EXPECT_FALSE(log->stops[0].finished);
    clock.advance(1.0);
    ASSERT_EQ(log->stops.size(), 2u);
    EXPECT_EQ(log->stops[1].id, "second");
    EXPECT_TRUE(log->stops[1].finished);

    // A delegate gone before the end hears nothing and is not kept alive by the animation.
    auto gone = std::make_shared<StopLog>();
    std::weak_ptr<StopLog> watch = gone;
    beginTimed("orphan", 0.2, gone);
    view->setCenter({3, 3});
    UIView::commitAnimations();
    gone.reset();
    EXPECT_TRUE(watch.expired());
    clock.advance(0.2);

    // Set calls outside an animation change nothing, and a stray commit is harmless.
    UIView::clearRecordedAnimations();
    UIView::setAnimationDuration(9);
    UIView::commitAnimations();
    UIView::beginAnimationsContext("plain", nullptr);
    UIView::commitAnimations();
    auto records = UIView::recordedAnimations();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].duration, 0);
    EXPECT_FALSE(records[0].hasCompletion);
    EXPECT_EQ(log->stops.size(), 2u);
}
