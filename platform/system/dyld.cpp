#include "platform/system/dyld.h"

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

std::mutex lock;
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

// The names handed out, kept for the life of the process: a name must stay valid after the list
// is read again (the device's loader keeps it as long as the image), and callers may hold it on
// another thread meanwhile. The set's nodes never move.
const char* lastingName(const std::string& name) {
    static std::set<std::string>* names = new std::set<std::string>();
    return names->insert(name).first->c_str();
}

} // namespace

void _dyld_register_func_for_add_image(vd_dyld_image_callback callback) {
    std::vector<LoadedImage> images = loadedImages();
    for (const LoadedImage& image : images)
        callback(reinterpret_cast<const struct mach_header*>(image.header), image.slide);
}

void _dyld_register_func_for_remove_image(vd_dyld_image_callback callback) {
    std::lock_guard<std::mutex> guard(lock);
    removeCallbacks.push_back(callback);
}

uint32_t _dyld_image_count() {
    std::lock_guard<std::mutex> guard(lock);
    snapshot() = loadedImages();
    return static_cast<uint32_t>(snapshot().size());
}

const struct mach_header* _dyld_get_image_header(uint32_t index) {
    std::lock_guard<std::mutex> guard(lock);
    if (index >= snapshot().size()) snapshot() = loadedImages();
    return index < snapshot().size() ? reinterpret_cast<const struct mach_header*>(snapshot()[index].header) : nullptr;
}

intptr_t _dyld_get_image_vmaddr_slide(uint32_t index) {
    std::lock_guard<std::mutex> guard(lock);
    if (index >= snapshot().size()) snapshot() = loadedImages();
    return index < snapshot().size() ? snapshot()[index].slide : 0;
}

const char* _dyld_get_image_name(uint32_t index) {
    std::lock_guard<std::mutex> guard(lock);
    if (index >= snapshot().size()) snapshot() = loadedImages();
    return index < snapshot().size() ? lastingName(snapshot()[index].name) : nullptr;
}
