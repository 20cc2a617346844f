#include "platform/foundation/NSNotificationCenter.h"
#include "platform/net/NSURLError.h"
#include "platform/net/SCNetworkReachability.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/testsupport/RunLoopSupport.h"
#include "sdk/analytics/VuderuNetworkUtil.h"
#include "sdk/analytics/VuderuReachability.h"
#include "sdk/analytics/VuderuUtil.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <future>
#include <thread>
#include <netinet/in.h>

namespace {

constexpr SCNetworkReachabilityFlags R = kSCNetworkReachabilityFlagsReachable;
constexpr SCNetworkReachabilityFlags T = kSCNetworkReachabilityFlagsTransientConnection;
constexpr SCNetworkReachabilityFlags C = kSCNetworkReachabilityFlagsConnectionRequired;
constexpr SCNetworkReachabilityFlags OnTraffic = kSCNetworkReachabilityFlagsConnectionOnTraffic;
constexpr SCNetworkReachabilityFlags OnDemand = kSCNetworkReachabilityFlagsConnectionOnDemand;
constexpr SCNetworkReachabilityFlags Intervention = kSCNetworkReachabilityFlagsInterventionRequired;
constexpr SCNetworkReachabilityFlags Local = kSCNetworkReachabilityFlagsIsLocalAddress;
constexpr SCNetworkReachabilityFlags Direct = kSCNetworkReachabilityFlagsIsDirect;
constexpr SCNetworkReachabilityFlags WWAN = kSCNetworkReachabilityFlagsIsWWAN;

TEST(VuderuReachabilityTest, StatusFromFlags) {
    auto internet = VuderuReachability::vuderuReachabilityForInternetConnection();
    auto wifi = VuderuReachability::vuderuReachabilityForLocalWiFi();
    // A host that happens to be called like the local-WiFi key is judged like any other target.
    auto lookalike = VuderuReachability::vuderuReachabilityWithHostName("LocalWiFiConnection");
    ASSERT_TRUE(internet && wifi && lookalike);
    struct Row {
        SCNetworkReachabilityFlags flags;
        int internet;
        int wifi;
    };
    const Row rows[] = {
        {0, 0, 0},
        {WWAN | Direct, 0, 0},
        {R, 1, 0},
        {R | Direct, 1, 1},
        {R | Local | Direct, 1, 1},
        {R | WWAN, 2, 0},
        {R | WWAN | Direct, 2, 1},
        {R | T | C, 0, 0},
        {R | T | C | Local | Direct, 0, 1},
        {R | T, 1, 0},
        {R | T | OnTraffic, 1, 0},
        {R | C, 1, 0},
        {R | C | OnTraffic, 1, 0},
        {R | OnTraffic, 0, 0},
        {R | OnDemand, 0, 0},
        {R | Intervention, 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.flags);
        EXPECT_EQ(internet->vuderuNetworkStatusForFlags(row.flags), row.internet);
        EXPECT_EQ(lookalike->vuderuNetworkStatusForFlags(row.flags), row.internet);
        EXPECT_EQ(wifi->vuderuNetworkStatusForFlags(row.flags), row.wifi);
    }
}

TEST(VuderuReachabilityTest, KeysAndEquality) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    const unsigned char bytes[4] = {10, 0, 200, 7};
    std::memcpy(&address.sin_addr.s_addr, bytes, 4);
    auto byAddress = VuderuReachability::vuderuReachabilityWithAddress(address);
    ASSERT_TRUE(byAddress);
    EXPECT_EQ(byAddress->key(), "10.0.200.7");
    EXPECT_EQ(VuderuReachability::vuderuReachabilityForInternetConnection()->key(), "InternetConnection");
    EXPECT_EQ(VuderuReachability::vuderuReachabilityForLocalWiFi()->key(), "LocalWiFiConnection");
    auto host = VuderuReachability::vuderuReachabilityWithHostName("10.0.200.7");
    EXPECT_TRUE(host->isVuderuReachabilityEqual(*byAddress));
    EXPECT_EQ(VuderuReachability::vuderuReachabilityWithHostName(""), nullptr);
}

TEST(VuderuReachabilityTest, DeviceNetworkGivesTheThreeStatuses) {
    auto internet = VuderuReachability::vuderuReachabilityForInternetConnection();
    auto wifi = VuderuReachability::vuderuReachabilityForLocalWiFi();
    SCNetworkReachabilitySetDeviceNetwork(SCDeviceNetwork::Cellular);
    EXPECT_TRUE(internet->isVuderuReachableViaWWAN());
    EXPECT_FALSE(wifi->isVuderuReachable());
    SCNetworkReachabilitySetDeviceNetwork(SCDeviceNetwork::WiFi);
    EXPECT_TRUE(internet->isVuderuReachableViaWiFi());
    EXPECT_TRUE(wifi->isVuderuReachableViaWiFi());
    SCNetworkReachabilitySetDeviceNetwork(SCDeviceNetwork::None);
    EXPECT_FALSE(internet->isVuderuReachable());
    EXPECT_EQ(internet->vuderuReachabilityFlags(), 0u);
    EXPECT_FALSE(internet->isVuderuConnectionRequired());
}

class VuderuNetworkUtilTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        observer_ = NSNotificationCenter::defaultCenter()->addObserverForName(
            kVuderuNetworkStatusChangedNotification, nullptr, nullptr, [this](const std::shared_ptr<NSNotification>&) { ++changes_; });
    }
    void TearDown() override {
        NSNotificationCenter::defaultCenter()->removeObserver(observer_);
        SCNetworkReachabilitySetDeviceNetwork(SCDeviceNetwork::Measured);
        DeviceTest::TearDown();
    }
    std::shared_ptr<NSObject> observer_;
    int changes_ = 0;
};

TEST_F(VuderuNetworkUtilTest, BeforeStartTheNetworkCountsAsReachableWithCodeZero) {
    EXPECT_TRUE(VuderuNetworkUtil::isNetworkReachable());
    EXPECT_EQ(VuderuNetworkUtil::networkStatus(), 0);
    EXPECT_FALSE(VuderuNetworkUtil::isNetworkLikelyNotReachable());
}

TEST_F(VuderuNetworkUtilTest, TheInitialStatusIsMeasuredOnce) {
    VuderuUtil::setLogLevel(2);
    SCNetworkReachabilitySetDeviceNetwork(SCDeviceNetwork::Cellular);
    VuderuNetworkUtil::initNetworkReachability();
    EXPECT_EQ(VuderuNetworkUtil::networkStatus(), 3);
    EXPECT_TRUE(VuderuNetworkUtil::isNetworkReachable());
    EXPECT_TRUE(log_->contains("initial network status [2] ========= "));
    SCNetworkReachabilitySetDeviceNetwork(SCDeviceNetwork::None);
    drainMain();
    VuderuNetworkUtil::initNetworkReachability();
    EXPECT_EQ(VuderuNetworkUtil::networkStatus(), 0);
    EXPECT_FALSE(VuderuNetworkUtil::isNetworkReachable());
    EXPECT_TRUE(log_->contains("updated network status [0] ======== "));
}

// Every callback of the watched target posts the change, the code unchanged or not.
TEST_F(VuderuNetworkUtilTest, EveryCallbackUpdatesTheCodeAndPostsTheChange) {
    SCNetworkReachabilitySetDeviceNetwork(SCDeviceNetwork::WiFi);
    VuderuNetworkUtil::initNetworkReachability();
    ASSERT_EQ(VuderuNetworkUtil::networkStatus(), 2);
    struct Row {
        SCDeviceNetwork network;
        int code;
        bool reachable;
    };
    const Row rows[] = {{SCDeviceNetwork::Cellular, 3, true}, {SCDeviceNetwork::Cellular, 3, true}, {SCDeviceNetwork::None, 0, false},
                        {SCDeviceNetwork::None, 0, false},    {SCDeviceNetwork::WiFi, 2, true}};
    int expected = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(static_cast<int>(row.network));
        SCNetworkReachabilitySetDeviceNetwork(row.network);
        ++expected;
        ASSERT_TRUE(runMainUntil([&] { return changes_ == expected; }));
        EXPECT_EQ(VuderuNetworkUtil::networkStatus(), row.code);
        EXPECT_EQ(VuderuNetworkUtil::isNetworkReachable(), row.reachable);
        EXPECT_EQ(VuderuNetworkUtil::isNetworkLikelyNotReachable(), !row.reachable);
    }
}

// An observer that waits for another thread starting the utility (which takes its lock) is not
// stuck: the change is posted after the lock is let go. The wait is bounded, so a post under the
// lock counts a stuck observer instead of hanging.
TEST_F(VuderuNetworkUtilTest, TheChangeIsPostedOutsideTheUtilitysLock) {
    SCNetworkReachabilitySetDeviceNetwork(SCDeviceNetwork::WiFi);
    VuderuNetworkUtil::initNetworkReachability();
    std::atomic<int> answered{0};
    std::atomic<int> stuck{0};
    auto token = NSNotificationCenter::defaultCenter()->addObserverForName(
        kVuderuNetworkStatusChangedNotification, nullptr, nullptr, [&](const std::shared_ptr<NSNotification>&) {
            auto done = std::make_shared<std::promise<void>>();
            auto finished = done->get_future();
            std::thread([done] {
                VuderuNetworkUtil::initNetworkReachability();
                done->set_value();
            }).detach();
            ++(finished.wait_for(std::chrono::seconds(10)) == std::future_status::ready ? answered : stuck);
        });
    SCNetworkReachabilitySetDeviceNetwork(SCDeviceNetwork::Cellular);
    EXPECT_TRUE(runMainUntil([&] { return answered + stuck > 0; }, 30));
    NSNotificationCenter::defaultCenter()->removeObserver(token);
    EXPECT_EQ(stuck, 0);
    EXPECT_EQ(VuderuNetworkUtil::networkStatus(), 3);
}

TEST_F(VuderuNetworkUtilTest, LikelyNotReachableFollowsTheLastError) {
    VuderuNetworkUtil::setNetworkLikelyNotReachable();
    EXPECT_TRUE(VuderuNetworkUtil::isNetworkReachable());
    EXPECT_TRUE(VuderuNetworkUtil::isNetworkLikelyNotReachable());
    EXPECT_EQ(VuderuNetworkUtil::instance()->lastNetworkOperationError()->domain(), "kCFErrorDomainCFNetwork");
    EXPECT_EQ(VuderuNetworkUtil::instance()->lastNetworkOperationError()->code(), 1);
    VuderuNetworkUtil::setLastNetworkOperationError(nullptr);
    EXPECT_FALSE(VuderuNetworkUtil::isNetworkLikelyNotReachable());
    // An HTTP status the server answered says nothing about the network.
    VuderuNetworkUtil::setLastNetworkOperationError(NSError::errorWithDomain("Failed to load url", 4));
    EXPECT_FALSE(VuderuNetworkUtil::isNetworkLikelyNotReachable());
}

// Only a URL-loading error that means no way to the host makes the network likely unreachable:
// one failed upload for another reason must not turn the ad pages to the cache.
TEST_F(VuderuNetworkUtilTest, OnlyURLErrorsOfAMissingNetworkCount) {
    const struct {
        long code;
        bool likelyNotReachable;
    } rows[] = {
        {NSURLErrorNotConnectedToInternet, true}, {NSURLErrorNetworkConnectionLost, true}, {NSURLErrorCannotFindHost, true},
        {NSURLErrorDNSLookupFailed, true},        {NSURLErrorCannotConnectToHost, true},   {NSURLErrorTimedOut, true},
        {NSURLErrorBadServerResponse, false},     {NSURLErrorCancelled, false},            {NSURLErrorSecureConnectionFailed, false},
        {NSURLErrorServerCertificateUntrusted, false}, {NSURLErrorBadURL, false},          {NSURLErrorCannotParseResponse, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.code);
        VuderuNetworkUtil::setLastNetworkOperationError(NSError::errorWithDomain(NSURLErrorDomain, row.code));
        EXPECT_TRUE(VuderuNetworkUtil::isNetworkReachable());
        EXPECT_EQ(VuderuNetworkUtil::isNetworkLikelyNotReachable(), row.likelyNotReachable);
    }
    VuderuNetworkUtil::setLastNetworkOperationError(nullptr);
}

TEST_F(VuderuNetworkUtilTest, SecureTransportSwitchesTheThreeURLsAndBack) {
    const std::string http[] = {"http://data.vuderu.net/aas.do", "http://ads.vuderu.net/v10/getAds.do", "http://adlog.vuderu.net/postAdLog.do"};
    auto urls = [] {
        return std::vector<std::string>{VuderuNetworkUtil::serverURL(), VuderuNetworkUtil::adServerUrl(), VuderuNetworkUtil::adLogServerUrl()};
    };
    EXPECT_EQ(urls(), std::vector<std::string>(std::begin(http), std::end(http)));
    VuderuNetworkUtil::setServerURL("http://elsewhere/x");
    VuderuNetworkUtil::setSecureTransportEnabled(true);
    EXPECT_EQ(urls(), (std::vector<std::string>{"https://data.vuderu.net/aas.do", "https://ads.vuderu.net/v10/getAds.do",
                                                "https://adlog.vuderu.net/postAdLog.do"}));
    VuderuNetworkUtil::setSecureTransportEnabled(false);
    EXPECT_EQ(urls(), std::vector<std::string>(std::begin(http), std::end(http)));
    EXPECT_EQ(VuderuNetworkUtil::appCloudServerUrl(), "https://appcloud.vuderu.net/");
    VuderuNetworkUtil::setAppCloudServerToStaging(true);
    EXPECT_EQ(VuderuNetworkUtil::appCloudServerUrl(), "https://appcloud-staging.vuderu.net/");
}

TEST_F(VuderuNetworkUtilTest, TheHostVariableStandsInForEveryHost) {
    ::setenv(VuderuNetworkUtil::kHostVariable, "127.0.0.1:8124", 1);
    EXPECT_EQ(VuderuNetworkUtil::serverURL(), "http://127.0.0.1:8124/aas.do");
    EXPECT_EQ(VuderuNetworkUtil::adServerUrl(), "http://127.0.0.1:8124/v10/getAds.do");
    VuderuNetworkUtil::setSecureTransportEnabled(true);
    EXPECT_EQ(VuderuNetworkUtil::serverURL(), "https://127.0.0.1:8124/aas.do");
    EXPECT_EQ(VuderuNetworkUtil::adLogServerUrl(), "https://127.0.0.1:8124/postAdLog.do");
    EXPECT_EQ(VuderuNetworkUtil::appCloudServerUrl(), "https://127.0.0.1:8124/");
    // Read once: a later change does not count.
    ::setenv(VuderuNetworkUtil::kHostVariable, "10.0.0.1:1", 1);
    EXPECT_EQ(VuderuNetworkUtil::serverURL(), "https://127.0.0.1:8124/aas.do");
}

TEST_F(VuderuNetworkUtilTest, AHostVariableThatIsNoHostAndPortIsLoggedAndIgnored) {
    ::setenv(VuderuNetworkUtil::kHostVariable, "http://127.0.0.1:8124/", 1);
    EXPECT_EQ(VuderuNetworkUtil::serverURL(), "http://data.vuderu.net/aas.do");
    EXPECT_TRUE(log_->contains("TANDREL_VUDERU_HOST"));
}

TEST(VuderuNetworkUtilHostTest, HostAndPortRule) {
    struct Row {
        const char* value;
        bool valid;
    };
    const Row rows[] = {{"127.0.0.1:8124", true}, {"collector.local:1", true}, {"a:65535", true}, {"a:65536", false},
                        {"a:0", false},           {":80", false},              {"host", false},   {"host:", false},
                        {"ho st:80", false},      {"h/x:80", false},           {"h:8o", false},   {"h:123456", false}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.value);
        EXPECT_EQ(VuderuNetworkUtil::isHostAndPort(row.value), row.valid);
    }
}

} // namespace
