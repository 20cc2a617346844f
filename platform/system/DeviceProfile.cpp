#include "platform/system/DeviceProfile.h"

#include <mutex>

namespace {
std::mutex lock;
DeviceProfile& profile() {
    static DeviceProfile p;
    return p;
}
} // namespace

DeviceProfile DeviceProfile::current() {
    std::lock_guard<std::mutex> guard(lock);
    return profile();
}

void DeviceProfile::update(const std::function<void(DeviceProfile&)>& change) {
    std::lock_guard<std::mutex> guard(lock);
    change(profile());
}

void DeviceProfile::reset() {
    std::lock_guard<std::mutex> guard(lock);
    profile() = DeviceProfile{};
}
