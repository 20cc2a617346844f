#include "platform/uikit/CLLocationManager.h"

#include "platform/foundation/NSObjCRuntime.h"

#include <algorithm>
#include <mutex>

namespace {

struct DeviceLocation {
    std::mutex lock;
    std::shared_ptr<CLLocation> current;
    std::vector<std::weak_ptr<CLLocationManager>> updating;
};

DeviceLocation& device() {
    static auto* state = new DeviceLocation;
    return *state;
}

// The class object "CLLocation", found by code that looks the class up by name.
class CLLocationClass : public NSObject {};
const bool registeredCLLocationManager = (NSRegisterClass(CLLocation::kClassName, std::make_shared<CLLocationClass>()), true);

} // namespace

CLLocation::CLLocation(CLLocationCoordinate2D coordinate, double altitude, double horizontalAccuracy, double verticalAccuracy,
                       std::shared_ptr<NSDate> timestamp)
    : coordinate_(coordinate), altitude_(altitude), horizontalAccuracy_(horizontalAccuracy), verticalAccuracy_(verticalAccuracy),
      timestamp_(timestamp ? std::move(timestamp) : NSDate::date()) {
    (void)registeredCLLocationManager;
}

void CLLocationManager::startUpdatingLocation() {
    auto& state = device();
    std::lock_guard guard(state.lock);
    for (const auto& manager : state.updating) {
        if (manager.lock().get() == this) return;
    }
    state.updating.push_back(self<CLLocationManager>());
}

void CLLocationManager::stopUpdatingLocation() {
    auto& state = device();
    std::lock_guard guard(state.lock);
    std::erase_if(state.updating, [this](const auto& manager) {
        auto live = manager.lock();
        return !live || live.get() == this;
    });
}

std::shared_ptr<CLLocation> CLLocationManager::location() const {
    auto& state = device();
    std::lock_guard guard(state.lock);
    return state.current;
}

void CLLocationManager::deviceDidUpdateLocation(const std::shared_ptr<CLLocation>& location) {
    std::vector<std::shared_ptr<CLLocationManager>> managers;
    {
        auto& state = device();
        std::lock_guard guard(state.lock);
        state.current = location;
        for (const auto& manager : state.updating) {
            if (auto live = manager.lock()) managers.push_back(std::move(live));
        }
    }
    for (const auto& manager : managers) {
        if (auto delegate = manager->delegate()) delegate->locationManagerDidUpdateLocations(*manager, {location});
    }
}

void CLLocationManager::reset() {
    auto& state = device();
    std::lock_guard guard(state.lock);
    state.current.reset();
    state.updating.clear();
}
