#pragma once
// The loader's image list and its callbacks. On this host the loaded images are the ELF objects
// that dl_iterate_phdr lists; an image's "header" is its ELF header in memory (the start of its
// first loaded segment) and its slide is the load bias.
//
// Images opened or closed after a callback is registered reach it: the stand-in wraps the C
// library's dlopen and dlclose (interposing them) and compares the dl_iterate_phdr list after
// each call, so that images the C library loads or unloads by itself are caught too. Callbacks
// run on the calling thread, after the loader is done and outside its lock and ours.

#include <cstdint>

struct mach_header;

typedef void (*vd_dyld_image_callback)(const struct mach_header* header, intptr_t slide);

// Registers a callback for images added from now on and calls it at once for every image that is
// already loaded, as the device's loader does.
void _dyld_register_func_for_add_image(vd_dyld_image_callback callback);
void _dyld_register_func_for_remove_image(vd_dyld_image_callback callback);

uint32_t _dyld_image_count();
const struct mach_header* _dyld_get_image_header(uint32_t index);
intptr_t _dyld_get_image_vmaddr_slide(uint32_t index);
// The image's path ("/proc/self/exe" resolved for the main executable); null past the end.
const char* _dyld_get_image_name(uint32_t index);

// The main executable's real path. 0, or -1 with *bufsize set to the size needed (terminator
// included) when the buffer is too small.
int _NSGetExecutablePath(char* buf, uint32_t* bufsize);
// The process's name: the last component of the name it was started with.
const char* getprogname();

// dladdr (the C library's, interposed) names the main executable by its real path, as the
// device's loader does, instead of the name the process was started with.
