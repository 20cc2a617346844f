#pragma once
// A dependency opened on first use instead of at launch. A library that only a few features call
// (video, HEIF photos) would otherwise be loaded and relocated, with everything it needs, at every
// launch. Its unit defines each function the platform calls with TD_LAZY_FUNCTION, which opens the
// library and looks the function up the first time it runs; the signature is checked against the
// library's own declaration. The definitions stay inside the executable (hidden), so that the
// library's own calls among its functions never come back through them.

#include <mutex>

struct LazyLibrary {
    const char* file;  // the soname, with the major version the headers describe
    std::once_flag opened{};
    void* handle = nullptr;
};

// The function's address; a library or function missing now (it was there at build time) ends the
// process with a message, since nothing can stand in for it.
void* LazyLibraryLookUp(LazyLibrary& library, const char* name);

#define TD_LAZY_STRINGIFY_(x) #x
#define TD_LAZY_STRINGIFY(x) TD_LAZY_STRINGIFY_(x)

#define TD_LAZY_FUNCTION(library, result, name, parameters, arguments)                                   \
    extern "C" [[gnu::visibility("hidden")]] result name parameters {                                     \
        static const auto function = reinterpret_cast<decltype(&name)>(LazyLibraryLookUp(library, #name)); \
        return function arguments;                                                                        \
    }
