#include "sdk/crashreporter/VuderuCrashAsyncMachOImage.h"

#include <cstdlib>
#include <cstring>

namespace {

constexpr size_t kSegmentNameLength = 16;
constexpr size_t kSymbolNameBuffer = 256;
constexpr uint8_t kDefinedSectionMask = 0xEE;  // N_TYPE | N_STAB without the private-extern and external bits

vm_address_t segmentCommandSize(const vdcrash_async_macho_t* image) {
    return image->m64 ? sizeof(segment_command_64) : sizeof(segment_command);
}

// The fields of a segment command of either width, in the host's byte order.
struct SegmentInfo {
    uint64_t vmaddr, vmsize, fileoff, filesize;
    uint32_t nsects;
};

SegmentInfo readSegment(const vdcrash_async_macho_t* image, const void* cmd) {
    const vdcrash_async_byteorder_t* bo = image->byteorder;
    SegmentInfo info{};
    if (image->m64) {
        segment_command_64 seg;
        vdcrash_async_memcpy(&seg, cmd, sizeof seg);
        info = {bo->swap64(seg.vmaddr), bo->swap64(seg.vmsize), bo->swap64(seg.fileoff), bo->swap64(seg.filesize),
                bo->swap32(seg.nsects)};
    } else {
        segment_command seg;
        vdcrash_async_memcpy(&seg, cmd, sizeof seg);
        info = {bo->swap32(seg.vmaddr), bo->swap32(seg.vmsize), bo->swap32(seg.fileoff), bo->swap32(seg.filesize),
                bo->swap32(seg.nsects)};
    }
    return info;
}

bool isDefinedSectionSymbol(uint8_t type) { return (type & kDefinedSectionMask) == N_SECT; }

} // namespace

vdcrash_error_t vdcrash_nasync_macho_init(vdcrash_async_macho_t* image, task_t task, const char* name,
                                          vm_address_t header) {
    return vdcrash_nasync_macho_init_with(image, task, name, header, false);
}

vdcrash_error_t vdcrash_nasync_macho_init_with(vdcrash_async_macho_t* image, task_t task, const char* name,
                                               vm_address_t header, bool symbolsLater) {
    vdcrash_async_memset(image, 0, sizeof *image);
    image->task = task;
    image->header_addr = header;
    image->name = strdup(name ? name : "");
    mach_port_mod_refs(mach_task_self(), task, 0, 1);

    auto fail = [&](vdcrash_error_t err) {
        free(image->name);
        image->name = nullptr;
        mach_port_deallocate(mach_task_self(), task);
        return err;
    };

    mach_header head;
    if (vdcrash_async_read_addr(task, header, &head, sizeof head) != KERN_SUCCESS) return fail(VDCRASH_EINTERNAL);

    if (head.magic == VDELF_MAGIC) {
        if (vdelf_image_read(task, header, &image->elf_image) != VDELF_OK) return fail(VDCRASH_EINVAL);
        if (symbolsLater)
            vdelf_nasync_map_file_symbols_later(&image->elf_image, image->name);
        else
            vdelf_nasync_map_file_symbols(&image->elf_image, image->name);
        image->elf = true;
        image->m64 = image->elf_image.is64;
        image->byteorder = &vdcrash_async_byteorder_direct;
        image->header.magic = head.magic;
        vdelf_cpu_type(&image->elf_image, &image->header.cputype, &image->header.cpusubtype);
        image->header_size = sizeof(mach_header_64);
        image->vmaddr_slide = image->elf_image.bias;
        image->text_vmaddr = header - image->elf_image.bias;
        image->text_size = image->elf_image.text_end - header;
        return VDCRASH_ESUCCESS;
    }

    switch (head.magic) {
    case MH_MAGIC: image->m64 = false; image->byteorder = &vdcrash_async_byteorder_direct; break;
    case MH_MAGIC_64: image->m64 = true; image->byteorder = &vdcrash_async_byteorder_direct; break;
    case MH_CIGAM: image->m64 = false; image->byteorder = &vdcrash_async_byteorder_swapped; break;
    case MH_CIGAM_64: image->m64 = true; image->byteorder = &vdcrash_async_byteorder_swapped; break;
    default: return fail(VDCRASH_EINVAL);
    }
    const vdcrash_async_byteorder_t* bo = image->byteorder;
    image->header.magic = bo->swap32(head.magic);
    image->header.cputype = static_cast<cpu_type_t>(bo->swap32(static_cast<uint32_t>(head.cputype)));
    image->header.cpusubtype = static_cast<cpu_subtype_t>(bo->swap32(static_cast<uint32_t>(head.cpusubtype)));
    image->header.filetype = bo->swap32(head.filetype);
    image->header.ncmds = bo->swap32(head.ncmds);
    image->header.sizeofcmds = bo->swap32(head.sizeofcmds);
    image->header.flags = bo->swap32(head.flags);
    image->header_size = image->m64 ? sizeof(mach_header_64) : sizeof(mach_header);

    if (image->header.sizeofcmds == 0 ||
        vdcrash_async_mobject_init(&image->load_cmds, task, header + image->header_size, image->header.sizeofcmds,
                                   true) != VDCRASH_ESUCCESS)
        return fail(VDCRASH_EINVAL);

    void* text = vdcrash_async_macho_find_segment_cmd(image, "__TEXT");
    if (!text) {
        vdcrash_async_mobject_free(&image->load_cmds);
        return fail(VDCRASH_EINVAL);
    }
    SegmentInfo info = readSegment(image, text);
    image->text_vmaddr = static_cast<vm_address_t>(info.vmaddr);
    image->text_size = static_cast<vm_size_t>(info.vmsize);
    image->vmaddr_slide = header - image->text_vmaddr;
    return VDCRASH_ESUCCESS;
}

void vdcrash_nasync_macho_free(vdcrash_async_macho_t* image) {
    if (image->elf) {
        vdelf_nasync_unmap_file_symbols(&image->elf_image);
    } else {
        vdcrash_async_mobject_free(&image->load_cmds);
    }
    free(image->name);
    image->name = nullptr;
    mach_port_deallocate(mach_task_self(), image->task);
}

void* vdcrash_async_macho_next_command(const vdcrash_async_macho_t* image, void* previous) {
    if (image->elf) return nullptr;
    uintptr_t next;
    if (!previous) {
        if (image->header.ncmds == 0) return nullptr;
        next = image->load_cmds.address;
    } else {
        if (!vdcrash_async_mobject_verify_local_pointer(&image->load_cmds, reinterpret_cast<uintptr_t>(previous), 0,
                                                        sizeof(load_command)))
            return nullptr;
        load_command cmd;
        vdcrash_async_memcpy(&cmd, previous, sizeof cmd);
        next = reinterpret_cast<uintptr_t>(previous) + image->byteorder->swap32(cmd.cmdsize);
    }
    if (!vdcrash_async_mobject_verify_local_pointer(&image->load_cmds, next, 0, sizeof(load_command))) return nullptr;
    load_command cmd;
    vdcrash_async_memcpy(&cmd, reinterpret_cast<void*>(next), sizeof cmd);
    uint32_t size = image->byteorder->swap32(cmd.cmdsize);
    if (size < sizeof(load_command) || !vdcrash_async_mobject_verify_local_pointer(&image->load_cmds, next, 0, size))
        return nullptr;
    return reinterpret_cast<void*>(next);
}

void* vdcrash_async_macho_next_command_type(const vdcrash_async_macho_t* image, void* previous, uint32_t type) {
    for (void* cmd = vdcrash_async_macho_next_command(image, previous); cmd;
         cmd = vdcrash_async_macho_next_command(image, cmd)) {
        load_command lc;
        vdcrash_async_memcpy(&lc, cmd, sizeof lc);
        if (image->byteorder->swap32(lc.cmd) == type) return cmd;
    }
    return nullptr;
}

void* vdcrash_async_macho_find_command(const vdcrash_async_macho_t* image, uint32_t type) {
    return vdcrash_async_macho_next_command_type(image, nullptr, type);
}

void* vdcrash_async_macho_find_segment_cmd(const vdcrash_async_macho_t* image, const char* segname) {
    uint32_t type = image->m64 ? LC_SEGMENT_64 : LC_SEGMENT;
    for (void* cmd = vdcrash_async_macho_find_command(image, type); cmd;
         cmd = vdcrash_async_macho_next_command_type(image, cmd, type)) {
        if (!vdcrash_async_mobject_verify_local_pointer(&image->load_cmds, reinterpret_cast<uintptr_t>(cmd), 0,
                                                        segmentCommandSize(image)))
            return nullptr;
        const char* name = static_cast<const char*>(cmd) + 2 * sizeof(uint32_t);
        if (vdcrash_async_strncmp(name, segname, kSegmentNameLength) == 0) return cmd;
    }
    return nullptr;
}

vdcrash_error_t vdcrash_async_macho_map_segment(const vdcrash_async_macho_t* image, const char* segname,
                                                vdcrash_async_macho_mapped_segment_t* seg) {
    void* cmd = vdcrash_async_macho_find_segment_cmd(image, segname);
    if (!cmd) return VDCRASH_ENOTFOUND;
    SegmentInfo info = readSegment(image, cmd);
    vdcrash_error_t err = vdcrash_async_mobject_init(&seg->mobj, image->task,
                                                     static_cast<vm_address_t>(info.vmaddr) + image->vmaddr_slide,
                                                     static_cast<vm_size_t>(info.vmsize), false);
    if (err != VDCRASH_ESUCCESS) return err;
    seg->fileoff = info.fileoff;
    seg->filesize = info.filesize;
    return VDCRASH_ESUCCESS;
}

vdcrash_error_t vdcrash_async_macho_map_section(const vdcrash_async_macho_t* image, const char* segname,
                                                const char* sectname, vdcrash_async_mobject_t* mobj) {
    void* cmd = vdcrash_async_macho_find_segment_cmd(image, segname);
    if (!cmd) return VDCRASH_ENOTFOUND;
    SegmentInfo info = readSegment(image, cmd);
    const size_t sectionSize = image->m64 ? sizeof(section_64) : sizeof(section);
    uintptr_t first = reinterpret_cast<uintptr_t>(cmd) + segmentCommandSize(image);
    for (uint32_t i = 0; i < info.nsects; ++i) {
        uintptr_t header = first + i * sectionSize;
        if (!vdcrash_async_mobject_verify_local_pointer(&image->load_cmds, header, 0, sectionSize)) return VDCRASH_EINVAL;
        if (vdcrash_async_strncmp(reinterpret_cast<const char*>(header), sectname, kSegmentNameLength) != 0) continue;
        uint64_t addr, size;
        if (image->m64) {
            section_64 sect;
            vdcrash_async_memcpy(&sect, reinterpret_cast<void*>(header), sizeof sect);
            addr = image->byteorder->swap64(sect.addr);
            size = image->byteorder->swap64(sect.size);
        } else {
            section sect;
            vdcrash_async_memcpy(&sect, reinterpret_cast<void*>(header), sizeof sect);
            addr = image->byteorder->swap32(sect.addr);
            size = image->byteorder->swap32(sect.size);
        }
        return vdcrash_async_mobject_init(mobj, image->task, static_cast<vm_address_t>(addr) + image->vmaddr_slide,
                                          static_cast<vm_size_t>(size), true);
    }
    return VDCRASH_ENOTFOUND;
}

void vdcrash_async_macho_mapped_segment_free(vdcrash_async_macho_mapped_segment_t* seg) {
    vdcrash_async_mobject_free(&seg->mobj);
}

bool vdcrash_async_macho_contains_address(const vdcrash_async_macho_t* image, vm_address_t address) {
    return address >= image->header_addr && address - image->header_addr < image->text_size;
}

cpu_type_t vdcrash_async_macho_cpu_type(const vdcrash_async_macho_t* image) { return image->header.cputype; }
cpu_subtype_t vdcrash_async_macho_cpu_subtype(const vdcrash_async_macho_t* image) { return image->header.cpusubtype; }
const vdcrash_async_byteorder_t* vdcrash_async_macho_byteorder(const vdcrash_async_macho_t* image) {
    return image->byteorder;
}
const mach_header_64* vdcrash_async_macho_header(const vdcrash_async_macho_t* image) { return &image->header; }
uint32_t vdcrash_async_macho_header_size(const vdcrash_async_macho_t* image) { return image->header_size; }

bool vdcrash_async_macho_uuid(const vdcrash_async_macho_t* image, uint8_t uuid[16]) {
    if (image->elf) {
        if (image->elf_image.build_id_length == 0) return false;
        vdcrash_async_memset(uuid, 0, 16);
        size_t n = image->elf_image.build_id_length < 16 ? image->elf_image.build_id_length : 16;
        vdcrash_async_memcpy(uuid, image->elf_image.build_id, n);
        return true;
    }
    void* cmd = vdcrash_async_macho_find_command(image, LC_UUID);
    if (!cmd || !vdcrash_async_mobject_verify_local_pointer(&image->load_cmds, reinterpret_cast<uintptr_t>(cmd), 0,
                                                            sizeof(uuid_command)))
        return false;
    vdcrash_async_memcpy(uuid, static_cast<const uint8_t*>(cmd) + 2 * sizeof(uint32_t), 16);
    return true;
}

vdcrash_error_t vdcrash_async_macho_symtab_reader_init(vdcrash_async_macho_symtab_reader_t* reader,
                                                       const vdcrash_async_macho_t* image) {
    vdcrash_async_memset(reader, 0, sizeof *reader);
    reader->image = image;
    void* symCmd = vdcrash_async_macho_find_command(image, LC_SYMTAB);
    if (!symCmd || !vdcrash_async_mobject_verify_local_pointer(&image->load_cmds, reinterpret_cast<uintptr_t>(symCmd),
                                                               0, sizeof(symtab_command)))
        return VDCRASH_ENOTFOUND;
    symtab_command st;
    vdcrash_async_memcpy(&st, symCmd, sizeof st);
    const vdcrash_async_byteorder_t* bo = image->byteorder;
    uint32_t symoff = bo->swap32(st.symoff), nsyms = bo->swap32(st.nsyms);
    uint32_t stroff = bo->swap32(st.stroff), strsize = bo->swap32(st.strsize);

    if (vdcrash_async_macho_map_segment(image, "__LINKEDIT", &reader->linkedit) != VDCRASH_ESUCCESS)
        return VDCRASH_EINTERNAL;
    const vdcrash_async_mobject_t* le = &reader->linkedit.mobj;
    const size_t entrySize = image->m64 ? sizeof(nlist_64) : sizeof(nlist);
    uint64_t fileoff = reader->linkedit.fileoff;
    if (symoff < fileoff || stroff < fileoff) {
        vdcrash_async_macho_mapped_segment_free(&reader->linkedit);
        return VDCRASH_EINTERNAL;
    }
    vm_address_t linkeditTask = vdcrash_async_mobject_base_address(le);
    reader->symtab = vdcrash_async_mobject_remap_address(le, linkeditTask, static_cast<int64_t>(symoff - fileoff),
                                                         static_cast<size_t>(nsyms) * entrySize);
    reader->string_table = static_cast<char*>(
        vdcrash_async_mobject_remap_address(le, linkeditTask, static_cast<int64_t>(stroff - fileoff), strsize));
    if (!reader->symtab || !reader->string_table) {
        vdcrash_async_macho_mapped_segment_free(&reader->linkedit);
        return VDCRASH_EINTERNAL;
    }
    reader->nsyms = nsyms;
    reader->string_table_size = strsize;

    void* dyCmd = vdcrash_async_macho_find_command(image, LC_DYSYMTAB);
    if (dyCmd && vdcrash_async_mobject_verify_local_pointer(&image->load_cmds, reinterpret_cast<uintptr_t>(dyCmd), 0,
                                                            sizeof(dysymtab_command))) {
        dysymtab_command dy;
        vdcrash_async_memcpy(&dy, dyCmd, sizeof dy);
        uint64_t iext = bo->swap32(dy.iextdefsym), next = bo->swap32(dy.nextdefsym);
        uint64_t iloc = bo->swap32(dy.ilocalsym), nloc = bo->swap32(dy.nlocalsym);
        if (iext + next > nsyms || iloc + nloc > nsyms) {
            vdcrash_async_macho_mapped_segment_free(&reader->linkedit);
            return VDCRASH_EINVAL;
        }
        reader->has_dysymtab = true;
        reader->symtab_global = {static_cast<uint8_t*>(reader->symtab) + iext * entrySize, static_cast<uint32_t>(next)};
        reader->symtab_local = {static_cast<uint8_t*>(reader->symtab) + iloc * entrySize, static_cast<uint32_t>(nloc)};
    }
    return VDCRASH_ESUCCESS;
}

vdcrash_async_macho_symtab_entry_t vdcrash_async_macho_symtab_reader_read(
    const vdcrash_async_macho_symtab_reader_t* reader, void* symtab, uint32_t index) {
    const vdcrash_async_byteorder_t* bo = reader->image->byteorder;
    vdcrash_async_macho_symtab_entry_t entry{};
    if (reader->image->m64) {
        nlist_64 n;
        vdcrash_async_memcpy(&n, static_cast<uint8_t*>(symtab) + size_t(index) * sizeof n, sizeof n);
        entry = {bo->swap32(n.n_strx), n.n_type, n.n_sect, bo->swap16(n.n_desc),
                 static_cast<vm_address_t>(bo->swap64(n.n_value)), 0};
    } else {
        nlist n;
        vdcrash_async_memcpy(&n, static_cast<uint8_t*>(symtab) + size_t(index) * sizeof n, sizeof n);
        entry = {bo->swap32(n.n_strx), n.n_type, n.n_sect, bo->swap16(static_cast<uint16_t>(n.n_desc)),
                 bo->swap32(n.n_value), 0};
    }
    entry.normalized_value = entry.n_value;
    if (entry.n_desc & N_ARM_THUMB_DEF) entry.normalized_value |= 1;
    return entry;
}

const char* vdcrash_async_macho_symtab_reader_symbol_name(const vdcrash_async_macho_symtab_reader_t* reader,
                                                          uint32_t n_strx) {
    if (n_strx >= reader->string_table_size) return nullptr;
    const char* name = reader->string_table + n_strx;
    uintptr_t end = reader->linkedit.mobj.address + reader->linkedit.mobj.length;
    for (uintptr_t p = reinterpret_cast<uintptr_t>(name); p < end; ++p)
        if (*reinterpret_cast<const char*>(p) == 0) return name;
    return nullptr;
}

void vdcrash_async_macho_symtab_reader_free(vdcrash_async_macho_symtab_reader_t* reader) {
    vdcrash_async_macho_mapped_segment_free(&reader->linkedit);
}

namespace {
// Keeps the best (highest, at or below the address) defined section symbol of a table.
void searchTable(const vdcrash_async_macho_symtab_reader_t* reader, void* table, uint32_t count, vm_address_t address,
                 bool* found, vdcrash_async_macho_symtab_entry_t* best) {
    for (uint32_t i = 0; i < count; ++i) {
        vdcrash_async_macho_symtab_entry_t entry = vdcrash_async_macho_symtab_reader_read(reader, table, i);
        if (!isDefinedSectionSymbol(entry.n_type) || entry.n_value > address) continue;
        if (!*found || entry.n_value > best->n_value) {
            *best = entry;
            *found = true;
        }
    }
}
} // namespace

vdcrash_error_t vdcrash_async_macho_find_symbol_by_pc(const vdcrash_async_macho_t* image, vm_address_t pc,
                                                      vdcrash_async_found_symbol_cb callback, void* ctx) {
    if (image->elf) {
        char name[kSymbolNameBuffer];
        uintptr_t address = 0;
        switch (vdelf_find_symbol_by_pc(&image->elf_image, pc, &address, name, sizeof name)) {
        case VDELF_OK: callback(address, name, ctx); return VDCRASH_ESUCCESS;
        case VDELF_NOT_FOUND: return VDCRASH_ENOTFOUND;
        case VDELF_UNREADABLE: return VDCRASH_EINTERNAL;
        default: return VDCRASH_EINVAL;
        }
    }
    vdcrash_async_macho_symtab_reader_t reader;
    vdcrash_error_t err = vdcrash_async_macho_symtab_reader_init(&reader, image);
    if (err != VDCRASH_ESUCCESS) return err;
    vm_address_t address = pc - image->vmaddr_slide;
    bool found = false;
    vdcrash_async_macho_symtab_entry_t best{};
    if (reader.has_dysymtab) {
        searchTable(&reader, reader.symtab_global.symtab, reader.symtab_global.count, address, &found, &best);
        searchTable(&reader, reader.symtab_local.symtab, reader.symtab_local.count, address, &found, &best);
    } else {
        searchTable(&reader, reader.symtab, reader.nsyms, address, &found, &best);
    }
    if (!found) {
        vdcrash_async_macho_symtab_reader_free(&reader);
        return VDCRASH_ENOTFOUND;
    }
    const char* name = vdcrash_async_macho_symtab_reader_symbol_name(&reader, best.n_strx);
    if (!name) {
        vdcrash_async_macho_symtab_reader_free(&reader);
        return VDCRASH_EINVAL;
    }
    callback(best.normalized_value + image->vmaddr_slide, name, ctx);
    vdcrash_async_macho_symtab_reader_free(&reader);
    return VDCRASH_ESUCCESS;
}

vdcrash_error_t vdcrash_async_macho_find_symbol_by_name(const vdcrash_async_macho_t* image, const char* symbol,
                                                        vm_address_t* pc) {
    if (image->elf) {
        uintptr_t address = 0;
        if (vdelf_find_symbol_by_name(&image->elf_image, symbol, &address) != VDELF_OK) return VDCRASH_ENOTFOUND;
        *pc = address;
        return VDCRASH_ESUCCESS;
    }
    vdcrash_async_macho_symtab_reader_t reader;
    vdcrash_error_t err = vdcrash_async_macho_symtab_reader_init(&reader, image);
    if (err != VDCRASH_ESUCCESS) return err;
    err = VDCRASH_ENOTFOUND;
    for (uint32_t i = 0; i < reader.nsyms; ++i) {
        vdcrash_async_macho_symtab_entry_t entry = vdcrash_async_macho_symtab_reader_read(&reader, reader.symtab, i);
        if (!isDefinedSectionSymbol(entry.n_type)) continue;
        const char* name = vdcrash_async_macho_symtab_reader_symbol_name(&reader, entry.n_strx);
        if (name && vdcrash_async_strcmp(name, symbol) == 0) {
            *pc = entry.normalized_value + image->vmaddr_slide;
            err = VDCRASH_ESUCCESS;
            break;
        }
    }
    vdcrash_async_macho_symtab_reader_free(&reader);
    return err;
}

vdcrash_error_t vdcrash_async_macho_string_init(vdcrash_async_macho_string_t* string, const vdcrash_async_macho_t* image,
                                                vm_address_t address) {
    vdcrash_async_memset(string, 0, sizeof *string);
    string->image = image;
    string->address = address;
    return VDCRASH_ESUCCESS;
}

namespace {
vdcrash_error_t mapString(vdcrash_async_macho_string_t* string) {
    if (string->mapped) return VDCRASH_ESUCCESS;
    for (vm_size_t size = VDCRASH_ASYNC_MOBJECT_PAGE_SIZE; size <= VDCRASH_ASYNC_MACHO_STRING_MAX_MAPPING;
         size += VDCRASH_ASYNC_MOBJECT_PAGE_SIZE) {
        vdcrash_async_mobject_t mobj;
        if (vdcrash_async_mobject_init(&mobj, string->image->task, string->address, size, false) != VDCRASH_ESUCCESS)
            return VDCRASH_EINVAL;
        const char* p = reinterpret_cast<const char*>(mobj.address);
        for (size_t i = 0; i < mobj.length; ++i) {
            if (p[i] == 0) {
                string->mobj = mobj;
                string->length = i;
                string->mapped = true;
                return VDCRASH_ESUCCESS;
            }
        }
        bool grew = mobj.length == size;
        vdcrash_async_mobject_free(&mobj);
        if (!grew) return VDCRASH_EINVAL;  // the bytes after the mapped ones can't be read
    }
    return VDCRASH_EINVAL;
}
} // namespace

vdcrash_error_t vdcrash_async_macho_string_get_length(vdcrash_async_macho_string_t* string, size_t* length) {
    vdcrash_error_t err = mapString(string);
    if (err == VDCRASH_ESUCCESS) *length = string->length;
    return err;
}

vdcrash_error_t vdcrash_async_macho_string_get_pointer(vdcrash_async_macho_string_t* string, const char** pointer) {
    vdcrash_error_t err = mapString(string);
    if (err == VDCRASH_ESUCCESS) *pointer = reinterpret_cast<const char*>(string->mobj.address);
    return err;
}

void vdcrash_async_macho_string_free(vdcrash_async_macho_string_t* string) {
    if (string->mapped) vdcrash_async_mobject_free(&string->mobj);
    string->mapped = false;
}
