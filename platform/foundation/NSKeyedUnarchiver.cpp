#include "platform/foundation/NSKeyedUnarchiver.h"

#include "platform/foundation/NSException.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/StoreFile.h"

#include <algorithm>
#include <bit>
#include <map>
#include <mutex>

namespace {

constexpr int kMaxDecodingDepth = 512;

std::mutex& registryLock() {
    static std::mutex lock;
    return lock;
}
std::map<std::string, NSKeyedUnarchiver::Factory>& registry() {
    static std::map<std::string, NSKeyedUnarchiver::Factory> classes;
    return classes;
}

[[noreturn]] void corrupt(const std::string& why) {
    throw NSException(NSInvalidUnarchiveOperationException,
                      "*** -[NSKeyedUnarchiver initForReadingWithData:]: incomprehensible archive (" + why + ")");
}

class Reader {
public:
    Reader(const std::uint8_t* p, std::size_t n) : p_(p), end_(p + n), reservable_(n) {}

    Value value(int depth) {
        if (depth > kMaxDecodingDepth) corrupt("nested too deeply");
        switch (byte()) {
        case 0: return Value();
        case 1: return Value(false);
        case 2: return Value(true);
        case 3: return Value(static_cast<long long>(u64()));
        case 4: return Value(std::bit_cast<double>(u64()));
        case 5: return Value(string());
        case 6: {
            std::string s = string();
            return Value(Value::Data(s.begin(), s.end()));
        }
        case 7: return Value(Value::Date{std::bit_cast<double>(u64())});
        case 8: {
            std::uint32_t n = count();
            Value::Array a;
            a.reserve(reservation(n));
            for (std::uint32_t i = 0; i < n; ++i) a.push_back(value(depth + 1));
            return Value(std::move(a));
        }
        case 9: return Value(fields(depth));
        case 10: {
            std::string name = string();
            Value::Dictionary f = fields(depth);
            NSKeyedUnarchiver::Factory factory;
            {
                std::lock_guard<std::mutex> guard(registryLock());
                auto found = registry().find(name);
                if (found != registry().end()) factory = found->second;
            }
            if (!factory) {
                throw NSException(NSInvalidUnarchiveOperationException,
                                  "*** -[NSKeyedUnarchiver decodeObjectForKey:]: cannot decode object of class (" + name + ")");
            }
            return Value(factory(NSCoder(std::move(f))));
        }
        default: corrupt("unknown value tag");
        }
    }

    bool atEnd() const { return p_ == end_; }

private:
    Value::Dictionary fields(int depth) {
        std::uint32_t n = count();
        Value::Dictionary d;
        for (std::uint32_t i = 0; i < n; ++i) {
            std::string key = string();
            d[key] = value(depth + 1);
        }
        return d;
    }

    std::size_t left() const { return static_cast<std::size_t>(end_ - p_); }
    std::uint8_t byte() {
        if (!left()) corrupt("truncated");
        return *p_++;
    }
    std::uint64_t u64() {
        if (left() < 8) corrupt("truncated");
        std::uint64_t v = 0;
        for (int i = 0; i < 8; ++i) v = (v << 8) | *p_++;
        return v;
    }
    std::uint32_t u32() {
        if (left() < 4) corrupt("truncated");
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v = (v << 8) | *p_++;
        return v;
    }
    // Every element takes at least one byte, so a count beyond what is left is damage.
    std::uint32_t count() {
        std::uint32_t n = u32();
        if (n > left()) corrupt("count beyond the end");
        return n;
    }
    // Counts are the file's claims. Memory is reserved for them only up to the input's size, in
    // all reservations together (nested arrays each claim what is left); beyond that a vector
    // grows with the elements that are really there.
    std::size_t reservation(std::uint32_t n) {
        std::size_t elements = std::min<std::size_t>(n, reservable_ / sizeof(Value));
        reservable_ -= elements * sizeof(Value);
        return elements;
    }
    std::string string() {
        std::uint32_t n = u32();
        if (n > left()) corrupt("truncated");
        std::string s(reinterpret_cast<const char*>(p_), n);
        p_ += n;
        return s;
    }

    const std::uint8_t* p_;
    const std::uint8_t* end_;
    std::size_t reservable_;
};

} // namespace

void NSKeyedUnarchiver::registerClass(const std::string& className, Factory factory) {
    std::lock_guard<std::mutex> guard(registryLock());
    registry()[className] = std::move(factory);
}

bool NSKeyedUnarchiver::isClassRegistered(const std::string& className) {
    std::lock_guard<std::mutex> guard(registryLock());
    return registry().count(className) != 0;
}

Value NSKeyedUnarchiver::unarchiveObjectWithData(const NSData& data) {
    static constexpr std::uint8_t kMagic[] = {'T', 'D', 'K', 'A', 1};
    if (data.length() < sizeof kMagic || !std::equal(kMagic, kMagic + sizeof kMagic, data.bytes())) corrupt("not an archive");
    Reader reader(data.bytes() + sizeof kMagic, data.length() - sizeof kMagic);
    Value root = reader.value(0);
    if (!reader.atEnd()) corrupt("bytes after the root object");
    return root;
}

Value NSKeyedUnarchiver::unarchiveObjectWithFile(const std::string& path) {
    NSErrorPtr error;
    auto data = NSDataWithContentsOfStoreFile(path, &error);
    if (!data) {
        // Far larger than any archive: damaged, never read into memory; it reads as nothing.
        if (error && error->code() == NSFileReadTooLargeError) NSLog("NSKeyedUnarchiver: %@ is too large for an archive; ignored", path);
        return Value();
    }
    return unarchiveObjectWithData(*data);
}
