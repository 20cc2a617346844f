#include "MachOFixture.h"

#include <algorithm>
#include <stdexcept>

namespace {
// Low addresses let 64-bit ARM fixtures carry tagged isa words (class pointers below 2^33).
// 32-bit images need addresses below 2^32. Below 2 GiB is also where AddressSanitizer leaves
// application memory at low addresses.
void* mapLow(size_t size, bool) {
    uintptr_t first = 0x30000000, last = 0x7F000000;
    for (uintptr_t hint = first; hint < last; hint += 0x1000000) {
        void* p = mmap(reinterpret_cast<void*>(hint), size, PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED_NOREPLACE, -1, 0);
        if (p != MAP_FAILED) return p;
    }
    void* p = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) throw std::runtime_error("mmap");
    return p;
}
} // namespace

uint64_t MachOFixture::addString(const std::string& s) {
    uint64_t off = kStringsOffset + stringsUsed_;
    putName(off, s.c_str());
    put8(off + s.size(), 0);
    stringsUsed_ += s.size() + 1;
    return off;
}

uint64_t MachOFixture::segment(uint64_t off, const char* name, uint64_t vmOffset, uint64_t size, uint32_t nsects) {
    const uint64_t segSize = is64 ? sizeof(segment_command_64) : sizeof(segment_command);
    const uint64_t sectSize = is64 ? sizeof(section_64) : sizeof(section);
    put32(off, is64 ? LC_SEGMENT_64 : LC_SEGMENT);
    put32(off + 4, static_cast<uint32_t>(segSize + nsects * sectSize));
    putName(off + 8, name);
    if (is64) {
        put64(off + 24, textVMAddress() + vmOffset);
        put64(off + 32, size);
        put64(off + 40, vmOffset);
        put64(off + 48, size);
        put32(off + 64, nsects);
    } else {
        put32(off + 24, static_cast<uint32_t>(textVMAddress() + vmOffset));
        put32(off + 28, static_cast<uint32_t>(size));
        put32(off + 32, static_cast<uint32_t>(vmOffset));
        put32(off + 36, static_cast<uint32_t>(size));
        put32(off + 48, nsects);
    }
    return off + segSize;
}

uint64_t MachOFixture::methodList(const std::vector<Method>& methods) {
    if (methods.empty()) return 0;
    const uint64_t ptr = is64 ? 8 : 4;
    uint64_t off = kConstOffset + constUsed_;
    put32(off, static_cast<uint32_t>(3 * ptr) | 0x3);  // the two low bits are flags
    put32(off + 4, static_cast<uint32_t>(methods.size()));
    for (size_t i = 0; i < methods.size(); ++i) {
        uint64_t entry = off + 8 + i * 3 * ptr;
        putPtr(entry, at(addString(methods[i].name)));
        putPtr(entry + ptr, at(addString("v16@0:8")));
        putPtr(entry + 2 * ptr, at(methods[i].textOffset));
    }
    constUsed_ += (8 + methods.size() * 3 * ptr + 15) & ~uint64_t(15);
    return at(off);
}

uint64_t MachOFixture::classRecord(const std::string& name, const std::vector<Method>& methods, bool meta,
                                   bool realized, uint64_t isa) {
    const uint64_t ptr = is64 ? 8 : 4;
    // read-only data in __objc_const
    uint64_t ro = kConstOffset + constUsed_;
    constUsed_ += is64 ? 80 : 48;
    put32(ro, meta ? 1 : 0);
    putPtr(ro + (is64 ? 24 : 16), at(addString(name)));
    putPtr(ro + (is64 ? 32 : 20), methodList(methods));
    // read-write data on the "heap"
    uint64_t rw = kHeapOffset + heapUsed_;
    heapUsed_ += 32;
    put32(rw, realized ? 0x80000000u : 0);
    putPtr(rw + 8, at(ro));
    // the class record in __objc_data
    uint64_t cls = kObjcDataOffset + dataUsed_;
    dataUsed_ += 5 * ptr;
    putPtr(cls, isa);
    putPtr(cls + 4 * ptr, at(rw) | 1);  // low bits of the data word are flags
    return at(cls);
}

// One module whose symbol table defines every class; each class {isa, superclass, name, version,
// info, instance size, ivars, method list, cache, protocols} and its metaclass.
void MachOFixture::legacyMetadata() {
    const uint64_t ptr = is64 ? 8 : 4;
    uint64_t module = kLegacyOffset, symtab = kLegacyOffset + 0x40, next = kLegacyOffset + 0x100;
    put32(module, 7);
    put32(module + 4, static_cast<uint32_t>(8 + 2 * ptr));
    putPtr(module + 8, at(addString("")));
    putPtr(module + 8 + ptr, at(symtab));
    put32(symtab, 0);
    putPtr(symtab + 4, 0);
    put16(symtab + 4 + ptr, static_cast<uint16_t>(classes.size()));
    put16(symtab + 6 + ptr, 0);
    auto methodList = [&](const std::vector<Method>& methods) -> uint64_t {
        if (methods.empty()) return 0;
        uint64_t list = next;
        putPtr(list, 0);
        put32(list + ptr, static_cast<uint32_t>(methods.size()));
        for (size_t i = 0; i < methods.size(); ++i) {
            uint64_t entry = list + ptr + 4 + i * 3 * ptr;
            putPtr(entry, at(addString(methods[i].name)));
            putPtr(entry + ptr, at(addString("v8@0:4")));
            putPtr(entry + 2 * ptr, at(methods[i].textOffset));
        }
        next += (ptr + 4 + methods.size() * 3 * ptr + 15) & ~uint64_t(15);
        return at(list);
    };
    for (size_t c = 0; c < classes.size(); ++c) {
        uint64_t meta = next, cls = next + 10 * ptr;
        next += 20 * ptr;
        uint64_t name = at(addString(classes[c].name));
        putPtr(meta + 2 * ptr, name);
        putPtr(meta + 7 * ptr, methodList(classes[c].classMethods));
        putPtr(cls, at(meta));
        putPtr(cls + 2 * ptr, name);
        putPtr(cls + 7 * ptr, methodList(classes[c].instanceMethods));
        putPtr(symtab + 8 + ptr + c * ptr, at(cls));
    }
}

void MachOFixture::build() {
    base_ = mapLow(kImageSize, is64);
    const uint32_t headerSize = is64 ? sizeof(mach_header_64) : sizeof(mach_header);
    const uint64_t ptr = is64 ? 8 : 4;
    const uint64_t sectSize = is64 ? sizeof(section_64) : sizeof(section);

    // Objective-C metadata first, so the section sizes are known.
    if (withLegacyObjC) legacyMetadata();
    std::vector<uint64_t> classAddresses;
    for (const Class& c : (withLegacyObjC ? std::vector<Class>() : classes)) {
        uint64_t metaclass = classRecord(c.name, c.classMethods, true, true, 0);
        uint64_t isa = metaclass;
        if (nonPointerIsa) isa = metaclass | 1 | (uint64_t(0x5A) << 56);
        uint64_t cls = classRecord(c.name, c.instanceMethods, false, c.realized, isa);
        classAddresses.push_back(cls);
    }
    for (size_t i = 0; i < classAddresses.size(); ++i) putPtr(kClassListOffset + i * ptr, classAddresses[i]);
    for (size_t i = 0; i < categories.size(); ++i) {
        const Category& cat = categories[i];
        uint64_t rec = kConstOffset + constUsed_;
        constUsed_ += 6 * ptr;
        putPtr(rec, at(addString(cat.name)));
        putPtr(rec + ptr, classAddresses.at(cat.classIndex));
        putPtr(rec + 2 * ptr, methodList(cat.instanceMethods));
        putPtr(rec + 3 * ptr, methodList(cat.classMethods));
        putPtr(kCatListOffset + i * ptr, at(rec));
    }

    // Load commands.
    uint64_t off = headerSize;
    uint32_t ncmds = 0;
    off = segment(off, "__TEXT", 0, kTextSize, 0);
    ++ncmds;
    struct Sect {
        const char* name;
        uint64_t offset, size;
    } sects[] = {
        {"__objc_const", kConstOffset, std::max<uint64_t>(constUsed_, 16)},
        {"__objc_classlist", kClassListOffset, std::max<uint64_t>(classes.size() * ptr, ptr)},
        {"__objc_catlist", kCatListOffset, std::max<uint64_t>(categories.size() * ptr, ptr)},
        {"__objc_data", kObjcDataOffset, std::max<uint64_t>(dataUsed_, 16)},
    };
    uint32_t nsects = withObjC ? 4 : 0;
    uint64_t sectionsAt = segment(off, "__DATA", kConstOffset, kLinkeditOffset - kConstOffset, nsects);
    for (uint32_t i = 0; i < nsects; ++i) {
        uint64_t s = sectionsAt + i * sectSize;
        putName(s, sects[i].name);
        putName(s + 16, "__DATA");
        if (is64) {
            put64(s + 32, textVMAddress() + sects[i].offset);
            put64(s + 40, sects[i].size);
        } else {
            put32(s + 32, static_cast<uint32_t>(textVMAddress() + sects[i].offset));
            put32(s + 36, static_cast<uint32_t>(sects[i].size));
        }
    }
    off = sectionsAt + nsects * sectSize;
    ++ncmds;
    off = segment(off, "__LINKEDIT", kLinkeditOffset, kLinkeditSize, 0);
    ++ncmds;
    if (withLegacyObjC) {
        uint64_t s = segment(off, "__OBJC", kLegacyOffset, kLegacySize, 1);
        putName(s, "__module_info");
        putName(s + 16, "__OBJC");
        if (is64) {
            put64(s + 32, textVMAddress() + kLegacyOffset);
            put64(s + 40, 8 + 2 * ptr);
        } else {
            put32(s + 32, static_cast<uint32_t>(textVMAddress() + kLegacyOffset));
            put32(s + 36, static_cast<uint32_t>(8 + 2 * ptr));
        }
        off = s + sectSize;
        ++ncmds;
    }

    if (withSymtab) {
        std::vector<Symbol> ordered;
        for (const Symbol& s : symbols) if (!s.global) ordered.push_back(s);
        uint32_t nlocal = static_cast<uint32_t>(ordered.size());
        for (const Symbol& s : symbols) if (s.global) ordered.push_back(s);
        const uint64_t entrySize = is64 ? sizeof(nlist_64) : sizeof(nlist);
        uint64_t symoff = kLinkeditOffset;
        uint64_t stroff = symoff + ((ordered.size() * entrySize + 15) & ~uint64_t(15));
        uint64_t strUsed = 1;  // offset 0 is the empty name
        put8(stroff, 0);
        for (size_t i = 0; i < ordered.size(); ++i) {
            const Symbol& s = ordered[i];
            uint64_t e = symoff + i * entrySize;
            put32(e, static_cast<uint32_t>(strUsed));
            put8(e + 4, static_cast<uint8_t>(s.type | (s.global ? N_EXT : 0)));
            put8(e + 5, 1);
            put16(e + 6, s.desc);
            if (is64) put64(e + 8, textVMAddress() + s.textOffset);
            else put32(e + 8, static_cast<uint32_t>(textVMAddress() + s.textOffset));
            putName(stroff + strUsed, s.name.c_str());
            put8(stroff + strUsed + s.name.size(), 0);
            strUsed += s.name.size() + 1;
        }
        put32(off, LC_SYMTAB);
        put32(off + 4, sizeof(symtab_command));
        put32(off + 8, static_cast<uint32_t>(symoff));
        put32(off + 12, static_cast<uint32_t>(ordered.size()));
        put32(off + 16, static_cast<uint32_t>(stroff));
        put32(off + 20, static_cast<uint32_t>(strUsed));
        off += sizeof(symtab_command);
        ++ncmds;
        if (withDysymtab) {
            put32(off, LC_DYSYMTAB);
            put32(off + 4, sizeof(dysymtab_command));
            put32(off + 8, 0);
            put32(off + 12, nlocal);
            put32(off + 16, nlocal);
            put32(off + 20, static_cast<uint32_t>(ordered.size()) - nlocal);
            off += sizeof(dysymtab_command);
            ++ncmds;
        }
    }
    if (withUUID) {
        put32(off, LC_UUID);
        put32(off + 4, sizeof(uuid_command));
        std::memcpy(static_cast<uint8_t*>(base_) + off + 8, uuid, 16);
        off += sizeof(uuid_command);
        ++ncmds;
    }

    put32(0, is64 ? MH_MAGIC_64 : MH_MAGIC);
    put32(4, static_cast<uint32_t>(cpuType));
    put32(8, static_cast<uint32_t>(cpuSubtype));
    put32(12, MH_EXECUTE);
    put32(16, ncmds);
    put32(20, static_cast<uint32_t>(off - headerSize));
    put32(24, 0);
}
