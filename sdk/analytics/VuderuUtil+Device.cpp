// VuderuUtil's device facts: the platform name, the battery, the boot time and the language.

#include "sdk/analytics/VuderuUtil.h"

#include "platform/foundation/NSBundle.h"
#include "platform/foundation/NSLocale.h"
#include "platform/foundation/NSUserDefaults.h"
#include "platform/system/sysctl.h"
#include "platform/uikit/UIDevice.h"
#include "sdk/analytics/VuderuLog.h"

#include <cstring>
#include <mutex>

namespace {

constexpr float kBatteryPercent = 100.0f;

// Battery monitoring is switched on for one reading and back off; one reading at a time, so that
// a reader never switches it off under another.
std::mutex& batteryLock() {
    static std::mutex lock;
    return lock;
}

template <class Reading>
auto readBattery(Reading reading) {
    std::lock_guard<std::mutex> guard(batteryLock());
    auto device = UIDevice::currentDevice();
    bool wasMonitoring = device->isBatteryMonitoringEnabled();
    if (!wasMonitoring) device->setBatteryMonitoringEnabled(true);
    auto value = reading(*device);
    if (!wasMonitoring) device->setBatteryMonitoringEnabled(false);
    return value;
}

} // namespace

std::string VuderuUtil::devicePlatform() {
    std::size_t size = 0;
    if (sysctlbyname("hw.machine", nullptr, &size, nullptr, 0) != 0 || size == 0) return {};
    std::string machine(size, '\0');
    if (sysctlbyname("hw.machine", machine.data(), &size, nullptr, 0) != 0) return {};
    machine.resize(std::strlen(machine.c_str()));
    return machine;
}

float VuderuUtil::getBatteryLevel() {
    // -1 when the device cannot tell: -100.
    return readBattery([](const UIDevice& device) { return device.batteryLevel(); }) * kBatteryPercent;
}

long VuderuUtil::getBatteryState() {
    return readBattery([](const UIDevice& device) { return static_cast<long>(device.batteryState()); });
}

long VuderuUtil::lastBootTime() {
    int mib[2] = {CTL_KERN, KERN_BOOTTIME};
    struct timeval boot{};
    std::size_t size = sizeof boot;
    if (sysctl(mib, 2, &boot, &size, nullptr, 0) != 0) {
        VuderuLog("Failed to get last boot time");
        return 0;
    }
    return static_cast<long>(boot.tv_sec);
}

std::string VuderuUtil::preferredLanguage() {
    auto languages = NSLocale::preferredLanguages();
    if (!languages.empty()) return languages.front();
    // The bundle's localizations ordered for the user: with no preference of the user's, its
    // development region leads.
    std::string region = NSBundle::mainBundle()->objectForInfoDictionaryKey("CFBundleDevelopmentRegion").stringValue();
    if (!region.empty()) return region;
    auto apple = NSUserDefaults::standardUserDefaults()->stringArrayForKey("AppleLanguages");
    if (apple && !apple->empty() && !apple->front().empty()) return apple->front();
    return "en";
}
