#include "platform/net/SCNetworkReachability.h"

#include "platform/net/SCNetworkReachabilityRoutes.h"

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <mutex>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::uint32_t kLinkLocalNetwork = 0xA9FE0000;  // 169.254.0.0, host order

std::atomic<SCDeviceNetwork> deviceNetwork{SCDeviceNetwork::Measured};

std::mutex& registryLock() {
    static std::mutex lock;
    return lock;
}
std::vector<std::weak_ptr<SCNetworkReachability>>& scheduledTargets() {
    static std::vector<std::weak_ptr<SCNetworkReachability>> targets;
    return targets;
}

int openRouteSocket() {
    int fd = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_ROUTE);
    if (fd < 0) return -1;
    sockaddr_nl local{};
    local.nl_family = AF_NETLINK;
    local.nl_groups = RTMGRP_LINK | RTMGRP_IPV4_IFADDR | RTMGRP_IPV4_ROUTE;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

class SCNetworkReachability : public std::enable_shared_from_this<SCNetworkReachability> {
public:
    explicit SCNetworkReachability(std::optional<std::uint32_t> address) : address_(address) {}
    ~SCNetworkReachability() {
        unschedule();
        if (context_.release && context_.info) context_.release(context_.info);
    }

    SCNetworkReachabilityFlags flags() const {
        switch (deviceNetwork.load()) {
            case SCDeviceNetwork::Measured: return SCNetworkReachabilityMeasureFlags(address_);
            case SCDeviceNetwork::None: return 0;
            case SCDeviceNetwork::WiFi:
                return kSCNetworkReachabilityFlagsReachable |
                       (address_ == kLinkLocalNetwork ? SCNetworkReachabilityFlags{kSCNetworkReachabilityFlagsIsDirect} : 0u);
            case SCDeviceNetwork::Cellular: return kSCNetworkReachabilityFlagsReachable | kSCNetworkReachabilityFlagsIsWWAN;
        }
        return 0;
    }

    void setCallback(SCNetworkReachabilityCallBack callback, const SCNetworkReachabilityContext* context) {
        std::lock_guard lock(mutex_);
        if (context_.release && context_.info) context_.release(context_.info);
        callback_ = callback;
        context_ = context ? *context : SCNetworkReachabilityContext{};
        if (context_.retain && context_.info) context_.info = const_cast<void*>(context_.retain(context_.info));
    }

    bool schedule(const std::shared_ptr<NSRunLoop>& runLoop) {
        std::lock_guard lock(mutex_);
        if (runLoop_) return runLoop_ == runLoop;
        fd_ = openRouteSocket();
        if (fd_ >= 0) {
            std::weak_ptr<SCNetworkReachability> weak = shared_from_this();
            source_ = runLoop->addFileDescriptor(fd_, NSRunLoop::Readable, [weak](int fd, int) {
                char buffer[8192];
                while (::recv(fd, buffer, sizeof buffer, 0) > 0) {}
                if (auto target = weak.lock()) target->notifyIfChanged();
            });
        }
        runLoop_ = runLoop;
        last_ = flags();
        std::lock_guard registry(registryLock());
        scheduledTargets().push_back(weak_from_this());
        return true;
    }

    bool unschedule() {
        std::lock_guard lock(mutex_);
        if (!runLoop_) return false;
        if (source_) runLoop_->removeFileDescriptor(source_);
        if (fd_ >= 0) ::close(fd_);
        source_ = 0;
        fd_ = -1;
        runLoop_.reset();
        std::lock_guard registry(registryLock());
        auto& targets = scheduledTargets();
        std::erase_if(targets, [this](const auto& weak) {
            auto target = weak.lock();
            return !target || target.get() == this;
        });
        return true;
    }

    bool isScheduledOn(const std::shared_ptr<NSRunLoop>& runLoop) {
        std::lock_guard lock(mutex_);
        return runLoop_ && runLoop_ == runLoop;
    }

    // On the scheduled run loop.
    void notifyIfChanged() {
        SCNetworkReachabilityFlags now = flags();
        if (now == last_) return;
        notify(now);
    }
    void notify(SCNetworkReachabilityFlags now) {
        last_ = now;
        SCNetworkReachabilityCallBack callback;
        void* info;
        {
            std::lock_guard lock(mutex_);
            callback = callback_;
            info = context_.info;
        }
        if (callback) callback(shared_from_this(), now, info);
    }

    std::shared_ptr<NSRunLoop> runLoop() {
        std::lock_guard lock(mutex_);
        return runLoop_;
    }

private:
    const std::optional<std::uint32_t> address_;  // host order; none for a name
    std::mutex mutex_;
    SCNetworkReachabilityCallBack callback_ = nullptr;
    SCNetworkReachabilityContext context_;
    std::shared_ptr<NSRunLoop> runLoop_;
    NSRunLoop::SourceId source_ = 0;
    int fd_ = -1;
    SCNetworkReachabilityFlags last_ = 0;  // touched on the scheduled run loop
};

SCNetworkReachabilityRef SCNetworkReachabilityCreateWithAddress(CFAllocatorRef, const sockaddr* address) {
    if (!address || address->sa_family != AF_INET) return nullptr;
    const auto* ipv4 = reinterpret_cast<const sockaddr_in*>(address);
    return std::make_shared<SCNetworkReachability>(ntohl(ipv4->sin_addr.s_addr));
}

SCNetworkReachabilityRef SCNetworkReachabilityCreateWithName(CFAllocatorRef, const char* nodename) {
    if (!nodename || !*nodename) return nullptr;
    return std::make_shared<SCNetworkReachability>(std::nullopt);
}

bool SCNetworkReachabilitySetCallback(const SCNetworkReachabilityRef& target, SCNetworkReachabilityCallBack callback,
                                      const SCNetworkReachabilityContext* context) {
    if (!target) return false;
    target->setCallback(callback, context);
    return true;
}

bool SCNetworkReachabilityScheduleWithRunLoop(const SCNetworkReachabilityRef& target, const std::shared_ptr<NSRunLoop>& runLoop,
                                              const NSRunLoopMode&) {
    return target && runLoop && target->schedule(runLoop);
}

bool SCNetworkReachabilityUnscheduleFromRunLoop(const SCNetworkReachabilityRef& target,
                                                const std::shared_ptr<NSRunLoop>& runLoop, const NSRunLoopMode&) {
    return target && runLoop && target->isScheduledOn(runLoop) && target->unschedule();
}

bool SCNetworkReachabilityGetFlags(const SCNetworkReachabilityRef& target, SCNetworkReachabilityFlags* flags) {
    if (!target || !flags) return false;
    *flags = target->flags();
    return true;
}

std::optional<SCDeviceNetwork> SCDeviceNetworkFromName(std::string_view name) {
    if (name == "none") return SCDeviceNetwork::None;
    if (name == "wifi") return SCDeviceNetwork::WiFi;
    if (name == "cellular") return SCDeviceNetwork::Cellular;
    if (name == "measured") return SCDeviceNetwork::Measured;
    return std::nullopt;
}

void SCNetworkReachabilitySetDeviceNetwork(SCDeviceNetwork network) {
    deviceNetwork.store(network);
    std::vector<SCNetworkReachabilityRef> targets;
    {
        std::lock_guard registry(registryLock());
        for (const auto& weak : scheduledTargets()) {
            if (auto target = weak.lock()) targets.push_back(std::move(target));
        }
    }
    for (const auto& target : targets) {
        auto runLoop = target->runLoop();
        if (!runLoop) continue;
        std::weak_ptr<SCNetworkReachability> weak = target;
        runLoop->performBlock([weak] {
            if (auto alive = weak.lock()) alive->notify(alive->flags());
        });
    }
}

SCDeviceNetwork SCNetworkReachabilityDeviceNetwork() {
    return deviceNetwork.load();
}
