#include "sdk/ads/VuderuAvro.h"

#include <cstdlib>
#include <limits>
#include <mutex>
#include <unordered_set>

namespace {

// Room for the structures a decode makes whatever the bytes say (records, tables, schemas' data).
constexpr std::size_t kFixedAllocationRoom = 64 * 1024;

thread_local std::size_t allocationLimit = std::numeric_limits<std::size_t>::max();
thread_local std::size_t largestGranted = 0;
// The blocks the library holds that were allocated during the read under way on this thread.
thread_local std::unordered_set<void*>* liveBlocks = nullptr;

void* limitedAllocator(void*, void* ptr, std::size_t, std::size_t nsize) {
    if (nsize == 0) {
        if (liveBlocks && ptr) liveBlocks->erase(ptr);
        std::free(ptr);
        return nullptr;
    }
    if (nsize > allocationLimit) return nullptr;
    void* grown = std::realloc(ptr, nsize);
    if (grown && nsize > largestGranted) largestGranted = nsize;
    if (grown && liveBlocks) {
        if (ptr) liveBlocks->erase(ptr);
        liveBlocks->insert(grown);
    }
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
    explicit AllocationLimit(std::size_t limit) : previous_(allocationLimit), previousBlocks_(liveBlocks) {
        allocationLimit = limit;
        liveBlocks = &blocks_;
    }
    ~AllocationLimit() {
        allocationLimit = previous_;
        liveBlocks = previousBlocks_;
    }
    // After a failed read: what the library allocated for it and never released.
    void releaseAbandoned() {
        for (void* block : blocks_) std::free(block);
        blocks_.clear();
    }
    // After a successful read the datum owns what was allocated.
    void keep() { blocks_.clear(); }
    AllocationLimit(const AllocationLimit&) = delete;
    AllocationLimit& operator=(const AllocationLimit&) = delete;

private:
    std::size_t previous_;
    std::unordered_set<void*>* previousBlocks_;
    std::unordered_set<void*> blocks_;
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

AvroDatum avroReadUntrusted(avro_schema_t schema, const std::uint8_t* bytes, std::size_t length, std::string* error) {
    installAllocator();
    // The reader reads a copy, so the caller's buffer may go while the datum lives.
    std::vector<char> copy(bytes, bytes + length);
    largestGranted = 0;
    AllocationLimit limit(length + kFixedAllocationRoom);
    avro_datum_t datum = nullptr;
    bool read = false;
    {
        AvroReader reader(avro_reader_memory(copy.data(), static_cast<int64_t>(copy.size())));
        read = reader && avro_read_data(reader.get(), schema, nullptr, &datum) == 0;
        if (!read && error) *error = lastError();
    }
    if (read) {
        limit.keep();
        return AvroDatum(datum);
    }
    if (datum) avro_datum_decref(datum);
    limit.releaseAbandoned();
    return nullptr;
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
