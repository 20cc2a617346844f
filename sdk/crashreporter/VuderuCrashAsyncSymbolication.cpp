#include "sdk/crashreporter/VuderuCrashAsyncSymbolication.h"

namespace {

struct Held {
    bool found;
    vm_address_t address;
    char name[VDCRASH_ASYNC_SYMBOL_NAME_BUFFER];
};

// Appends to a NUL-terminated buffer, cutting at its size.
void append(char* buffer, size_t* used, const char* text, size_t length) {
    for (size_t i = 0; i < length && *used + 1 < VDCRASH_ASYNC_SYMBOL_NAME_BUFFER; ++i) buffer[(*used)++] = text[i];
    buffer[*used] = 0;
}

void holdSymbol(vm_address_t address, const char* name, void* ctx) {
    auto* held = static_cast<Held*>(ctx);
    held->found = true;
    held->address = address;
    size_t used = 0;
    append(held->name, &used, name, vdcrash_async_strlen(name));
}

void holdMethod(bool isClassMethod, vdcrash_async_macho_string_t* className, vdcrash_async_macho_string_t* methodName,
                vm_address_t imp, void* ctx) {
    auto* held = static_cast<Held*>(ctx);
    if (held->found && imp < held->address) return;
    const char* cls = nullptr;
    const char* method = nullptr;
    size_t clsLength = 0, methodLength = 0;
    if (vdcrash_async_macho_string_get_pointer(className, &cls) != VDCRASH_ESUCCESS ||
        vdcrash_async_macho_string_get_length(className, &clsLength) != VDCRASH_ESUCCESS ||
        vdcrash_async_macho_string_get_pointer(methodName, &method) != VDCRASH_ESUCCESS ||
        vdcrash_async_macho_string_get_length(methodName, &methodLength) != VDCRASH_ESUCCESS)
        return;
    size_t used = 0;
    held->name[0] = 0;
    append(held->name, &used, isClassMethod ? "+[" : "-[", 2);
    append(held->name, &used, cls, clsLength);
    append(held->name, &used, " ", 1);
    append(held->name, &used, method, methodLength);
    append(held->name, &used, "]", 1);
    held->found = true;
    held->address = imp;
}

} // namespace

vdcrash_error_t vdcrash_async_symbol_cache_init(vdcrash_async_symbol_cache_t* cache) {
    return vdcrash_async_objc_cache_init(&cache->objc_cache);
}

void vdcrash_async_symbol_cache_free(vdcrash_async_symbol_cache_t* cache) {
    vdcrash_async_objc_cache_free(&cache->objc_cache);
}

vdcrash_error_t vdcrash_async_find_symbol(const vdcrash_async_macho_t* image, uint32_t strategy,
                                          vdcrash_async_symbol_cache_t* cache, vm_address_t pc,
                                          vdcrash_async_found_symbol_cb callback, void* ctx) {
    Held held;
    held.found = false;
    held.address = 0;
    held.name[0] = 0;
    vdcrash_error_t tableError = VDCRASH_ENOTFOUND;
    if (strategy & VDCRASH_ASYNC_SYMBOL_STRATEGY_SYMBOL_TABLE)
        tableError = vdcrash_async_macho_find_symbol_by_pc(image, pc, holdSymbol, &held);
    if (strategy & VDCRASH_ASYNC_SYMBOL_STRATEGY_OBJC)
        vdcrash_async_objc_find_method(image, &cache->objc_cache, pc, holdMethod, &held);
    if (!held.found) return tableError;
    callback(held.address, held.name, ctx);
    return VDCRASH_ESUCCESS;
}
