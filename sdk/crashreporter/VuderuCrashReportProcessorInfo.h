#pragma once
// A processor as a report records it: the type encoding (0 unknown, 1 Mach) with its type and subtype.

#include "platform/foundation/NSObject.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class VuderuCrashReportProcessorInfo : public NSObject {
public:
    // initWithTypeEncoding:type:subtype:
    VuderuCrashReportProcessorInfo(int typeEncoding, uint64_t type, uint64_t subtype)
        : typeEncoding_(typeEncoding), type_(type), subtype_(subtype) {}

    int typeEncoding() const { return typeEncoding_; }
    uint64_t type() const { return type_; }
    uint64_t subtype() const { return subtype_; }

private:
    int typeEncoding_;
    uint64_t type_;
    uint64_t subtype_;
};
