#pragma once
// The images of this host are ELF. This reader gives the crash reporter what it takes from a
// loaded image on the device: the text segment, the slide, a UUID (the GNU build-id), the unwind
// table's index and symbol names. Names come from the file's full symbol table (.symtab, which
// names file-local functions too) when the image's file has one, else from the dynamic symbol
// table, which -rdynamic fills with the executable's exported functions. Everything at crash time
// is read through vm_read_overwrite, never by dereferencing: async-signal-safe. At registration
// the loader vouches for the image, so its readable segments are read in place instead (see
// vdelf_nasync_read); anything outside them still goes through the fault-free reads. The full symbol
// table is not loaded with the image: it is mapped from the file when the image is registered,
// and both tables are indexed by address then, so that naming a frame is a binary search.

#include "platform/system/ElfSymbolIndex.h"
#include "platform/system/ElfUnwindSample.h"
#include "platform/system/mach.h"

#include <cstddef>
#include <cstdint>

constexpr uint32_t VDELF_MAGIC = 0x464c457f;  // "\x7fELF" read as a little-endian word

enum vdelf_result : int {
    VDELF_OK = 0,
    VDELF_NOT_FOUND = 1,
    VDELF_UNREADABLE = 2,
    VDELF_BAD_FORMAT = 3,
};

// A loaded segment in memory: [start, end).
struct vdelf_range {
    uintptr_t start;
    uintptr_t end;
};

constexpr size_t VDELF_READABLE_RANGES = 8;

struct vdelf_image {
    task_t task;
    uintptr_t header;      // the ELF header in memory (the start of the first loaded segment)
    uintptr_t bias;        // load address - link-time address
    bool is64;
    uint16_t machine;      // e_machine
    uintptr_t text_start;  // the executable segment in memory
    uintptr_t text_end;
    uintptr_t image_end;   // the end of the last loaded segment
    // The readable loaded segments (the first VDELF_READABLE_RANGES of them), read in place at
    // registration when the image is the own task's.
    vdelf_range readable[VDELF_READABLE_RANGES];
    size_t readable_count;
    uint8_t build_id[20];
    size_t build_id_length;
    uintptr_t dynsym;      // the dynamic symbol table in memory (0 when there is none)
    uintptr_t dynstr;
    size_t dynstr_size;
    size_t dynsym_count;
    uintptr_t eh_frame_hdr;  // the unwind table's index in memory (PT_GNU_EH_FRAME), 0 when there is none
    // The file's .symtab and its string table, mapped read-only; 0 when the file has none.
    uintptr_t symtab;
    size_t symtab_count;
    uintptr_t strtab;
    size_t strtab_size;
    void* file_mapping;
    size_t file_mapping_size;
    // The address indexes of .symtab and of the dynamic symbols (empty until registration).
    vdelf_symbol_index symtab_index;
    vdelf_symbol_index dynsym_index;
    // Set (with release order) once .symtab, the indexes above and the unwind sample below are in
    // place, and read (with acquire order) before any of them is used: they may be made on another
    // thread after the image is listed. Until then only the dynamic symbols are searched, one by
    // one, and the unwind index is searched whole.
    bool symbols_ready;
    // A sample of the unwind table's index, taken with the file symbols.
    vdelf_unwind_sample unwind_sample;
};

// Reads the header, program headers, build-id note and dynamic section of a loaded image.
vdelf_result vdelf_image_read(task_t task, uintptr_t header, vdelf_image* image);
// Not async-signal-safe (registration time, the image loaded and listed by the loader): copies
// `length` bytes at `address`. A range inside one readable loaded segment of an image of the own
// task is copied in place; any other through vm_read_overwrite.
bool vdelf_nasync_read(const vdelf_image* image, uintptr_t address, void* out, size_t length);
// The same range in place, or null when it is not inside one readable loaded segment of the own task.
const void* vdelf_nasync_in_place(const vdelf_image* image, uintptr_t address, size_t length);
// Not async-signal-safe (registration time): maps the .symtab of the image's file at `path`,
// when the file has one and is the file the image was loaded from (same build-id), indexes it and
// the dynamic symbols by address, and samples the unwind index. Unmapping frees all of them.
void vdelf_nasync_map_file_symbols(vdelf_image* image, const char* path);
// The same after the launch, so that listing an image costs little: on a background thread, a
// few seconds after the first such call (a process that ends or crashes before then has its
// frames named by the dynamic symbols). The image must stay where it is until
// vdelf_nasync_unmap_file_symbols, which drops a mapping still pending and waits for one running.
void vdelf_nasync_map_file_symbols_later(vdelf_image* image, const char* path);
// Returns once every mapping asked for later is done, doing those still pending on the caller's
// thread.
void vdelf_nasync_wait_for_file_symbols();
// Whether the image's file symbols and indexes are complete (see symbols_ready); async-signal-safe.
bool vdelf_symbols_ready(const vdelf_image* image);
void vdelf_nasync_unmap_file_symbols(vdelf_image* image);
// The function symbol that holds `pc`: the one with the highest address at or below it whose
// size reaches past it (a symbol without a size reaches to the next symbol). Its address in
// memory and its name, cut to fit `nameSize` (NUL-terminated). The full symbol table is searched
// when the image has one, else (or when it names none) the dynamic symbols; through their
// indexes when they have them.
vdelf_result vdelf_find_symbol_by_pc(const vdelf_image* image, uintptr_t pc, uintptr_t* address, char* name,
                                     size_t nameSize);
// The address in memory of the defined symbol with exactly this name.
vdelf_result vdelf_find_symbol_by_name(const vdelf_image* image, const char* symbol, uintptr_t* address);
// The Mach CPU type and subtype that stand for the image's machine.
void vdelf_cpu_type(const vdelf_image* image, cpu_type_t* type, cpu_subtype_t* subtype);
