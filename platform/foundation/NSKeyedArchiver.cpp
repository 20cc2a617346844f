#include "platform/foundation/NSKeyedArchiver.h"

#include "platform/foundation/NSDate.h"
#include "platform/foundation/NSException.h"

#include <bit>
#include <cstring>
#include <limits>

namespace {

// Deeper trees than this are refused rather than risking the stack (and catch cycles).
constexpr int kMaxDepth = 512;

class Writer {
public:
    explicit Writer(std::vector<std::uint8_t>& out) : out_(out) {}

    void value(const Value& v, int depth) {
        if (depth > kMaxDepth) {
            throw NSException(NSInvalidArgumentException, "*** -[NSKeyedArchiver encodeObject:forKey:]: object graph too deep");
        }
        switch (v.type()) {
        case Value::Type::Null: tag(0); break;
        case Value::Type::Bool: tag(v.boolValue() ? 2 : 1); break;
        case Value::Type::Integer: tag(3); u64(static_cast<std::uint64_t>(v.integerValue())); break;
        case Value::Type::Real: tag(4); u64(std::bit_cast<std::uint64_t>(v.doubleValue())); break;
        case Value::Type::String: tag(5); bytes(v.string().data(), v.string().size()); break;
        case Value::Type::Data: tag(6); bytes(v.data().data(), v.data().size()); break;
        case Value::Type::Date: tag(7); u64(std::bit_cast<std::uint64_t>(v.date().secondsSince1970)); break;
        case Value::Type::Array:
            tag(8);
            count(v.array().size());
            for (const Value& element : v.array()) value(element, depth + 1);
            break;
        case Value::Type::Dictionary:
            tag(9);
            fields(v.dictionary(), depth);
            break;
        case Value::Type::Object: object(v.object(), depth); break;
        }
    }

private:
    void object(const std::shared_ptr<NSObject>& object, int depth) {
        if (!object) {
            tag(0);
            return;
        }
        if (auto date = std::dynamic_pointer_cast<NSDate>(object)) {
            tag(7);
            u64(std::bit_cast<std::uint64_t>(date->timeIntervalSince1970()));
            return;
        }
        if (auto data = std::dynamic_pointer_cast<NSData>(object)) {
            tag(6);
            bytes(data->bytes(), data->length());
            return;
        }
        auto coding = dynamic_cast<const NSCoding*>(object.get());
        if (!coding) {
            throw NSException(NSInvalidArgumentException, "*** -[NSKeyedArchiver encodeObject:forKey:]: object of class (" +
                                                              object->className() + ") does not adopt NSCoding");
        }
        NSCoder coder;
        coding->encodeWithCoder(coder);
        tag(10);
        std::string name = object->className();
        bytes(name.data(), name.size());
        fields(coder.fields(), depth);
    }

    void fields(const Value::Dictionary& d, int depth) {
        count(d.size());
        for (const auto& [key, element] : d) {
            bytes(key.data(), key.size());
            value(element, depth + 1);
        }
    }

    void tag(std::uint8_t t) { out_.push_back(t); }
    void u64(std::uint64_t v) {
        for (int shift = 56; shift >= 0; shift -= 8) out_.push_back(static_cast<std::uint8_t>(v >> shift));
    }
    void count(std::size_t n) {
        if (n > std::numeric_limits<std::uint32_t>::max()) {
            throw NSException(NSInvalidArgumentException, "*** -[NSKeyedArchiver encodeObject:forKey:]: value too large to archive");
        }
        for (int shift = 24; shift >= 0; shift -= 8) out_.push_back(static_cast<std::uint8_t>(n >> shift));
    }
    void bytes(const void* p, std::size_t n) {
        count(n);
        auto b = static_cast<const std::uint8_t*>(p);
        out_.insert(out_.end(), b, b + n);
    }

    std::vector<std::uint8_t>& out_;
};

} // namespace

NSDataPtr NSKeyedArchiver::archivedDataWithRootObject(const Value& rootObject) {
    std::vector<std::uint8_t> out{'T', 'D', 'K', 'A', 1};
    Writer(out).value(rootObject, 0);
    return std::make_shared<NSData>(std::move(out));
}

bool NSKeyedArchiver::archiveRootObjectToFile(const Value& rootObject, const std::string& path) {
    return archivedDataWithRootObject(rootObject)->writeToFile(path, true);
}
