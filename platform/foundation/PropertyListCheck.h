#pragma once
// Checks made on a property list's bytes before libplist reads them. libplist trusts what it is
// given: it recurses once per level of nesting (a deep list overflows the stack), copies a
// container once for every reference to it (shared containers expand without bound), and asserts
// on a string or key that holds a NUL character. What these checks refuse is reported as a
// damaged list instead, so that a stored file can be set aside rather than end the process.

#include <string>
#include <string_view>

// Arrays and dictionaries nested deeper than this are refused, when read and when written.
constexpr int kPropertyListMaxDepth = 512;

// Empty when the binary list ("bplist00") may be handed to libplist; otherwise what is wrong.
// Checks the trailer and the offset table, every object the root reaches (its kind, its length,
// strings without NUL and with whole UTF-16 surrogate pairs, dictionary keys that are strings),
// the nesting depth (which also catches a container that contains itself) and the number of
// nodes the references expand to, which may not exceed the number of bytes, and dates within the
// whole seconds since 2001 that libplist holds in 32 bits.
std::string checkBinaryPropertyList(std::string_view data);

// Empty when the XML text nests its elements no deeper than a property list may and holds no
// date that libplist would read as another; otherwise what is wrong. The XML itself is
// libplist's to judge.
std::string checkXMLPropertyList(std::string_view data);
