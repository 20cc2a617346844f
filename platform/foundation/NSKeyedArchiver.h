#pragma once
// Archives a tree of values and NSCoding objects into bytes (or a device file).
//
// The archive format is the platform's own; nothing outside the program reads it:
//   "TDKA" and a version byte (1), then the root value;
//   a value is one tag byte and its payload, multi-byte numbers big-endian:
//     0 null · 1 NO · 2 YES · 3 integer (8 bytes, two's complement) · 4 real (8 bytes, IEEE-754)
//     5 string, 6 data (4-byte length, then the bytes) · 7 date (8 bytes, IEEE-754 seconds since 1970)
//     8 array (4-byte count, then the values) · 9 dictionary (4-byte count, then key string bytes
//     with their 4-byte length and the value, in key order)
//     10 object (4-byte length and the class name, then its fields as in a dictionary).
// Equal trees give equal bytes.

#include "platform/foundation/NSCoder.h"
#include "platform/foundation/NSData.h"

#include <string>

class NSKeyedArchiver {
public:
    // Raises NSInvalidArgumentException for an object that does not adopt NSCoding.
    static NSDataPtr archivedDataWithRootObject(const Value& rootObject);
    // Writes the archive atomically to a device path; NO when the file cannot be written.
    static bool archiveRootObjectToFile(const Value& rootObject, const std::string& path);
};
