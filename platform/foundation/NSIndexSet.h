#pragma once
// Sets of unsigned indexes kept as sorted, disjoint ranges.

#include "platform/foundation/NSCoder.h"
#include "platform/foundation/NSObject.h"

#include <cstdint>
#include <utility>
#include <vector>

class NSIndexSet : public NSObject, public NSCoding {
public:
    NSIndexSet() = default;
    // initWithCoder:
    explicit NSIndexSet(const NSCoder& coder);
    void encodeWithCoder(NSCoder& coder) const override;
    NSIndexSet(const NSIndexSet& other) : NSObject(), ranges_(other.ranges_) {}
    // Indexes location ..< location + length.
    static std::shared_ptr<NSIndexSet> indexSetWithIndexesInRange(std::uint64_t location, std::uint64_t length);
    static std::shared_ptr<NSIndexSet> indexSetWithIndex(std::uint64_t index) { return indexSetWithIndexesInRange(index, 1); }

    bool containsIndex(std::uint64_t index) const;
    std::uint64_t count() const;
    void addIndexesInRange(std::uint64_t location, std::uint64_t length);
    void addIndex(std::uint64_t index) { addIndexesInRange(index, 1); }
    std::shared_ptr<NSIndexSet> copy() const { return std::make_shared<NSIndexSet>(*this); }

    bool isEqual(const NSObject* other) const override;
    std::string description() const override;

private:
    std::vector<std::pair<std::uint64_t, std::uint64_t>> ranges_;  // [first, end)
};

using NSIndexSetPtr = std::shared_ptr<NSIndexSet>;
