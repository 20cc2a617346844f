#include "sdk/ads/tests/AdCacheTakeFixture.h"
#include "sdk/ads/tests/TestAdSpaceView.h"

#include "sdk/ads/AdLogManager.h"
#include "sdk/ads/VuderuAdManager.h"

#include <atomic>
#include <barrier>
#include <future>
#include <latch>

namespace {

class AdManagerTest : public AdCacheTakeTest {
protected:
    void SetUp() override {
        AdCacheTakeTest::SetUp();
        // A take that refills after a show waits 1 ms on the calling thread: the real clock.
        clock_.reset();
        TestAdSpaceView::registerWithManager();
    }
    static std::shared_ptr<TestAdSpaceView> view(const IVuderuAdPtr& ad) { return std::dynamic_pointer_cast<TestAdSpaceView>(ad); }
    std::shared_ptr<VuderuAdManager> manager_ = VuderuAdManager::instance();
    std::shared_ptr<UIView> container_ = std::make_shared<UIView>(CGRect{{0, 0}, {320, 50}});
};

class DelegateWithQuestions : public RecordingHostDelegate {
public:
    std::optional<bool> forType;
    std::optional<bool> interstitial;
    std::optional<bool> spaceShouldDisplayForType(const std::string&, std::int32_t) override { return forType; }
    std::optional<bool> spaceShouldDisplayInterstitial(const std::string&, bool) override { return interstitial; }
};

// Each display question and the render report wait for another thread to use the manager: a
// host that hands work to its own threads from a delegate call. The wait is bounded, so a manager
// that held its lock around the delegate counts a stuck call instead of hanging.
class DelegateUsingTheManagerElsewhere : public RecordingHostDelegate {
public:
    std::atomic<int> answered{0};
    std::atomic<int> stuck{0};
    std::optional<bool> spaceShouldDisplayForType(const std::string&, std::int32_t) override {
        useTheManagerElsewhere();
        return true;
    }
    void spaceDidRenderInterstitial(const std::string& space, bool interstitial) override {
        useTheManagerElsewhere();
        RecordingHostDelegate::spaceDidRenderInterstitial(space, interstitial);
    }

private:
    void useTheManagerElsewhere() {
        auto done = std::make_shared<std::promise<void>>();
        auto finished = done->get_future();
        std::thread([done] {
            VuderuAdManager::instance()->timerStartedForSpace("banner");
            VuderuAdManager::instance()->pendingAdArray();
            done->set_value();
        }).detach();
        if (finished.wait_for(std::chrono::seconds(10)) == std::future_status::ready) ++answered;
        else ++stuck;
    }
};

} // namespace

TEST_F(AdManagerTest, TheHostsDelegateRunsOutsideTheManagersLock) {
    auto delegate = std::make_shared<DelegateUsingTheManagerElsewhere>();
    VuderuAds::setAdDelegate(delegate);
    VuderuAdCache::addAdUnits({servedUnit("banner", 0, "g1"), servedUnit("banner", 0, "g2"), servedUnit("banner", 0, "g3")});
    auto first = manager_->showNewAdForSpaceViewContainerTimeout("banner", container_, 0);
    drainMain();
    // The second show also replaces the first ad, whose removal runs outside the lock too.
    auto second = manager_->showNewAdForSpaceViewContainerTimeout("banner", container_, 0);
    drainMain();
    EXPECT_EQ(manager_->adForSpace("banner"), second);
    EXPECT_TRUE(view(first)->removed);
    EXPECT_EQ(delegate->stuck, 0);
    EXPECT_EQ(delegate->answered, 4);
}

TEST_F(AdManagerTest, AFetchThenAShowReusesTheReadyPendingAd) {
    VuderuAdCache::addAdUnits({servedUnit("banner", 0, "g1"), servedUnit("banner", 0, "g2")});
    auto fetched = manager_->prepareAdForSpaceViewContainerNotification("banner", container_, 2);
    ASSERT_NE(fetched, nullptr);
    drainMain();
    EXPECT_EQ(delegate_->calls(), (std::vector<std::string>{"spaceDidReceiveAd(banner)"}));
    EXPECT_EQ(manager_->adForSpace("banner"), nullptr);

    auto other = std::make_shared<UIView>(CGRect{{0, 0}, {300, 250}});
    EXPECT_EQ(manager_->showNewAdForSpaceViewContainerTimeout("banner", other, 0), fetched);
    drainMain();
    EXPECT_EQ(delegate_->calls(),
              (std::vector<std::string>{"spaceDidReceiveAd(banner)", "spaceDidReceiveAd(banner)", "spaceDidRender(banner,NO)"}));
    EXPECT_EQ(manager_->adForSpace("banner"), fetched);
    EXPECT_EQ(view(fetched)->container(), other);
    ASSERT_EQ(other->subviews().size(), 1u);
    EXPECT_TRUE(manager_->pendingAdArray().empty());
    // Only the first unit was taken.
    EXPECT_EQ(VuderuAdCache::validatedCacheCountForKey(VuderuCacheKey("banner", 0)), 1u);
    EXPECT_NE(AdLogManager::instance()->getAdLog("g1"), nullptr);
}

TEST_F(AdManagerTest, ShowingReplacesTheSpacesAdAndRefillsAnEmptyKey) {
    VuderuAdCache::addAdUnits({servedUnit("banner", 0, "g1"), servedUnit("banner", 0, "g2")});
    auto first = manager_->showNewAdForSpaceViewContainerTimeout("banner", container_, 0);
    drainMain();
    auto second = manager_->showNewAdForSpaceViewContainerTimeout("banner", container_, 0);
    drainMain();
    EXPECT_EQ(manager_->adForSpace("banner"), second);
    EXPECT_TRUE(view(first)->removed);
    EXPECT_EQ(view(first)->notificationFlag(), 3);
    // The key ran dry with the second show: a background fetch for the space was started.
    Value refill = fetch(1);
    EXPECT_EQ(refill["cacheKey"].objectAs<VuderuCacheKey>()->adSpace(), "banner");
    EXPECT_EQ(refill["timeout"].integerValue(), 1);
}

TEST_F(AdManagerTest, TheDelegatesQuestionsDecideAndTheAdStaysPending) {
    struct Case {
        std::optional<bool> forType, interstitial;
        bool shown;
    };
    for (const Case& c : std::vector<Case>{{false, std::nullopt, false}, {false, true, true}, {true, false, false}, {std::nullopt, std::nullopt, true}}) {
        VuderuAdCache::clearCache();
        manager_->deRegisterAdForSpace("banner");
        for (const auto& ad : manager_->pendingAdArray()) manager_->removePendingAd(ad);
        auto delegate = std::make_shared<DelegateWithQuestions>();
        delegate->forType = c.forType;
        delegate->interstitial = c.interstitial;
        VuderuAds::setAdDelegate(delegate);
        VuderuAdCache::addAdUnits({servedUnit("banner", 0, "g1"), servedUnit("banner", 0, "g2")});
        auto ad = manager_->showNewAdForSpaceViewContainerTimeout("banner", container_, 0);
        drainMain();
        EXPECT_EQ(manager_->adForSpace("banner") == ad, c.shown);
        EXPECT_EQ(manager_->pendingAdArray().size(), c.shown ? 0u : 1u);
    }
}

TEST_F(AdManagerTest, AFailedRefreshStaysSilentWhileTheCurrentAdHasRendered) {
    VuderuAdCache::addAdUnits({servedUnit("banner", 0, "g1"), servedUnit("banner", 0, "g2"), servedUnit("banner", 0, "g3")});
    manager_->showNewAdForSpaceViewContainerTimeout("banner", container_, 0);
    drainMain();
    auto shown = manager_->adForSpace("banner");
    TestAdSpaceView::registerWithManager(true);
    EXPECT_EQ(manager_->showNewAdForSpaceViewContainerTimeout("banner", container_, 3), nullptr);
    drainMain();
    EXPECT_EQ(delegate_->calls(), (std::vector<std::string>{"spaceDidReceiveAd(banner)", "spaceDidRender(banner,NO)"}));
    EXPECT_EQ(manager_->adForSpace("banner"), shown);
    // The same failure in a show reports the view's own error; a fetch reports 104.
    manager_->showNewAdForSpaceViewContainerTimeout("banner", container_, 0);
    EXPECT_EQ(delegate_->calls().back(), "spaceDidFailToReceiveAd(banner,105)");
}

TEST_F(AdManagerTest, WithoutAViewMakerAPreparationFailsWith104) {
    VuderuAdManager::registerAdViewMaker(nullptr, nullptr);
    VuderuAdCache::addAdUnits({servedUnit("banner", 0, "g1"), servedUnit("banner", 0, "g2")});
    EXPECT_EQ(manager_->prepareAdForSpaceViewContainerNotification("banner", container_, 2), nullptr);
    EXPECT_EQ(delegate_->calls(), (std::vector<std::string>{"spaceDidFailToReceiveAd(banner,104)"}));
    EXPECT_EQ(delegate_->texts().back(), "VuderuAds: No ads available for this space.");
    EXPECT_TRUE(logged("VuderuAdManager: no ad view can be made for space banner"));
    EXPECT_TRUE(manager_->pendingAdArray().empty());
}

TEST_F(AdManagerTest, AShowWithNothingCachedReportsByItsValue) {
    // Each show's fetch brings units of another space only, which the manager hears as 104.
    struct Case {
        std::int64_t value;
        std::vector<std::string> calls;
    };
    const std::vector<Case> cases = {
        {0, {"spaceDidFailToReceiveAd(s,104)", "spaceDidFailToRender(s,104)"}},
        {3, {"spaceDidFailToReceiveAd(s,104)"}},
        {1000, {"spaceDidFailToReceiveAd(s,nil)", "spaceDidFailToRender(s,104)", "spaceDidFailToReceiveAd(s,104)"}},
    };
    std::size_t fetches = 0;
    for (const Case& c : cases) {
        auto delegate = std::make_shared<RecordingHostDelegate>();
        VuderuAds::setAdDelegate(delegate);
        std::thread show([&] { manager_->showNewAdForSpaceViewContainerTimeout("s", container_, c.value); });
        Value params = fetch(++fetches);
        VuderuAdCache::instance()->requestSuccessfulWithParams({servedUnit("elsewhere", 0, "e")}, params);
        show.join();
        drainMain();
        EXPECT_EQ(delegate->calls(), c.calls) << c.value;
    }
}

TEST_F(AdManagerTest, ExtraUnitsComeFromTheCacheOnlyAndNeedTheMinimum) {
    struct Case {
        std::size_t cached;
        std::int32_t minimum, maximum;
        std::optional<std::size_t> answered;
    };
    for (const Case& c : std::vector<Case>{{2, 3, 5, 2}, {1, 3, 5, std::nullopt}, {2, 0, 5, std::nullopt}, {3, 1, 2, 2}, {0, 1, 4, 0}}) {
        VuderuAdCache::clearCache();
        for (std::size_t i = 0; i < c.cached; ++i) VuderuAdCache::addAdUnits({servedUnit("multi", 0, "g" + std::to_string(i))});
        auto units = manager_->fetchAdUnitsForSpaceMinimumMaximum("multi", c.minimum, c.maximum);
        EXPECT_EQ(units ? std::optional<std::size_t>(units->size()) : std::nullopt, c.answered) << c.cached << " " << c.minimum;
    }
    EXPECT_EQ(fetchCount(), 0u);
}

TEST_F(AdManagerTest, TheRefreshTimerShowsANewAdQuietlyUntilTheSpaceIsDeregistered) {
    ManualClock clock;
    VuderuAdCache::addAdUnits({servedUnit("banner", 0, "g1"), servedUnit("banner", 0, "g2"), servedUnit("banner", 0, "g3"),
                               servedUnit("banner", 0, "g4")});
    auto first = manager_->showNewAdForSpaceViewContainerTimeout("banner", container_, 0);
    drainMain();
    manager_->delayNewAdForSpaceGuidViewContainerDelay("banner", "other", container_, 30);
    EXPECT_FALSE(manager_->timerStartedForSpace("banner"));
    manager_->delayNewAdForSpaceGuidViewContainerDelay("banner", "g1", container_, 30);
    EXPECT_TRUE(manager_->timerStartedForSpace("banner"));
    clock.advance(29);
    EXPECT_EQ(manager_->adForSpace("banner"), first);
    clock.advance(1);
    auto second = manager_->adForSpace("banner");
    ASSERT_NE(second, first);
    EXPECT_EQ(second->adFrame()->adLogGUID(), "g2");
    // A refresh asks nothing and tells only of the render.
    EXPECT_EQ(delegate_->calls(), (std::vector<std::string>{"spaceDidReceiveAd(banner)", "spaceDidRender(banner,NO)", "spaceDidRender(banner,NO)"}));
    // Showing deregistered the old ad and with it its timer; the new ad's frame sets up its own.
    clock.advance(30);
    EXPECT_EQ(manager_->adForSpace("banner"), second);
    manager_->delayNewAdForSpaceGuidViewContainerDelay("banner", "g2", container_, 30);
    // An attempt that cannot refresh leaves the timer running.
    view(second)->refreshable = false;
    clock.advance(30);
    EXPECT_EQ(manager_->adForSpace("banner"), second);
    view(second)->refreshable = true;
    clock.advance(30);
    EXPECT_EQ(manager_->adForSpace("banner")->adFrame()->adLogGUID(), "g3");
    manager_->deRegisterAdForSpace("banner");
    clock.advance(30);
    EXPECT_EQ(manager_->adForSpace("banner"), nullptr);
    EXPECT_TRUE(manager_->timerStartedForSpace("banner"));
}

// Prepares on two workers append to the pending list while the main thread shows what is ready.
TEST_F(AdManagerTest, RacePreparesOnWorkersWhileMainShows) {
    for (int i = 0; i < 60; ++i) VuderuAdCache::addAdUnits({servedUnit("race", 0, "g" + std::to_string(i))});
    std::atomic<int> done{0};
    std::vector<std::thread> workers;
    for (int w = 0; w < 2; ++w) {
        workers.emplace_back([&] {
            for (int n = 0; n < 20; ++n) manager_->prepareAdForSpaceViewContainerNotification("race", container_, 0);
            ++done;
        });
    }
    runMainUntil([&] { return done == 2; });
    for (auto& t : workers) t.join();
    drainMain();
    EXPECT_TRUE(manager_->pendingAdArray().empty());
    EXPECT_NE(manager_->adForSpace("race"), nullptr);
}

namespace {

// A view that counts how many ads stand shown at once: rendering one adds it, removing it (which
// takes its view out of the container) takes it away.
class CountingShownView : public TestAdSpaceView {
public:
    CountingShownView(std::shared_ptr<NSObject> container, std::string space, std::atomic<int>& shown, std::atomic<int>& most)
        : TestAdSpaceView(std::move(container), std::move(space)), shown_(shown), most_(most) {}
    void renderView() override {
        TestAdSpaceView::renderView();
        int now = ++shown_;
        int seen = most_.load();
        while (now > seen && !most_.compare_exchange_weak(seen, now)) {}
    }
    void removeAd() override {
        TestAdSpaceView::removeAd();
        if (auto own = adView()) own->removeFromSuperview();
        if (renders > 0) --shown_;
    }

private:
    std::atomic<int>& shown_;
    std::atomic<int>& most_;
};

} // namespace

// Two threads each show a pending ad into the same space and container at the same moment, many
// times over: one show at a time (the other thread's is handed to the main thread, which runs it
// before the check), so the container holds just the registered ad's view and never more than one
// ad stands rendered.
TEST_F(AdManagerTest, TwoThreadsShowingIntoOneSpaceLeaveOneRegisteredViewAtATime) {
    constexpr int kPairs = 2000;
    // A unit in the cache: no show starts a fetch to refill the key.
    VuderuAdCache::addAdUnits({servedUnit("pair", 0, "cached")});
    std::atomic<int> shown{0};
    std::atomic<int> most{0};
    std::barrier step(2);
    std::vector<IVuderuAdPtr> made(2);
    int mismatches = 0;
    auto run = [&](int side) {
        for (int pair = 0; pair < kPairs; ++pair) {
            made[side] = std::make_shared<CountingShownView>(container_, "pair", shown, most);
            manager_->addPendingAd(made[side]);
            step.arrive_and_wait();
            manager_->displayAd(made[side]);
            step.arrive_and_wait();
            if (side == 0) {
                drainMain();
                auto registered = manager_->adForSpace("pair");
                const auto& views = container_->subviews();
                if (!registered || views.size() != 1 || views.front() != registered->adView()) ++mismatches;
                for (const auto& ad : made) manager_->removePendingAd(ad);
            }
            step.arrive_and_wait();
        }
    };
    std::thread other(run, 1);
    run(0);
    other.join();
    EXPECT_EQ(mismatches, 0);
    EXPECT_EQ(most.load(), 1);
    EXPECT_EQ(shown.load(), 1);
    manager_->deRegisterAdForSpace("pair");
}

// One thread shows 3,000 pending ads into a space while another removes the space: shows and the removal take turns on the main thread, so the ads
// shown before the removal were each removed in turn, the rest were withdrawn and never rendered,
// and afterwards no ad is registered, none stands rendered and the container is empty. The host
// heard of each render and of nothing else.
TEST_F(AdManagerTest, AShowThreadAndARemovalThreadLeaveNoAdShownAfterTheRemoval) {
    constexpr int kAds = 3000;
    VuderuAdCache::addAdUnits({servedUnit("race", 0, "cached")});
    std::atomic<int> shown{0};
    std::atomic<int> most{0};
    std::vector<std::shared_ptr<CountingShownView>> ads;
    for (int i = 0; i < kAds; ++i) {
        ads.push_back(std::make_shared<CountingShownView>(container_, "race", shown, most));
        // Made by a show of the space: the removal ends it.
        ads.back()->setDisplayWhenReady(true);
        manager_->addPendingAd(ads.back());
    }
    std::latch halfHanded(1);
    std::atomic<int> done{0};
    std::thread shows([&] {
        for (int i = 0; i < kAds; ++i) {
            manager_->displayAd(ads[i]);
            if (i == kAds / 2) halfHanded.count_down();
        }
        ++done;
    });
    std::thread removal([&] {
        halfHanded.wait();
        manager_->removeSpace("race");
        ++done;
    });
    EXPECT_TRUE(runMainUntil([&] { return done == 2; }));
    shows.join();
    removal.join();
    drainMain();

    EXPECT_EQ(manager_->adForSpace("race"), nullptr);
    EXPECT_TRUE(container_->subviews().empty());
    EXPECT_EQ(shown.load(), 0);
    EXPECT_EQ(most.load(), 1);
    EXPECT_TRUE(manager_->pendingAdArray().empty());
    // In the order asked: a run of ads shown and removed in turn, then the withdrawn ones.
    std::size_t rendered = 0;
    int misplaced = 0;
    for (std::size_t i = 0; i < ads.size(); ++i) {
        const bool wasShown = ads[i]->renders > 0;
        if (wasShown == ads[i]->withdrawn || wasShown != ads[i]->removed || (wasShown && rendered != i)) ++misplaced;
        if (wasShown) ++rendered;
    }
    EXPECT_EQ(misplaced, 0);
    EXPECT_EQ(delegate_->calls(), std::vector<std::string>(rendered, "spaceDidRender(race,NO)"));
}

namespace {

// A host that removes the space when it is asked whether to show an ad there.
class DelegateRemovingTheSpace : public RecordingHostDelegate {
public:
    std::optional<bool> spaceShouldDisplayForType(const std::string& space, std::int32_t) override {
        VuderuAdManager::instance()->removeSpace(space);
        return true;
    }
};

} // namespace

// Whichever of a show and a removal of one space runs first, nothing stays on screen after the
// removal; a removal that comes first wins, and the show that finds its space removed renders
// nothing and tells the host nothing, not even that the ad was ready. An ad prepared after the
// removal is shown as usual.
TEST_F(AdManagerTest, ARemovalThatComesFirstWinsOverAShowOfTheSpace) {
    struct Case {
        const char* name;
        // Runs the show of the pending ad and the removal in its order; answers whether it showed.
        std::function<bool(const IVuderuAdPtr&)> run;
        bool rendered;
        std::vector<std::string> calls;
    };
    auto removeElsewhere = [] { std::thread([] { VuderuAdManager::instance()->removeSpace("banner"); }).join(); };
    const Case cases[] = {
        {"removed on another thread before the show",
         [&](const IVuderuAdPtr& ad) {
             removeElsewhere();
             return manager_->displayAd(ad);
         },
         false,
         {}},
        {"removed before its ready report",
         [&](const IVuderuAdPtr& ad) {
             ad->setDisplayWhenReady(true);
             removeElsewhere();
             manager_->adReadyForDisplay(ad);
             return manager_->adForSpace("banner") == ad;
         },
         false,
         {}},
        {"removed by the host while it is asked",
         [&](const IVuderuAdPtr& ad) {
             auto removing = std::make_shared<DelegateRemovingTheSpace>();
             VuderuAds::setAdDelegate(removing);
             const bool result = manager_->displayAd(ad);
             VuderuAds::setAdDelegate(delegate_);
             return result;
         },
         false,
         {}},
        {"shown, then removed on another thread",
         [&](const IVuderuAdPtr& ad) {
             const bool result = manager_->displayAd(ad);
             removeElsewhere();
             drainMain();
             return result;
         },
         true,
         {"spaceDidRender(banner,NO)"}},
    };
    VuderuAdCache::addAdUnits({servedUnit("banner", 0, "cached")});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        delegate_ = std::make_shared<RecordingHostDelegate>();
        VuderuAds::setAdDelegate(delegate_);
        auto ad = std::make_shared<TestAdSpaceView>(container_, "banner");
        ad->setDisplayWhenReady(true);
        manager_->addPendingAd(ad);
        EXPECT_EQ(c.run(ad), c.rendered);
        drainMain();
        EXPECT_EQ(ad->renders > 0, c.rendered);
        EXPECT_EQ(ad->removed, c.rendered);
        EXPECT_EQ(ad->withdrawn, !c.rendered);
        EXPECT_EQ(manager_->adForSpace("banner"), nullptr);
        EXPECT_TRUE(manager_->pendingAdArray().empty());
        EXPECT_EQ(delegate_->calls(), c.calls);

        // The space lives on for ads prepared after its removal.
        auto next = std::make_shared<TestAdSpaceView>(container_, "banner");
        manager_->addPendingAd(next);
        EXPECT_TRUE(manager_->displayAd(next));
        EXPECT_EQ(manager_->adForSpace("banner"), next);
        manager_->deRegisterAdForSpace("banner");
    }
}
