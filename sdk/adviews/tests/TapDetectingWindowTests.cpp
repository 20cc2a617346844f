#include "sdk/adviews/tests/TakeoverAdFixture.h"

#include "platform/foundation/NSNotificationCenter.h"
#include "platform/uikit/UIFingers.h"
#include "sdk/adviews/TapDetectingWindow.h"

namespace {
// An observer that notes every tap forwarded to it.
class TapRecorder : public NSObject, public TapDetectingWindowDelegate {
public:
    std::vector<CGPoint> taps;
    bool userDidTapView(CGPoint point) override {
        taps.push_back(point);
        return true;
    }
};

class TapWindowTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        UIApplication::sharedApplication()->reset();
        observer = std::make_shared<TapRecorder>();
        observed = std::make_shared<UIView>(CGRectMake(20, 100, 200, 200));
        inner = std::make_shared<UIView>(CGRectMake(50, 50, 50, 50));
        observed->addSubview(inner);
        window = TapDetectingWindow::initWithViewToObserverAndDelegate(CGRectMake(0, 0, 320, 568), observed, observer);
        window->addSubview(observed);
        window->makeKeyAndVisible();
    }
    void TearDown() override {
        window.reset();
        UIApplication::sharedApplication()->reset();
        DeviceTest::TearDown();
    }

    ManualClock clock;
    Driver driver;
    std::shared_ptr<TapRecorder> observer;
    std::shared_ptr<UIView> observed, inner;
    std::shared_ptr<TapDetectingWindow> window;
};
} // namespace

TEST_F(TapWindowTest, ASingleTapIsForwardedHalfASecondAfterItEndsInTheObservedViewsCoordinates) {
    // Plain views take no tap, so the driver says nothing took it; the window watched it all the same.
    driver.execute("touch 90,170");
    clock.advance(0.49);
    EXPECT_TRUE(observer->taps.empty());
    clock.advance(0.01);
    EXPECT_EQ(observer->taps, std::vector<CGPoint>{CGPointMake(70, 70)}) << "a tap on a subview counts, at its point in the observed view";
    clock.advance(5);
    EXPECT_EQ(observer->taps.size(), 1u);
}

TEST_F(TapWindowTest, DoubleTapsTwoFingersUnendedTouchesAndTapsElsewhereForwardNothing) {
    struct Case {
        const char* name;
        std::function<void()> act;
    } cases[] = {
        {"double tap", [&] { driver.execute("touch 90,170"), clock.advance(0.2), driver.execute("touch 90,170"); }},
        {"two fingers", [&] {
             UIFingers fingers(window);
             fingers.down({CGPointMake(60, 150), CGPointMake(120, 200)});
             fingers.up();
         }},
        {"not ended", [&] {
             UIFingers fingers(window);
             fingers.down({CGPointMake(60, 150)});
             fingers.move({CGPointMake(62, 150)});
             fingers.cancel();
         }},
        {"outside the observed view", [&] { driver.execute("touch 250,500"); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.act();
        clock.advance(1);
        EXPECT_TRUE(observer->taps.empty());
    }
}

// The forward waits on neither the observer nor the window: either may go in the meantime.
TEST_F(TapWindowTest, AForwardWhoseObserverOrWindowWentMeanwhileDoesNothing) {
    driver.execute("touch 90,170");
    std::weak_ptr<TapRecorder> gone = observer;
    observer.reset();
    clock.advance(1);
    EXPECT_TRUE(gone.expired());

    auto recorder = std::make_shared<TapRecorder>();
    window->setControllerThatObserves(recorder);
    driver.execute("touch 90,170 1");
    window->setHidden(true);
    window.reset();
    UIApplication::sharedApplication()->reset();
    clock.advance(1);
    EXPECT_TRUE(recorder->taps.empty());
}

TEST_F(TapWindowTest, EveryEndedTouchIsAnnounced) {
    std::vector<std::shared_ptr<UITouch>> announced;
    auto token = NSNotificationCenter::defaultCenter()->addObserverForName(kVuderuTapWindowTouchEvent, nullptr, nullptr, [&](auto& n) {
        EXPECT_FALSE(n->object().isObject());
        announced.push_back(n->userInfo().at("touch").template objectAs<UITouch>());
    });
    driver.execute("touch 250,500");
    driver.execute("touch 90,170");
    NSNotificationCenter::defaultCenter()->removeObserver(token);
    ASSERT_EQ(announced.size(), 2u);
    EXPECT_EQ(announced[0]->locationInView(nullptr), CGPointMake(250, 500));
    EXPECT_EQ(announced[1]->phase(), UITouchPhaseEnded);
}
