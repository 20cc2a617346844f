#pragma once
// A universally unique identifier: 16 bytes, written as 36 upper-case hex digits with hyphens
// ("E621E1F8-C36C-495A-93FC-0C247A3E6E5F"). Answers UUIDString by name as well, for callers
// that probe for it.

#include "platform/foundation/NSObjCRuntime.h"
#include "platform/foundation/NSObject.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>

class NSUUID : public NSObject, public NSDynamicMessaging {
public:
    // A new random (version 4) identifier.
    NSUUID();
    explicit NSUUID(const std::array<std::uint8_t, 16>& bytes) : bytes_(bytes) {}
    static std::shared_ptr<NSUUID> UUID() { return std::make_shared<NSUUID>(); }
    // Nil unless the text is 32 hex digits (either case) grouped 8-4-4-4-12 by hyphens.
    static std::shared_ptr<NSUUID> initWithUUIDString(const std::string& text);

    std::string UUIDString() const;
    const std::array<std::uint8_t, 16>& bytes() const { return bytes_; }

    bool isEqual(const NSObject* other) const override;
    std::string description() const override { return UUIDString(); }
    bool respondsToSelector(std::string_view selector) const override;
    Value performSelector(std::string_view selector) override;

private:
    std::array<std::uint8_t, 16> bytes_{};
};
