#include "platform/uikit/UIDevice.h"

#include "platform/foundation/NSBundle.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/PropertyListStore.h"

std::shared_ptr<UIDevice> UIDevice::currentDevice() {
    static auto device = std::make_shared<UIDevice>();
    return device;
}

std::string UIDevice::model() const { return DeviceProfile::current().model; }
std::string UIDevice::name() const { return DeviceProfile::current().name; }
std::string UIDevice::systemName() const { return DeviceProfile::current().systemName; }
std::string UIDevice::systemVersion() const { return DeviceProfile::current().systemVersion; }
UIUserInterfaceIdiom UIDevice::userInterfaceIdiom() const {
    return NSString::hasPrefix(model(), "iPad") ? UIUserInterfaceIdiomPad : UIUserInterfaceIdiomPhone;
}

namespace {
constexpr float kBatteryLevelUnknown = -1.0f;
}

float UIDevice::batteryLevel() const {
    if (!isBatteryMonitoringEnabled()) return kBatteryLevelUnknown;
    float level = DeviceProfile::current().batteryLevel;
    return level >= 0.0f && level <= 1.0f ? level : kBatteryLevelUnknown;
}

UIDeviceBatteryState UIDevice::batteryState() const {
    return isBatteryMonitoringEnabled() ? DeviceProfile::current().batteryState : UIDeviceBatteryStateUnknown;
}

namespace {
constexpr char kVendorIdentifiersPath[] = "/var/mobile/Library/VendorIdentifiers.plist";

std::string vendorOf(const std::string& bundleIdentifier) {
    std::size_t dot = bundleIdentifier.rfind('.');
    return dot == std::string::npos ? bundleIdentifier : bundleIdentifier.substr(0, dot);
}

// The class object "UIDevice", for code that looks the device up by name.
class UIDeviceClass : public NSObject, public NSDynamicMessaging {
public:
    bool respondsToSelector(std::string_view selector) const override { return selector == "currentDevice"; }
    Value performSelector(std::string_view selector) override {
        return selector == "currentDevice" ? Value(UIDevice::currentDevice()) : Value();
    }
};
const bool registeredUIDevice = (NSRegisterClass("UIDevice", std::make_shared<UIDeviceClass>()), true);
} // namespace

std::string UIDevice::vendorIdentifiersPath() { return kVendorIdentifiersPath; }

std::shared_ptr<NSUUID> UIDevice::identifierForVendor() {
    std::lock_guard<std::mutex> guard(vendorLock_);
    if (vendorIdentifier_) return vendorIdentifier_;
    const std::string vendor = vendorOf(NSBundle::mainBundle()->bundleIdentifier());
    std::shared_ptr<NSUUID> identifier;
    // The file is shared by the vendor's apps: the first to ask makes the identifier under the
    // store's lock, every later one finds it.
    PropertyListStore store(kVendorIdentifiersPath, NSPropertyListBinaryFormat_v1_0);
    bool kept = store.update([&](Value::Dictionary& identifiers) {
        auto found = identifiers.find(vendor);
        if (found != identifiers.end() && found->second.isString()) identifier = NSUUID::initWithUUIDString(found->second.string());
        if (identifier) return false;
        identifier = NSUUID::UUID();
        identifiers[vendor] = identifier->UUIDString();
        return true;
    });
    if (!kept) return nullptr;
    vendorIdentifier_ = identifier;
    return identifier;
}

bool UIDevice::respondsToSelector(std::string_view selector) const { return selector == "identifierForVendor"; }

Value UIDevice::performSelector(std::string_view selector) {
    if (selector != "identifierForVendor") return Value();
    auto identifier = identifierForVendor();
    return identifier ? Value(identifier) : Value();
}
