#include "sdk/ads/VuderuAvro.h"

#include "sdk/analytics/VuderuLog.h"

#include <cstdlib>
#include <limits>
#include <mutex>
#include <unordered_set>

namespace {

// Room for the structures a decode makes whatever the bytes say (records, tables, schemas' data).
constexpr std::size_t kFixedAllocationRoom = 64 * 1024;
// A value takes more room than its bytes: an array's items sit side by side in one block that
// doubles as it grows, each item (a record, a string's buffer record) a few dozen bytes for as
// little as one byte of the body. The library does not survive a refused growth of such a block,
// so the limit leaves room for any array the body can really hold.
constexpr std::size_t kValueBytesPerBodyByte = 256;

thread_local std::size_t allocationLimit = std::numeric_limits<std::size_t>::max();
thread_local std::size_t largestGranted = 0;
// What the library allocated (true) and freed (false) during the read under way on this thread,
// in order: cheap to keep, and replayed only when a read fails.
using BlockLog = std::vector<std::pair<std::uintptr_t, bool>>;
thread_local BlockLog* blockLog = nullptr;

void* limitedAllocator(void*, void* ptr, std::size_t, std::size_t nsize) {
    if (nsize == 0) {
        if (blockLog && ptr) blockLog->emplace_back(reinterpret_cast<std::uintptr_t>(ptr), false);
        std::free(ptr);
        return nullptr;
    }
    if (nsize > allocationLimit) return nullptr;
    // The old block is logged as freed before realloc may move it (and the entry taken back when
    // it fails): its address is not touched once realloc has run.
    const bool logged = blockLog && ptr;
    if (logged) blockLog->emplace_back(reinterpret_cast<std::uintptr_t>(ptr), false);
    void* grown = std::realloc(ptr, nsize);
    if (!grown) {
        if (logged) blockLog->pop_back();
        return nullptr;
    }
    if (nsize > largestGranted) largestGranted = nsize;
    if (blockLog) blockLog->emplace_back(reinterpret_cast<std::uintptr_t>(grown), true);
    return grown;
}

void installAllocator() {
    // Same malloc family as the library's default, so memory from before the switch is freed alike.
    static std::once_flag once;
    std::call_once(once, [] { avro_set_allocator(limitedAllocator, nullptr); });
}

// Avro C leaves some buffers behind when a read fails half-way (a string cut short by the end of
// the body); once everything the read made has been released, what is still held is freed here.
class AllocationLimit {
public:
    explicit AllocationLimit(std::size_t limit) : previous_(allocationLimit), previousLog_(blockLog) {
        allocationLimit = limit;
        log_.reserve(kExpectedBlocks);
        blockLog = &log_;
    }
    ~AllocationLimit() {
        allocationLimit = previous_;
        blockLog = previousLog_;
    }
    // After a failed read: what the library allocated for it and never released.
    void releaseAbandoned() {
        std::unordered_set<std::uintptr_t> live;
        for (const auto& [block, allocated] : log_) {
            if (allocated) live.insert(block);
            else live.erase(block);
        }
        for (std::uintptr_t block : live) std::free(reinterpret_cast<void*>(block));
        log_.clear();
    }
    // After a successful read the value owns what was allocated.
    void keep() { log_.clear(); }
    AllocationLimit(const AllocationLimit&) = delete;
    AllocationLimit& operator=(const AllocationLimit&) = delete;

private:
    std::size_t previous_;
    static constexpr std::size_t kExpectedBlocks = 1024;
    BlockLog* previousLog_;
    BlockLog log_;
};

std::string lastError() {
    const char* text = avro_strerror();
    return text ? text : "";
}

} // namespace

AvroSchema avroSchemaFromJson(std::string_view json) {
    installAllocator();
    avro_schema_t schema = nullptr;
    if (avro_schema_from_json_length(json.data(), json.size(), &schema) != 0) return nullptr;
    return AvroSchema(schema);
}

bool avroParseSchemas(std::span<const AvroSchemaText> texts, std::vector<AvroSchema>& parsed) {
    for (const auto& text : texts) {
        AvroSchema schema = avroSchemaFromJson(text.json());
        if (!schema) {
            VuderuLog("%s", text.failure);
            return false;
        }
        parsed.push_back(std::move(schema));
    }
    return true;
}

std::size_t avroAllocationLimitForBody(std::size_t length) { return length * kValueBytesPerBodyByte + kFixedAllocationRoom; }

AvroValueClass avroValueClass(avro_schema_t schema) { return AvroValueClass(schema ? avro_generic_class_from_schema(schema) : nullptr); }

bool AvroValue::make(avro_value_iface_t* iface) {
    reset();
    owned_ = iface && avro_generic_value_new(iface, &value_) == 0;
    return owned_;
}

void AvroValue::reset() {
    if (owned_) avro_value_decref(&value_);
    owned_ = false;
}

bool avroReadUntrusted(avro_value_iface_t* iface, const std::uint8_t* bytes, std::size_t length, AvroValue* out, std::string* error) {
    installAllocator();
    // The reader reads the caller's bytes where they lie: the value copies out every string and
    // byte string it holds, and the reader is gone before this returns.
    largestGranted = 0;
    AllocationLimit limit(avroAllocationLimitForBody(length));
    bool read = false;
    if (out->make(iface)) {
        AvroReader reader(avro_reader_memory(reinterpret_cast<const char*>(bytes), static_cast<int64_t>(length)));
        read = reader && avro_value_read(reader.get(), out->get()) == 0;
    }
    if (read) {
        limit.keep();
        return true;
    }
    if (error) *error = lastError();
    out->reset();
    limit.releaseAbandoned();
    return false;
}

bool avroEncode(avro_schema_t schema, avro_datum_t datum, std::vector<std::uint8_t>* out, std::string* error) {
    // The library asks for a writer to size the data, though it writes nothing to it.
    char scratch = 0;
    AvroWriter sizing(avro_writer_memory(&scratch, 1));
    int64_t size = sizing ? avro_size_data(sizing.get(), schema, datum) : -1;
    if (size < 0) {
        if (error) *error = lastError();
        return false;
    }
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(size));
    AvroWriter writer(avro_writer_memory(reinterpret_cast<const char*>(buffer.data()), size));
    if (!writer || avro_write_data(writer.get(), schema, datum) != 0) {
        if (error) *error = lastError();
        return false;
    }
    buffer.resize(static_cast<std::size_t>(avro_writer_tell(writer.get())));
    *out = std::move(buffer);
    return true;
}

bool avroJsonOfEncoded(avro_schema_t schema, const std::vector<std::uint8_t>& bytes, std::string* out) {
    // Read back as a generic value: the library's JSON rendering of data built with the datum
    // interface leaks a reference for every nested value.
    struct IfaceRelease {
        void operator()(avro_value_iface_t* iface) const { avro_value_iface_decref(iface); }
    };
    std::unique_ptr<avro_value_iface_t, IfaceRelease> iface(avro_generic_class_from_schema(schema));
    if (!iface) return false;
    avro_value_t value;
    if (avro_generic_value_new(iface.get(), &value) != 0) return false;
    std::unique_ptr<avro_value_t, void (*)(avro_value_t*)> owned(&value, avro_value_decref);
    AvroReader reader(avro_reader_memory(reinterpret_cast<const char*>(bytes.data()), static_cast<int64_t>(bytes.size())));
    char* json = nullptr;
    if (!reader || avro_value_read(reader.get(), &value) != 0 || avro_value_to_json(&value, 1, &json) != 0 || !json) return false;
    *out = json;
    std::free(json);
    return true;
}

std::size_t avroLargestAllocationOfLastRead() { return largestGranted; }
