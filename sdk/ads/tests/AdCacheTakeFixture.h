#pragma once
// Takes from the ad-unit cache with the server stood in for: every fetch a take starts is
// captured with its parameters, and the test reports the fetch's outcome when it likes, from any
// thread. The platform clock is manual; a host delegate records its calls.

#include "platform/testsupport/DeviceTest.h"
#include "platform/testsupport/RunLoopSupport.h"
#include "sdk/ads/VuderuAdCache.h"
#include "sdk/ads/VuderuAdDelegate.h"
#include "sdk/ads/VuderuAds.h"
#include "sdk/analytics/VuderuUtil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

class RecordingHostDelegate : public VuderuAdDelegate {
public:
    void spaceDidReceiveAd(const std::string& space) override { add("spaceDidReceiveAd(" + space + ")"); }
    void spaceDidFailToReceiveAdError(const std::string& space, const NSErrorPtr& error) override {
        add("spaceDidFailToReceiveAd(" + space + "," + code(error) + ")");
    }
    void spaceDidRenderInterstitial(const std::string& space, bool interstitial) override {
        add("spaceDidRender(" + space + "," + (interstitial ? "YES" : "NO") + ")");
    }
    void spaceDidFailToRenderError(const std::string& space, const NSErrorPtr& error) override {
        add("spaceDidFailToRender(" + space + "," + code(error) + ")");
    }
    std::vector<std::string> calls() {
        std::lock_guard guard(lock_);
        return calls_;
    }
    std::vector<std::string> texts() {
        std::lock_guard guard(lock_);
        return texts_;
    }

private:
    std::string code(const NSErrorPtr& error) {
        if (!error) return "nil";
        texts_.push_back(error->localizedDescription());
        return std::to_string(error->code());
    }
    void add(const std::string& call) {
        std::lock_guard guard(lock_);
        calls_.push_back(call);
    }
    std::mutex lock_;
    std::vector<std::string> calls_;
    std::vector<std::string> texts_;
};

inline VuderuAdUnitPtr servedUnit(const std::string& space, std::int32_t orientation, const std::string& guid, std::int64_t expiration = 0,
                                  const std::string& group = "") {
    auto u = std::make_shared<VuderuAdUnit>();
    u->setAdSpace(space);
    u->setScreenOrientation(orientation);
    u->setExpiration(expiration);
    u->setGroupId(group);
    auto frame = std::make_shared<VuderuAdFrame>();
    frame->setAdLogGUID(guid);
    u->addAdFrame(frame);
    return u;
}

class AdCacheTakeTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        clock_ = std::make_unique<ManualClock>(1700000000);
        VuderuUtil::setLogLevel(2);
        VuderuAdCache::clearCache();
        VuderuAds::setAdDelegate(delegate_);
        VuderuAdCache::setFetchStarter([this](const std::shared_ptr<VuderuAdCache>&, const Value& params) {
            std::lock_guard guard(fetchLock_);
            fetches_.push_back(params);
            fetchStarted_.notify_all();
        });
    }
    void TearDown() override {
        if (HasFailure()) {
            for (const auto& line : log_->lines()) std::fprintf(stderr, "%s\n", line.c_str());
        }
        VuderuAdCache::setFetchStarter(nullptr);
        VuderuAdCache::clearCache();
        VuderuUtil::setLogLevel(1);
        clock_.reset();
        DeviceTest::TearDown();
    }
    // Blocks until the count-th fetch has started (the operation queue runs them) and answers its
    // parameters; a fetch that never starts fails the test instead of hanging it.
    Value fetch(std::size_t count) {
        std::unique_lock lock(fetchLock_);
        if (!fetchStarted_.wait_for(lock, std::chrono::seconds(60), [&] { return fetches_.size() >= count; })) {
            ADD_FAILURE() << "fetch " << count << " never started";
            return Value();
        }
        return fetches_[count - 1];
    }
    std::size_t fetchCount() {
        std::lock_guard guard(fetchLock_);
        return fetches_.size();
    }
    bool logged(const std::string& line) const {
        auto lines = log_->lines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    static std::shared_ptr<VuderuCacheRetrievalPolicy> policy(std::int64_t timeout, bool remove = true) {
        auto p = VuderuCacheRetrievalPolicy::defaultPolicy();
        p->setTimeout(timeout);
        p->setRemoveFromCache(remove);
        return p;
    }

    std::unique_ptr<ManualClock> clock_;
    std::shared_ptr<RecordingHostDelegate> delegate_ = std::make_shared<RecordingHostDelegate>();
    std::mutex fetchLock_;
    std::condition_variable fetchStarted_;
    std::vector<Value> fetches_;
};
