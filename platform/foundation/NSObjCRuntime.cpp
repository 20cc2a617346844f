#include "platform/foundation/NSObjCRuntime.h"

#include <map>
#include <mutex>

namespace {
std::mutex& lock() {
    static std::mutex m;
    return m;
}
struct ClassEntry {
    Class classObject;
    std::vector<std::string> protocols;
};
std::map<std::string, ClassEntry, std::less<>>& classes() {
    static std::map<std::string, ClassEntry, std::less<>> all;
    return all;
}
const ClassEntry* entryOf(const Class& classObject) {
    for (const auto& [name, entry] : classes())
        if (entry.classObject == classObject) return &entry;
    return nullptr;
}
} // namespace

Class NSClassFromString(std::string_view name) {
    std::lock_guard<std::mutex> guard(lock());
    auto found = classes().find(name);
    return found == classes().end() ? nullptr : found->second.classObject;
}

void NSRegisterClass(const std::string& name, Class classObject) { NSRegisterClass(name, std::move(classObject), {}); }

void NSRegisterClass(const std::string& name, Class classObject, std::vector<std::string> protocols) {
    std::lock_guard<std::mutex> guard(lock());
    classes()[name] = ClassEntry{std::move(classObject), std::move(protocols)};
}

std::string NSStringFromClass(const Class& classObject) {
    if (!classObject) return {};
    std::lock_guard<std::mutex> guard(lock());
    for (const auto& [name, entry] : classes())
        if (entry.classObject == classObject) return name;
    return {};
}

bool NSClassConformsToProtocol(const Class& classObject, std::string_view protocol) {
    if (!classObject) return false;
    std::lock_guard<std::mutex> guard(lock());
    const ClassEntry* entry = entryOf(classObject);
    if (!entry) return false;
    for (const auto& name : entry->protocols)
        if (name == protocol) return true;
    return false;
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

Value NSObjectSendMessage(const std::shared_ptr<NSObject>& object, std::string_view selector, const Value::Array& arguments) {
    auto messaging = dynamic_cast<NSDynamicMessaging*>(object.get());
    if (!messaging || !messaging->respondsToSelector(selector)) return Value();
    return messaging->performSelectorWithArguments(selector, arguments);
}
