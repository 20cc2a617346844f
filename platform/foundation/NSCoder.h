#pragma once
// Keyed coding: NSCoding objects write their state into a coder by key and are made again from
// one. The coder of an object holds its keyed fields; NSKeyedArchiver turns a tree of them into
// bytes and NSKeyedUnarchiver back.

#include "platform/foundation/NSObject.h"
#include "platform/foundation/Value.h"

#include <cstdint>
#include <string>

class NSCoder;

// The NSCoding protocol. A class that adopts it derives from NSObject and from NSCoding, writes
// its fields in encodeWithCoder and is made again by the factory it registers with
// NSKeyedUnarchiver::registerClass (its initWithCoder:).
class NSCoding {
public:
    virtual ~NSCoding() = default;
    virtual void encodeWithCoder(NSCoder& coder) const = 0;
};

class NSCoder {
public:
    NSCoder() = default;
    // A coder reading the fields of one decoded object.
    explicit NSCoder(Value::Dictionary fields) : fields_(std::move(fields)) {}

    // Objects are values: strings, numbers, dates, data, arrays and dictionaries of them, and
    // objects that adopt NSCoding (NSDate and NSData objects are stored as dates and data). An
    // object that does not adopt NSCoding raises NSInvalidArgumentException when archived.
    void encodeObjectForKey(const Value& object, const std::string& key);
    void encodeIntForKey(int value, const std::string& key);
    void encodeInt32ForKey(std::int32_t value, const std::string& key);
    void encodeInt64ForKey(std::int64_t value, const std::string& key);
    void encodeBoolForKey(bool value, const std::string& key);
    void encodeDoubleForKey(double value, const std::string& key);
    void encodeFloatForKey(float value, const std::string& key);

    bool containsValueForKey(const std::string& key) const;
    // Null when the key is absent.
    Value decodeObjectForKey(const std::string& key) const;
    // An absent key gives 0 or NO. A value that is not a number raises
    // NSInvalidUnarchiveOperationException, and so does an integer too large for the type asked
    // for; a real read as an integer saturates (NaN gives 0).
    int decodeIntForKey(const std::string& key) const;
    std::int32_t decodeInt32ForKey(const std::string& key) const;
    std::int64_t decodeInt64ForKey(const std::string& key) const;
    bool decodeBoolForKey(const std::string& key) const;
    double decodeDoubleForKey(const std::string& key) const;
    float decodeFloatForKey(const std::string& key) const;

    const Value::Dictionary& fields() const { return fields_; }

private:
    const Value* numberForKey(const std::string& key, const char* method) const;
    Value::Dictionary fields_;
};
