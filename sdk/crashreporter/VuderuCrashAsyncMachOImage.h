#pragma once
// One loaded image of the task: its header, load commands, text segment and slide, and the
// symbol-table search over it. Device images are Mach-O; the images of this host are ELF, and an
// ELF image is read through the platform's ELF reader behind the same record, so that the image
// list, the binary image section and symbol lookup serve both.

#include "platform/system/ElfImage.h"
#include "platform/system/macho.h"
#include "sdk/crashreporter/VuderuCrashAsync.h"
#include "sdk/crashreporter/VuderuCrashAsyncMObject.h"

struct vdcrash_async_macho_t {
    task_t task;
    vm_address_t header_addr;
    char* name;
    mach_header_64 header;  // the 32-bit form's fields, plus `reserved` for 64-bit images
    bool m64;
    uint32_t header_size;
    const vdcrash_async_byteorder_t* byteorder;
    vdcrash_async_mobject_t load_cmds;
    vm_address_t text_vmaddr;
    vm_size_t text_size;
    vm_address_t vmaddr_slide;  // header address - text address, modulo the address range
    bool elf;
    vdelf_image elf_image;
};

struct vdcrash_async_macho_mapped_segment_t {
    vdcrash_async_mobject_t mobj;
    uint64_t fileoff;
    uint64_t filesize;
};

// A symbol found by address: its address in the task and its name (valid during the call).
typedef void (*vdcrash_async_found_symbol_cb)(vm_address_t address, const char* name, void* ctx);

vdcrash_error_t vdcrash_nasync_macho_init(vdcrash_async_macho_t* image, task_t task, const char* name,
                                          vm_address_t header);
// The same, with an ELF image's file symbols and their indexes made on a background queue when
// `symbolsLater` (its dynamic symbols name its frames meanwhile).
vdcrash_error_t vdcrash_nasync_macho_init_with(vdcrash_async_macho_t* image, task_t task, const char* name,
                                               vm_address_t header, bool symbolsLater);
void vdcrash_nasync_macho_free(vdcrash_async_macho_t* image);

// Walks the load commands: the one after `previous` (the first with null), null at the end or
// when a command would leave the mapped commands.
void* vdcrash_async_macho_next_command(const vdcrash_async_macho_t* image, void* previous);
void* vdcrash_async_macho_next_command_type(const vdcrash_async_macho_t* image, void* previous, uint32_t type);
void* vdcrash_async_macho_find_command(const vdcrash_async_macho_t* image, uint32_t type);
void* vdcrash_async_macho_find_segment_cmd(const vdcrash_async_macho_t* image, const char* segname);

vdcrash_error_t vdcrash_async_macho_map_segment(const vdcrash_async_macho_t* image, const char* segname,
                                                vdcrash_async_macho_mapped_segment_t* seg);
vdcrash_error_t vdcrash_async_macho_map_section(const vdcrash_async_macho_t* image, const char* segname,
                                                const char* sectname, vdcrash_async_mobject_t* mobj);
void vdcrash_async_macho_mapped_segment_free(vdcrash_async_macho_mapped_segment_t* seg);

bool vdcrash_async_macho_contains_address(const vdcrash_async_macho_t* image, vm_address_t address);
cpu_type_t vdcrash_async_macho_cpu_type(const vdcrash_async_macho_t* image);
cpu_subtype_t vdcrash_async_macho_cpu_subtype(const vdcrash_async_macho_t* image);
const vdcrash_async_byteorder_t* vdcrash_async_macho_byteorder(const vdcrash_async_macho_t* image);
const mach_header_64* vdcrash_async_macho_header(const vdcrash_async_macho_t* image);
uint32_t vdcrash_async_macho_header_size(const vdcrash_async_macho_t* image);
// The image's 16-byte UUID: LC_UUID of a Mach-O image, the first 16 bytes of the build-id of an
// ELF image; NO when it has none.
bool vdcrash_async_macho_uuid(const vdcrash_async_macho_t* image, uint8_t uuid[16]);

vdcrash_error_t vdcrash_async_macho_find_symbol_by_pc(const vdcrash_async_macho_t* image, vm_address_t pc,
                                                      vdcrash_async_found_symbol_cb callback, void* ctx);
vdcrash_error_t vdcrash_async_macho_find_symbol_by_name(const vdcrash_async_macho_t* image, const char* symbol,
                                                        vm_address_t* pc);

// A symbol entry as read, in the host's byte order.
struct vdcrash_async_macho_symtab_entry_t {
    uint32_t n_strx;
    uint8_t n_type;
    uint8_t n_sect;
    uint16_t n_desc;
    vm_address_t n_value;
    vm_address_t normalized_value;  // n_value with bit 0 set for Thumb functions
};

struct vdcrash_async_macho_symtab_table_t {
    void* symtab;
    uint32_t count;
};

struct vdcrash_async_macho_symtab_reader_t {
    const vdcrash_async_macho_t* image;
    vdcrash_async_macho_mapped_segment_t linkedit;
    void* symtab;
    uint32_t nsyms;
    vdcrash_async_macho_symtab_table_t symtab_global;
    vdcrash_async_macho_symtab_table_t symtab_local;
    bool has_dysymtab;
    char* string_table;
    size_t string_table_size;
};

vdcrash_error_t vdcrash_async_macho_symtab_reader_init(vdcrash_async_macho_symtab_reader_t* reader,
                                                       const vdcrash_async_macho_t* image);
vdcrash_async_macho_symtab_entry_t vdcrash_async_macho_symtab_reader_read(
    const vdcrash_async_macho_symtab_reader_t* reader, void* symtab, uint32_t index);
// The entry's name, or null when its terminator lies outside the mapped __LINKEDIT.
const char* vdcrash_async_macho_symtab_reader_symbol_name(const vdcrash_async_macho_symtab_reader_t* reader,
                                                          uint32_t n_strx);
void vdcrash_async_macho_symtab_reader_free(vdcrash_async_macho_symtab_reader_t* reader);

// A string of the task read lazily: mapped on first use, the mapping grown page by page up to a
// bound until its terminator is found.
struct vdcrash_async_macho_string_t {
    const vdcrash_async_macho_t* image;
    vm_address_t address;
    bool mapped;
    vdcrash_async_mobject_t mobj;
    size_t length;
};
// The longest mapping a lazily read string may grow to: a few pages. A string without a
// terminator within it is invalid.
constexpr vm_size_t VDCRASH_ASYNC_MACHO_STRING_MAX_MAPPING = 4 * VDCRASH_ASYNC_MOBJECT_PAGE_SIZE;
vdcrash_error_t vdcrash_async_macho_string_init(vdcrash_async_macho_string_t* string, const vdcrash_async_macho_t* image,
                                                vm_address_t address);
vdcrash_error_t vdcrash_async_macho_string_get_length(vdcrash_async_macho_string_t* string, size_t* length);
vdcrash_error_t vdcrash_async_macho_string_get_pointer(vdcrash_async_macho_string_t* string, const char** pointer);
void vdcrash_async_macho_string_free(vdcrash_async_macho_string_t* string);
