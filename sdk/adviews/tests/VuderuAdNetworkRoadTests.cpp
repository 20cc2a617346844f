// Frames another ad network fills: the plugin the view gets for the frame's network, the
// failures when there is none or it has no ad view, and what the view asks of the plugin while
// it prepares, renders, places and removes the ad.

#include "sdk/adviews/tests/AdSpaceViewFixture.h"

#include "sdk/adviews/VuderuAdNetworkPluginManager.h"
#include "sdk/ads/VuderuAdError.h"

namespace {

using AdNetworkRoadCalls = std::vector<std::string>;

// A plugin whose answers the test sets and whose calls it reads back.
class ScriptedPlugin : public VuderuAdNetworkBasePlugin {
public:
    struct Script {
        bool available = true;
        bool givesView = true;
    };
    ScriptedPlugin(Script script, AdNetworkRoadCalls& calls) : script_(script), calls_(calls) {}

    bool adIsAvailableParentViewOrientation(const std::string& space, const UIViewPtr& parent, std::int64_t) override {
        calls_.push_back("adIsAvailable " + space + (parent ? " web" : ""));
        return script_.available;
    }
    bool getAdViewParentViewShowTakeoverAdContainer(const std::string& space, const UIViewPtr&, bool takeover,
                                                    const Connector& container) override {
        calls_.push_back("getAdView " + space + (takeover ? " takeover" : " banner"));
        container_ = container;
        return script_.givesView;
    }
    void renderAdViewParentViewShowTakeoverAdContainer(const std::string& space, const UIViewPtr& parent, bool,
                                                       const Connector&) override {
        calls_.push_back("renderAdView " + space + (parent ? " web" : ""));
    }
    void cleanupAdView(const std::string& space) override { calls_.push_back("cleanupAdView " + space); }
    void adjustAdBannerFrame() override { calls_.push_back("adjustAdBannerFrame"); }

    // The view the plugin was given, as a network's callback reaches it.
    std::shared_ptr<IVuderuAdNetworkConnector> connector() const { return container_.lock(); }

private:
    Script script_;
    AdNetworkRoadCalls& calls_;
    std::weak_ptr<IVuderuAdNetworkConnector> container_;
};

std::int64_t errorCodeOf(const NSErrorPtr& error) { return error ? error->code() : 0; }

} // namespace

class AdSpaceViewNetworkTest : public AdSpaceViewTest {
protected:
    // The "AdMob" network answers with scripted plugins; nullopt leaves it without a plugin class.
    void useNetwork(std::optional<ScriptedPlugin::Script> script) {
        VuderuAdNetworkPluginManager::registerPluginClass("VuderuAdNetworkAdMobPlugin", nullptr);
        if (!script) return;
        VuderuAdNetworkPluginManager::registerPluginClass("VuderuAdNetworkAdMobPlugin", [this, s = *script] {
            auto plugin = std::make_shared<ScriptedPlugin>(s, calls);
            made = plugin;
            return plugin;
        });
    }
    VuderuAdUnitPtr networkUnit(const std::string& format = "banner",
                                std::vector<std::pair<std::string, std::vector<std::string>>> callbacks = {}) {
        auto unit = makeUnit({{.guid = "n", .binding = VuderuAdFrame::kNetworkView, .format = format, .callbacks = std::move(callbacks)}});
        unit->curAdFrame()->setContent("AdMob");
        return unit;
    }

    AdNetworkRoadCalls calls;
    std::weak_ptr<ScriptedPlugin> made;
};

TEST_F(AdSpaceViewNetworkTest, DisplayAsksThePluginAndFailsWithoutAnAdView) {
    struct Case {
        const char* name;
        std::optional<ScriptedPlugin::Script> script;
        std::string format;
        bool result;
        std::int64_t code;
        AdNetworkRoadCalls calls;
    };
    const Case cases[] = {
        {"gives a view", ScriptedPlugin::Script{}, "banner", true, 0, {"adIsAvailable SPACE web", "getAdView SPACE banner"}},
        {"takeover", ScriptedPlugin::Script{}, "takeover", true, 0, {"adIsAvailable SPACE web", "getAdView SPACE takeover"}},
        {"no ad view", ScriptedPlugin::Script{.givesView = false}, "banner", false, 108,
         {"adIsAvailable SPACE web", "getAdView SPACE banner"}},
        {"no ad available", ScriptedPlugin::Script{.available = false}, "banner", false, 109, {"adIsAvailable SPACE web"}},
        {"no plugin", std::nullopt, "banner", false, 109, {}},
    };
    VuderuUtil::setLogLevel(2);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        calls.clear();
        log_->clear();
        delegate->calls.clear();
        useNetwork(c.script);
        auto unit = networkUnit(c.format);
        // One space per case: each network and space is asked at most once in 2 seconds.
        const std::string space = std::string("space ") + c.name;
        auto ad = makeAd({unit}, space);
        NSErrorPtr error;
        EXPECT_EQ(ad->loadAdFrameError(unit->curAdFrame(), &error), c.result);
        EXPECT_EQ(errorCodeOf(error), c.code);
        if (error) {
            EXPECT_EQ(error->localizedDescription(), "VuderuAds: Ad Network could not satisfy request");
        }
        AdNetworkRoadCalls expected;
        for (std::string call : c.calls) expected.push_back(call.replace(call.find("SPACE"), 5, space));
        EXPECT_EQ(calls, expected);
        EXPECT_EQ(ad->networkPlugin() != nullptr, c.script.has_value());
        EXPECT_EQ(log_->contains("VuderuZidUvov: No ad available for networkProvider [AdMob] for adSpace [" + space + "]"),
                  c.code == 109);
        // A network frame that cannot be filled is not reported to the host.
        EXPECT_TRUE(delegate->calls.empty());
        VuderuAdManager::instance()->deRegisterAdForSpace(space);
    }
    VuderuUtil::setLogLevel(1);
}

TEST_F(AdSpaceViewNetworkTest, PluginPreparesRendersPlacesAndIsCleanedUpOnRemoval) {
    useNetwork(ScriptedPlugin::Script{});
    auto unit = networkUnit();
    auto ad = makeAd({unit});
    ASSERT_TRUE(ad->loadAdFrameError(unit->curAdFrame(), nullptr));
    auto plugin = made.lock();
    ASSERT_TRUE(plugin);
    ASSERT_EQ(plugin->connector(), std::static_pointer_cast<IVuderuAdNetworkConnector>(ad));
    EXPECT_FALSE(ad->readyForDisplay());

    // The network has its ad: the view becomes ready.
    plugin->connector()->prepareView();
    EXPECT_TRUE(runMainUntil([&] { return ad->readyForDisplay(); }));
    EXPECT_TRUE(hasEvent("n", "prepared"));

    calls.clear();
    ad->renderView();
    EXPECT_EQ(calls, (AdNetworkRoadCalls{"renderAdView space web"}));
    ASSERT_EQ(ad->subviews().size(), 1u);
    EXPECT_EQ(ad->subviews()[0], ad->webView());
    // "rendered" comes from the plugin once its banner is placed.
    EXPECT_FALSE(hasEvent("n", "rendered"));
    plugin->connector()->processRendered();
    EXPECT_TRUE(hasEvent("n", "rendered"));

    calls.clear();
    ad->adjustAdFrame();
    EXPECT_EQ(calls, (AdNetworkRoadCalls{"adjustAdBannerFrame"}));

    calls.clear();
    plugin.reset();
    ad->removeAd();
    EXPECT_EQ(calls, (AdNetworkRoadCalls{"cleanupAdView space"}));
    EXPECT_FALSE(ad->networkPlugin());
    EXPECT_TRUE(made.expired());
    ad->removeAd();
    EXPECT_EQ(calls.size(), 1u);
}

TEST_F(AdSpaceViewNetworkTest, FailureFallingOverToTheNextUnitLetsThePluginGo) {
    useNetwork(ScriptedPlugin::Script{.givesView = false});
    auto unit = networkUnit("banner", {{"renderFailed", {"nextAdUnit?delay=30"}}});
    auto ad = makeAd({unit});
    VuderuAdManager::instance()->addPendingAd(ad);
    NSErrorPtr error;
    EXPECT_TRUE(ad->loadAdFrameError(unit->curAdFrame(), &error));
    EXPECT_FALSE(error);
    EXPECT_EQ(calls, (AdNetworkRoadCalls{"adIsAvailable space web", "getAdView space banner", "cleanupAdView space"}));
    EXPECT_FALSE(ad->networkPlugin());
    EXPECT_TRUE(made.expired());
    EXPECT_TRUE(delegate->calls.empty());
    EXPECT_TRUE(VuderuAdManager::instance()->pendingAdArray().empty());
}

TEST_F(AdSpaceViewNetworkTest, PlacementAdjustsOnlyBannersAndTheModalHeartbeatToo) {
    useNetwork(ScriptedPlugin::Script{});
    auto takeover = networkUnit("takeover");
    auto ad = makeAd({takeover});
    ASSERT_TRUE(ad->loadAdFrameError(takeover->curAdFrame(), nullptr));
    calls.clear();
    ad->adjustAdFrame();
    EXPECT_TRUE(calls.empty());

    auto banner = networkUnit();
    auto modal = VuderuAd::initWithViewContainerAdSpace(root, "modal");
    modal->addAdUnit(banner);
    ads.push_back(modal);
    ASSERT_TRUE(modal->loadAdFrameError(banner->curAdFrame(), nullptr));
    ASSERT_TRUE(modal->isShownModallyForViewController());
    calls.clear();
    modal->handleHeartBeat();
    EXPECT_EQ(calls, (AdNetworkRoadCalls{"adjustAdBannerFrame"}));
}
