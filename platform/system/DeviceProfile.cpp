#include "platform/system/DeviceProfile.h"

#include <mutex>
#include <sstream>
#include <utility>
#include <vector>

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

namespace {
const std::vector<std::pair<const char*, bool DeviceAccounts::*>>& accountNames() {
    static const std::vector<std::pair<const char*, bool DeviceAccounts::*>> names = {
        {"mail", &DeviceAccounts::mail},
        {"sms", &DeviceAccounts::sms},
        {"facebook", &DeviceAccounts::facebook},
        {"twitter", &DeviceAccounts::twitter},
    };
    return names;
}
} // namespace

std::optional<DeviceAccounts> DeviceAccounts::parse(const std::string& list, std::string& error) {
    DeviceAccounts accounts{false, false, false, false};
    if (list == "none") return accounts;
    if (list.empty()) {
        error = "accounts: give mail, sms, facebook, twitter separated by commas, or none";
        return std::nullopt;
    }
    std::stringstream parts(list);
    std::string part;
    while (std::getline(parts, part, ',')) {
        bool known = false;
        for (auto& [name, member] : accountNames())
            if (part == name) {
                accounts.*member = true;
                known = true;
            }
        if (!known) {
            error = "unknown account \"" + part + "\" (mail, sms, facebook, twitter or none)";
            return std::nullopt;
        }
    }
    if (!list.empty() && list.back() == ',') {
        error = "unknown account \"\" (mail, sms, facebook, twitter or none)";
        return std::nullopt;
    }
    return accounts;
}

std::string DeviceAccounts::description() const {
    std::string out;
    for (auto& [name, member] : accountNames())
        if (this->*member) out += (out.empty() ? "" : ",") + std::string(name);
    return out.empty() ? "none" : out;
}
