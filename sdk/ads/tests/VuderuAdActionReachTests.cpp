// Actions that reach beyond the view: the user's alert, fired tracking URLs, followed referrals,
// the frequency caps and the ad-unit cache.

#include "sdk/ads/tests/AdActionFixture.h"

#include "platform/device/Driver.h"
#include "platform/testsupport/LoopbackHTTPServer.h"
#include "platform/testsupport/RunLoopSupport.h"
#include "platform/foundation/PlatformClock.h"
#include "platform/net/URLLoader.h"
#include "platform/uikit/UIApplication.h"
#include "sdk/ads/VuderuAdCache.h"
#include "sdk/ads/VuderuAdConnectionDelegate.h"
#include "sdk/ads/VuderuAdManager.h"
#include "sdk/ads/VuderuAdUtil.h"
#include "sdk/ads/VuderuFreqCapInfo.h"
#include "sdk/analytics/VuderuUtil.h"

#include <gtest/gtest.h>

namespace {

using A = VuderuAdAction;
using Calls = std::vector<std::string>;

std::string encoded(const std::string& url) { return VuderuUtil::encodeToPercentEscapeString(url); }

VuderuAdEventPtr lastEvent(const std::string& guid) {
    auto log = AdLogManager::instance()->getAdLog(guid);
    return log && !log->adEvents().empty() ? log->adEvents().back() : nullptr;
}

} // namespace

TEST_F(AdActionTest, NotifyUserShowsAnAlertTheViewHearsAnswered) {
    UIApplication::sharedApplication()->reset();
    auto window = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 568));
    window->setRootViewController(std::make_shared<UIViewController>());
    window->makeKeyAndVisible();
    Driver driver;
    for (auto [action, press] : {std::pair{"notifyUser?message=Rate+us%3F", "No"}, std::pair{"notifyUser?message=Rate+us%3F", "Yes"}}) {
        SCOPED_TRACE(press);
        makeView();
        VuderuAdAction::Params params;
        EXPECT_EQ(execute(action, params), A::kNotifyUser);
        EXPECT_FALSE(status(params));
        ASSERT_TRUE(handler_->alert);
        ASSERT_TRUE(handler_->alert->window());
        EXPECT_EQ(handler_->alert->window()->windowLevel(), UIWindowLevelStatusBar + 1000);
        EXPECT_NE(driver.screen().find("\"Rate us?\" buttons: [Yes] [No]\n"), std::string::npos) << driver.screen();
        EXPECT_TRUE(driver.pressAlertButton(press));
        EXPECT_EQ(handler_->calls, (Calls{"setAlertView", std::string("alertClicked(") + press + ")"}));
        EXPECT_EQ(driver.screen().find("alert:"), std::string::npos);
    }
    makeView();
    VuderuAdAction::Params params;
    execute("notifyUser?message=Sure&confirmDisplay=Go&cancelDisplay=Stay", params);
    EXPECT_NE(driver.screen().find("\"Sure\" buttons: [Stay] [Go]\n"), std::string::npos);
    driver.pressAlertButton("Go");
    UIApplication::sharedApplication()->reset();
}

TEST_F(AdActionTest, SendUrlAsyncLeavesTheStatusInTheFramesLog) {
    LoopbackHTTPServer server;
    server.route("/ok", LoopbackHTTPServer::fixed(200, {}, "fine"));
    LoopbackHTTPServer closed;
    auto refused = closed.url("/gone");
    closed.stop();
    struct Case {
        std::string url;
        const char* response;
    };
    for (auto& c : {Case{server.url("/ok"), "200"}, Case{server.url("/missing"), "404"}, Case{refused, "0"}}) {
        SCOPED_TRACE(c.url);
        makeView();
        VuderuAdAction::Params params;
        EXPECT_EQ(execute("sendUrlAsync?url=" + encoded(c.url), params), A::kSendUrlAsync);
        EXPECT_EQ(status(params), "ok");
        ASSERT_TRUE(runMainUntil([] { return lastEvent("g1") != nullptr; }));
        auto event = lastEvent("g1");
        EXPECT_EQ(event->eventName(), "sendUrlStatusResult");
        EXPECT_TRUE(event->toBeSent());
        EXPECT_EQ(*event->paramMap(), (VuderuAdEvent::ParamMap{{"response", c.response}, {"url", c.url}, {"event", "clicked"}}));
    }
    for (auto& request : server.requests()) {
        EXPECT_EQ(request.method, "GET");
        EXPECT_EQ(request.header("Content-Type").value_or(""), "application/octet-stream");
        EXPECT_TRUE(request.body.empty());
    }
}

// A tracker that never answers holds a bounded number of requests: the loader runs its share of
// them, the rest wait without a connection, and past the SDK's bound further ones are dropped
// with one log line.
TEST_F(AdActionTest, TrackingRequestsToATrackerThatNeverAnswersAreBounded) {
    VuderuUtil::setLogLevel(2);
    LoopbackHTTPServer silent;
    silent.route("/t", LoopbackHTTPServer::silent());
    const std::size_t bound = A::kMaximumTrackingRequestsUnderWay;
    for (std::size_t i = 0; i < bound + 50; ++i) {
        A::asyncNotifyAdStateCompletedWithLogGuidForEventAsFireForget(silent.url("/t"), std::nullopt, "rendered", false);
    }
    EXPECT_EQ(A::trackingRequestsUnderWay(), bound);
    auto loader = URLLoader::forRunLoop(NSRunLoop::mainRunLoop());
    ASSERT_TRUE(runMainUntil([&] { return silent.requestCount() == URLLoader::kMaximumRunningPerHost; }));
    EXPECT_EQ(loader->runningCount(), URLLoader::kMaximumRunningPerHost);
    EXPECT_EQ(loader->waitingCount(), bound - URLLoader::kMaximumRunningPerHost);
    std::size_t drops = 0;
    for (const auto& line : log_->lines()) drops += line.find("tracking requests are under way") != std::string::npos ? 1 : 0;
    EXPECT_EQ(drops, 1u);
    // With the tracker gone every request ends, the waiting ones refused at once.
    silent.stop();
    ASSERT_TRUE(runMainUntil([] { return A::trackingRequestsUnderWay() == 0; }, 60));
    EXPECT_EQ(loader->waitingCount(), 0u);
    EXPECT_EQ(silent.requestCount(), URLLoader::kMaximumRunningPerHost);
}

TEST_F(AdActionTest, AFireAndForgetTrackingURLIsFetchedOnItsOwnThread) {
    // A reply cut short ends the thread with its one diagnostic line, so the test knows it is done.
    VuderuUtil::setLogLevel(2);
    LoopbackHTTPServer server;
    server.route("/ping", LoopbackHTTPServer::truncated(200, 100, "cut"));
    A::asyncNotifyAdStateCompletedWithLogGuidForEventAsFireForget(server.url("/ping"), "g1", "clicked", true);
    ASSERT_TRUE(runMainUntil([&] { return log_->contains("Vuderu: HTTP async task sent [sendAdStateCompleted] error: "); }));
    ASSERT_EQ(server.requestCount(), 1u);
    EXPECT_EQ(server.requests().front().method, "GET");
    // Nothing is recorded for it.
    EXPECT_FALSE(lastEvent("g1"));
}

TEST_F(AdActionTest, ReferralsAreFollowedToTheStore) {
    LoopbackHTTPServer server;
    const std::string store = std::string("http://") + kVuderuAppStoreWebDomain + "/app/id42";
    server.route("/to-store", LoopbackHTTPServer::redirect(302, server.url("/hop")));
    server.route("/hop", LoopbackHTTPServer::redirect(301, store));
    server.route("/to-page", LoopbackHTTPServer::redirect(302, server.url("/page")));
    server.route("/page", LoopbackHTTPServer::fixed(200, {}, "<html></html>"));
    LoopbackHTTPServer closed;
    auto refused = closed.url("/gone");
    closed.stop();
    struct Case {
        std::string url;
        std::string outcome;
    };
    const Case cases[] = {
        {server.url("/to-store"), "linkProcessed(" + store + ",processRedirect)"},
        {store, "linkProcessed(" + store + ",processRedirect)"},
        {server.url("/to-page"), "linkProcessed(" + server.url("/page") + ",processRedirect)"},
        {server.url("/page"), "linkNotProcessed(nil,processRedirect)"},
        {refused, "linkNotProcessed(" + std::to_string(NSURLErrorCannotConnectToHost) + ",processRedirect)"},
        {"itms-apps://itunes.apple.com/app/id42", "linkProcessed(itms-apps://itunes.apple.com/app/id42,processRedirect)"},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.url);
        makeView();
        VuderuAdAction::Params params;
        execute("processRedirect?url=" + encoded(c.url), params);
        EXPECT_EQ(status(params), "ok");
        ASSERT_TRUE(runMainUntil([&] { return !handler_->calls.empty(); }));
        EXPECT_EQ(handler_->calls, Calls{c.outcome});
    }
    // The store's host is never asked for.
    for (auto& request : server.requests()) EXPECT_EQ(request.path.find("/app/"), std::string::npos);
}

namespace {

VuderuFreqCapInfoPtr capRecord(const std::string& idHash, std::int32_t cap, std::int32_t views, std::int64_t expiration) {
    auto info = std::make_shared<VuderuFreqCapInfo>();
    info->idHash = idHash;
    info->newCap = cap;
    info->views = views;
    info->expirationTime = expiration;
    return info;
}

std::int64_t inAnHour() { return static_cast<std::int64_t>(PlatformClock::now() + 3600) * 1000; }

void cacheUnit(const std::string& space, const std::string& groupId = {}) {
    auto unit = makeUnit({{"c-" + groupId, "banner"}});
    unit->setAdSpace(space);
    unit->setGroupId(groupId);
    VuderuAdCache::addAdUnitForKey(unit, VuderuCacheKey(space, VuderuAdUtil::getScreenOrientation()));
}

class ReadyAd : public IVuderuAd {
public:
    VuderuAdUnitPtr activeAdUnit() const override { return nullptr; }
    bool isGuidActive(const std::string&) const override { return false; }
    bool readyForDisplay() const override { return true; }
    std::string adSpaceName() const override { return "space"; }
};

} // namespace

TEST_F(AdActionTest, CheckCapRunsTheCapEventWithTheCachedCountAsMaxAds) {
    auto frame = unit_->curAdFrame();
    setCallback(frame, "capExhausted", {"nextAdUnit"});
    setCallback(frame, "capNotExhausted", {"doCollapse"});
    handler_->rendered = true;
    VuderuFreqCapManager::storeFreqCapInfo(capRecord("capped", 1, 1, inAnHour()));
    struct Case {
        const char* action;
        int cachedUnits;
        Calls calls;
        const char* logged;
    };
    const Case cases[] = {
        {"checkCap?idHash=capped", 0, {}, "capExhausted"},  // nextAdUnit without units to show fails
        {"checkCap?idHash=capped", 1, {"setNotificationFlag(3)"}, "capExhausted"},
        {"checkCap?idHash=unknown", 1, {"processCollapseAction"}, "capNotExhausted"},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.action);
        handler_->calls.clear();
        VuderuAdCache::clearCache();
        for (int i = 0; i < c.cachedUnits; ++i) cacheUnit("space");
        VuderuAdAction::Params params;
        EXPECT_EQ(execute(c.action, params), A::kCheckCap);
        EXPECT_EQ(params, (VuderuAdAction::Params{{"status", "ok"}}));
        EXPECT_EQ(handler_->calls, c.calls);
        EXPECT_EQ(lastEvent("g1")->eventName(), c.logged);
    }
    EXPECT_FALSE(VuderuFreqCapManager::getFreqCapInfo("unknown"));
}

TEST_F(AdActionTest, CountingViewsUpToTheCapDropsTheSpacesQueuedAds) {
    VuderuUtil::setLogLevel(2);
    VuderuFreqCapManager::storeFreqCapInfo(capRecord("h", 2, 0, inAnHour()));
    auto manager = VuderuAdManager::instance();
    manager->addPendingAd(std::make_shared<ReadyAd>());
    cacheUnit("space");
    auto count = [&] {
        VuderuAdAction::Params params;
        execute("updateViewCount?idHash=h", params);
        EXPECT_EQ(status(params), "ok");
    };
    count();
    EXPECT_EQ(VuderuFreqCapManager::getFreqCapInfo("h")->views, 1);
    EXPECT_TRUE(manager->fetchPendingAdForSpace("space"));
    EXPECT_EQ(manager->adUnitCountForSpace("space"), 1u);
    count();
    EXPECT_EQ(VuderuFreqCapManager::getFreqCapInfo("h")->views, 2);
    EXPECT_FALSE(manager->fetchPendingAdForSpace("space"));
    EXPECT_EQ(manager->adUnitCountForSpace("space"), 0u);
    EXPECT_FALSE(log_->contains("rendering a capped object"));
    count();
    EXPECT_TRUE(log_->contains("VuderuAdAction: !! rendering a capped object: idHash=h"));

    VuderuAdAction::Params params;
    execute("checkCap?idHash=h", params);
    EXPECT_EQ(lastEvent("g1")->eventName(), "capExhausted");
    VuderuFreqCapManager::getFreqCapInfo("h")->expirationTime = 1000;
    execute("checkCap?idHash=h", params);
    EXPECT_EQ(lastEvent("g1")->eventName(), "capNotExhausted");
    EXPECT_FALSE(VuderuFreqCapManager::getFreqCapInfo("h"));
    // Without a record nothing is counted.
    count();
    EXPECT_FALSE(VuderuFreqCapManager::getFreqCapInfo("h"));
}

TEST_F(AdActionTest, DeleteDropsTheCachedUnitsOfAGroup) {
    VuderuUtil::setLogLevel(2);
    cacheUnit("space", "grp");
    cacheUnit("space", "grp");
    cacheUnit("space", "other");
    cacheUnit("elsewhere", "grp");
    VuderuAdAction::Params params;
    execute("delete?groupId=", params);
    EXPECT_TRUE(log_->contains("VuderuAdAction: no groupId parameter found for delete ads action"));
    EXPECT_EQ(VuderuAdManager::instance()->adUnitCountForSpace("space"), 3u);
    execute("delete?groupId=grp", params);
    EXPECT_EQ(VuderuAdManager::instance()->adUnitCountForSpace("space"), 1u);
    EXPECT_EQ(VuderuAdManager::instance()->adUnitCountForSpace("elsewhere"), 1u);
    EXPECT_TRUE(params.empty());
}
