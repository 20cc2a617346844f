#pragma once
// Runs a crash in a child process with the reporter's signal handler installed. The handler
// walks the crashed thread from the signal's machine context with the frame cursor, names every
// frame through the image list and writes what it found into a pipe, with async-signal-safe
// calls only; the parent reads it back.

#include "sdk/crashreporter/VuderuCrashAsyncImageList.h"

#include <string>
#include <vector>

struct HostCrashReport {
    int signal = 0;          // the signal that ended the child, 0 when it exited
    int reportedSignal = 0;  // the signal the handler reported, 0 when it wrote no report
    int images = 0;          // the images listed at the crash
    std::vector<std::string> frames;  // symbol names, innermost first; "?" for a frame without one
};

struct HostCrashOptions {
    // Not on the child's main thread, where the test framework would catch a C++ exception.
    bool onABareThread = true;
    // A seccomp filter denies process_vm_readv before anything is read.
    bool withoutProcessVmReadv = false;
};

HostCrashReport crashInAChild(void (*body)(), HostCrashOptions options);

// Lists the process's loaded images, as the reporter does when it is enabled.
void listProcessImages(vdcrash_async_image_list_t* list);
