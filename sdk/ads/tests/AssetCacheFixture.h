#pragma once
// The asset cache against the loopback server: a fresh manager on a fresh device, a delegate that
// records what it hears and on which thread, and pending ads that need an asset.

#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSThread.h"
#include "platform/foundation/PlatformClock.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/testsupport/LoopbackHTTPServer.h"
#include "platform/testsupport/RunLoopSupport.h"
#include "sdk/ads/VuderuAdManager.h"
#include "sdk/ads/VuderuContentLoadingManager.h"

#include <gtest/gtest.h>

#include <mutex>

struct HeardAsset {
    std::string outcome;  // "done", "failed" or "cancelled"
    VuderuCachedAssetPtr asset;
    bool onMainThread = false;
};

class RecordingPreCachingDelegate : public VuderuPreCachingDelegate {
public:
    void assetPreCachingDone(const VuderuCachedAssetPtr& asset) override { record("done", asset); }
    void assetPreCachingFailed(const VuderuCachedAssetPtr& asset) override { record("failed", asset); }
    void assetPreCachingCancelled(const VuderuCachedAssetPtr& asset) override { record("cancelled", asset); }
    std::vector<HeardAsset> heard() const {
        std::lock_guard guard(mutex_);
        return heard_;
    }
    std::size_t count() const { return heard().size(); }

private:
    void record(const std::string& outcome, const VuderuCachedAssetPtr& asset) {
        std::lock_guard guard(mutex_);
        heard_.push_back({outcome, asset, NSThread::isMainThread()});
    }
    mutable std::mutex mutex_;
    std::vector<HeardAsset> heard_;
};

class PendingVideoAd : public IVuderuAd {
public:
    explicit PendingVideoAd(const std::string& url) : unit_(std::make_shared<VuderuAdUnit>()) {
        auto frame = std::make_shared<VuderuAdFrame>();
        frame->setBinding(VuderuAdFrame::kVideo);
        frame->setDisplay(url);
        unit_->addAdFrame(frame);
    }
    VuderuAdUnitPtr activeAdUnit() const override { return unit_; }
    bool isGuidActive(const std::string&) const override { return false; }
    bool readyForDisplay() const override { return false; }
    std::string adSpaceName() const override { return "space"; }

private:
    VuderuAdUnitPtr unit_;
};

class AssetCacheTest : public DeviceTest {
protected:
    static constexpr const char* kRoot = "/var/mobile/Library/Caches/VuderuFiles";

    void SetUp() override {
        DeviceTest::SetUp();
        manager_ = std::make_shared<VuderuContentLoadingManager>();
        server_.setFallback([this](LoopbackExchange& exchange) {
            LoopbackHTTPServer::fixed(200, {}, std::string(bodySize_, 'a'))(exchange);
        });
    }
    void TearDown() override {
        server_.stop();
        // The index is written on its queue: done before the device goes.
        manager_->flushAssetsInfoWrites();
        DeviceTest::TearDown();
    }

    // A lookup that may start a download; the key is embedded unless an alternative is given.
    VuderuCachedAssetPtr lookup(const std::string& url, Value::Dictionary tags = {}, bool start = true,
                                std::optional<std::string> altKey = std::nullopt, bool embedded = true,
                                std::shared_ptr<RecordingPreCachingDelegate> delegate = nullptr) {
        if (!delegate) delegate = delegate_;
        return manager_->cachedAssetForPath(url, std::nullopt, start, embedded, altKey, PlatformClock::now() + 3600, tags, delegate);
    }
    // Waits until the delegate heard `count` outcomes in all.
    void waitFor(std::size_t count, std::shared_ptr<RecordingPreCachingDelegate> delegate = nullptr) {
        if (!delegate) delegate = delegate_;
        EXPECT_TRUE(runMainUntil([&] { return delegate->count() >= count; }));
        drainMain();
    }
    Value::Dictionary entry(const std::string& url) {
        Value found = manager_->localAssetInfoForResourceId(manager_->getResourceId(url));
        return found.isDictionary() ? found.dictionary() : Value::Dictionary{};
    }
    std::string status(const std::string& url) {
        auto e = entry(url);
        return e.count("downloadStatus") ? e["downloadStatus"].string() : "";
    }
    bool exists(const std::string& path) const { return NSFileManager::defaultManager()->fileExistsAtPath(path); }
    std::string assetPath(const std::string& url, const std::string& folder = "asset_cache") {
        auto slash = url.rfind('/');
        return std::string(kRoot) + "/" + folder + "/" + manager_->getResourceId(url) + "/" + url.substr(slash + 1);
    }

    LoopbackHTTPServer server_;
    std::size_t bodySize_ = 1000;
    std::shared_ptr<VuderuContentLoadingManager> manager_;
    std::shared_ptr<RecordingPreCachingDelegate> delegate_ = std::make_shared<RecordingPreCachingDelegate>();
};
