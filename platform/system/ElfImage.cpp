#include "platform/system/ElfImage.h"

#include <atomic>
#include <cstring>
#include <elf.h>
#include <vector>

namespace {

constexpr size_t kSymbolBatch = 64;
constexpr uint32_t kImageGnuNoteName = 0x00554e47;  // "GNU\0"

bool readTask(task_t task, uintptr_t address, void* out, size_t length) {
    vm_size_t got = 0;
    return vm_read_overwrite(task, address, length, reinterpret_cast<vm_address_t>(out), &got) == KERN_SUCCESS;
}

size_t align4(size_t v) { return (v + 3) & ~size_t(3); }

// Dynamic-section pointers are relocated in place by the loader for most images, but not for
// all (the vDSO keeps link-time values): a value outside the image is taken as unrelocated.
uintptr_t dynamicPointer(const vdelf_image* image, uint64_t value) {
    if (value >= image->header && value < image->image_end) return static_cast<uintptr_t>(value);
    return static_cast<uintptr_t>(value) + image->bias;
}

void readBuildId(vdelf_image* image, uintptr_t notes, size_t size) {
    size_t offset = 0;
    while (offset + sizeof(Elf64_Nhdr) <= size) {
        Elf64_Nhdr note;
        if (!vdelf_nasync_read(image, notes + offset, &note, sizeof note)) return;
        size_t name = offset + sizeof note;
        size_t desc = name + align4(note.n_namesz);
        if (note.n_type == NT_GNU_BUILD_ID && note.n_namesz == 4 && note.n_descsz > 0) {
            uint32_t owner = 0;
            if (!vdelf_nasync_read(image, notes + name, &owner, sizeof owner) || owner != kImageGnuNoteName) return;
            size_t length = note.n_descsz < sizeof image->build_id ? note.n_descsz : sizeof image->build_id;
            if (vdelf_nasync_read(image, notes + desc, image->build_id, length)) image->build_id_length = length;
            return;
        }
        offset = desc + align4(note.n_descsz);
    }
}

// The number of dynamic symbols: DT_HASH holds it; with DT_GNU_HASH it is found by following
// the chain of the highest bucket to its end.
size_t gnuHashSymbolCount(const vdelf_image* image, uintptr_t table) {
    uint32_t header[4];
    if (!vdelf_nasync_read(image, table, header, sizeof header)) return 0;
    uint32_t nbuckets = header[0], symoffset = header[1], bloomSize = header[2];
    uintptr_t buckets = table + sizeof header + size_t(bloomSize) * 8;
    uintptr_t chains = buckets + size_t(nbuckets) * 4;
    uint32_t highest = 0;
    for (uint32_t i = 0; i < nbuckets; ++i) {
        uint32_t bucket = 0;
        if (!vdelf_nasync_read(image, buckets + size_t(i) * 4, &bucket, sizeof bucket)) return 0;
        if (bucket > highest) highest = bucket;
    }
    if (highest < symoffset) return symoffset;
    for (uint32_t index = highest;; ++index) {
        uint32_t chain = 0;
        if (!vdelf_nasync_read(image, chains + size_t(index - symoffset) * 4, &chain, sizeof chain)) return index;
        if (chain & 1) return size_t(index) + 1;
    }
}

void readDynamic(vdelf_image* image, uintptr_t dynamic, size_t size) {
    uintptr_t hash = 0, gnuHash = 0;
    for (size_t offset = 0; offset + sizeof(Elf64_Dyn) <= size; offset += sizeof(Elf64_Dyn)) {
        Elf64_Dyn entry;
        if (!vdelf_nasync_read(image, dynamic + offset, &entry, sizeof entry) || entry.d_tag == DT_NULL) break;
        switch (entry.d_tag) {
        case DT_SYMTAB: image->dynsym = dynamicPointer(image, entry.d_un.d_ptr); break;
        case DT_STRTAB: image->dynstr = dynamicPointer(image, entry.d_un.d_ptr); break;
        case DT_STRSZ: image->dynstr_size = entry.d_un.d_val; break;
        case DT_HASH: hash = dynamicPointer(image, entry.d_un.d_ptr); break;
        case DT_GNU_HASH: gnuHash = dynamicPointer(image, entry.d_un.d_ptr); break;
        default: break;
        }
    }
    if (!image->dynsym || !image->dynstr) {
        image->dynsym = image->dynstr = 0;
        return;
    }
    if (hash) {
        uint32_t words[2];
        if (vdelf_nasync_read(image, hash, words, sizeof words)) image->dynsym_count = words[1];
    } else if (gnuHash) {
        image->dynsym_count = gnuHashSymbolCount(image, gnuHash);
    }
}

bool isDefinedCodeSymbol(const Elf64_Sym& sym) {
    unsigned type = ELF64_ST_TYPE(sym.st_info);
    return sym.st_shndx != SHN_UNDEF && (type == STT_FUNC || type == STT_GNU_IFUNC);
}

} // namespace

bool vdelf_symbols_ready(const vdelf_image* image) {
    // The flag is written once the tables are complete, by the thread that made them.
    return std::atomic_ref<bool>(const_cast<bool&>(image->symbols_ready)).load(std::memory_order_acquire);
}

const void* vdelf_nasync_in_place(const vdelf_image* image, uintptr_t address, size_t length) {
    if (image->task != mach_task_self()) return nullptr;
    for (size_t i = 0; i < image->readable_count; ++i) {
        const vdelf_range& range = image->readable[i];
        if (address >= range.start && address < range.end && length <= range.end - address)
            return reinterpret_cast<const void*>(address);
    }
    return nullptr;
}

bool vdelf_nasync_read(const vdelf_image* image, uintptr_t address, void* out, size_t length) {
    if (const void* in = vdelf_nasync_in_place(image, address, length)) {
        std::memcpy(out, in, length);
        return true;
    }
    return readTask(image->task, address, out, length);
}

vdelf_result vdelf_image_read(task_t task, uintptr_t header, vdelf_image* image) {
    *image = vdelf_image{};
    image->task = task;
    image->header = header;
    Elf64_Ehdr ehdr;
    if (!readTask(task, header, &ehdr, sizeof ehdr)) return VDELF_UNREADABLE;
    if (ehdr.e_ident[EI_MAG0] != ELFMAG0 || ehdr.e_ident[EI_MAG1] != ELFMAG1 || ehdr.e_ident[EI_MAG2] != ELFMAG2 ||
        ehdr.e_ident[EI_MAG3] != ELFMAG3 || ehdr.e_ident[EI_CLASS] != ELFCLASS64 ||
        ehdr.e_phentsize != sizeof(Elf64_Phdr))
        return VDELF_BAD_FORMAT;
    image->is64 = true;
    image->machine = ehdr.e_machine;

    // The program headers in one read: the loader has not vouched for anything yet.
    std::vector<Elf64_Phdr> phdrs(ehdr.e_phnum);
    uintptr_t phdrsAt = header + ehdr.e_phoff;
    if (!phdrs.empty() && !readTask(task, phdrsAt, phdrs.data(), phdrs.size() * sizeof(Elf64_Phdr)))
        return VDELF_UNREADABLE;
    bool haveBias = false;
    uint64_t lowestLoad = UINT64_MAX;
    for (const Elf64_Phdr& ph : phdrs) {
        if (ph.p_type == PT_PHDR) {
            image->bias = phdrsAt - ph.p_vaddr;
            haveBias = true;
        } else if (ph.p_type == PT_LOAD && ph.p_vaddr < lowestLoad) {
            lowestLoad = ph.p_vaddr;
        }
    }
    if (lowestLoad == UINT64_MAX) return VDELF_BAD_FORMAT;
    if (!haveBias) image->bias = header - lowestLoad;
    for (const Elf64_Phdr& ph : phdrs) {
        if (ph.p_type != PT_LOAD) continue;
        uintptr_t start = image->bias + ph.p_vaddr;
        if (start + ph.p_memsz > image->image_end) image->image_end = start + ph.p_memsz;
        if ((ph.p_flags & PF_X) && !image->text_start) {
            image->text_start = start;
            image->text_end = start + ph.p_memsz;
        }
        if ((ph.p_flags & PF_R) && ph.p_memsz > 0 && start + ph.p_memsz > start &&
            image->readable_count < VDELF_READABLE_RANGES)
            image->readable[image->readable_count++] = {start, start + ph.p_memsz};
    }
    if (!image->text_start) return VDELF_BAD_FORMAT;

    for (const Elf64_Phdr& ph : phdrs) {
        if (ph.p_type == PT_NOTE && !image->build_id_length) readBuildId(image, image->bias + ph.p_vaddr, ph.p_memsz);
        if (ph.p_type == PT_DYNAMIC) readDynamic(image, image->bias + ph.p_vaddr, ph.p_memsz);
        if (ph.p_type == PT_GNU_EH_FRAME) image->eh_frame_hdr = image->bias + ph.p_vaddr;
    }
    return VDELF_OK;
}

namespace {

// The search for the symbol that holds an address (link-time addresses), over one table.
struct SymbolSearch {
    uint64_t address;
    bool found;
    Elf64_Sym best;
    uint64_t barrier;  // the highest end of a sized symbol that ends at or below the address
};

void consider(SymbolSearch* search, const Elf64_Sym& sym) {
    if (!isDefinedCodeSymbol(sym) || sym.st_value > search->address) return;
    if (sym.st_size > 0 && search->address - sym.st_value >= sym.st_size) {
        if (sym.st_value + sym.st_size > search->barrier) search->barrier = sym.st_value + sym.st_size;
        return;
    }
    if (!search->found || sym.st_value > search->best.st_value ||
        (sym.st_value == search->best.st_value && search->best.st_size == 0 && sym.st_size > 0)) {
        search->best = sym;
        search->found = true;
    }
}

vdelf_result searchTable(task_t task, uintptr_t table, size_t count, SymbolSearch* search) {
    Elf64_Sym batch[kSymbolBatch];
    for (size_t first = 0; first < count; first += kSymbolBatch) {
        size_t n = count - first < kSymbolBatch ? count - first : kSymbolBatch;
        if (!readTask(task, table + first * sizeof(Elf64_Sym), batch, n * sizeof(Elf64_Sym))) return VDELF_UNREADABLE;
        for (size_t i = 0; i < n; ++i) consider(search, batch[i]);
    }
    // A symbol without a size reaches only to the next symbol: one that ended in between wins.
    if (search->found && search->best.st_size == 0 && search->best.st_value < search->barrier) search->found = false;
    return search->found ? VDELF_OK : VDELF_NOT_FOUND;
}

vdelf_result copyName(task_t task, uintptr_t strings, size_t stringsSize, uint32_t offset, char* name,
                      size_t nameSize) {
    if (offset >= stringsSize || nameSize == 0) return VDELF_BAD_FORMAT;
    size_t available = stringsSize - offset;
    size_t length = available < nameSize - 1 ? available : nameSize - 1;
    if (!readTask(task, strings + offset, name, length)) return VDELF_UNREADABLE;
    name[length] = 0;
    return VDELF_OK;
}

} // namespace

vdelf_result vdelf_find_symbol_by_pc(const vdelf_image* image, uintptr_t pc, uintptr_t* address, char* name,
                                     size_t nameSize) {
    if (pc < image->bias) return VDELF_NOT_FOUND;
    // The file's table and the indexes only once they are complete; else the dynamic symbols alone.
    const bool ready = vdelf_symbols_ready(image);
    const vdelf_symbol_index unindexed{};
    struct Table {
        uintptr_t symbols;
        size_t count;
        uintptr_t strings;
        size_t stringsSize;
        const vdelf_symbol_index* index;
    } tables[] = {
        {ready ? image->symtab : 0, ready ? image->symtab_count : 0, image->strtab, image->strtab_size, &image->symtab_index},
        {image->dynsym, image->dynsym_count, image->dynstr, image->dynstr_size, ready ? &image->dynsym_index : &unindexed},
    };
    vdelf_result result = VDELF_NOT_FOUND;
    for (const Table& table : tables) {
        if (!table.symbols || table.count == 0) continue;
        uint64_t value = 0;
        uint32_t nameOffset = 0;
        if (table.index->built) {
            if (!vdelf_symbol_index_find(table.index, pc - image->bias, &value, &nameOffset)) continue;
        } else {
            SymbolSearch search{pc - image->bias, false, {}, 0};
            result = searchTable(image->task, table.symbols, table.count, &search);
            if (result != VDELF_OK) continue;
            value = search.best.st_value;
            nameOffset = search.best.st_name;
        }
        result = copyName(image->task, table.strings, table.stringsSize, nameOffset, name, nameSize);
        if (result == VDELF_OK) *address = image->bias + value;
        return result;
    }
    return result;
}

vdelf_result vdelf_find_symbol_by_name(const vdelf_image* image, const char* symbol, uintptr_t* address) {
    if (!image->dynsym) return VDELF_NOT_FOUND;
    size_t wanted = 0;
    while (symbol[wanted]) ++wanted;
    char candidate[256];
    if (wanted + 1 > sizeof candidate) return VDELF_NOT_FOUND;
    for (size_t i = 0; i < image->dynsym_count; ++i) {
        Elf64_Sym sym;
        if (!readTask(image->task, image->dynsym + i * sizeof sym, &sym, sizeof sym)) return VDELF_UNREADABLE;
        if (sym.st_shndx == SHN_UNDEF || sym.st_name + wanted + 1 > image->dynstr_size) continue;
        if (!readTask(image->task, image->dynstr + sym.st_name, candidate, wanted + 1)) continue;
        bool same = candidate[wanted] == 0;
        for (size_t k = 0; same && k < wanted; ++k) same = candidate[k] == symbol[k];
        if (same) {
            *address = image->bias + sym.st_value;
            return VDELF_OK;
        }
    }
    return VDELF_NOT_FOUND;
}

void vdelf_cpu_type(const vdelf_image* image, cpu_type_t* type, cpu_subtype_t* subtype) {
    switch (image->machine) {
    case EM_X86_64: *type = CPU_TYPE_X86_64; *subtype = CPU_SUBTYPE_X86_64_ALL; break;
    case EM_AARCH64: *type = CPU_TYPE_ARM64; *subtype = CPU_SUBTYPE_ARM64_ALL; break;
    case EM_ARM: *type = CPU_TYPE_ARM; *subtype = CPU_SUBTYPE_ARM_V7; break;
    default: *type = 0; *subtype = 0; break;
    }
}
