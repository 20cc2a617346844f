#pragma once
// The device: model, system and battery, as the device profile describes them.

#include "platform/foundation/NSObject.h"
#include "platform/system/DeviceProfile.h"

#include <atomic>
#include <string>

enum UIUserInterfaceIdiom : long { UIUserInterfaceIdiomPhone = 0, UIUserInterfaceIdiomPad = 1 };

class UIDevice : public NSObject {
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

    // The battery is read only while monitoring is on (off at start); read from any thread.
    bool isBatteryMonitoringEnabled() const { return batteryMonitoringEnabled_.load(); }
    void setBatteryMonitoringEnabled(bool enabled) { batteryMonitoringEnabled_.store(enabled); }
    // 0 to 1; -1 while monitoring is off or when the level is unknown.
    float batteryLevel() const;
    // Unknown while monitoring is off.
    UIDeviceBatteryState batteryState() const;

private:
    std::atomic<bool> batteryMonitoringEnabled_{false};
};
