#include "platform/uikit/UIDevice.h"

#include "platform/foundation/NSString.h"
#include "platform/system/DeviceProfile.h"

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
