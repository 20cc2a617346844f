#include "platform/system/dyld.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dlfcn.h>
#include <elf.h>
#include <link.h>
#include <mutex>
#include <set>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

struct LoadedImage {
    uintptr_t header;
    intptr_t slide;
    std::string name;
};

// Guards the callbacks, the list last seen and the snapshot; never held while a callback runs.
std::mutex dyldLock;
std::vector<vd_dyld_image_callback> addCallbacks;
std::vector<vd_dyld_image_callback> removeCallbacks;

std::string executablePath() {
    char path[4096];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    return n > 0 ? std::string(path, static_cast<size_t>(n)) : std::string();
}

// The images as the loader lists them now, the main executable first.
std::vector<LoadedImage> loadedImages() {
    std::vector<LoadedImage> images;
    dl_iterate_phdr(
        [](struct dl_phdr_info* info, size_t, void* data) {
            auto* out = static_cast<std::vector<LoadedImage>*>(data);
            for (int i = 0; i < info->dlpi_phnum; ++i) {
                const ElfW(Phdr)& ph = info->dlpi_phdr[i];
                if (ph.p_type == PT_LOAD && ph.p_offset == 0) {
                    out->push_back({info->dlpi_addr + ph.p_vaddr, static_cast<intptr_t>(info->dlpi_addr),
                                    info->dlpi_name ? info->dlpi_name : ""});
                    break;
                }
            }
            return 0;
        },
        &images);
    if (!images.empty() && images.front().name.empty()) images.front().name = executablePath();
    return images;
}

std::vector<LoadedImage>& snapshot() {
    static std::vector<LoadedImage> images;
    return images;
}

// The list as the callbacks last learnt it; empty until the first registration.
std::vector<LoadedImage>& seen() {
    static std::vector<LoadedImage> images;
    return images;
}
bool tracking = false;

// The names handed out, kept for the life of the process: a name must stay valid after the list
// is read again (the device's loader keeps it as long as the image), and callers may hold it on
// another thread meanwhile. The set's nodes never move.
const char* lastingName(const std::string& name) {
    static std::set<std::string>* names = new std::set<std::string>();
    return names->insert(name).first->c_str();
}

bool listed(const std::vector<LoadedImage>& images, uintptr_t header) {
    return std::any_of(images.begin(), images.end(), [header](const LoadedImage& i) { return i.header == header; });
}

// Compares the loader's list with the one last seen and tells the callbacks what changed.
void reportChanges() {
    std::vector<LoadedImage> added, removed;
    std::vector<vd_dyld_image_callback> onAdd, onRemove;
    {
        std::lock_guard<std::mutex> guard(dyldLock);
        if (!tracking) return;
        std::vector<LoadedImage> now = loadedImages();
        for (const LoadedImage& image : now)
            if (!listed(seen(), image.header)) added.push_back(image);
        for (const LoadedImage& image : seen())
            if (!listed(now, image.header)) removed.push_back(image);
        seen() = std::move(now);
        onAdd = addCallbacks;
        onRemove = removeCallbacks;
    }
    for (const LoadedImage& image : removed)
        for (vd_dyld_image_callback callback : onRemove)
            callback(reinterpret_cast<const struct mach_header*>(image.header), image.slide);
    for (const LoadedImage& image : added)
        for (vd_dyld_image_callback callback : onAdd)
            callback(reinterpret_cast<const struct mach_header*>(image.header), image.slide);
}

template <typename Function>
Function nextDefinition(const char* name) {
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

uintptr_t mainExecutableHeader() {
    static const uintptr_t header = [] {
        std::vector<LoadedImage> images = loadedImages();
        return images.empty() ? uintptr_t(0) : images.front().header;
    }();
    return header;
}

} // namespace

void _dyld_register_func_for_add_image(vd_dyld_image_callback callback) {
    std::vector<LoadedImage> images;
    {
        std::lock_guard<std::mutex> guard(dyldLock);
        if (!tracking) {
            seen() = loadedImages();
            tracking = true;
        }
        images = seen();
        addCallbacks.push_back(callback);
    }
    for (const LoadedImage& image : images)
        callback(reinterpret_cast<const struct mach_header*>(image.header), image.slide);
}

void _dyld_register_func_for_remove_image(vd_dyld_image_callback callback) {
    std::lock_guard<std::mutex> guard(dyldLock);
    if (!tracking) {
        seen() = loadedImages();
        tracking = true;
    }
    removeCallbacks.push_back(callback);
}

uint32_t _dyld_image_count() {
    std::lock_guard<std::mutex> guard(dyldLock);
    snapshot() = loadedImages();
    return static_cast<uint32_t>(snapshot().size());
}

const struct mach_header* _dyld_get_image_header(uint32_t index) {
    std::lock_guard<std::mutex> guard(dyldLock);
    if (index >= snapshot().size()) snapshot() = loadedImages();
    return index < snapshot().size() ? reinterpret_cast<const struct mach_header*>(snapshot()[index].header) : nullptr;
}

intptr_t _dyld_get_image_vmaddr_slide(uint32_t index) {
    std::lock_guard<std::mutex> guard(dyldLock);
    if (index >= snapshot().size()) snapshot() = loadedImages();
    return index < snapshot().size() ? snapshot()[index].slide : 0;
}

const char* _dyld_get_image_name(uint32_t index) {
    std::lock_guard<std::mutex> guard(dyldLock);
    if (index >= snapshot().size()) snapshot() = loadedImages();
    return index < snapshot().size() ? lastingName(snapshot()[index].name) : nullptr;
}

int _NSGetExecutablePath(char* buf, uint32_t* bufsize) {
    static const std::string path = executablePath();
    if (!bufsize) return -1;
    if (!buf || *bufsize < path.size() + 1) {
        *bufsize = static_cast<uint32_t>(path.size() + 1);
        return -1;
    }
    std::memcpy(buf, path.c_str(), path.size() + 1);
    return 0;
}

const char* getprogname() { return program_invocation_short_name; }

extern "C" {

void* dlopen(const char* file, int mode) noexcept {
    static auto next = nextDefinition<void* (*)(const char*, int)>("dlopen");
    void* handle = next(file, mode);
    int saved = errno;
    reportChanges();
    errno = saved;
    return handle;
}

int dlclose(void* handle) noexcept {
    static auto next = nextDefinition<int (*)(void*)>("dlclose");
    int result = next(handle);
    int saved = errno;
    reportChanges();
    errno = saved;
    return result;
}

int dladdr(const void* address, Dl_info* info) noexcept {
    static auto next = nextDefinition<int (*)(const void*, Dl_info*)>("dladdr");
    int found = next(address, info);
    if (found && reinterpret_cast<uintptr_t>(info->dli_fbase) == mainExecutableHeader()) {
        static const char* path = lastingName(executablePath());
        info->dli_fname = path;
    }
    return found;
}

} // extern "C"
