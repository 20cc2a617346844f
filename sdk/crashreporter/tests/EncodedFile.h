#pragma once
// A memory-backed descriptor for tests of what the crash-time writers put into a file.

#include "sdk/crashreporter/VuderuCrashAsync.h"

#include <string>
#include <sys/mman.h>
#include <unistd.h>

class EncodedFile {
public:
    explicit EncodedFile(off_t limit = 0) {
        fd_ = memfd_create("vdcrash-test", 0);
        vdcrash_async_file_init(&file, fd_, limit);
    }
    ~EncodedFile() { close(fd_); }
    EncodedFile(const EncodedFile&) = delete;
    EncodedFile& operator=(const EncodedFile&) = delete;

    // Everything written so far (the buffer flushed first).
    std::string bytes() {
        vdcrash_async_file_flush(&file);
        std::string out;
        char chunk[4096];
        ssize_t n;
        off_t at = 0;
        while ((n = pread(fd_, chunk, sizeof chunk, at)) > 0) {
            out.append(chunk, static_cast<size_t>(n));
            at += n;
        }
        return out;
    }

    vdcrash_async_file_t file{};

private:
    int fd_ = -1;
};
