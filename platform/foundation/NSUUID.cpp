#include "platform/foundation/NSUUID.h"

#include <sys/random.h>

namespace {
constexpr char kHexDigits[] = "0123456789ABCDEF";
// Where the hyphens stand in the text form.
constexpr std::size_t kHyphens[] = {8, 13, 18, 23};
constexpr std::size_t kTextLength = 36;

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool isHyphenPosition(std::size_t i) {
    for (std::size_t h : kHyphens) {
        if (h == i) return true;
    }
    return false;
}
} // namespace

NSUUID::NSUUID() {
    std::size_t got = 0;
    while (got < bytes_.size()) {
        ssize_t n = ::getrandom(bytes_.data() + got, bytes_.size() - got, 0);
        if (n > 0) got += static_cast<std::size_t>(n);
    }
    bytes_[6] = static_cast<std::uint8_t>((bytes_[6] & 0x0F) | 0x40); // version 4: random
    bytes_[8] = static_cast<std::uint8_t>((bytes_[8] & 0x3F) | 0x80); // RFC 4122 variant
}

std::shared_ptr<NSUUID> NSUUID::initWithUUIDString(const std::string& text) {
    if (text.size() != kTextLength) return nullptr;
    std::array<std::uint8_t, 16> bytes{};
    std::size_t nibble = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (isHyphenPosition(i)) {
            if (text[i] != '-') return nullptr;
            continue;
        }
        int v = hexValue(text[i]);
        if (v < 0) return nullptr;
        bytes[nibble / 2] = static_cast<std::uint8_t>(bytes[nibble / 2] << 4 | v);
        ++nibble;
    }
    return std::make_shared<NSUUID>(bytes);
}

std::string NSUUID::UUIDString() const {
    std::string text;
    for (std::size_t i = 0; i < bytes_.size(); ++i) {
        if (isHyphenPosition(text.size())) text += '-';
        text += kHexDigits[bytes_[i] >> 4];
        text += kHexDigits[bytes_[i] & 0xF];
    }
    return text;
}

bool NSUUID::isEqual(const NSObject* other) const {
    auto uuid = dynamic_cast<const NSUUID*>(other);
    return uuid && uuid->bytes_ == bytes_;
}

bool NSUUID::respondsToSelector(std::string_view selector) const { return selector == "UUIDString"; }

Value NSUUID::performSelector(std::string_view selector) {
    return selector == "UUIDString" ? Value(UUIDString()) : Value();
}
