// Walks Avro binary bytes along a schema without building a value, counting the items of every
// array and map: what a decode would cost is known before anything is allocated for it.

#include "sdk/ads/VuderuAvro.h"

#include <limits>
#include <string>

namespace {

// The protocol's schemas nest a few levels; bytes cannot take the walk deeper than the schema.
constexpr int kMaximumDepth = 32;

class ItemWalk {
public:
    ItemWalk(const std::uint8_t* bytes, std::size_t length, AvroItemCounts* counts) : at_(bytes), end_(bytes + length), counts_(counts) {}

    bool value(avro_schema_t schema, int depth) {
        if (!schema || depth > kMaximumDepth) return false;
        switch (avro_typeof(schema)) {
        case AVRO_NULL: return true;
        case AVRO_BOOLEAN: return skip(1);
        case AVRO_INT32:
        case AVRO_INT64:
        case AVRO_ENUM: return varint(nullptr);
        case AVRO_FLOAT: return skip(4);
        case AVRO_DOUBLE: return skip(8);
        case AVRO_STRING:
        case AVRO_BYTES: return sized();
        case AVRO_FIXED: return skip(static_cast<std::uint64_t>(avro_schema_fixed_size(schema)));
        case AVRO_RECORD:
            for (std::size_t i = 0, n = avro_schema_record_size(schema); i < n; ++i) {
                const char* field = avro_schema_record_field_name(schema, static_cast<int>(i));
                field_ = field ? field : "";
                if (!value(avro_schema_record_field_get_by_index(schema, static_cast<int>(i)), depth + 1)) return false;
            }
            return true;
        case AVRO_UNION: {
            std::int64_t branch = 0;
            if (!varint(&branch) || branch < 0 || static_cast<std::size_t>(branch) >= avro_schema_union_size(schema)) return false;
            return value(avro_schema_union_branch(schema, static_cast<int>(branch)), depth + 1);
        }
        case AVRO_ARRAY: return blocks(avro_schema_array_items(schema), false, depth);
        case AVRO_MAP: return blocks(avro_schema_map_values(schema), true, depth);
        case AVRO_LINK: return value(avro_schema_link_target(schema), depth + 1);
        default: return false;
        }
    }

    bool atEnd() const { return at_ == end_; }

private:
    bool skip(std::uint64_t count) {
        if (count > static_cast<std::uint64_t>(end_ - at_)) return false;
        at_ += count;
        return true;
    }
    bool varint(std::int64_t* out) {
        std::uint64_t raw = 0;
        for (int shift = 0; shift < 64; shift += 7) {
            if (at_ == end_) return false;
            const std::uint8_t byte = *at_++;
            raw |= static_cast<std::uint64_t>(byte & 0x7f) << shift;
            if (!(byte & 0x80)) {
                if (out) *out = static_cast<std::int64_t>(raw >> 1) ^ -static_cast<std::int64_t>(raw & 1);
                return true;
            }
        }
        return false;
    }
    bool sized() {
        std::int64_t length = 0;
        return varint(&length) && length >= 0 && skip(static_cast<std::uint64_t>(length));
    }
    // Blocks of items up to an empty one; a negative count is followed by the block's size.
    bool blocks(avro_schema_t items, bool keyed, int depth) {
        const std::string name = avro_schema_type_name(items);
        const std::string field = kAvroFieldCountPrefix + field_;
        while (true) {
            std::int64_t count = 0;
            if (!varint(&count)) return false;
            if (count == 0) return true;
            if (count < 0) {
                // The most negative count has no positive one: no reply holds that many items.
                if (count == std::numeric_limits<std::int64_t>::min() || !varint(nullptr)) return false;
                count = -count;
            }
            // Every item of the protocol's types takes a byte at least: a count past what is
            // left is a lie, and walking it would only spin.
            if (static_cast<std::uint64_t>(count) > static_cast<std::uint64_t>(end_ - at_)) return false;
            (*counts_)[name] += static_cast<std::size_t>(count);
            if (field.size() > std::char_traits<char>::length(kAvroFieldCountPrefix)) (*counts_)[field] += static_cast<std::size_t>(count);
            for (std::int64_t i = 0; i < count; ++i) {
                if ((keyed && !sized()) || !value(items, depth + 1)) return false;
            }
        }
    }

    const std::uint8_t* at_;
    const std::uint8_t* end_;
    AvroItemCounts* counts_;
    // The record field whose value is being walked.
    std::string field_;
};

} // namespace

bool avroCountItems(avro_schema_t schema, const std::uint8_t* bytes, std::size_t length, AvroItemCounts* counts, bool* whole) {
    counts->clear();
    ItemWalk walk(bytes, length, counts);
    const bool walked = walk.value(schema, 0);
    if (whole) *whole = walked && walk.atEnd();
    return walked;
}

bool avroIsWholeValue(avro_schema_t schema, const std::uint8_t* bytes, std::size_t length) {
    AvroItemCounts counts;
    ItemWalk walk(bytes, length, &counts);
    return walk.value(schema, 0) && walk.atEnd();
}
