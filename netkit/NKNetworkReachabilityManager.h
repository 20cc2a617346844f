#pragma once
// Watches whether a host, an address or the network at large can be reached, through one
// SCNetworkReachability target scheduled on the main run loop while monitoring. Keeps the latest
// status (-1 until the first one arrives), tells an optional block on every change, and posts
// "com.netkit.networking.reachability.change" for every flags callback. The derived keys
// "reachable", "reachableViaWWAN" and "reachableViaWiFi" are observed through
// "networkReachabilityStatus".

#include "platform/foundation/NSKeyValueObserving.h"
#include "platform/foundation/NSObject.h"
#include "platform/net/SCNetworkReachability.h"

#include <functional>
#include <memory>
#include <mutex>
#include <string>

enum NKNetworkReachabilityStatus : long long {
    NKNetworkReachabilityStatusUnknown = -1,
    NKNetworkReachabilityStatusNotReachable = 0,
    NKNetworkReachabilityStatusReachableViaWWAN = 1,
    NKNetworkReachabilityStatusReachableViaWiFi = 2,
};

extern const std::string NKNetworkingReachabilityDidChangeNotification;      // "com.netkit.networking.reachability.change"
extern const std::string NKNetworkingReachabilityNotificationStatusItem;     // "NKNetworkingReachabilityNotificationStatusItem"

std::string NKStringFromNetworkReachabilityStatus(long long status);
NKNetworkReachabilityStatus NKNetworkReachabilityStatusForFlags(SCNetworkReachabilityFlags flags);

class NKNetworkReachabilityManager : public NSObject, public NSKeyValueObserving {
public:
    enum Association : unsigned long long { ForAddress = 1, ForName = 3 };

    // The manager of 0.0.0.0 (the network at large), made once.
    static std::shared_ptr<NKNetworkReachabilityManager> sharedManager();
    static std::shared_ptr<NKNetworkReachabilityManager> managerForDomain(const std::string& domain);
    static std::shared_ptr<NKNetworkReachabilityManager> managerForAddress(const sockaddr* address);
    // initWithReachability: — takes the target over; association 0.
    explicit NKNetworkReachabilityManager(SCNetworkReachabilityRef reachability);
    ~NKNetworkReachabilityManager() override;

    long long networkReachabilityStatus() const;
    const SCNetworkReachabilityRef& networkReachability() const { return reachability_; }
    unsigned long long networkReachabilityAssociation() const { return association_; }
    bool isReachable() const { return isReachableViaWWAN() || isReachableViaWiFi(); }
    bool isReachableViaWWAN() const { return networkReachabilityStatus() == NKNetworkReachabilityStatusReachableViaWWAN; }
    bool isReachableViaWiFi() const { return networkReachabilityStatus() == NKNetworkReachabilityStatusReachableViaWiFi; }
    std::string localizedNetworkReachabilityStatusString() const;

    void setReachabilityStatusChangeBlock(std::function<void(long long status)> block);
    // Schedules the target on the main run loop; an address (not a name) gets its first status from
    // a read of the current flags, which posts no notification.
    void startMonitoring();
    void stopMonitoring();

    std::set<std::string> keyPathsForValuesAffectingValueForKey(const std::string& key) const override;

private:
    void setNetworkReachabilityStatus(long long status);

    SCNetworkReachabilityRef reachability_;
    unsigned long long association_ = 0;
    mutable std::mutex mutex_;
    long long status_ = NKNetworkReachabilityStatusUnknown;
    std::function<void(long long)> statusBlock_;
};
