#pragma once
// Parameters flattened into field–value pairs and percent-escaped for query strings and form
// bodies: dictionary keys in ascending order, nested keys in brackets ("user[name]"), array
// elements under "key[]".

#include "platform/foundation/NSObject.h"
#include "platform/foundation/NSStringEncoding.h"
#include "platform/foundation/Value.h"

#include <string>
#include <vector>

class NKQueryStringPair {
public:
    NKQueryStringPair(Value field, Value value) : field_(std::move(field)), value_(std::move(value)) {}
    const Value& field() const { return field_; }
    const Value& value() const { return value_; }
    // "field=value", escaped in the encoding; the field alone for a null value.
    std::string URLEncodedStringValueWithEncoding(NSStringEncoding encoding) const;

private:
    Value field_;
    Value value_;
};

// The pairs of a value under a key (null at the top).
std::vector<NKQueryStringPair> NKQueryStringPairsFromKeyAndValue(const Value& key, const Value& value);
// A key escaped for a query: brackets and periods stay as they are.
std::string NKPercentEscapedQueryStringKeyFromStringWithEncoding(const std::string& string, NSStringEncoding encoding);
// A value escaped for a query.
std::string NKPercentEscapedQueryStringValueFromStringWithEncoding(const std::string& string, NSStringEncoding encoding);
// The text a parameter value stands for: strings as they are, numbers as numbers.
std::string NKQueryStringDescription(const Value& value);
// The pairs joined with "&".
std::string NKQueryStringFromParametersWithEncoding(const Value& parameters, NSStringEncoding encoding);
