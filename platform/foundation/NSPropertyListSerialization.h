#pragma once
// Property lists: XML and binary, read into Value and written from it (libplist underneath).
// Also the file forms the collections offer (dictionaryWithContentsOfFile:, writeToFile:atomically:).

#include "platform/foundation/NSData.h"
#include "platform/foundation/NSError.h"
#include "platform/foundation/Value.h"

#include <optional>
#include <string>
#include <string_view>

enum NSPropertyListFormat : unsigned long {
    NSPropertyListOpenStepFormat = 1,
    NSPropertyListXMLFormat_v1_0 = 100,
    NSPropertyListBinaryFormat_v1_0 = 200,
};

enum NSPropertyListMutabilityOptions : unsigned long {
    NSPropertyListImmutable = 0,
    NSPropertyListMutableContainers = 1,
    NSPropertyListMutableContainersAndLeaves = 2,
};
using NSPropertyListReadOptions = unsigned long;
using NSPropertyListWriteOptions = unsigned long;

class NSPropertyListSerialization {
public:
    // Reads an XML or binary property list (told apart by its first bytes). A Value is always
    // mutable, so the mutability options change nothing. On failure: nullopt and an error of
    // NSCocoaErrorDomain, NSPropertyListReadCorruptError.
    static std::optional<Value> propertyListWithData(std::string_view data, NSPropertyListReadOptions options = 0,
                                                     NSPropertyListFormat* format = nullptr, NSErrorPtr* error = nullptr);
    static std::optional<Value> propertyListWithData(const NSData& data, NSPropertyListReadOptions options = 0,
                                                     NSPropertyListFormat* format = nullptr, NSErrorPtr* error = nullptr) {
        return propertyListWithData(data.stringView(), options, format, error);
    }

    // Writes XML or binary. Only strings, numbers, booleans, data, dates, arrays and dictionaries
    // are property-list values; anything else (null, objects) fails with
    // NSPropertyListWriteInvalidError, as does the OpenStep format, which is read-only.
    static NSDataPtr dataWithPropertyList(const Value& plist, NSPropertyListFormat format,
                                          NSPropertyListWriteOptions options = 0, NSErrorPtr* error = nullptr);

    static bool propertyListIsValidForFormat(const Value& plist, NSPropertyListFormat format);

    // A property list read from a device file; nullopt (and the file or parse error) on failure.
    static std::optional<Value> propertyListWithContentsOfFile(const std::string& path, NSErrorPtr* error = nullptr,
                                                               NSPropertyListFormat* format = nullptr);
    // Writes a property list to a device file, atomically (temporary file, then rename) when asked.
    static bool writePropertyListToFile(const Value& plist, const std::string& path, bool atomically,
                                        NSPropertyListFormat format = NSPropertyListXMLFormat_v1_0, NSErrorPtr* error = nullptr);
};

// +[NSDictionary dictionaryWithContentsOfFile:] and +[NSArray arrayWithContentsOfFile:]: nil when
// the file is missing, unreadable, not a property list, or holds another kind of root.
std::optional<Value::Dictionary> NSDictionaryWithContentsOfFile(const std::string& path);
std::optional<Value::Array> NSArrayWithContentsOfFile(const std::string& path);
// -[NSDictionary writeToFile:atomically:] and -[NSArray writeToFile:atomically:]: an XML property list.
bool NSWritePropertyListToFile(const Value& plist, const std::string& path, bool atomically);
