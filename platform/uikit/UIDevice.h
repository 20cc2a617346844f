#pragma once
// The device: model, system and battery, as the device profile describes them, and the
// identifier it gives the apps of one vendor. Looked up by name ("UIDevice", currentDevice) too.

#include "platform/foundation/NSObjCRuntime.h"
#include "platform/foundation/NSObject.h"
#include "platform/foundation/NSUUID.h"
#include "platform/system/DeviceProfile.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

// Posted by UIApplication::rotateDevice (object: the device).
inline constexpr const char* UIDeviceOrientationDidChangeNotification = "UIDeviceOrientationDidChangeNotification";

enum UIUserInterfaceIdiom : long { UIUserInterfaceIdiomPhone = 0, UIUserInterfaceIdiomPad = 1 };

class UIDevice : public NSObject, public NSDynamicMessaging {
public:
    static std::shared_ptr<UIDevice> currentDevice();
    std::string model() const;          // "iPhone" or "iPad"
    std::string localizedModel() const { return model(); }
    std::string name() const;
    std::string systemName() const;
    std::string systemVersion() const;  // "8.0"
    UIUserInterfaceIdiom userInterfaceIdiom() const;
    // The device runs apps in the background.
    bool isMultitaskingSupported() const { return true; }

    // The way the device is held (the device profile's); rotation notifications are counted on
    // and off, and posted whenever the device turns.
    UIDeviceOrientation orientation() const { return DeviceProfile::current().orientation; }
    void beginGeneratingDeviceOrientationNotifications() { ++orientationObservers_; }
    void endGeneratingDeviceOrientationNotifications() {
        if (orientationObservers_ > 0) --orientationObservers_;
    }
    bool isGeneratingDeviceOrientationNotifications() const { return orientationObservers_ > 0; }

    // The battery is read only while monitoring is on (off at start); read from any thread.
    bool isBatteryMonitoringEnabled() const { return batteryMonitoringEnabled_.load(); }
    void setBatteryMonitoringEnabled(bool enabled) { batteryMonitoringEnabled_.store(enabled); }
    // 0 to 1; -1 while monitoring is off or when the level is unknown.
    float batteryLevel() const;
    // Unknown while monitoring is off.
    UIDeviceBatteryState batteryState() const;

    // The same UUID for every app of one vendor on this device, across launches: made on first
    // use and kept in the device file vendorIdentifiersPath(), under the vendor's part of the
    // bundle identifier (all but its last component: "org.harborstack" for
    // "org.harborstack.tandrel"). Nil while it cannot be kept (the file cannot be written).
    std::shared_ptr<NSUUID> identifierForVendor();
    // "/var/mobile/Library/VendorIdentifiers.plist": a dictionary of vendor to UUID string.
    static std::string vendorIdentifiersPath();

    bool respondsToSelector(std::string_view selector) const override;
    Value performSelector(std::string_view selector) override;

private:
    std::mutex vendorLock_;
    std::shared_ptr<NSUUID> vendorIdentifier_;
    std::atomic<bool> batteryMonitoringEnabled_{false};
    std::atomic<long> orientationObservers_{0};
};
