#include "platform/net/SCNetworkReachability.h"
#include "platform/testsupport/ChildProcess.h"
#include "platform/testsupport/RunLoopSupport.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <cstdlib>
#include <optional>
#include <sched.h>
#include <vector>

namespace {

sockaddr_in ipv4(const char* dotted) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    ::inet_pton(AF_INET, dotted, &address.sin_addr);
    return address;
}

SCNetworkReachabilityRef target(const char* dotted) {
    auto address = ipv4(dotted);
    return SCNetworkReachabilityCreateWithAddress(kCFAllocatorDefault, reinterpret_cast<const sockaddr*>(&address));
}

SCNetworkReachabilityFlags flagsOf(const SCNetworkReachabilityRef& reachability) {
    SCNetworkReachabilityFlags flags = 0xFFFFFFFF;
    EXPECT_TRUE(SCNetworkReachabilityGetFlags(reachability, &flags));
    return flags;
}

// An IPv4 address of an interface that is up and not loopback, when the host has one.
std::optional<std::string> ownAddress() {
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) return std::nullopt;
    std::optional<std::string> found;
    for (ifaddrs* entry = list; entry && !found; entry = entry->ifa_next) {
        if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET) continue;
        if (!(entry->ifa_flags & IFF_UP) || (entry->ifa_flags & IFF_LOOPBACK)) continue;
        char text[INET_ADDRSTRLEN];
        ::inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(entry->ifa_addr)->sin_addr, text, sizeof text);
        found = text;
    }
    ::freeifaddrs(list);
    return found;
}

struct Recorded {
    std::vector<SCNetworkReachabilityFlags> flags;
};

void record(const SCNetworkReachabilityRef&, SCNetworkReachabilityFlags flags, void* info) {
    static_cast<Recorded*>(info)->flags.push_back(flags);
}

TEST(SCNetworkReachabilityTest, CreationRefusesWhatIsNoTarget) {
    sockaddr_in6 v6{};
    v6.sin6_family = AF_INET6;
    EXPECT_EQ(SCNetworkReachabilityCreateWithAddress(kCFAllocatorDefault, nullptr), nullptr);
    EXPECT_EQ(SCNetworkReachabilityCreateWithAddress(kCFAllocatorDefault, reinterpret_cast<const sockaddr*>(&v6)), nullptr);
    EXPECT_EQ(SCNetworkReachabilityCreateWithName(nullptr, ""), nullptr);
    EXPECT_EQ(SCNetworkReachabilityCreateWithName(nullptr, nullptr), nullptr);
    EXPECT_NE(SCNetworkReachabilityCreateWithName(nullptr, "example.com"), nullptr);
    SCNetworkReachabilityFlags flags = 0;
    EXPECT_FALSE(SCNetworkReachabilityGetFlags(nullptr, &flags));
}

TEST(SCNetworkReachabilityTest, LoopbackAddressesAreNotReachable) {
    EXPECT_EQ(flagsOf(target("127.0.0.1")), 0u);
    EXPECT_EQ(flagsOf(target("127.3.2.1")), 0u);
}

TEST(SCNetworkReachabilityTest, AnOwnAddressIsReachableLocalAndDirectButNeverWWAN) {
    auto address = ownAddress();
    if (!address) GTEST_SKIP() << "the host has no IPv4 address outside loopback";
    EXPECT_EQ(flagsOf(target(address->c_str())),
              kSCNetworkReachabilityFlagsReachable | kSCNetworkReachabilityFlagsIsLocalAddress | kSCNetworkReachabilityFlagsIsDirect);
}

TEST(SCNetworkReachabilityTest, NamesAreJudgedByTheDefaultRouteLikeTheZeroAddress) {
    auto name = SCNetworkReachabilityCreateWithName(nullptr, "no-such-host.invalid");
    EXPECT_EQ(flagsOf(name), flagsOf(target("0.0.0.0")));
    EXPECT_EQ(flagsOf(name) & kSCNetworkReachabilityFlagsIsWWAN, 0u);
}

TEST(SCNetworkReachabilityTest, DeviceNetworkNames) {
    EXPECT_EQ(SCDeviceNetworkFromName("none"), SCDeviceNetwork::None);
    EXPECT_EQ(SCDeviceNetworkFromName("wifi"), SCDeviceNetwork::WiFi);
    EXPECT_EQ(SCDeviceNetworkFromName("cellular"), SCDeviceNetwork::Cellular);
    EXPECT_EQ(SCDeviceNetworkFromName("measured"), SCDeviceNetwork::Measured);
    EXPECT_EQ(SCDeviceNetworkFromName("WiFi"), std::nullopt);
    EXPECT_EQ(SCDeviceNetworkFromName(""), std::nullopt);
}

// The device's network replaces the measured flags of every target and runs each scheduled
// target's callback on its run loop, whether the flags changed or not.
TEST(SCNetworkReachabilityTest, TheDeviceNetworkReplacesTheFlagsAndFiresScheduledCallbacks) {
    auto internet = target("0.0.0.0");
    auto linkLocal = target("169.254.0.0");
    auto unscheduled = target("10.1.2.3");
    Recorded internetCalls, linkLocalCalls, unscheduledCalls;
    SCNetworkReachabilityContext context{0, &internetCalls, nullptr, nullptr, nullptr};
    ASSERT_TRUE(SCNetworkReachabilitySetCallback(internet, record, &context));
    context.info = &linkLocalCalls;
    ASSERT_TRUE(SCNetworkReachabilitySetCallback(linkLocal, record, &context));
    context.info = &unscheduledCalls;
    ASSERT_TRUE(SCNetworkReachabilitySetCallback(unscheduled, record, &context));
    auto main = NSRunLoop::mainRunLoop();
    ASSERT_TRUE(SCNetworkReachabilityScheduleWithRunLoop(internet, main, NSDefaultRunLoopMode));
    ASSERT_TRUE(SCNetworkReachabilityScheduleWithRunLoop(linkLocal, main, NSDefaultRunLoopMode));

    struct Row {
        SCDeviceNetwork network;
        SCNetworkReachabilityFlags internet;
        SCNetworkReachabilityFlags linkLocal;
    };
    const Row rows[] = {
        {SCDeviceNetwork::None, 0, 0},
        {SCDeviceNetwork::Cellular, kSCNetworkReachabilityFlagsReachable | kSCNetworkReachabilityFlagsIsWWAN,
         kSCNetworkReachabilityFlagsReachable | kSCNetworkReachabilityFlagsIsWWAN},
        {SCDeviceNetwork::WiFi, kSCNetworkReachabilityFlagsReachable,
         kSCNetworkReachabilityFlagsReachable | kSCNetworkReachabilityFlagsIsDirect},
        {SCDeviceNetwork::WiFi, kSCNetworkReachabilityFlagsReachable,
         kSCNetworkReachabilityFlagsReachable | kSCNetworkReachabilityFlagsIsDirect},
    };
    std::size_t calls = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(static_cast<int>(row.network));
        SCNetworkReachabilitySetDeviceNetwork(row.network);
        ++calls;
        ASSERT_TRUE(runMainUntil([&] { return internetCalls.flags.size() == calls && linkLocalCalls.flags.size() == calls; }));
        EXPECT_EQ(internetCalls.flags.back(), row.internet);
        EXPECT_EQ(linkLocalCalls.flags.back(), row.linkLocal);
        EXPECT_EQ(flagsOf(unscheduled), row.internet);
    }
    EXPECT_TRUE(unscheduledCalls.flags.empty());

    ASSERT_TRUE(SCNetworkReachabilityUnscheduleFromRunLoop(internet, main, NSDefaultRunLoopMode));
    EXPECT_FALSE(SCNetworkReachabilityUnscheduleFromRunLoop(internet, main, NSDefaultRunLoopMode));
    SCNetworkReachabilitySetDeviceNetwork(SCDeviceNetwork::None);
    ASSERT_TRUE(runMainUntil([&] { return linkLocalCalls.flags.size() == calls + 1; }));
    drainMain();
    EXPECT_EQ(internetCalls.flags.size(), calls);
    SCNetworkReachabilitySetDeviceNetwork(SCDeviceNetwork::Measured);
    EXPECT_EQ(flagsOf(target("127.0.0.1")), 0u);
}

TEST(SCNetworkReachabilityTest, ATargetIsScheduledOnOneRunLoopAtATime) {
    auto reachability = target("0.0.0.0");
    auto main = NSRunLoop::mainRunLoop();
    auto other = std::make_shared<NSRunLoop>();
    ASSERT_TRUE(SCNetworkReachabilityScheduleWithRunLoop(reachability, main, NSDefaultRunLoopMode));
    EXPECT_TRUE(SCNetworkReachabilityScheduleWithRunLoop(reachability, main, NSDefaultRunLoopMode));
    EXPECT_FALSE(SCNetworkReachabilityScheduleWithRunLoop(reachability, other, NSDefaultRunLoopMode));
    EXPECT_FALSE(SCNetworkReachabilityUnscheduleFromRunLoop(reachability, other, NSDefaultRunLoopMode));
    EXPECT_TRUE(SCNetworkReachabilityUnscheduleFromRunLoop(reachability, main, NSDefaultRunLoopMode));
}

} // namespace

namespace {

constexpr int kCannotIsolate = 77;

// In a network namespace of its own, a link that comes up with an address makes its network
// reachable, and the scheduled target hears of it from the route socket; the link going down
// takes it away again.
TEST(SCNetworkReachabilityTest, RouteChangesReachTheScheduledCallback) {
    int status = runInChildProcess([] {
        if (::unshare(CLONE_NEWNET) != 0) return kCannotIsolate;
        if (std::system("ip link add v0 type veth peer name v1 >/dev/null 2>&1") != 0) return kCannotIsolate;
        auto reachability = target("10.9.8.7");
        Recorded calls;
        SCNetworkReachabilityContext context{0, &calls, nullptr, nullptr, nullptr};
        SCNetworkReachabilitySetCallback(reachability, record, &context);
        SCNetworkReachabilityScheduleWithRunLoop(reachability, NSRunLoop::mainRunLoop(), NSDefaultRunLoopMode);
        if (flagsOf(reachability) != 0) return 1;
        if (std::system("ip addr add 10.9.8.1/24 dev v0 && ip link set v1 up && ip link set v0 up") != 0) return 2;
        if (!runMainUntil([&] { return !calls.flags.empty() && calls.flags.back() == kSCNetworkReachabilityFlagsReachable; })) return 3;
        if (std::system("ip link set v0 down") != 0) return 4;
        if (!runMainUntil([&] { return calls.flags.back() == 0; })) return 5;
        return 0;
    });
    if (status == kCannotIsolate) GTEST_SKIP() << "no network namespace or veth links here";
    EXPECT_EQ(status, 0);
}

} // namespace
