#pragma once
// The list of loaded images, filled from the loader's callbacks and read at crash time under the
// list's reader count.

#include "sdk/crashreporter/VuderuCrashAsyncLinkedList.h"
#include "sdk/crashreporter/VuderuCrashAsyncMachOImage.h"

struct vdcrash_async_image_t;
using vdcrash_async_image_list_nodes = vdcrash::async::async_list<vdcrash_async_image_t*>;

struct vdcrash_async_image_t {
    vdcrash_async_macho_t macho_image;
    vdcrash_async_image_list_nodes::node* node;  // set at the first visit
};

struct vdcrash_async_image_list_t {
    task_t task;
    vdcrash_async_image_list_nodes* list;
    // Images appended from now on get their file symbols on a background queue (see
    // vdcrash_nasync_macho_init_with): listing them costs little on the thread that loads them.
    bool symbols_later;
};

void vdcrash_nasync_image_list_init(vdcrash_async_image_list_t* list, task_t task);
void vdcrash_nasync_image_list_free(vdcrash_async_image_list_t* list);
// Lists the image whose header lies at `header`; one that can't be parsed is left out.
void vdcrash_nasync_image_list_append(vdcrash_async_image_list_t* list, vm_address_t header, const char* name);
// Unlists the first image with that header. The record (its name, symbol indexes and mappings)
// is freed once no crash-time reader can hold it: at once when none is counted in, else at a
// later change of the list or when the list is freed.
void vdcrash_nasync_image_list_remove(vdcrash_async_image_list_t* list, vm_address_t header);

void vdcrash_async_image_list_set_reading(vdcrash_async_image_list_t* list, bool enable);
vdcrash_async_image_t* vdcrash_async_image_list_next(vdcrash_async_image_list_t* list, vdcrash_async_image_t* current);
vdcrash_async_image_t* vdcrash_async_image_containing_address(vdcrash_async_image_list_t* list, vm_address_t address);
