#include "netkit/NKNetworkReachabilityManager.h"
#include "platform/foundation/NSNotificationCenter.h"
#include "platform/testsupport/ChildProcess.h"
#include "platform/testsupport/RunLoopSupport.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sched.h>

#include <cstdlib>

namespace {

TEST(NKNetworkReachabilityManagerTest, StatusFromFlags) {
    constexpr auto R = kSCNetworkReachabilityFlagsReachable;
    constexpr auto Required = kSCNetworkReachabilityFlagsConnectionRequired;
    struct Row {
        SCNetworkReachabilityFlags flags;
        NKNetworkReachabilityStatus status;
    } rows[] = {
        {0, NKNetworkReachabilityStatusNotReachable},
        {R, NKNetworkReachabilityStatusReachableViaWiFi},
        {R | kSCNetworkReachabilityFlagsIsWWAN, NKNetworkReachabilityStatusReachableViaWWAN},
        {R | Required, NKNetworkReachabilityStatusNotReachable},
        {R | Required | kSCNetworkReachabilityFlagsConnectionOnTraffic, NKNetworkReachabilityStatusReachableViaWiFi},
        {R | Required | kSCNetworkReachabilityFlagsConnectionOnDemand | kSCNetworkReachabilityFlagsInterventionRequired,
         NKNetworkReachabilityStatusNotReachable},
        {kSCNetworkReachabilityFlagsIsWWAN, NKNetworkReachabilityStatusNotReachable},
    };
    for (const auto& row : rows) EXPECT_EQ(NKNetworkReachabilityStatusForFlags(row.flags), row.status) << row.flags;
    EXPECT_EQ(NKStringFromNetworkReachabilityStatus(7), "Unknown");
    EXPECT_EQ(NKStringFromNetworkReachabilityStatus(-1), "Unknown");
    EXPECT_EQ(NKStringFromNetworkReachabilityStatus(1), "Reachable via WWAN");
}

class NKNetworkReachabilityMonitoringTest : public ::testing::Test {
protected:
    void SetUp() override {
        token_ = NSNotificationCenter::defaultCenter()->addObserverForName(NKNetworkingReachabilityDidChangeNotification, nullptr, nullptr,
                                                                          [this](const auto& note) {
                                                                              posted_.push_back(note->userInfo()
                                                                                                    .at(NKNetworkingReachabilityNotificationStatusItem)
                                                                                                    .integerValue());
                                                                          });
    }
    void TearDown() override {
        NSNotificationCenter::defaultCenter()->removeObserver(token_);
        SCNetworkReachabilitySetDeviceNetwork(SCDeviceNetwork::Measured);
        drainMain();
    }
    std::shared_ptr<NSObject> token_;
    std::vector<long long> posted_;
};

TEST_F(NKNetworkReachabilityMonitoringTest, CallbacksSetTheStatusTellObserversAndPost) {
    sockaddr_in zero{};
    zero.sin_family = AF_INET;
    auto manager = NKNetworkReachabilityManager::managerForAddress(reinterpret_cast<const sockaddr*>(&zero));
    EXPECT_EQ(manager->networkReachabilityAssociation(), 1u);
    EXPECT_EQ(manager->networkReachabilityStatus(), -1);
    std::vector<std::string> told;
    std::vector<long long> blocks;
    for (const char* key : {"reachable", "reachableViaWWAN", "reachableViaWiFi"}) {
        manager->addObserverForKeyPath(key, [&told](const std::string& path, bool) { told.push_back(path); });
    }
    manager->setReachabilityStatusChangeBlock([&](long long status) { blocks.push_back(status); });
    SCNetworkReachabilitySetDeviceNetwork(SCDeviceNetwork::Cellular);
    manager->startMonitoring();
    // The first read posts nothing.
    ASSERT_TRUE(runMainUntil([&] { return !blocks.empty(); }));
    EXPECT_EQ(blocks.back(), NKNetworkReachabilityStatusReachableViaWWAN);
    EXPECT_EQ(told.size(), 3u);
    SCNetworkReachabilitySetDeviceNetwork(SCDeviceNetwork::WiFi);
    ASSERT_TRUE(runMainUntil([&] { return posted_.size() == 1; }));
    EXPECT_EQ(posted_.back(), NKNetworkReachabilityStatusReachableViaWiFi);
    EXPECT_TRUE(manager->isReachableViaWiFi());
    EXPECT_TRUE(manager->isReachable());
    EXPECT_EQ(manager->localizedNetworkReachabilityStatusString(), "Reachable via WiFi");
    EXPECT_EQ(told.size(), 6u);
    manager->stopMonitoring();
    SCNetworkReachabilitySetDeviceNetwork(SCDeviceNetwork::None);
    drainMain();
    EXPECT_EQ(posted_.size(), 1u);
    EXPECT_EQ(manager->networkReachabilityStatus(), NKNetworkReachabilityStatusReachableViaWiFi);
}

TEST_F(NKNetworkReachabilityMonitoringTest, ADomainManagerWaitsForItsFirstCallback) {
    auto manager = NKNetworkReachabilityManager::managerForDomain("example.com");
    EXPECT_EQ(manager->networkReachabilityAssociation(), 3u);
    manager->startMonitoring();
    drainMain();
    EXPECT_EQ(manager->networkReachabilityStatus(), -1);
    SCNetworkReachabilitySetDeviceNetwork(SCDeviceNetwork::None);
    ASSERT_TRUE(runMainUntil([&] { return posted_.size() == 1; }));
    EXPECT_EQ(manager->networkReachabilityStatus(), NKNetworkReachabilityStatusNotReachable);
}

TEST_F(NKNetworkReachabilityMonitoringTest, AManagerThatIsGoneIsNotCalled) {
    auto manager = NKNetworkReachabilityManager::managerForDomain("example.com");
    manager->startMonitoring();
    manager.reset();
    SCNetworkReachabilitySetDeviceNetwork(SCDeviceNetwork::WiFi);
    drainMain();
    EXPECT_TRUE(posted_.empty());
    EXPECT_EQ(NKNetworkReachabilityManager::sharedManager(), NKNetworkReachabilityManager::sharedManager());
}

constexpr int kCannotIsolate = 77;

// In a network namespace of its own, a default route makes the network at large reachable and
// its removal takes that away; the manager's status follows the route socket's callbacks.
TEST(NKNetworkReachabilityRoutesTest, TheStatusFollowsTheDefaultRoute) {
    int status = runInChildProcess([] {
        if (::unshare(CLONE_NEWNET) != 0) return kCannotIsolate;
        if (std::system("ip link add v0 type veth peer name v1 >/dev/null 2>&1") != 0) return kCannotIsolate;
        sockaddr_in zero{};
        zero.sin_family = AF_INET;
        auto manager = NKNetworkReachabilityManager::managerForAddress(reinterpret_cast<const sockaddr*>(&zero));
        std::vector<long long> seen;
        manager->setReachabilityStatusChangeBlock([&](long long s) { seen.push_back(s); });
        manager->startMonitoring();
        if (!runMainUntil([&] { return !seen.empty(); }) || seen.back() != NKNetworkReachabilityStatusNotReachable) return 1;
        if (std::system("ip addr add 10.9.8.1/24 dev v0 && ip link set v1 up && ip link set v0 up && "
                        "ip route add default via 10.9.8.2 dev v0") != 0) {
            return 2;
        }
        if (!runMainUntil([&] { return seen.back() == NKNetworkReachabilityStatusReachableViaWiFi; })) return 3;
        if (std::system("ip route del default") != 0) return 4;
        if (!runMainUntil([&] { return seen.back() == NKNetworkReachabilityStatusNotReachable; })) return 5;
        return 0;
    });
    if (status == kCannotIsolate) GTEST_SKIP() << "no network namespace or veth links here";
    EXPECT_EQ(status, 0);
}

} // namespace
