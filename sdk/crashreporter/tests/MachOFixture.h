#pragma once
// Synthetic Mach-O images built in memory at run-time addresses, the way the device's loader
// leaves them: a header with load commands, __TEXT with code and strings, __DATA with the
// Objective-C sections, __LINKEDIT with the symbol and string tables, and the runtime's
// read-write class data outside every segment. 32- or 64-bit, in direct or swapped byte order.

#include "platform/system/macho.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <sys/mman.h>
#include <vector>

class MachOFixture {
public:
    static constexpr uint64_t kTextOffset = 0x1000;     // code
    static constexpr uint64_t kStringsOffset = 0x2800;  // class and method names
    static constexpr uint64_t kTextSize = 0x4000;
    static constexpr uint64_t kConstOffset = 0x4000, kConstSize = 0x2000;
    static constexpr uint64_t kClassListOffset = 0x6000, kClassListSize = 0x100;
    static constexpr uint64_t kCatListOffset = 0x6100, kCatListSize = 0x100;
    static constexpr uint64_t kObjcDataOffset = 0x6200, kObjcDataSize = 0x1E00;
    static constexpr uint64_t kLinkeditOffset = 0x8000, kLinkeditSize = 0x4000;
    static constexpr uint64_t kHeapOffset = 0xC000;
    static constexpr uint64_t kLegacyOffset = 0xD000, kLegacySize = 0x1000;
    static constexpr uint64_t kImageSize = 0x10000;

    struct Symbol {
        std::string name;
        uint64_t textOffset;  // from the start of the image
        bool global = true;
        uint16_t desc = 0;
        uint8_t type = N_SECT;  // N_EXT is added for globals
    };
    struct Method {
        std::string name;
        uint64_t textOffset;
    };
    struct Class {
        std::string name;
        std::vector<Method> instanceMethods;
        std::vector<Method> classMethods;
        bool realized = true;
    };
    struct Category {
        std::string name;
        size_t classIndex;
        std::vector<Method> instanceMethods;
        std::vector<Method> classMethods;
    };

    bool is64 = true;
    bool swapped = false;
    cpu_type_t cpuType = CPU_TYPE_ARM64;
    cpu_subtype_t cpuSubtype = CPU_SUBTYPE_ARM64_ALL;
    bool withSymtab = true;
    bool withDysymtab = true;
    bool withObjC = false;
    bool withLegacyObjC = false;  // the classes as legacy (module) metadata in an __OBJC segment
    bool withUUID = true;
    bool nonPointerIsa = false;  // tag the isa words (64-bit ARM only)
    uint8_t uuid[16] = {0x0A, 0xFF, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14};
    std::vector<Symbol> symbols;
    std::vector<Class> classes;
    std::vector<Category> categories;

    MachOFixture() = default;
    MachOFixture(const MachOFixture&) = delete;
    MachOFixture& operator=(const MachOFixture&) = delete;
    ~MachOFixture() {
        if (base_) munmap(base_, kImageSize);
    }

    // Lays the image out; its header lies at base().
    void build();
    uintptr_t base() const { return reinterpret_cast<uintptr_t>(base_); }
    uintptr_t at(uint64_t offset) const { return base() + offset; }
    uint64_t textVMAddress() const { return is64 ? 0x100000000ULL : 0x4000; }

private:
    static uint32_t swap32(uint32_t v) {
        return (v >> 24) | ((v >> 8) & 0xFF00) | ((v << 8) & 0xFF0000) | (v << 24);
    }
    void put8(uint64_t off, uint8_t v) { static_cast<uint8_t*>(base_)[off] = v; }
    void put16(uint64_t off, uint16_t v) {
        if (swapped) v = static_cast<uint16_t>((v >> 8) | (v << 8));
        std::memcpy(static_cast<uint8_t*>(base_) + off, &v, 2);
    }
    void put32(uint64_t off, uint32_t v) {
        if (swapped) v = swap32(v);
        std::memcpy(static_cast<uint8_t*>(base_) + off, &v, 4);
    }
    void put64(uint64_t off, uint64_t v) {
        if (swapped) v = (uint64_t(swap32(static_cast<uint32_t>(v))) << 32) | swap32(static_cast<uint32_t>(v >> 32));
        std::memcpy(static_cast<uint8_t*>(base_) + off, &v, 8);
    }
    void putPtr(uint64_t off, uint64_t v) {
        if (is64) put64(off, v); else put32(off, static_cast<uint32_t>(v));
    }
    void putName(uint64_t off, const char* name) { std::memcpy(static_cast<uint8_t*>(base_) + off, name, std::strlen(name)); }
    uint64_t addString(const std::string& s);
    uint64_t segment(uint64_t off, const char* name, uint64_t vmOffset, uint64_t size, uint32_t nsects);
    uint64_t methodList(const std::vector<Method>& methods);
    void legacyMetadata();
    uint64_t classRecord(const std::string& name, const std::vector<Method>& methods, bool meta, bool realized,
                         uint64_t isa);

    void* base_ = nullptr;
    uint64_t stringsUsed_ = 0, constUsed_ = 0, dataUsed_ = 0, heapUsed_ = 0;
};
