#include "platform/foundation/NSLog.h"
#include "platform/foundation/NSObjCRuntime.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIWindow.h"
#include "sdk/analytics/VuderuUtil.h"

#include <gtest/gtest.h>

namespace {

constexpr const char* kActiveLine = "VuderuSession: The App is not active";

class WindowFactsTest : public ::testing::Test {
protected:
    void SetUp() override {
        UIApplication::sharedApplication()->reset();
        window_ = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 480));
        window_->makeKeyAndVisible();
    }
    void TearDown() override {
        UIApplication::sharedApplication()->reset();
        VuderuUtil::setLogLevel(1);
    }
    std::shared_ptr<UIWindow> window_;
};

TEST_F(WindowFactsTest, TheAppIsActiveUnlessInactiveOrInTheBackground) {
    auto app = UIApplication::sharedApplication();
    const std::pair<UIApplicationState, bool> cases[] = {
        {UIApplicationStateActive, true},
        {UIApplicationStateInactive, false},
        {UIApplicationStateBackground, false},
    };
    for (int level : {1, 2}) {
        VuderuUtil::setLogLevel(level);
        for (const auto& [state, active] : cases) {
            NSLogCapture log;
            app->setApplicationState(state);
            EXPECT_EQ(VuderuUtil::theAppIsActive(), active) << state;
            EXPECT_EQ(log.count(kActiveLine), !active && level > 1 ? 1u : 0u) << state << " at level " << level;
        }
    }
}

TEST_F(WindowFactsTest, AViewIsVisibleWhenItsCentreIsInTheKeyWindow) {
    struct Case {
        const char* name;
        CGRect frame;            // in its parent, a 320 by 480 view at (0, 0) of the key window
        bool hidden;
        CGFloat alpha;
        bool parentHidden;
        bool visible;
    };
    const Case cases[] = {
        {"inside", CGRectMake(10, 10, 100, 50), false, 1, false, true},
        {"hidden", CGRectMake(10, 10, 100, 50), true, 1, false, false},
        {"half off to the right, centre inside", CGRectMake(260, 10, 100, 50), false, 1, false, true},
        {"centre off the bottom", CGRectMake(10, 450, 100, 80), false, 1, false, false},
        {"centre off the left", CGRectMake(-60, 10, 100, 50), false, 1, false, false},
        {"centre on the left edge", CGRectMake(-50, 10, 100, 50), false, 1, false, true},
        {"centre on the right edge", CGRectMake(270, 10, 100, 50), false, 1, false, false},
        // Only the view's own hidden flag counts.
        {"transparent", CGRectMake(10, 10, 100, 50), false, 0, false, true},
        {"in a hidden parent", CGRectMake(10, 10, 100, 50), false, 1, true, true},
    };
    for (const Case& c : cases) {
        auto parent = std::make_shared<UIView>(CGRectMake(0, 0, 320, 480));
        auto view = std::make_shared<UIView>(c.frame);
        parent->addSubview(view);
        window_->addSubview(parent);
        view->setHidden(c.hidden);
        view->setAlpha(c.alpha);
        parent->setHidden(c.parentHidden);
        EXPECT_EQ(VuderuUtil::viewIsVisible(view), c.visible) << c.name;
        parent->removeFromSuperview();
    }
}

TEST_F(WindowFactsTest, AViewIsVisibleOnlyInTheKeyWindow) {
    auto view = std::make_shared<UIView>(CGRectMake(10, 10, 100, 50));
    EXPECT_FALSE(VuderuUtil::viewIsVisible(nullptr));
    // Not in any window.
    EXPECT_FALSE(VuderuUtil::viewIsVisible(view));

    // The centre is converted through the parents' positions into the window.
    auto scroller = std::make_shared<UIView>(CGRectMake(0, 0, 320, 480));
    scroller->setBounds(CGRectMake(0, 400, 320, 480));
    scroller->addSubview(view);
    window_->addSubview(scroller);
    EXPECT_FALSE(VuderuUtil::viewIsVisible(view));
    scroller->setBounds(CGRectMake(0, 0, 320, 480));
    EXPECT_TRUE(VuderuUtil::viewIsVisible(view));

    // Another window is not the key window.
    auto other = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 480));
    other->addSubview(scroller);
    EXPECT_FALSE(VuderuUtil::viewIsVisible(view));
    other->makeKeyAndVisible();
    EXPECT_TRUE(VuderuUtil::viewIsVisible(view));

    // An alert takes the key window from the app's window while it shows.
    auto alert = UIAlertView::initWithTitle("Alert", "", nullptr, "OK");
    alert->show();
    EXPECT_FALSE(VuderuUtil::viewIsVisible(view));
    alert->clickButtonAtIndex(0);
    EXPECT_TRUE(VuderuUtil::viewIsVisible(view));
}

// A window of another class name, as the system's older alert window.
class NamedWindow : public UIWindow {
public:
    NamedWindow(std::string name) : UIWindow(CGRectMake(0, 0, 320, 480)), name_(std::move(name)) {}
    std::string className() const override { return name_; }

private:
    std::string name_;
};

TEST_F(WindowFactsTest, TheKeyWindowIsAnAlertWhileAnAlertShows) {
    EXPECT_FALSE(VuderuUtil::isKeyWindowAlertView());
    auto alert = UIAlertView::initWithTitle("Alert", "", nullptr, "OK");
    alert->show();
    EXPECT_TRUE(VuderuUtil::isKeyWindowAlertView());
    alert->clickButtonAtIndex(0);
    EXPECT_FALSE(VuderuUtil::isKeyWindowAlertView());

    UIApplication::sharedApplication()->reset();
    EXPECT_FALSE(VuderuUtil::isKeyWindowAlertView());

    // The older system's alert window counts by its name, when that class exists.
    auto older = std::make_shared<NamedWindow>("_UIAlertOverlayWindow");
    older->makeKeyAndVisible();
    EXPECT_FALSE(VuderuUtil::isKeyWindowAlertView());
    NSRegisterClass("_UIAlertOverlayWindow", std::make_shared<NSObject>());
    EXPECT_TRUE(VuderuUtil::isKeyWindowAlertView());
    std::make_shared<NamedWindow>("UIAlertOverlayWindowLookalike")->makeKeyAndVisible();
    EXPECT_FALSE(VuderuUtil::isKeyWindowAlertView());
    NSUnregisterClass("_UIAlertOverlayWindow");
}

// An application delegate that tells its supported orientations, or does not implement that.
class OrientationDelegate : public UIApplicationDelegate {
public:
    explicit OrientationDelegate(std::optional<unsigned long> mask) : mask_(mask) {}
    bool applicationDidFinishLaunchingWithOptions(UIApplication&, const Value&) override { return true; }
    std::optional<unsigned long> applicationSupportedInterfaceOrientationsForWindow(UIApplication&,
                                                                                   const std::shared_ptr<UIWindow>& window) override {
        asked_ = window;
        return mask_;
    }
    std::optional<unsigned long> mask_;
    std::shared_ptr<UIWindow> asked_;
};

TEST_F(WindowFactsTest, PortraitSupportComesFromTheInfoListThenTheDelegate) {
    const Value missing;
    const Value empty{Value::Array{}};
    const Value portrait{Value::Array{Value("UIInterfaceOrientationLandscapeLeft"), Value("UIInterfaceOrientationPortrait")}};
    const Value upsideDown{Value::Array{Value("UIInterfaceOrientationPortraitUpsideDown")}};
    const Value landscape{Value::Array{Value("UIInterfaceOrientationLandscapeLeft"), Value("UIInterfaceOrientationLandscapeRight")}};
    constexpr unsigned long kLandscape = UIInterfaceOrientationMaskLandscape;
    constexpr unsigned long kUpsideDown = UIInterfaceOrientationMaskPortraitUpsideDown;
    struct Case {
        const char* name;
        const Value& list;
        bool hasDelegate;
        std::optional<unsigned long> mask;
        bool supported;
    };
    const Case cases[] = {
        {"portrait listed", portrait, true, kLandscape, true},
        {"upside down listed", upsideDown, false, std::nullopt, true},
        {"landscape listed, no delegate", landscape, false, std::nullopt, false},
        {"landscape listed, delegate without the method", landscape, true, std::nullopt, false},
        {"landscape listed, delegate allows upside down", landscape, true, kUpsideDown, true},
        {"landscape listed, delegate allows all", landscape, true, UIInterfaceOrientationMaskAll, true},
        {"nothing listed, no delegate", missing, false, std::nullopt, true},
        {"empty list, delegate without the method", empty, true, std::nullopt, true},
        {"nothing listed, delegate says landscape", missing, true, kLandscape, false},
        {"empty list, delegate says portrait", empty, true, UIInterfaceOrientationMaskPortrait, true},
    };
    auto app = UIApplication::sharedApplication();
    for (const Case& c : cases) {
        auto delegate = c.hasDelegate ? std::make_shared<OrientationDelegate>(c.mask) : nullptr;
        app->setDelegate(delegate);
        EXPECT_EQ(VuderuUtil::isPortaitOrientationSupported(c.list, window_), c.supported) << c.name;
    }

    // The delegate is asked about the window in question.
    auto delegate = std::make_shared<OrientationDelegate>(kLandscape);
    app->setDelegate(delegate);
    EXPECT_FALSE(VuderuUtil::isPortaitOrientationSupported(landscape, window_));
    EXPECT_EQ(delegate->asked_, window_);
    // The app's own bundle lists portrait among its orientations: the delegate is not needed.
    EXPECT_TRUE(VuderuUtil::isPortaitOrientationSupportedForWindow(window_));
    app->setDelegate(nullptr);
    EXPECT_TRUE(VuderuUtil::isPortaitOrientationSupportedForWindow(window_));
}

} // namespace
