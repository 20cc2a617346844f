// Taking the user out of the ad: link results, URLs opened with the application or as App Store
// items, and the closing of external views.

#include "sdk/adviews/tests/AdSpaceViewFixture.h"

#include "platform/foundation/NSNotificationCenter.h"
#include "platform/foundation/NSObjCRuntime.h"
#include "platform/testsupport/RunLoopSupport.h"
#include "platform/uikit/SKStoreProductViewController.h"
#include "platform/uikit/UIAlertView.h"
#include "sdk/adviews/VuderuAdFullscreenController.h"
#include "sdk/adviews/VuderuSKAppstoreController.h"

namespace {

using AdLinksCalls = std::vector<std::string>;

std::vector<std::string> openedURLs() {
    std::vector<std::string> urls;
    for (const auto& url : UIApplication::sharedApplication()->openedURLs()) urls.push_back(url->absoluteString());
    return urls;
}

// The page alert's message, or "" when none is up; the alert is dismissed.
std::string takePageAlert() {
    auto alerts = UIApplication::sharedApplication()->visibleAlerts();
    if (alerts.empty()) return "";
    auto alert = alerts.back();
    alert->dismissWithClickedButtonIndexAnimated(0, false);
    return alert->message();
}

} // namespace

class AdSpaceViewLinksTest : public AdSpaceViewTest {
protected:
    VuderuAdPtr loadedAd(const std::string& format = "banner", std::vector<std::pair<std::string, std::vector<std::string>>> callbacks = {}) {
        unit = makeUnit({{.guid = "g", .binding = VuderuAdFrame::kNothing, .format = format, .callbacks = std::move(callbacks)},
                         {.guid = "g2", .binding = VuderuAdFrame::kNothing, .format = format}});
        auto ad = makeAd({unit});
        EXPECT_TRUE(ad->loadAdFrameError(unit->curAdFrame(), nullptr));
        return ad;
    }
    void withStoreKit() {
        SKStoreProductViewController::reset();
        SKStoreProductViewController::registerClass();
    }
    void TearDown() override {
        SKStoreProductViewController::unregisterClass();
        SKStoreProductViewController::reset();
        AdSpaceViewTest::TearDown();
    }
    VuderuAdUnitPtr unit;
};

TEST_F(AdSpaceViewLinksTest, LinkResultsByAction) {
    struct Case {
        bool processed;
        std::optional<std::string> url;
        std::string action;
        std::string event;  // the event the frame's log received, or ""
        std::string alert;  // the page alert's message, or ""
        std::string logLine;
    };
    const std::string pageAlert = "Could not load page. Please try again.";
    const Case cases[] = {
        {true, "http://127.0.0.1:9/land", "processRedirect", "userConfirmed", "", ""},
        {true, std::nullopt, "processRedirect", "", pageAlert, ""},
        {true, "http://127.0.0.1:9/land", "verifyUrl", "urlVerified", "", ""},
        {true, "http://127.0.0.1:9/land", "directOpen", "", "", ""},
        {true, std::nullopt, "directOpenNonAC", "", pageAlert, ""},
        {true, "http://127.0.0.1:9/land", "sendAdLogs", "", "", ""},
        {false, "http://127.0.0.1:9/land", "verifyUrl", "urlNotVerified", "", ""},
        {false, "http://127.0.0.1:9/land", "processRedirect", "", pageAlert, ""},
        {false, "http://127.0.0.1:9/land", "directOpen", "", "", ""},
    };
    VuderuUtil::setLogLevel(2);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.action + (c.processed ? " processed" : " not processed"));
        auto ad = loadedAd();
        ad->showLoadingView();
        const auto before = events("g").size();
        log_->clear();
        if (c.processed) ad->linkProcessedForAdAction(c.url, c.action);
        else ad->linkNotProcessedForAdAction(nullptr, c.action);
        const auto after = events("g");
        EXPECT_EQ(after.size() > before ? after.back() : std::string(), c.event);
        EXPECT_EQ(takePageAlert(), c.alert);
        EXPECT_TRUE(c.logLine.empty() || log_->contains(c.logLine));
        EXPECT_EQ(ad->loadingView() == nullptr, c.action == "processRedirect");
        // A direct open with a URL goes to the in-app browser.
        auto fullscreen = VuderuAdFullscreenController::instance();
        EXPECT_EQ(fullscreen->extAdViewController() != nullptr, c.processed && c.url && c.action == "directOpen");
        fullscreen->removeWindows();
    }
    VuderuUtil::setLogLevel(1);
}

TEST_F(AdSpaceViewLinksTest, AppIdsAreTakenFromTheFirstIdComponent) {
    const std::pair<const char*, std::optional<std::int64_t>> cases[] = {
        {"http://itunes.apple.com/us/app/name/id123", 123}, {"http://itunes.apple.com/app/ID9?mt=8", 9},
        {"http://itunes.apple.com/app/idx/id5", std::nullopt}, {"http://itunes.apple.com/app/name", std::nullopt},
        {"http://itunes.apple.com/id", std::nullopt},
    };
    for (const auto& [url, id] : cases) EXPECT_EQ(VuderuAd::parseAppIdFromItunesUrl(NSURL::URLWithString(url)), id) << url;
}

TEST_F(AdSpaceViewLinksTest, AppStoreLinksOpenWithTheAppWithoutStoreKit) {
    auto ad = loadedAd();
    Value::Dictionary params;
    EXPECT_TRUE(ad->openUrlInNativeBrowserParams(NSURL::URLWithString("http://itunes.apple.com/app/id123"), params));
    EXPECT_EQ(params["callback"].stringValue(), "willLeaveApplication");
    EXPECT_EQ(openedURLs(), (AdLinksCalls{"http://itunes.apple.com/app/id123"}));
    EXPECT_FALSE(ad->itunesURL());
}

TEST_F(AdSpaceViewLinksTest, WithStoreKitAppStoreItemsGoToTheStorePageById) {
    withStoreKit();
    VuderuUtil::setLogLevel(2);
    const std::pair<const char*, const char*> cases[] = {
        {"http://itunes.apple.com/app/name/id123", "123"}, {"https://itunes.apple.com/ID9", "9"},
        {"http://itunes.apple.com/app/idx", nullptr}, {"http://itunes.apple.com/app/name", nullptr},
    };
    for (const auto& [url, id] : cases) {
        SCOPED_TRACE(url);
        auto ad = loadedAd();
        UIApplication::sharedApplication()->reset();
        log_->clear();
        Value::Dictionary params;
        EXPECT_TRUE(ad->openUrlInNativeBrowserParams(NSURL::URLWithString(url), params));
        if (id) {
            EXPECT_TRUE(log_->contains(std::string("-[VuderuAd openSKAppstore:], app ID ") + id));
            EXPECT_TRUE(openedURLs().empty());
            ASSERT_TRUE(ad->itunesURL());
            EXPECT_EQ(ad->itunesURL()->absoluteString(), url);
        } else {
            EXPECT_EQ(openedURLs(), (AdLinksCalls{url}));
        }
    }
    VuderuUtil::setLogLevel(1);
}

TEST_F(AdSpaceViewLinksTest, URLsTheAppCannotOpenOrFailsToOpen) {
    auto ad = loadedAd();
    Value::Dictionary params;
    EXPECT_FALSE(ad->openUrlInNativeBrowserParams(NSURL::URLWithString("nosuch://example.com/x"), params));
    EXPECT_FALSE(params.count("callback"));
    EXPECT_TRUE(ad->openUrlInNativeBrowserParams(NSURL::URLWithString("nosuch://itunes.apple.com/app/x"), params));
    EXPECT_FALSE(params.count("callback"));
    EXPECT_EQ(events("g").back(), "launchUrlFailed");
    EXPECT_TRUE(openedURLs().empty());
}

TEST_F(AdSpaceViewLinksTest, AppURLsFromThePageOrTheBrowser) {
    auto ad = loadedAd();
    EXPECT_FALSE(ad->openAppUrlFromExWebView(NSURL::URLWithString("http://example.com/page"), false));
    EXPECT_TRUE(openedURLs().empty());
    EXPECT_TRUE(ad->openAppUrlFromExWebView(NSURL::URLWithString("http://itunes.apple.com/app/id1"), true));
    EXPECT_EQ(delegate->calls, (AdLinksCalls{"spaceWillLeaveApplication(space)"}));
    EXPECT_FALSE(unit->curAdFrame()->frameClicked());
    delegate->calls.clear();
    EXPECT_TRUE(ad->openAppUrlFromExWebView(NSURL::URLWithString("tel:5551234"), false));
    EXPECT_EQ(delegate->calls, (AdLinksCalls{"spaceDidReceiveClick(space)", "spaceWillLeaveApplication(space)"}));
    EXPECT_TRUE(unit->curAdFrame()->frameClicked());
    EXPECT_EQ(openedURLs(), (AdLinksCalls{"http://itunes.apple.com/app/id1", "tel:5551234"}));
}

TEST_F(AdSpaceViewLinksTest, ClosingAnExternalViewRemovesTheTakeoverUnlessAnActionMovedOn) {
    struct Case {
        std::vector<std::string> actions;
        bool force;
        bool removed;
    };
    const Case cases[] = {
        {{}, false, true},
        {{"verifyUrl?url=http%3A%2F%2Fexample.com"}, false, true},
        {{"nextFrame?offset=next"}, false, false},
        {{"nextAdUnit?delay=30"}, false, false},
        {{"nextFrame?offset=next"}, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.actions.empty() ? "none" : c.actions[0]);
        auto ad = loadedAd("takeover", {{"adWillClose", c.actions}});
        VuderuAdManager::instance()->registerAdAdSpaceName(ad, "space");
        ad->setActivelyRespondingToAction(true);
        const auto before = events("g").size();
        if (c.force) ad->externalAdViewDidCloseDismissAd(true);
        else ad->externalAdDidClose();
        EXPECT_EQ(VuderuAdManager::instance()->adForSpace("space") == nullptr, c.removed);
        const auto seen = events("g");
        ASSERT_GT(seen.size(), before);
        EXPECT_EQ(seen[before], "adWillClose");
        const auto shown = events(ad->adFrame()->adLogGUID());
        EXPECT_EQ(!shown.empty() && shown.back() == "adClosed", c.removed);
        EXPECT_EQ(ad->activelyRespondingToAction(), !c.force);
        VuderuAdManager::instance()->deRegisterAdForSpace("space");
    }
}

TEST_F(AdSpaceViewLinksTest, StorePageThatFailsFallsBackToTheApp) {
    withStoreKit();
    auto ad = loadedAd("takeover");
    Value::Dictionary params;
    ASSERT_TRUE(ad->openUrlInNativeBrowserParams(NSURL::URLWithString("itms-apps://itunes.apple.com/app/id77"), params));
    NSNotificationCenter::defaultCenter()->postNotificationName("VuderuSKAppstoreDidLoad");
    EXPECT_TRUE(ad->appStoreInvoked());
    NSNotificationCenter::defaultCenter()->postNotificationName("VuderuSKAppstoreDidFailToLoad");
    EXPECT_FALSE(ad->appStoreInvoked());
    EXPECT_EQ(openedURLs(), (AdLinksCalls{"itms-apps://itunes.apple.com/app/id77"}));
    EXPECT_FALSE(ad->itunesURL());
    EXPECT_EQ(delegate->calls,
              (AdLinksCalls{"spaceWillLeaveApplication(space)", "spaceWillDismiss(space,YES)", "spaceDidDismiss(space,YES)"}));
    NSNotificationCenter::defaultCenter()->postNotificationName("VuderuSKAppstoreDidLoad");
    EXPECT_FALSE(ad->appStoreInvoked());
}

// The store page opens from a window of its own for a banner and on the host's controller for an
// ad shown modally; the ad's loading cover stays until the page is on screen, and closing the page
// ends the ad's interest in the store's notices.
TEST_F(AdSpaceViewLinksTest, StorePageOpensByHowTheAdIsShownAndEndsWithDone) {
    withStoreKit();
    ManualClock clock;
    for (const bool modal : {false, true}) {
        SCOPED_TRACE(modal ? "modal" : "banner");
        unit = makeUnit({{.guid = "g", .binding = VuderuAdFrame::kNothing}});
        auto ad = VuderuAd::initWithViewContainerAdSpace(modal ? std::shared_ptr<NSObject>(root) : std::shared_ptr<NSObject>(host), "space");
        ad->addAdUnit(unit);
        ads.push_back(ad);
        ASSERT_TRUE(ad->loadAdFrameError(unit->curAdFrame(), nullptr));
        if (modal) host->addSubview(ad->webView());
        else ad->addSubview(ad->webView());
        Value::Dictionary params;
        ASSERT_TRUE(ad->openUrlInNativeBrowserParams(NSURL::URLWithString("https://itunes.apple.com/app/id6443123456"), params));
        EXPECT_TRUE(ad->loadingView());
        EXPECT_FALSE(ad->appStoreInvoked());
        clock.advance(SKStoreProductViewController::kDefaultAnswerSeconds);
        drainMain();
        EXPECT_FALSE(ad->loadingView());
        EXPECT_TRUE(ad->appStoreInvoked());
        ASSERT_FALSE(SKStoreProductViewController::recordedLoads().empty());
        EXPECT_EQ(SKStoreProductViewController::recordedLoads().back().begin()->second.integerValue(), 6443123456LL);

        std::shared_ptr<SKStoreProductViewController> page;
        if (modal) {
            page = VuderuSKAppstoreController::sharedInstance()->skController();
            EXPECT_EQ(root->presentedViewController(), page);
            VuderuSKAppstoreController::sharedInstance()->productViewControllerDidFinish(page);
        } else {
            auto windows = VuderuSKAppstoreWindowsBasedController::sharedInstance();
            page = windows->skController();
            ASSERT_TRUE(windows->window());
            VuderuSKAppstoreWindowsBasedController::sharedInstance()->productViewControllerDidFinish(page);
        }
        ASSERT_TRUE(page);
        drainMain();
        clock.advance(1);
        EXPECT_FALSE(ad->appStoreInvoked());
        EXPECT_TRUE(openedURLs().empty());
        // Once finished, a later notice (another ad's page) leaves this ad alone.
        NSNotificationCenter::defaultCenter()->postNotificationName(VuderuSKAppstoreDidLoad);
        EXPECT_FALSE(ad->appStoreInvoked());
        VuderuAdManager::instance()->deRegisterAdForSpace("space");
    }
}
