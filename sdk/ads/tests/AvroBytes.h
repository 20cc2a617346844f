#pragma once
// Avro binary written by hand for the codec tests: zig-zag varints, length-prefixed strings,
// array and map blocks, union branches and enum indexes.

#include <cstdint>
#include <initializer_list>
#include <string>

class AvroBytes {
public:
    // A long or int: zig-zag, then 7 bits a byte, low group first.
    AvroBytes& l(std::int64_t value) {
        std::uint64_t z = (static_cast<std::uint64_t>(value) << 1) ^ static_cast<std::uint64_t>(value >> 63);
        do {
            unsigned char byte = z & 0x7F;
            z >>= 7;
            if (z) byte |= 0x80;
            bytes_ += static_cast<char>(byte);
        } while (z);
        return *this;
    }
    AvroBytes& s(const std::string& text) {
        l(static_cast<std::int64_t>(text.size()));
        bytes_ += text;
        return *this;
    }
    AvroBytes& b(bool value) {
        bytes_ += value ? '\x01' : '\x00';
        return *this;
    }
    AvroBytes& raw(const std::string& bytes) {
        bytes_ += bytes;
        return *this;
    }
    // One block of strings and the end of the array.
    AvroBytes& strings(std::initializer_list<std::string> items) {
        if (items.size()) l(static_cast<std::int64_t>(items.size()));
        for (const auto& item : items) s(item);
        return end();
    }
    AvroBytes& end() { return l(0); }
    const std::string& str() const { return bytes_; }

private:
    std::string bytes_;
};
