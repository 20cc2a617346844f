#pragma once
// The simulated device: what UIDevice and UIScreen report and what the analytics' device facts
// read where Linux has no answer of its own. One process-wide profile; the binary's options and
// the tests change it.

#include <functional>
#include <optional>
#include <string>

enum UIDeviceBatteryState : long {
    UIDeviceBatteryStateUnknown = 0,
    UIDeviceBatteryStateUnplugged = 1,
    UIDeviceBatteryStateCharging = 2,
    UIDeviceBatteryStateFull = 3,
};

enum UIDeviceOrientation : long {
    UIDeviceOrientationUnknown = 0,
    UIDeviceOrientationPortrait = 1,
    UIDeviceOrientationPortraitUpsideDown = 2,
    UIDeviceOrientationLandscapeLeft = 3,
    UIDeviceOrientationLandscapeRight = 4,
    UIDeviceOrientationFaceUp = 5,
    UIDeviceOrientationFaceDown = 6,
};

// The accounts the device is signed in to, which decide what its compose sheets can do.
struct DeviceAccounts {
    bool mail = true;
    bool sms = true;
    bool facebook = true;
    bool twitter = true;

    // "mail,sms,facebook,twitter" (any of them, in any order) or "none"; nullopt with the
    // reason in `error` for anything else.
    static std::optional<DeviceAccounts> parse(const std::string& list, std::string& error);
    // The list in that form ("none" when empty).
    std::string description() const;
};

struct DeviceProfile {
    std::string model = "iPhone";          // "iPhone" or "iPad"
    std::string name = "Tandrel Device";
    std::string systemName = "iPhone OS";
    std::string systemVersion = "8.0";
    double screenWidth = 320;              // points
    double screenHeight = 568;
    double screenScale = 2;
    float batteryLevel = 1.0f;             // 0..1, -1 when unknown
    UIDeviceBatteryState batteryState = UIDeviceBatteryStateFull;
    UIDeviceOrientation orientation = UIDeviceOrientationPortrait;
    DeviceAccounts accounts;

    // A copy of the current profile.
    static DeviceProfile current();
    // Changes the profile under its lock.
    static void update(const std::function<void(DeviceProfile&)>& change);
    // Back to the defaults above.
    static void reset();
};
