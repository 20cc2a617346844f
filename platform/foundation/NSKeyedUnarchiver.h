#pragma once
// Reads archives made by NSKeyedArchiver. Objects are made again by the factory registered for
// their class name; a damaged archive, or one naming a class that is not registered, raises
// NSInvalidUnarchiveOperationException.

#include "platform/foundation/NSCoder.h"
#include "platform/foundation/NSData.h"

#include <functional>
#include <memory>
#include <string>

class NSKeyedUnarchiver {
public:
    // initWithCoder: of a class; may answer nil, which decodes as null.
    using Factory = std::function<std::shared_ptr<NSObject>(const NSCoder& coder)>;

    // Makes the class decodable under its name (the className() its objects report).
    static void registerClass(const std::string& className, Factory factory);
    // For a class T with a constructor T(const NSCoder&).
    template <class T>
    static void registerClass(const std::string& className) {
        registerClass(className, [](const NSCoder& coder) -> std::shared_ptr<NSObject> { return std::make_shared<T>(coder); });
    }
    static bool isClassRegistered(const std::string& className);

    static Value unarchiveObjectWithData(const NSData& data);
    // Null when the file cannot be read; raises like unarchiveObjectWithData when it is damaged.
    static Value unarchiveObjectWithFile(const std::string& path);
};
