#include "sdk/crashreporter/VuderuCrashAsyncMObject.h"

namespace {
// Mappings are made of whole pages of the host: rounding to the device's larger pages could take
// in neighbouring pages that are not readable.
vm_address_t pageDown(vm_address_t v) { return v & ~(vm_page_size - 1); }
vm_size_t pageUp(vm_size_t v) { return (v + vm_page_size - 1) & ~(vm_page_size - 1); }
} // namespace

vdcrash_error_t vdcrash_async_mobject_init(vdcrash_async_mobject_t* mobj, task_t task, vm_address_t address,
                                           vm_size_t length, bool require_full) {
    if (length == 0 || address + length < address) return VDCRASH_EINVAL;
    vm_address_t start = pageDown(address);
    vm_size_t total = pageUp(address + length - start);
    vm_size_t wanted = address + length - start;

    // How much of the range can be mapped, from its start.
    memory_object_size_t entrySize = total;
    mach_port_t entry = MACH_PORT_NULL;
    if (mach_make_memory_entry_64(task, &entrySize, start, VM_PROT_READ, &entry, MACH_PORT_NULL) != KERN_SUCCESS)
        return VDCRASH_ENOMEM;
    vm_size_t mapped = entrySize < total ? static_cast<vm_size_t>(entrySize) : total;
    if (mapped <= address - start || (require_full && mapped < wanted)) {
        mach_port_deallocate(mach_task_self(), entry);
        return VDCRASH_ENOMEM;
    }

    vm_address_t local = 0;
    if (vm_allocate(mach_task_self(), &local, total, VM_FLAGS_ANYWHERE) != KERN_SUCCESS) {
        mach_port_deallocate(mach_task_self(), entry);
        return VDCRASH_EINTERNAL;
    }
    vm_address_t target = local;
    kern_return_t kr = vm_map(mach_task_self(), &target, mapped, 0, VM_FLAGS_FIXED | VM_FLAGS_OVERWRITE, entry, 0,
                              true, VM_PROT_READ, VM_PROT_READ, VM_INHERIT_NONE);
    kern_return_t released = mach_port_deallocate(mach_task_self(), entry);
    if (kr != KERN_SUCCESS || released != KERN_SUCCESS) {
        vm_deallocate(mach_task_self(), local, total);
        return VDCRASH_ENOMEM;
    }

    mobj->task = task;
    mobj->task_address = address;
    mobj->vm_address = local;
    mobj->vm_length = total;
    mobj->address = local + (address - start);
    mobj->length = start + mapped - address < length ? start + mapped - address : length;
    mobj->vm_slide = static_cast<int64_t>(address - mobj->address);
    mach_port_mod_refs(mach_task_self(), task, 0, 1);
    return VDCRASH_ESUCCESS;
}

bool vdcrash_async_mobject_verify_local_pointer(const vdcrash_async_mobject_t* mobj, uintptr_t address,
                                                int64_t offset, size_t length) {
    vm_address_t start;
    if (!vdcrash_async_address_apply_offset(address, offset, &start)) return false;
    vm_address_t end;
    if (!vdcrash_async_address_apply_offset(start, static_cast<int64_t>(length), &end)) return false;
    return start >= mobj->address && end <= mobj->address + mobj->length;
}

void* vdcrash_async_mobject_remap_address(const vdcrash_async_mobject_t* mobj, vm_address_t address, int64_t offset,
                                          size_t length) {
    vm_address_t target;
    if (!vdcrash_async_address_apply_offset(address, offset, &target)) return nullptr;
    if (target < mobj->task_address) return nullptr;
    uintptr_t local = mobj->address + (target - mobj->task_address);
    if (!vdcrash_async_mobject_verify_local_pointer(mobj, local, 0, length)) return nullptr;
    return reinterpret_cast<void*>(local);
}

namespace {
template <typename T>
vdcrash_error_t readValue(const vdcrash_async_mobject_t* mobj, vm_address_t address, int64_t offset, T* out) {
    void* p = vdcrash_async_mobject_remap_address(mobj, address, offset, sizeof(T));
    if (!p) return VDCRASH_EINVAL;
    vdcrash_async_memcpy(out, p, sizeof(T));
    return VDCRASH_ESUCCESS;
}
} // namespace

vdcrash_error_t vdcrash_async_mobject_read_uint8(const vdcrash_async_mobject_t* mobj, vm_address_t address,
                                                 int64_t offset, uint8_t* out) {
    return readValue(mobj, address, offset, out);
}

vdcrash_error_t vdcrash_async_mobject_read_uint16(const vdcrash_async_mobject_t* mobj,
                                                  const vdcrash_async_byteorder_t* byteorder, vm_address_t address,
                                                  int64_t offset, uint16_t* out) {
    uint16_t v;
    vdcrash_error_t err = readValue(mobj, address, offset, &v);
    if (err == VDCRASH_ESUCCESS) *out = byteorder->swap16(v);
    return err;
}

vdcrash_error_t vdcrash_async_mobject_read_uint32(const vdcrash_async_mobject_t* mobj,
                                                  const vdcrash_async_byteorder_t* byteorder, vm_address_t address,
                                                  int64_t offset, uint32_t* out) {
    uint32_t v;
    vdcrash_error_t err = readValue(mobj, address, offset, &v);
    if (err == VDCRASH_ESUCCESS) *out = byteorder->swap32(v);
    return err;
}

vdcrash_error_t vdcrash_async_mobject_read_uint64(const vdcrash_async_mobject_t* mobj,
                                                  const vdcrash_async_byteorder_t* byteorder, vm_address_t address,
                                                  int64_t offset, uint64_t* out) {
    uint64_t v;
    vdcrash_error_t err = readValue(mobj, address, offset, &v);
    if (err == VDCRASH_ESUCCESS) *out = byteorder->swap64(v);
    return err;
}

vm_address_t vdcrash_async_mobject_base_address(const vdcrash_async_mobject_t* mobj) { return mobj->task_address; }
vm_size_t vdcrash_async_mobject_length(const vdcrash_async_mobject_t* mobj) { return mobj->length; }
task_t vdcrash_async_mobject_task(const vdcrash_async_mobject_t* mobj) { return mobj->task; }

void vdcrash_async_mobject_free(vdcrash_async_mobject_t* mobj) {
    if (mobj->vm_length) vm_deallocate(mach_task_self(), mobj->vm_address, mobj->vm_length);
    mobj->vm_length = 0;
    mach_port_deallocate(mach_task_self(), mobj->task);
}
