// The in-app store controllers over the store page stand-in. The shared instances are made on
// first use, once per process: each test starts its own.

#include "sdk/adviews/VuderuSKAppstoreController.h"

#include "platform/device/Driver.h"
#include "platform/foundation/NSNotificationCenter.h"
#include "platform/system/DeviceProfile.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/testsupport/RunLoopSupport.h"
#include "platform/uikit/UIApplication.h"
#include "sdk/analytics/VuderuUtil.h"

#include <gtest/gtest.h>

namespace {

using SKAppstoreControllerLines = std::vector<std::string>;

class StoreControllerTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        DeviceProfile::reset();
        UIApplication::sharedApplication()->reset();
        SKStoreProductViewController::reset();
        SKStoreProductViewController::registerClass();
        window = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 568));
        window->setRootViewController(root);
        window->makeKeyAndVisible();
        observer = std::make_shared<NSObject>();
        for (const char* name : {VuderuSKAppstoreDidLoad, VuderuSKAppstoreDidFinish, VuderuSKAppstoreDidFailToLoad})
            NSNotificationCenter::defaultCenter()->addObserver(observer, name, nullptr, [this](const std::shared_ptr<NSNotification>& n) {
                posted.push_back(n->name());
                if (onPost) onPost();
            });
    }
    void TearDown() override {
        NSNotificationCenter::defaultCenter()->removeObserver(observer);
        SKStoreProductViewController::unregisterClass();
        SKStoreProductViewController::reset();
        UIApplication::sharedApplication()->reset();
        DeviceTest::TearDown();
    }

    ManualClock clock;
    std::shared_ptr<UIViewController> root = std::make_shared<UIViewController>();
    std::shared_ptr<UIWindow> window;
    std::shared_ptr<NSObject> observer;
    SKAppstoreControllerLines posted;
    std::function<void()> onPost;
};

TEST_F(StoreControllerTest, PresentedOnceLoadedAndDidLoadAfterThePresentation) {
    auto store = VuderuSKAppstoreController::sharedInstance();
    store->openSKAppstoreOnViewController(Value("12345"), root);
    clock.advance(0.9);
    EXPECT_EQ(root->presentedViewController(), nullptr);
    clock.advance(0.1);
    EXPECT_EQ(root->presentedViewController(), store->skController());
    clock.advance(1);
    EXPECT_EQ(posted, SKAppstoreControllerLines{"VuderuSKAppstoreDidLoad"});
    Driver driver;
    auto screen = driver.screen();
    EXPECT_NE(screen.find("store: id 12345"), std::string::npos) << screen;
    EXPECT_EQ(driver.execute("tap Done"), "");
    clock.advance(1);
    EXPECT_EQ(posted, (SKAppstoreControllerLines{"VuderuSKAppstoreDidLoad", "VuderuSKAppstoreDidFinish"}));
    EXPECT_EQ(root->presentedViewController(), nullptr);
}

TEST_F(StoreControllerTest, ItemIdsGoAsSixtyFourBitNumbers) {
    auto store = VuderuSKAppstoreController::sharedInstance();
    struct Case {
        Value id;
        long long sent;
    } cases[] = {{Value("12345"), 12345}, {Value(6443123456LL), 6443123456LL}, {Value("6443123456"), 6443123456LL}};
    for (const auto& c : cases) store->openSKAppstoreOnViewController(c.id, root);
    auto loads = SKStoreProductViewController::recordedLoads();
    ASSERT_EQ(loads.size(), 3u);
    for (std::size_t i = 0; i < loads.size(); ++i) {
        SCOPED_TRACE(i);
        const Value& sent = loads[i].at("id");
        EXPECT_TRUE(sent.isInteger());
        EXPECT_EQ(sent.integerValue(), cases[i].sent);
    }
}

TEST_F(StoreControllerTest, ALoadAfterEightSecondsFailsOnceAndShowsNothing) {
    SKStoreProductViewController::setAnswer(SKStoreProductViewController::Answer::Ok, 9);
    VuderuUtil::setLogLevel(2);
    auto store = VuderuSKAppstoreController::sharedInstance();
    store->openSKAppstoreOnViewController(Value(42), root);
    clock.advance(7.9);
    EXPECT_TRUE(posted.empty());
    clock.advance(0.1);
    EXPECT_EQ(posted, SKAppstoreControllerLines{"VuderuSKAppstoreDidFailToLoad"});
    clock.advance(2);
    VuderuUtil::setLogLevel(1);
    EXPECT_EQ(posted, SKAppstoreControllerLines{"VuderuSKAppstoreDidFailToLoad"});
    EXPECT_EQ(root->presentedViewController(), nullptr);
    auto lines = log_->lines();
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](auto& l) { return l.find("Loading of app id 42 timed out") != std::string::npos; }));
}

TEST_F(StoreControllerTest, AFailedLoadOrABusyPresenterFails) {
    auto store = VuderuSKAppstoreController::sharedInstance();
    SKStoreProductViewController::setAnswer(SKStoreProductViewController::Answer::Fail);
    store->openSKAppstoreOnViewController(Value(1), root);
    clock.advance(1);
    EXPECT_EQ(posted, SKAppstoreControllerLines{"VuderuSKAppstoreDidFailToLoad"});

    // A presenter that already shows a controller: the ad hears of the failure and falls back.
    SKStoreProductViewController::setAnswer(SKStoreProductViewController::Answer::Ok);
    auto other = std::make_shared<UIViewController>();
    root->presentViewControllerAnimatedCompletion(other, false, nullptr);
    posted.clear();
    store->openSKAppstoreOnViewController(Value(2), root);
    clock.advance(1);
    EXPECT_EQ(posted, SKAppstoreControllerLines{"VuderuSKAppstoreDidFailToLoad"});
    EXPECT_EQ(root->presentedViewController(), other);
}

TEST_F(StoreControllerTest, TheWindowIsHiddenBeforeDidFinish) {
    auto store = VuderuSKAppstoreWindowsBasedController::sharedInstance();
    EXPECT_TRUE(store->window()->isHidden());
    EXPECT_EQ(store->window()->windowLevel(), UIWindowLevelStatusBar + 2);
    store->openSKAppstore(Value("6443123456"));
    clock.advance(2);
    EXPECT_FALSE(store->window()->isHidden());
    EXPECT_EQ(store->presentedViewController(), store->skController());
    EXPECT_EQ(posted, SKAppstoreControllerLines{"VuderuSKAppstoreDidLoad"});
    bool hiddenWhenFinished = false;
    onPost = [&] { hiddenWhenFinished = store->window()->isHidden(); };
    store->skController()->done();
    clock.advance(1);
    EXPECT_EQ(posted, (SKAppstoreControllerLines{"VuderuSKAppstoreDidLoad", "VuderuSKAppstoreDidFinish"}));
    EXPECT_TRUE(hiddenWhenFinished);
}

// The SDK reads the system version once per process: one version per test.
struct RotationCase {
    const char* version;
    bool rotates;
};
class StoreRotationTest : public StoreControllerTest, public ::testing::WithParamInterface<RotationCase> {};

TEST_P(StoreRotationTest, ThePageRotatesBeforeSystemSevenOnly) {
    DeviceProfile::update([&](DeviceProfile& p) { p.systemVersion = GetParam().version; });
    auto modal = VuderuSKAppstoreController::sharedInstance();
    auto windowed = VuderuSKAppstoreWindowsBasedController::sharedInstance();
    EXPECT_EQ(modal->skController()->className(), "VuderuSKStoreProductViewControllerSubClass");
    EXPECT_EQ(windowed->skController()->className(), "VuderuSKStoreProductViewWindowControllerSubClass");
    EXPECT_TRUE(modal->skController()->prefersStatusBarHidden());
    EXPECT_FALSE(windowed->skController()->prefersStatusBarHidden());
    EXPECT_EQ(modal->skController()->shouldAutorotate(), GetParam().rotates);
    EXPECT_EQ(windowed->skController()->shouldAutorotate(), GetParam().rotates);
}

INSTANTIATE_TEST_SUITE_P(Versions, StoreRotationTest,
                         ::testing::Values(RotationCase{"6.1", true}, RotationCase{"7.0", false}, RotationCase{"8.0", false}),
                         [](const auto& info) { return std::string(info.param.rotates ? "Before7_" : "From7_") + std::to_string(info.index); });

TEST_F(StoreControllerTest, WithoutTheSubclassNothingOpens) {
    SKStoreProductViewController::setSubclassingFails(true);
    VuderuUtil::setLogLevel(2);
    auto store = VuderuSKAppstoreController::sharedInstance();
    EXPECT_EQ(store->skController(), nullptr);
    store->openSKAppstoreOnViewController(Value(1), root);
    VuderuUtil::setLogLevel(1);
    EXPECT_EQ(posted, SKAppstoreControllerLines{"VuderuSKAppstoreDidFailToLoad"});
    EXPECT_EQ(log_->lines(), SKAppstoreControllerLines{"-[VuderuSKAppstoreController openSKAppstore:onViewController:]: in-app controller is not intiialized"});
    EXPECT_TRUE(SKStoreProductViewController::recordedLoads().empty());
}

TEST(StoreDriver, StoreCommandSetsTheAnswer) {
    Driver driver;
    struct Case {
        const char* line;
        const char* said;
    } cases[] = {{"store ok", ""}, {"store ok 3", ""}, {"store fail", ""}, {"store never", ""},
                 {"store maybe", "error: store takes ok [SECONDS], fail or never\n"},
                 {"store ok soon", "error: store takes ok [SECONDS], fail or never\n"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(driver.execute(c.line), c.said);
    }
    SKStoreProductViewController::reset();
}

} // namespace
