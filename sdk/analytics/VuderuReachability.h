#pragma once
// One reachability target and its three-valued status: 0 not reachable, 1 via WiFi, 2 via WWAN.
// Once its notifier is started, every change of the target's flags posts
// "VuderuReachabilityChangedNotification" with the object, on the run loop it was started on.

#include "platform/foundation/NSObject.h"
#include "platform/net/SCNetworkReachability.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

struct sockaddr_in;

enum VuderuReachabilityStatus : int {
    VuderuNotReachable = 0,
    VuderuReachableViaWiFi = 1,
    VuderuReachableViaWWAN = 2,
};

inline constexpr const char* kVuderuReachabilityChangedNotification = "VuderuReachabilityChangedNotification";

class VuderuReachability : public NSObject {
public:
    static std::shared_ptr<VuderuReachability> vuderuReachabilityWithHostName(const std::string& hostName);
    static std::shared_ptr<VuderuReachability> vuderuReachabilityWithAddress(const sockaddr_in& address);
    // "%d.%d.%d.%d" of the address's bytes in memory order (network order in, dotted out).
    static std::string vuderuMakeAddressKey(std::uint32_t address);
    // Keyed "InternetConnection": the all-zero address.
    static std::shared_ptr<VuderuReachability> vuderuReachabilityForInternetConnection();
    // Keyed "LocalWiFiConnection": 169.254.0.0.
    static std::shared_ptr<VuderuReachability> vuderuReachabilityForLocalWiFi();

    explicit VuderuReachability(SCNetworkReachabilityRef target);
    ~VuderuReachability() override;

    std::string key() const;
    void setKey(const std::string& key);

    bool vuderuStartNotifier();
    void vuderuStopNotifier();
    bool isVuderuReachabilityEqual(const VuderuReachability& other) const { return key() == other.key(); }

    VuderuReachabilityStatus vuderuNetworkStatusForFlags(SCNetworkReachabilityFlags flags) const;
    VuderuReachabilityStatus vuderuCurrentReachabilityStatus() const;
    bool isVuderuReachable() const;
    bool isVuderuReachableViaWiFi() const { return vuderuCurrentReachabilityStatus() == VuderuReachableViaWiFi; }
    bool isVuderuReachableViaWWAN() const { return vuderuCurrentReachabilityStatus() == VuderuReachableViaWWAN; }
    bool isVuderuConnectionRequired() const;
    bool isVuderuConnectionOnDemand() const;
    bool isVuderuUserInterventionRequired() const;
    SCNetworkReachabilityFlags vuderuReachabilityFlags() const;

private:
    bool readFlags(SCNetworkReachabilityFlags* flags) const;

    mutable std::mutex keyLock_;
    std::string key_;
    // Only the local-WiFi object's key counts as that key in the status rule, not an equal string.
    bool isLocalWiFi_ = false;
    SCNetworkReachabilityRef vuderuReachabilityRef_;
    std::shared_ptr<NSRunLoop> scheduledRunLoop_;
};
