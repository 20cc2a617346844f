#include "sdk/crashreporter/VuderuCrashAsyncObjCSection.h"

namespace {

constexpr uint32_t kRealized = 0x80000000;       // the class's read-write data is set up
constexpr uint32_t kCopiedReadOnly = 0x8000000;  // the read-only data was copied to the heap
constexpr uint64_t kNonPointerIsaMask = 0x1FFFFFFF8ULL;
constexpr uint32_t kMethodListFlagsMask = 3;
constexpr vm_address_t kClassDataFlagsMask = 3;
constexpr size_t kClassFields = 5;     // isa, superclass, cache, vtable, data
constexpr size_t kCategoryFields = 6;  // name, class, instance methods, class methods, protocols, properties
constexpr size_t kReadOnly64Size = 72, kReadOnly32Size = 40;

typedef vdcrash_error_t (*method_cb)(bool isClassMethod, vdcrash_async_macho_string_t* className,
                                     vdcrash_async_macho_string_t* methodName, vm_address_t imp, void* ctx);

struct Parser {
    const vdcrash_async_macho_t* image;
    vdcrash_async_objc_cache_t* cache;
    size_t ptrSize;

    vm_address_t pointerAt(const void* local) const {
        if (ptrSize == 8) {
            uint64_t v;
            vdcrash_async_memcpy(&v, local, 8);
            return static_cast<vm_address_t>(image->byteorder->swap64(v));
        }
        uint32_t v;
        vdcrash_async_memcpy(&v, local, 4);
        return image->byteorder->swap32(v);
    }
    uint32_t wordAt(const void* local) const {
        uint32_t v;
        vdcrash_async_memcpy(&v, local, 4);
        return image->byteorder->swap32(v);
    }

    // The class record {isa, data word}: through __objc_data, else from the task.
    vdcrash_error_t readClass(vm_address_t cls, vm_address_t* isa, vm_address_t* data) const {
        uint8_t record[kClassFields * 8];
        const size_t size = kClassFields * ptrSize;
        void* local = cache->objc_data_mapped
                          ? vdcrash_async_mobject_remap_address(&cache->objc_data, cls, 0, size)
                          : nullptr;
        if (local) {
            vdcrash_async_memcpy(record, local, size);
        } else if (vdcrash_async_task_memcpy(image->task, cls, 0, record, size) != VDCRASH_ESUCCESS) {
            return VDCRASH_EINVALID_DATA;
        }
        *isa = pointerAt(record);
        *data = pointerAt(record + 4 * ptrSize);
        return VDCRASH_ESUCCESS;
    }

    vm_address_t* cacheSlot(vm_address_t dataWord) {
        if (!cache->class_cache) {
            vm_address_t table = 0;
            vm_size_t size = VDCRASH_ASYNC_OBJC_CLASS_CACHE_ENTRIES * 2 * sizeof(vm_address_t);
            if (vm_allocate(mach_task_self(), &table, size, VM_FLAGS_ANYWHERE) != KERN_SUCCESS) return nullptr;
            cache->class_cache = reinterpret_cast<vm_address_t*>(table);
            cache->class_cache_size = size;
        }
        size_t slot = (dataWord / 4) % VDCRASH_ASYNC_OBJC_CLASS_CACHE_ENTRIES;
        return &cache->class_cache[slot * 2];
    }

    // The read-only data of a class: {name pointer, base methods pointer}.
    vdcrash_error_t readOnlyData(vm_address_t dataWordRaw, vm_address_t* name, vm_address_t* methods) {
        vm_address_t dataWord = dataWordRaw & ~kClassDataFlagsMask;
        vm_address_t* slot = cacheSlot(dataWord);
        vm_address_t ro = 0;
        uint32_t rwFlags = 0;
        if (slot && slot[0] == dataWord && slot[1] != 0) {
            ro = slot[1];
        } else {
            uint8_t rw[16];
            const size_t rwSize = ptrSize == 8 ? 16 : 12;
            if (vdcrash_async_task_memcpy(image->task, dataWord, 0, rw, rwSize) != VDCRASH_ESUCCESS)
                return VDCRASH_EINVALID_DATA;
            rwFlags = wordAt(rw);
            if (!(rwFlags & kRealized)) return VDCRASH_ENOTFOUND;
            ro = pointerAt(rw + 8);
            if (slot && slot[1] == 0) {
                slot[0] = dataWord;
                slot[1] = ro;
            }
        }
        uint8_t record[kReadOnly64Size];
        const size_t size = ptrSize == 8 ? kReadOnly64Size : kReadOnly32Size;
        bool fromConst = false;
        if (!(rwFlags & kCopiedReadOnly) && vdcrash_async_macho_contains_address(image, ro)) {
            void* local = vdcrash_async_mobject_remap_address(&cache->objc_const, ro, 0, size);
            if (!local) return VDCRASH_EINVALID_DATA;
            vdcrash_async_memcpy(record, local, size);
            fromConst = true;
        }
        if (!fromConst && vdcrash_async_task_memcpy(image->task, ro, 0, record, size) != VDCRASH_ESUCCESS)
            return VDCRASH_EINVALID_DATA;
        const size_t nameOffset = ptrSize == 8 ? 24 : 16;
        *name = pointerAt(record + nameOffset);
        *methods = pointerAt(record + nameOffset + ptrSize);
        return VDCRASH_ESUCCESS;
    }

    vdcrash_error_t parseMethodList(vm_address_t list, bool isClassMethod, vdcrash_async_macho_string_t* className,
                                    method_cb callback, void* ctx) {
        if (list == 0) return VDCRASH_ESUCCESS;
        void* header = vdcrash_async_mobject_remap_address(&cache->objc_const, list, 0, 8);
        if (!header) return VDCRASH_EINVALID_DATA;
        uint32_t entrySize = wordAt(header) & ~kMethodListFlagsMask;
        uint32_t count = wordAt(static_cast<uint8_t*>(header) + 4);
        if (entrySize < 3 * ptrSize) return VDCRASH_EINVALID_DATA;
        uint8_t* entries = static_cast<uint8_t*>(
            vdcrash_async_mobject_remap_address(&cache->objc_const, list, 8, static_cast<size_t>(entrySize) * count));
        if (!entries && count > 0) return VDCRASH_EINVALID_DATA;
        for (uint32_t i = 0; i < count; ++i) {
            uint8_t* entry = entries + static_cast<size_t>(i) * entrySize;
            vm_address_t name = pointerAt(entry);
            vm_address_t imp = pointerAt(entry + 2 * ptrSize);
            vdcrash_async_macho_string_t methodName;
            vdcrash_async_macho_string_init(&methodName, image, name);
            vdcrash_error_t err = callback(isClassMethod, className, &methodName, imp, ctx);
            vdcrash_async_macho_string_free(&methodName);
            if (err != VDCRASH_ESUCCESS) return err;
        }
        return VDCRASH_ESUCCESS;
    }

    vdcrash_error_t parseClass(vm_address_t dataWord, bool isClassMethod, method_cb callback, void* ctx) {
        vm_address_t name = 0, methods = 0;
        vdcrash_error_t err = readOnlyData(dataWord, &name, &methods);
        if (err != VDCRASH_ESUCCESS) return err;
        vdcrash_async_macho_string_t className;
        vdcrash_async_macho_string_init(&className, image, name);
        err = parseMethodList(methods, isClassMethod, &className, callback, ctx);
        vdcrash_async_macho_string_free(&className);
        return err;
    }

    vm_address_t metaclassOf(vm_address_t isa) const {
        if (vdcrash_async_objc_supports_nonptr_isa(image->header.cputype) && (isa & 1))
            return static_cast<vm_address_t>(isa & kNonPointerIsaMask);
        return isa;
    }

    vdcrash_error_t mapSections() {
        if (cache->last_image == image) return VDCRASH_ESUCCESS;
        if (cache->last_image) {
            if (cache->objc_const_mapped) vdcrash_async_mobject_free(&cache->objc_const);
            if (cache->class_list_mapped) vdcrash_async_mobject_free(&cache->class_list);
            if (cache->category_list_mapped) vdcrash_async_mobject_free(&cache->category_list);
            if (cache->objc_data_mapped) vdcrash_async_mobject_free(&cache->objc_data);
            cache->objc_const_mapped = cache->class_list_mapped = cache->category_list_mapped =
                cache->objc_data_mapped = false;
            cache->last_image = nullptr;
        }
        struct {
            const char* name;
            vdcrash_async_mobject_t* mobj;
            bool* mapped;
        } sections[] = {
            {"__objc_const", &cache->objc_const, &cache->objc_const_mapped},
            {"__objc_classlist", &cache->class_list, &cache->class_list_mapped},
            {"__objc_catlist", &cache->category_list, &cache->category_list_mapped},
            {"__objc_data", &cache->objc_data, &cache->objc_data_mapped},
        };
        for (auto& s : sections) {
            vdcrash_error_t err = vdcrash_async_macho_map_section(image, "__DATA", s.name, s.mobj);
            if (err != VDCRASH_ESUCCESS) {
                cache->last_image = image;  // what was mapped is released with the next image or the cache
                return err;
            }
            *s.mapped = true;
        }
        cache->last_image = image;
        return VDCRASH_ESUCCESS;
    }

    // Legacy metadata: module records {version, size, name, symbol table}, each symbol table
    // {selector reference count, references, class count (16-bit), category count (16-bit),
    // definitions...}, classes {isa, superclass, name, version, info, instance size, ivars,
    // method list, cache, protocols} and method lists {obsolete, count, {name, types, imp}...},
    // all read from the task.
    vdcrash_error_t readPointer(vm_address_t address, vm_address_t* out) const {
        uint8_t word[8];
        if (vdcrash_async_task_memcpy(image->task, address, 0, word, ptrSize) != VDCRASH_ESUCCESS)
            return VDCRASH_EINVALID_DATA;
        *out = pointerAt(word);
        return VDCRASH_ESUCCESS;
    }

    vdcrash_error_t parseLegacyClass(vm_address_t cls, bool isClassMethod, method_cb callback, void* ctx) {
        vm_address_t name = 0, methods = 0;
        if (readPointer(cls + 2 * ptrSize, &name) != VDCRASH_ESUCCESS ||
            readPointer(cls + 7 * ptrSize, &methods) != VDCRASH_ESUCCESS)
            return VDCRASH_EINVALID_DATA;
        if (methods == 0) return VDCRASH_ESUCCESS;
        uint8_t header[8];
        if (vdcrash_async_task_memcpy(image->task, methods, static_cast<int64_t>(ptrSize), header, 4) != VDCRASH_ESUCCESS)
            return VDCRASH_EINVALID_DATA;
        uint32_t count = wordAt(header);
        vdcrash_async_macho_string_t className;
        vdcrash_async_macho_string_init(&className, image, name);
        vdcrash_error_t err = VDCRASH_ESUCCESS;
        for (uint32_t i = 0; i < count && err == VDCRASH_ESUCCESS; ++i) {
            vm_address_t entry = methods + ptrSize + 4 + static_cast<vm_address_t>(i) * 3 * ptrSize;
            vm_address_t methodName = 0, imp = 0;
            if (readPointer(entry, &methodName) != VDCRASH_ESUCCESS ||
                readPointer(entry + 2 * ptrSize, &imp) != VDCRASH_ESUCCESS) {
                err = VDCRASH_EINVALID_DATA;
                break;
            }
            vdcrash_async_macho_string_t method;
            vdcrash_async_macho_string_init(&method, image, methodName);
            err = callback(isClassMethod, &className, &method, imp, ctx);
            vdcrash_async_macho_string_free(&method);
        }
        vdcrash_async_macho_string_free(&className);
        return err;
    }

    vdcrash_error_t parseLegacy(const vdcrash_async_mobject_t* modules, method_cb callback, void* ctx) {
        const size_t moduleSize = 2 * 4 + 2 * ptrSize;
        vdcrash_error_t result = VDCRASH_ENOTFOUND;
        for (size_t offset = 0; offset + moduleSize <= modules->length; offset += moduleSize) {
            const uint8_t* module = reinterpret_cast<const uint8_t*>(modules->address) + offset;
            vm_address_t symtab = pointerAt(module + 8 + ptrSize);
            if (symtab == 0) continue;
            uint8_t counts[4];
            if (vdcrash_async_task_memcpy(image->task, symtab, static_cast<int64_t>(4 + ptrSize), counts, 4) !=
                VDCRASH_ESUCCESS)
                return VDCRASH_EINVALID_DATA;
            uint16_t classCount;
            vdcrash_async_memcpy(&classCount, counts, 2);
            classCount = image->byteorder->swap16(classCount);
            vm_address_t definitions = symtab + 4 + ptrSize + 4;
            for (uint16_t i = 0; i < classCount; ++i) {
                vm_address_t cls = 0, metaclass = 0;
                if (readPointer(definitions + static_cast<vm_address_t>(i) * ptrSize, &cls) != VDCRASH_ESUCCESS ||
                    readPointer(cls, &metaclass) != VDCRASH_ESUCCESS)
                    return VDCRASH_EINVALID_DATA;
                result = parseLegacyClass(cls, false, callback, ctx);
                if (result == VDCRASH_ESUCCESS) result = parseLegacyClass(metaclass, true, callback, ctx);
                if (result != VDCRASH_ESUCCESS) return result;
            }
        }
        return result;
    }

    vdcrash_error_t parse(method_cb callback, void* ctx) {
        if (!cache->got_objc2_info) {
            vdcrash_async_mobject_t modules;
            vdcrash_error_t err = vdcrash_async_macho_map_section(image, "__OBJC", "__module_info", &modules);
            if (err == VDCRASH_ESUCCESS) {
                err = parseLegacy(&modules, callback, ctx);
                vdcrash_async_mobject_free(&modules);
                return err;
            }
            if (err != VDCRASH_ENOTFOUND) return err;
        }
        vdcrash_error_t err = mapSections();
        if (err != VDCRASH_ESUCCESS) return err;
        if (!cache->objc_const_mapped || !cache->class_list_mapped || !cache->category_list_mapped ||
            !cache->objc_data_mapped)
            return VDCRASH_ENOTFOUND;

        vdcrash_error_t result = VDCRASH_ENOTFOUND;
        const uint8_t* classes = reinterpret_cast<const uint8_t*>(cache->class_list.address);
        size_t classCount = cache->class_list.length / ptrSize;
        for (size_t i = 0; i < classCount; ++i) {
            vm_address_t cls = pointerAt(classes + i * ptrSize);
            vm_address_t isa = 0, data = 0;
            result = readClass(cls, &isa, &data);
            if (result != VDCRASH_ESUCCESS) return result;
            result = parseClass(data, false, callback, ctx);
            if (result == VDCRASH_ENOTFOUND) continue;
            if (result != VDCRASH_ESUCCESS) return result;
            vm_address_t metaIsa = 0, metaData = 0;
            result = readClass(metaclassOf(isa), &metaIsa, &metaData);
            if (result != VDCRASH_ESUCCESS) return result;
            result = parseClass(metaData, true, callback, ctx);
            if (result != VDCRASH_ESUCCESS) return result;
        }

        const uint8_t* categories = reinterpret_cast<const uint8_t*>(cache->category_list.address);
        size_t categoryCount = cache->category_list.length / ptrSize;
        for (size_t i = 0; i < categoryCount; ++i) {
            vm_address_t category = pointerAt(categories + i * ptrSize);
            void* record = vdcrash_async_mobject_remap_address(&cache->objc_const, category, 0, kCategoryFields * ptrSize);
            if (!record) return VDCRASH_EINVALID_DATA;
            const uint8_t* fields = static_cast<const uint8_t*>(record);
            vm_address_t cls = pointerAt(fields + ptrSize);
            vm_address_t instanceMethods = pointerAt(fields + 2 * ptrSize);
            vm_address_t classMethods = pointerAt(fields + 3 * ptrSize);
            vm_address_t isa = 0, data = 0, name = 0, ignored = 0;
            if (readClass(cls, &isa, &data) != VDCRASH_ESUCCESS) return VDCRASH_EINVALID_DATA;
            result = readOnlyData(data, &name, &ignored);
            if (result == VDCRASH_ESUCCESS) {
                vdcrash_async_macho_string_t className;
                vdcrash_async_macho_string_init(&className, image, name);
                result = parseMethodList(instanceMethods, false, &className, callback, ctx);
                if (result == VDCRASH_ESUCCESS) result = parseMethodList(classMethods, true, &className, callback, ctx);
                vdcrash_async_macho_string_free(&className);
            }
            if (result != VDCRASH_ESUCCESS && result != VDCRASH_ENOTFOUND) return result;
        }
        if (result == VDCRASH_ESUCCESS) cache->got_objc2_info = true;
        return result;
    }
};

struct Search {
    vm_address_t target;
    bool found;
    vm_address_t best;
    bool reported;
    vdcrash_async_objc_found_method_cb callback;
    void* ctx;
};

vdcrash_error_t findBest(bool, vdcrash_async_macho_string_t*, vdcrash_async_macho_string_t*, vm_address_t imp, void* ctx) {
    auto* s = static_cast<Search*>(ctx);
    if (imp <= s->target && (!s->found || imp > s->best)) {
        s->best = imp;
        s->found = true;
    }
    return VDCRASH_ESUCCESS;
}

vdcrash_error_t reportBest(bool isClassMethod, vdcrash_async_macho_string_t* className,
                           vdcrash_async_macho_string_t* methodName, vm_address_t imp, void* ctx) {
    auto* s = static_cast<Search*>(ctx);
    if (!s->reported && imp == s->best) {
        s->reported = true;
        s->callback(isClassMethod, className, methodName, imp, s->ctx);
    }
    return VDCRASH_ESUCCESS;
}

} // namespace

vdcrash_error_t vdcrash_async_objc_cache_init(vdcrash_async_objc_cache_t* cache) {
    vdcrash_async_memset(cache, 0, sizeof *cache);
    return VDCRASH_ESUCCESS;
}

void vdcrash_async_objc_cache_free(vdcrash_async_objc_cache_t* cache) {
    if (cache->objc_const_mapped) vdcrash_async_mobject_free(&cache->objc_const);
    if (cache->class_list_mapped) vdcrash_async_mobject_free(&cache->class_list);
    if (cache->category_list_mapped) vdcrash_async_mobject_free(&cache->category_list);
    if (cache->objc_data_mapped) vdcrash_async_mobject_free(&cache->objc_data);
    if (cache->class_cache)
        vm_deallocate(mach_task_self(), reinterpret_cast<vm_address_t>(cache->class_cache), cache->class_cache_size);
    vdcrash_async_memset(cache, 0, sizeof *cache);
}

bool vdcrash_async_objc_supports_nonptr_isa(cpu_type_t type) { return type == CPU_TYPE_ARM64; }

vdcrash_error_t vdcrash_async_objc_find_method(const vdcrash_async_macho_t* image, vdcrash_async_objc_cache_t* cache,
                                               vm_address_t imp, vdcrash_async_objc_found_method_cb callback,
                                               void* ctx) {
    if (image->elf) return VDCRASH_ENOTFOUND;
    Parser parser{image, cache, image->m64 ? size_t(8) : size_t(4)};
    Search search{imp, false, 0, false, callback, ctx};
    vdcrash_error_t err = parser.parse(findBest, &search);
    if (err != VDCRASH_ESUCCESS && !search.found) return err;
    if (!search.found) return VDCRASH_ENOTFOUND;
    err = parser.parse(reportBest, &search);
    return search.reported ? VDCRASH_ESUCCESS : err;
}
