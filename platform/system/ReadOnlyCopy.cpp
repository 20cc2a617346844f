#include "platform/system/ReadOnlyCopy.h"

#include <sys/mman.h>
#include <unistd.h>

void* vdelf_nasync_read_only_copy(const void* bytes, size_t length, size_t* mappingSize) {
    size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    size_t size = (length + page - 1) & ~(page - 1);
    int fd = memfd_create("tandrel-table", MFD_CLOEXEC);
    if (fd < 0) return nullptr;
    void* memory = MAP_FAILED;
    const auto* from = static_cast<const char*>(bytes);
    size_t written = 0;
    while (written < length) {
        ssize_t n = write(fd, from + written, length - written);
        if (n <= 0) break;
        written += static_cast<size_t>(n);
    }
    if (written == length && ftruncate(fd, static_cast<off_t>(size)) == 0)
        memory = mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
    close(fd);
    if (memory == MAP_FAILED) return nullptr;
    *mappingSize = size;
    return memory;
}
