// The full symbol table of an image's file, mapped at registration time (or after the launch, see
// vdelf_nasync_map_file_symbols_later) so that crash-time lookups read it through the fault-free
// reads and allocate nothing; it and the dynamic symbols are indexed by address then.
#include "platform/system/ElfImage.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <pthread.h>
#include <string>
#include <system_error>
#include <thread>
#include <cstring>
#include <elf.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <new>
#include <vector>

namespace {

constexpr uint32_t kGnuNoteName = 0x00554e47;  // "GNU\0"

bool readAt(int fd, uint64_t offset, void* out, size_t length) {
    return pread(fd, out, length, static_cast<off_t>(offset)) == static_cast<ssize_t>(length);
}

bool within(const Elf64_Shdr& section, uint64_t fileSize) {
    return section.sh_offset <= fileSize && section.sh_size <= fileSize - section.sh_offset;
}

// The build-id note among the file's note sections; empty when it has none.
std::vector<uint8_t> fileBuildId(int fd, const std::vector<Elf64_Shdr>& sections, uint64_t fileSize) {
    for (const Elf64_Shdr& section : sections) {
        if (section.sh_type != SHT_NOTE || !within(section, fileSize)) continue;
        std::vector<uint8_t> notes(section.sh_size);
        if (!readAt(fd, section.sh_offset, notes.data(), notes.size())) continue;
        size_t offset = 0;
        while (offset + sizeof(Elf64_Nhdr) <= notes.size()) {
            Elf64_Nhdr note;
            std::memcpy(&note, notes.data() + offset, sizeof note);
            size_t name = offset + sizeof note;
            size_t desc = name + ((note.n_namesz + 3) & ~3u);
            size_t next = desc + ((note.n_descsz + 3) & ~3u);
            if (next > notes.size() || next <= offset) break;
            uint32_t owner = 0;
            if (note.n_namesz == 4) std::memcpy(&owner, notes.data() + name, sizeof owner);
            if (note.n_type == NT_GNU_BUILD_ID && owner == kGnuNoteName)
                return std::vector<uint8_t>(notes.begin() + static_cast<long>(desc),
                                            notes.begin() + static_cast<long>(desc + note.n_descsz));
            offset = next;
        }
    }
    return {};
}

// The image's own build-id must match the file's: the file may have been replaced since it was loaded.
bool sameBuild(const vdelf_image* image, const std::vector<uint8_t>& fileId) {
    if (image->build_id_length == 0) return true;
    size_t length = fileId.size() < sizeof image->build_id ? fileId.size() : sizeof image->build_id;
    return length == image->build_id_length && std::memcmp(fileId.data(), image->build_id, length) == 0;
}

void mapSymbols(vdelf_image* image, int fd) {
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return;
    uint64_t fileSize = static_cast<uint64_t>(st.st_size);
    Elf64_Ehdr ehdr;
    if (!readAt(fd, 0, &ehdr, sizeof ehdr) || std::memcmp(ehdr.e_ident, ELFMAG, SELFMAG) != 0 ||
        ehdr.e_ident[EI_CLASS] != ELFCLASS64 || ehdr.e_machine != image->machine ||
        ehdr.e_shentsize != sizeof(Elf64_Shdr) || ehdr.e_shnum == 0)
        return;
    std::vector<Elf64_Shdr> sections(ehdr.e_shnum);
    if (!readAt(fd, ehdr.e_shoff, sections.data(), sections.size() * sizeof(Elf64_Shdr))) return;
    const Elf64_Shdr* symtab = nullptr;
    for (const Elf64_Shdr& section : sections)
        if (section.sh_type == SHT_SYMTAB && section.sh_entsize == sizeof(Elf64_Sym)) symtab = &section;
    if (!symtab || symtab->sh_link >= sections.size()) return;
    const Elf64_Shdr& strtab = sections[symtab->sh_link];
    if (strtab.sh_type != SHT_STRTAB || !within(*symtab, fileSize) || !within(strtab, fileSize)) return;
    if (!sameBuild(image, fileBuildId(fd, sections, fileSize))) return;

    uint64_t page = static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
    uint64_t start = std::min(symtab->sh_offset, strtab.sh_offset) & ~(page - 1);
    uint64_t end = std::max(symtab->sh_offset + symtab->sh_size, strtab.sh_offset + strtab.sh_size);
    void* mapped = mmap(nullptr, end - start, PROT_READ, MAP_PRIVATE, fd, static_cast<off_t>(start));
    if (mapped == MAP_FAILED) return;
    auto base = reinterpret_cast<uintptr_t>(mapped);
    image->file_mapping = mapped;
    image->file_mapping_size = end - start;
    image->symtab = base + (symtab->sh_offset - start);
    image->symtab_count = symtab->sh_size / sizeof(Elf64_Sym);
    image->strtab = base + (strtab.sh_offset - start);
    image->strtab_size = strtab.sh_size;
}

bool isDefinedCode(const Elf64_Sym& sym) {
    unsigned type = ELF64_ST_TYPE(sym.st_info);
    return sym.st_shndx != SHN_UNDEF && (type == STT_FUNC || type == STT_GNU_IFUNC);
}

void addCode(std::vector<vdelf_symbol_input>* code, const Elf64_Sym& sym) {
    if (isDefinedCode(sym)) code->push_back({sym.st_value, sym.st_size, sym.st_name});
}

void indexSymtab(vdelf_image* image) {
    if (!image->symtab) return;
    std::vector<vdelf_symbol_input> code;
    const auto* symbols = reinterpret_cast<const Elf64_Sym*>(image->symtab);
    for (size_t i = 0; i < image->symtab_count; ++i) addCode(&code, symbols[i]);
    vdelf_nasync_symbol_index_build(code.data(), code.size(), &image->symtab_index);
}

// The dynamic symbols are in the image's memory, read in place where the loader mapped them.
void indexDynsym(vdelf_image* image) {
    if (!image->dynsym || image->dynsym_count == 0) return;
    // A count that would reach past the image is not believed.
    if (image->dynsym < image->header || image->dynsym >= image->image_end ||
        (image->image_end - image->dynsym) / sizeof(Elf64_Sym) < image->dynsym_count)
        return;
    std::vector<Elf64_Sym> copy;
    size_t bytes = image->dynsym_count * sizeof(Elf64_Sym);
    const auto* symbols = static_cast<const Elf64_Sym*>(vdelf_nasync_in_place(image, image->dynsym, bytes));
    if (!symbols) {
        copy.resize(image->dynsym_count);
        if (!vdelf_nasync_read(image, image->dynsym, copy.data(), bytes)) return;
        symbols = copy.data();
    }
    std::vector<vdelf_symbol_input> code;
    for (size_t i = 0; i < image->dynsym_count; ++i) addCode(&code, symbols[i]);
    vdelf_nasync_symbol_index_build(code.data(), code.size(), &image->dynsym_index);
}

} // namespace

namespace {

// The mappings asked for later wait for the launch to be over: a process that ends soon after it
// starts (or crashes early, its frames then named by the dynamic symbols) never pays for them. They
// are done on a thread of their own, once kLaterSymbolsDelay has passed since the first was asked
// for, or at once by the caller of vdelf_nasync_wait_for_file_symbols. The thread is not one of
// the worker pool's, so whatever waits for the pool to be quiet does not wait for it.
constexpr std::chrono::seconds kLaterSymbolsDelay{2};

struct LaterSymbols {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::pair<vdelf_image*, std::string>> pending;
    size_t running = 0;  // mappings taken from `pending` and not done yet
    bool threadMade = false;
    bool due = false;  // the delay has passed, or a caller waited for them
    std::chrono::steady_clock::time_point dueAt;
};

LaterSymbols* laterSymbolsMade = nullptr;

// A fork waits for the lock, so that the child's copy is not held by a thread the child lacks; the
// child has no thread and nothing running: what it asks for later gets a thread of its own.
void laterSymbolsBeforeFork() { laterSymbolsMade->mutex.lock(); }
void laterSymbolsAfterForkInParent() { laterSymbolsMade->mutex.unlock(); }
void laterSymbolsAfterForkInChild() {
    laterSymbolsMade->mutex.unlock();
    laterSymbolsMade->threadMade = false;
    laterSymbolsMade->running = 0;
}

// Made on first use and kept for the process: its thread may still run while static objects are
// destroyed at exit.
LaterSymbols& laterSymbols() {
    static auto* later = [] {
        laterSymbolsMade = new LaterSymbols();
        pthread_atfork(laterSymbolsBeforeFork, laterSymbolsAfterForkInParent, laterSymbolsAfterForkInChild);
        return laterSymbolsMade;
    }();
    return *later;
}

// Takes the next pending mapping and does it without the lock; false when none is pending.
bool mapNextLater(LaterSymbols& later, std::unique_lock<std::mutex>& lock) {
    if (later.pending.empty()) return false;
    auto [image, path] = std::move(later.pending.front());
    later.pending.pop_front();
    ++later.running;
    lock.unlock();
    vdelf_nasync_map_file_symbols(image, path.c_str());
    lock.lock();
    --later.running;
    later.changed.notify_all();
    return true;
}

void laterSymbolsThread() {
    // At the process's own priority: a crash report suspends every thread and waits a bounded time
    // for each to answer, and a thread at a low priority on a busy machine can miss that time (its
    // frames are then missing from the report), as it can hold up a fork or a new image waiting for
    // its lock. The work comes after the launch and is a few milliseconds.
    LaterSymbols& later = laterSymbols();
    std::unique_lock<std::mutex> lock(later.mutex);
    for (;;) {
        while (!later.due && later.changed.wait_until(lock, later.dueAt) == std::cv_status::no_timeout) {
        }
        later.due = true;
        if (!mapNextLater(later, lock)) later.changed.wait(lock);
    }
}

} // namespace

void vdelf_nasync_map_file_symbols(vdelf_image* image, const char* path) {
    if (vdelf_symbols_ready(image)) return;
    int fd = path && *path ? open(path, O_RDONLY | O_CLOEXEC) : -1;
    // Short of memory, the file's table goes unread or the tables are searched unindexed; the
    // symbols are ready all the same.
    if (fd >= 0) {
        try {
            mapSymbols(image, fd);
        } catch (const std::bad_alloc&) {
        }
        close(fd);
    }
    try {
        indexSymtab(image);
    } catch (const std::bad_alloc&) {
    }
    try {
        indexDynsym(image);
    } catch (const std::bad_alloc&) {
    }
    try {
        vdelf_nasync_unwind_sample_take(image, &image->unwind_sample);
    } catch (const std::bad_alloc&) {
    }
    std::atomic_ref<bool>(image->symbols_ready).store(true, std::memory_order_release);
}

void vdelf_nasync_map_file_symbols_later(vdelf_image* image, const char* path) {
    LaterSymbols& later = laterSymbols();
    std::unique_lock<std::mutex> lock(later.mutex);
    later.pending.emplace_back(image, path ? path : "");
    if (!later.threadMade) {
        later.dueAt = std::chrono::steady_clock::now() + kLaterSymbolsDelay;
        try {
            std::thread(laterSymbolsThread).detach();
            later.threadMade = true;
        } catch (const std::system_error&) {
            // Without a thread of its own the mapping is done now, as it would be without "later".
            mapNextLater(later, lock);
            return;
        }
    }
    // Before the delay has passed the thread sleeps until it does: waking it for each image the
    // launch registers would only send it back to sleep, a switch per image on a busy machine.
    if (later.due) later.changed.notify_all();
}

void vdelf_nasync_wait_for_file_symbols() {
    LaterSymbols& later = laterSymbols();
    std::unique_lock<std::mutex> lock(later.mutex);
    later.due = true;
    // The caller does what is pending itself rather than wait for the thread to be scheduled.
    while (mapNextLater(later, lock)) {
    }
    later.changed.wait(lock, [&] { return later.running == 0; });
}

void vdelf_nasync_unmap_file_symbols(vdelf_image* image) {
    {
        // A mapping of this image still pending is dropped; one being done is waited for.
        LaterSymbols& later = laterSymbols();
        std::unique_lock<std::mutex> lock(later.mutex);
        std::erase_if(later.pending, [&](const auto& entry) { return entry.first == image; });
        later.changed.wait(lock, [&] { return later.running == 0; });
    }
    std::atomic_ref<bool>(image->symbols_ready).store(false, std::memory_order_release);
    if (image->file_mapping) munmap(image->file_mapping, image->file_mapping_size);
    image->file_mapping = nullptr;
    image->file_mapping_size = 0;
    image->symtab = image->strtab = 0;
    image->symtab_count = image->strtab_size = 0;
    vdelf_nasync_symbol_index_free(&image->symtab_index);
    vdelf_nasync_symbol_index_free(&image->dynsym_index);
    vdelf_nasync_unwind_sample_free(&image->unwind_sample);
}
