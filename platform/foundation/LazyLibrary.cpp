#include "platform/foundation/LazyLibrary.h"

#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>

namespace {

[[noreturn]] void missing(const LazyLibrary& library, const char* name) {
    const char* reason = dlerror();
    std::fprintf(stderr, "tandrel: cannot load %s from %s: %s\n", name, library.file, reason ? reason : "not found");
    std::abort();
}

} // namespace

void* LazyLibraryLookUp(LazyLibrary& library, const char* name) {
    std::call_once(library.opened, [&library] { library.handle = dlopen(library.file, RTLD_NOW | RTLD_LOCAL); });
    if (!library.handle) missing(library, name);
    void* function = dlsym(library.handle, name);
    if (!function) missing(library, name);
    return function;
}
