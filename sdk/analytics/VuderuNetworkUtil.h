#pragma once
// The SDK-wide network holder: follows reachability of the ad-server host, keeps the network
// status code that reports and ad requests carry (0 no network, 2 WiFi, 3 cellular), posts
// kVuderuNetworkStatusChangedNotification on every change callback, remembers the last network
// error, and holds the server URLs.
//
// Every endpoint's host is one constant here. TANDREL_VUDERU_HOST ("host:port"), read once at
// start-up, stands in for all of them (schemes and paths stay); any other value is logged and
// ignored.

#include "platform/foundation/NSError.h"
#include "platform/foundation/NSNotificationCenter.h"
#include "platform/foundation/NSObject.h"
#include "platform/foundation/ThreadSafety.h"

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

extern const std::string kVuderuNetworkStatusChangedNotification;

// The network status codes.
enum VuderuNetworkStatusCode : int {
    VuderuNetworkStatusNone = 0,
    VuderuNetworkStatusWiFi = 2,
    VuderuNetworkStatusCellular = 3,
};

class VuderuNetworkUtil : public NSObject {
public:
    // The deployer's hosts.
    static constexpr const char* kAnalyticsHost = "data.vuderu.net";
    static constexpr const char* kAdServerHost = "ads.vuderu.net";
    static constexpr const char* kAdLogHost = "adlog.vuderu.net";
    static constexpr const char* kAppCloudHost = "appcloud.vuderu.net";
    static constexpr const char* kAppCloudStagingHost = "appcloud-staging.vuderu.net";
    static constexpr const char* kHostVariable = "TANDREL_VUDERU_HOST";

    static std::shared_ptr<VuderuNetworkUtil> instance();

    NSErrorPtr lastNetworkOperationError() const;
    void setLastNetworkOperationErrorValue(NSErrorPtr error);

    static void initNetworkReachability();
    static void updateNetworkStatus(const std::shared_ptr<NSNotification>& notification);
    static bool isNetworkReachable();
    static int networkStatus();
    static void setLastNetworkOperationError(const NSErrorPtr& error);
    static void setNetworkLikelyNotReachable();
    static bool isNetworkLikelyNotReachable();

    static std::string serverURL();
    static void setServerURL(const std::string& url);
    static std::string adServerUrl();
    static void setAdServerUrl(const std::string& url);
    static std::string adLogServerUrl();
    static void setAdLogServerUrl(const std::string& url);
    static void setSecureTransportEnabled(bool enabled);
    static void setAppCloudServerToStaging(bool staging);
    static std::string appCloudServerUrl();

    // "scheme://host/path" for a host constant, the stand-in host when one is set.
    static std::string endpointURL(const char* scheme, const char* host, const char* path);
    // The stand-in host and port, read once; nullopt when unset or not a host and port (logged).
    static const std::optional<std::string>& hostOverride();
    // The rule itself: "host:port" with a host of letters, digits, '.' and '-' and a port 1-65535.
    static bool isHostAndPort(std::string_view value);

private:
    mutable Mutex errorLock_;
    NSErrorPtr lastNetworkOperationError_ TD_GUARDED_BY(errorLock_);
};
