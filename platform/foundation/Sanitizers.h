#pragma once
// Which sanitizer the build runs under, told the same way by gcc (__SANITIZE_*__) and clang
// (__has_feature): TANDREL_ADDRESS_SANITIZER and TANDREL_THREAD_SANITIZER are 1 or 0.

#if defined(__SANITIZE_ADDRESS__)
#define TANDREL_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TANDREL_ADDRESS_SANITIZER 1
#endif
#endif
#ifndef TANDREL_ADDRESS_SANITIZER
#define TANDREL_ADDRESS_SANITIZER 0
#endif

#if defined(__SANITIZE_THREAD__)
#define TANDREL_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define TANDREL_THREAD_SANITIZER 1
#endif
#endif
#ifndef TANDREL_THREAD_SANITIZER
#define TANDREL_THREAD_SANITIZER 0
#endif
