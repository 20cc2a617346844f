#include "app/TDAppDelegate.h"
#include "app/TDWelcome.h"
#include "app/support/VTVersionTracker.h"
#include "platform/foundation/NSUserDefaults.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/testsupport/RunLoopSupport.h"

namespace {
class FirstLaunchTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        UIApplication::sharedApplication()->reset();
    }
    void TearDown() override {
        if (auto tracker = VTVersionTracker::tracker()) tracker->stopTracking();
        UIApplication::sharedApplication()->reset();
        DeviceTest::TearDown();
    }

    std::shared_ptr<TDAppDelegate> launch() {
        auto app = UIApplication::sharedApplication();
        auto delegate = std::make_shared<TDAppDelegate>();
        app->setDelegate(delegate);
        EXPECT_TRUE(delegate->applicationDidFinishLaunchingWithOptions(*app, Value()));
        drainMain();
        return delegate;
    }

    static std::shared_ptr<TDWelcome> welcomeOf(const std::shared_ptr<TDAppDelegate>& delegate) {
        return std::dynamic_pointer_cast<TDWelcome>(delegate->tabBarController()->presentedViewController());
    }

    // What the defaults file says, read afresh.
    static Value storedIntroShow() {
        NSUserDefaults::resetStandardUserDefaults();
        return NSUserDefaults::standardUserDefaults()->objectForKey(TDAppDelegate::kIntroShowKey);
    }
};

TEST_F(FirstLaunchTest, AFreshDeviceShowsTheWelcomeOnceAndRecordsIt) {
    auto delegate = launch();
    auto welcome = welcomeOf(delegate);
    ASSERT_TRUE(welcome);
    auto introduction = welcome->introductionView();
    ASSERT_TRUE(introduction);
    EXPECT_EQ(introduction->superview(), welcome->view());
    EXPECT_EQ(introduction->delegate(), welcome);
    EXPECT_EQ(introduction->HeaderLabel()->text(), "Tandrel");
    ASSERT_EQ(introduction->panels().size(), 2u);
    EXPECT_EQ(introduction->panels()[0]->Title(), "Thanks for purchasing Tandrel!");
    EXPECT_EQ(introduction->panels()[1]->Title(), "Media Sharing!");
    EXPECT_EQ(introduction->panels()[1]->Description(),
              "You can even share any type of media (Videos, Photos, Songs) from your native iOS libraries!");
    EXPECT_TRUE(introduction->BackgroundImageView()->image());
    EXPECT_EQ(storedIntroShow(), Value("Done"));

    UIApplication::sharedApplication()->reset();
    auto second = launch();
    EXPECT_FALSE(second->tabBarController()->presentedViewController());
}

TEST_F(FirstLaunchTest, AnyStoredValueSuppressesTheWelcome) {
    // Whatever the key holds, even a value the app never writes, counts as shown.
    for (const Value& stored : {Value("Done"), Value(false), Value(0LL), Value("")}) {
        SCOPED_TRACE(stored.description());
        NSUserDefaults::standardUserDefaults()->setObjectForKey(stored, TDAppDelegate::kIntroShowKey);
        UIApplication::sharedApplication()->reset();
        auto delegate = launch();
        EXPECT_FALSE(delegate->tabBarController()->presentedViewController());
        EXPECT_EQ(storedIntroShow(), stored);
    }
}

TEST_F(FirstLaunchTest, SkipAndASwipePastTheLastPanelBothDismiss) {
    for (std::int32_t type : {OBIntroductionDelegate::kSkipped, OBIntroductionDelegate::kSwipedPastLastPage}) {
        SCOPED_TRACE(type);
        NSUserDefaults::standardUserDefaults()->removeObjectForKey(TDAppDelegate::kIntroShowKey);
        UIApplication::sharedApplication()->reset();
        auto delegate = launch();
        auto welcome = welcomeOf(delegate);
        ASSERT_TRUE(welcome);
        welcome->introductionDidFinishWithType(type);
        EXPECT_FALSE(delegate->tabBarController()->presentedViewController());
        EXPECT_FALSE(welcome->view()->superview());
    }
}

TEST_F(FirstLaunchTest, PanelPicturesAreDrawnAtSevenHundredPointsWhateverTheirSize) {
    TDWelcome welcome;
    for (const char* name : {"Drop", "MediaDraw"}) {
        auto image = UIImage::imageNamed(name);
        ASSERT_TRUE(image) << name;
        auto drawn = welcome.imageWithImageScaledToSize(image, CGSizeMake(TDWelcome::kPanelImageSide, TDWelcome::kPanelImageSide));
        EXPECT_EQ(drawn->size().width, 700);
        EXPECT_EQ(drawn->size().height, 700);
    }
}
} // namespace
