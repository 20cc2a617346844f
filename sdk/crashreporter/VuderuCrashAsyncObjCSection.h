#pragma once
// Method names from the Objective-C runtime metadata of an image: for an address, the method
// whose implementation is the closest at or below it, with its class and kind. This names code
// whose symbols were stripped.

#include "sdk/crashreporter/VuderuCrashAsyncMachOImage.h"

constexpr size_t VDCRASH_ASYNC_OBJC_CLASS_CACHE_ENTRIES = 1024;

struct vdcrash_async_objc_cache_t {
    bool got_objc2_info;
    const vdcrash_async_macho_t* last_image;
    vdcrash_async_mobject_t objc_const;
    vdcrash_async_mobject_t class_list;
    vdcrash_async_mobject_t category_list;
    vdcrash_async_mobject_t objc_data;
    bool objc_const_mapped, class_list_mapped, category_list_mapped, objc_data_mapped;
    // {class data address, read-only data address} pairs, made on first use.
    vm_address_t* class_cache;
    vm_size_t class_cache_size;
};

// One method found: its kind, class name, name and implementation address. The strings are read
// lazily and valid during the call.
typedef void (*vdcrash_async_objc_found_method_cb)(bool isClassMethod, vdcrash_async_macho_string_t* className,
                                                   vdcrash_async_macho_string_t* methodName, vm_address_t imp,
                                                   void* ctx);

vdcrash_error_t vdcrash_async_objc_cache_init(vdcrash_async_objc_cache_t* cache);
void vdcrash_async_objc_cache_free(vdcrash_async_objc_cache_t* cache);
vdcrash_error_t vdcrash_async_objc_find_method(const vdcrash_async_macho_t* image, vdcrash_async_objc_cache_t* cache,
                                               vm_address_t imp, vdcrash_async_objc_found_method_cb callback,
                                               void* ctx);
// YES for the processors whose class pointers may carry tag bits (64-bit ARM).
bool vdcrash_async_objc_supports_nonptr_isa(cpu_type_t type);
