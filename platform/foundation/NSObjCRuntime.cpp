#include "platform/foundation/NSObjCRuntime.h"

#include <map>
#include <mutex>

namespace {
std::mutex& lock() {
    static std::mutex m;
    return m;
}
std::map<std::string, Class, std::less<>>& classes() {
    static std::map<std::string, Class, std::less<>> all;
    return all;
}
} // namespace

Class NSClassFromString(std::string_view name) {
    std::lock_guard<std::mutex> guard(lock());
    auto found = classes().find(name);
    return found == classes().end() ? nullptr : found->second;
}

void NSRegisterClass(const std::string& name, Class classObject) {
    std::lock_guard<std::mutex> guard(lock());
    classes()[name] = std::move(classObject);
}

void NSUnregisterClass(const std::string& name) {
    std::lock_guard<std::mutex> guard(lock());
    classes().erase(name);
}

bool NSObjectRespondsToSelector(const std::shared_ptr<NSObject>& object, std::string_view selector) {
    auto messaging = dynamic_cast<const NSDynamicMessaging*>(object.get());
    return messaging && messaging->respondsToSelector(selector);
}

Value NSObjectPerformSelector(const std::shared_ptr<NSObject>& object, std::string_view selector) {
    auto messaging = dynamic_cast<NSDynamicMessaging*>(object.get());
    if (!messaging || !messaging->respondsToSelector(selector)) return Value();
    return messaging->performSelector(selector);
}
