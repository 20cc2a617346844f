#include "sdk/crashreporter/VuderuCrashAsyncImageList.h"

#include <cstdlib>
#include <new>

namespace {
// An image goes with its node: when no reader can stand on it any more.
void disposeImage(vdcrash_async_image_t* image) {
    vdcrash_nasync_macho_free(&image->macho_image);
    delete image;
}
} // namespace

void vdcrash_nasync_image_list_init(vdcrash_async_image_list_t* list, task_t task) {
    list->task = task;
    list->symbols_later = false;
    mach_port_mod_refs(mach_task_self(), task, 0, 1);
    list->list = new vdcrash_async_image_list_nodes(disposeImage);
}

void vdcrash_nasync_image_list_free(vdcrash_async_image_list_t* list) {
    delete list->list;
    list->list = nullptr;
    mach_port_deallocate(mach_task_self(), list->task);
}

void vdcrash_nasync_image_list_append(vdcrash_async_image_list_t* list, vm_address_t header, const char* name) {
    auto* image = new vdcrash_async_image_t();
    if (vdcrash_nasync_macho_init_with(&image->macho_image, list->task, name, header, list->symbols_later) != VDCRASH_ESUCCESS) {
        delete image;
        return;
    }
    list->list->nasync_append(image);
}

void vdcrash_nasync_image_list_remove(vdcrash_async_image_list_t* list, vm_address_t header) {
    list->list->set_reading(true);
    vdcrash_async_image_list_nodes::node* found = nullptr;
    for (auto* n = list->list->next(nullptr); n; n = list->list->next(n)) {
        if (n->value()->macho_image.header_addr == header) {
            found = n;
            break;
        }
    }
    list->list->set_reading(false);
    if (found) list->list->nasync_remove_node(found);
}

void vdcrash_async_image_list_set_reading(vdcrash_async_image_list_t* list, bool enable) {
    list->list->set_reading(enable);
}

vdcrash_async_image_t* vdcrash_async_image_list_next(vdcrash_async_image_list_t* list, vdcrash_async_image_t* current) {
    auto* n = list->list->next(current ? current->node : nullptr);
    if (!n) return nullptr;
    vdcrash_async_image_t* image = n->value();
    image->node = n;
    return image;
}

vdcrash_async_image_t* vdcrash_async_image_containing_address(vdcrash_async_image_list_t* list, vm_address_t address) {
    for (vdcrash_async_image_t* image = vdcrash_async_image_list_next(list, nullptr); image;
         image = vdcrash_async_image_list_next(list, image)) {
        if (vdcrash_async_macho_contains_address(&image->macho_image, address)) return image;
    }
    return nullptr;
}
