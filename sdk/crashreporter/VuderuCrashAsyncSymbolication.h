#pragma once
// The symbol behind an address: the symbol table's best match and, when asked, the Objective-C
// method whose implementation is closest, whichever lies nearer.

#include "sdk/crashreporter/VuderuCrashAsyncMachOImage.h"
#include "sdk/crashreporter/VuderuCrashAsyncObjCSection.h"

enum vdcrash_async_symbol_strategy_t : uint32_t {
    VDCRASH_ASYNC_SYMBOL_STRATEGY_NONE = 0,
    VDCRASH_ASYNC_SYMBOL_STRATEGY_SYMBOL_TABLE = 1,
    VDCRASH_ASYNC_SYMBOL_STRATEGY_OBJC = 2,
    VDCRASH_ASYNC_SYMBOL_STRATEGY_ALL = 3,
};

// Symbol names are held in a fixed buffer; longer names are cut to 255 bytes.
constexpr size_t VDCRASH_ASYNC_SYMBOL_NAME_BUFFER = 256;

struct vdcrash_async_symbol_cache_t {
    vdcrash_async_objc_cache_t objc_cache;
};

vdcrash_error_t vdcrash_async_symbol_cache_init(vdcrash_async_symbol_cache_t* cache);
void vdcrash_async_symbol_cache_free(vdcrash_async_symbol_cache_t* cache);

vdcrash_error_t vdcrash_async_find_symbol(const vdcrash_async_macho_t* image, uint32_t strategy,
                                          vdcrash_async_symbol_cache_t* cache, vm_address_t pc,
                                          vdcrash_async_found_symbol_cb callback, void* ctx);
