// libcurl, opened on the first transfer: linked in, it and the two dozen libraries it needs (TLS,
// Kerberos, LDAP, SSH, IDN, compression) would be loaded and relocated at every launch, most of a
// launch's time, though a program that never loads a URL never calls it.

#include <curl/curl.h>

#include "platform/foundation/LazyLibrary.h"

#include <cstdarg>

namespace {
static_assert(LIBCURL_VERSION_MAJOR == 7 || LIBCURL_VERSION_MAJOR == 8, "libcurl.so.4 is the soname of curl 7 and 8");
LazyLibrary curl{"libcurl.so.4"};

// An option's number says the type of the one argument after it (curl.h: CURLOPTTYPE_*), and the
// argument is read and passed on as that type.
enum class CurlArgumentKind { Long, Pointer, Function, Offset };

CurlArgumentKind curlOptionArgumentKind(int option) {
    if (option >= CURLOPTTYPE_OFF_T && option < CURLOPTTYPE_BLOB) return CurlArgumentKind::Offset;
    if (option >= CURLOPTTYPE_FUNCTIONPOINT && option < CURLOPTTYPE_OFF_T) return CurlArgumentKind::Function;
    if (option >= CURLOPTTYPE_OBJECTPOINT) return CurlArgumentKind::Pointer; // blobs too
    return CurlArgumentKind::Long;
}

template <typename Handle, typename Option, typename Result>
Result forwardCurlOption(const char* name, Handle* handle, Option option, std::va_list arguments) {
    using Function = Result (*)(Handle*, Option, ...);
    static const auto function = reinterpret_cast<Function>(LazyLibraryLookUp(curl, name));
    switch (curlOptionArgumentKind(static_cast<int>(option))) {
    case CurlArgumentKind::Long: return function(handle, option, va_arg(arguments, long));
    case CurlArgumentKind::Pointer: return function(handle, option, va_arg(arguments, void*));
    case CurlArgumentKind::Function: return function(handle, option, va_arg(arguments, void (*)()));
    case CurlArgumentKind::Offset: return function(handle, option, va_arg(arguments, curl_off_t));
    }
    return function(handle, option, va_arg(arguments, void*));
}
} // namespace

TD_LAZY_FUNCTION(curl, CURLcode, curl_global_init, (long flags), (flags))
TD_LAZY_FUNCTION(curl, CURL*, curl_easy_init, (void), ())
TD_LAZY_FUNCTION(curl, void, curl_easy_cleanup, (CURL * handle), (handle))
TD_LAZY_FUNCTION(curl, CURLcode, curl_easy_pause, (CURL * handle, int bitmask), (handle, bitmask))
TD_LAZY_FUNCTION(curl, const char*, curl_easy_strerror, (CURLcode code), (code))
TD_LAZY_FUNCTION(curl, struct curl_slist*, curl_slist_append, (struct curl_slist * list, const char* text), (list, text))
TD_LAZY_FUNCTION(curl, void, curl_slist_free_all, (struct curl_slist * list), (list))
TD_LAZY_FUNCTION(curl, CURLM*, curl_multi_init, (void), ())
TD_LAZY_FUNCTION(curl, CURLMcode, curl_multi_cleanup, (CURLM * multi), (multi))
TD_LAZY_FUNCTION(curl, CURLMcode, curl_multi_add_handle, (CURLM * multi, CURL* handle), (multi, handle))
TD_LAZY_FUNCTION(curl, CURLMcode, curl_multi_remove_handle, (CURLM * multi, CURL* handle), (multi, handle))
TD_LAZY_FUNCTION(curl, CURLMsg*, curl_multi_info_read, (CURLM * multi, int* left), (multi, left))
TD_LAZY_FUNCTION(curl, CURLMcode, curl_multi_socket_action, (CURLM * multi, curl_socket_t socket, int mask, int* running),
                 (multi, socket, mask, running))

// The variadic three: each takes exactly one argument after the option, of the option's type.
// Their signatures are curl.h's, whose last named parameter is an enum; clang warns about
// va_start after a parameter of a type that promotes, though these enums are int already.
#if defined(__clang__)
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wvarargs"
#endif
// One definition for both setopts, which differ only in their types.
#define TD_CURL_SETOPT(Result, name, Handle, Option)                                                       \
    extern "C" [[gnu::visibility("hidden")]] Result(name)(Handle * handle, Option option, ...) {          \
        std::va_list arguments;                                                                            \
        va_start(arguments, option);                                                                       \
        const Result result = forwardCurlOption<Handle, Option, Result>(#name, handle, option, arguments); \
        va_end(arguments);                                                                                 \
        return result;                                                                                     \
    }
TD_CURL_SETOPT(CURLcode, curl_easy_setopt, CURL, CURLoption)
TD_CURL_SETOPT(CURLMcode, curl_multi_setopt, CURLM, CURLMoption)
#undef TD_CURL_SETOPT

// Every piece of information is written through a pointer to the caller's variable.
extern "C" [[gnu::visibility("hidden")]] CURLcode(curl_easy_getinfo)(CURL* handle, CURLINFO info, ...) {
    using Function = CURLcode (*)(CURL*, CURLINFO, ...);
    static const auto function = reinterpret_cast<Function>(LazyLibraryLookUp(curl, "curl_easy_getinfo"));
    std::va_list arguments;
    va_start(arguments, info);
    void* out = va_arg(arguments, void*);
    va_end(arguments);
    return function(handle, info, out);
}
#if defined(__clang__)
#pragma clang diagnostic pop
#endif
