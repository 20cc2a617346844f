#pragma once
// An object (or class object) that answers messages by name with fixed values, for the platform's
// run-time lookups (store page class, advertising and vendor identifiers, the test connector).

#include "platform/foundation/NSObjCRuntime.h"

#include <map>
#include <string>

class FakeDynamicObject : public NSObject, public NSDynamicMessaging {
public:
    explicit FakeDynamicObject(std::map<std::string, Value> answers = {}) : answers_(std::move(answers)) {}
    bool respondsToSelector(std::string_view selector) const override { return answers_.count(std::string(selector)) > 0; }
    Value performSelector(std::string_view selector) override {
        auto found = answers_.find(std::string(selector));
        return found == answers_.end() ? Value() : found->second;
    }

private:
    std::map<std::string, Value> answers_;
};

// Registers "UIDevice" whose current device answers the vendor identifier.
inline void registerVendorIdentifier(const std::string& uuid) {
    auto identifier = std::make_shared<FakeDynamicObject>(std::map<std::string, Value>{{"UUIDString", uuid}});
    auto device = std::make_shared<FakeDynamicObject>(std::map<std::string, Value>{{"identifierForVendor", Value(identifier)}});
    NSRegisterClass("UIDevice", std::make_shared<FakeDynamicObject>(std::map<std::string, Value>{{"currentDevice", Value(device)}}));
}
