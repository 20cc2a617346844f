#include "platform/system/ElfSymbolIndex.h"

#include "platform/system/ReadOnlyCopy.h"

#include <algorithm>
#include <cstring>
#include <queue>
#include <sys/mman.h>
#include <unistd.h>
#include <utility>
#include <new>
#include <vector>

namespace {

constexpr size_t kNone = SIZE_MAX;

// A sized symbol whose end would pass the address space never ends.
bool ends(const vdelf_symbol_input& sym) { return sym.size > 0 && sym.value + sym.size > sym.value; }

// Sweeps the points where the answer can change (every address and every end), in order. Sized
// symbols that hold the current point wait in a heap, the highest address first; those that ended
// are dropped lazily when they reach its top.
class Sweep {
public:
    Sweep(const vdelf_symbol_input* symbols, size_t count) : symbols_(symbols), gone_(count, false) {
        byValue_.reserve(count);
        for (size_t i = 0; i < count; ++i) {
            byValue_.push_back({symbols[i].value, i});
            if (ends(symbols[i])) byEnd_.push_back({symbols[i].value + symbols[i].size, i});
        }
        // By address, then in table order.
        std::sort(byValue_.begin(), byValue_.end());
        std::sort(byEnd_.begin(), byEnd_.end());
        points_.reserve(byValue_.size() + byEnd_.size());
        for (size_t a = 0, b = 0; a < byValue_.size() || b < byEnd_.size();) {
            bool takeValue = b == byEnd_.size() || (a < byValue_.size() && byValue_[a].first <= byEnd_[b].first);
            uint64_t next = takeValue ? byValue_[a++].first : byEnd_[b++].first;
            if (points_.empty() || points_.back() != next) points_.push_back(next);
        }
    }

    const std::vector<uint64_t>& points() const { return points_; }

    // The symbol that holds the addresses from `point` to the next point; kNone when none does.
    size_t advanceTo(uint64_t point) {
        bool newUnsized = true;
        for (; nextValue_ < byValue_.size() && byValue_[nextValue_].first == point; ++nextValue_) {
            size_t i = byValue_[nextValue_].second;
            if (symbols_[i].size > 0) {
                active_.push(key(i));
            } else if (newUnsized) {
                unsized_ = i;  // the first in table order at this address
                newUnsized = false;
            }
        }
        for (; nextEnd_ < byEnd_.size() && byEnd_[nextEnd_].first == point; ++nextEnd_) {
            gone_[byEnd_[nextEnd_].second] = true;
            barrier_ = point;
            ended_ = true;
        }
        while (!active_.empty() && gone_[SIZE_MAX - active_.top().second]) active_.pop();
        size_t sized = active_.empty() ? kNone : SIZE_MAX - active_.top().second;
        if (sized != kNone && (unsized_ == kNone || symbols_[sized].value >= symbols_[unsized_].value)) return sized;
        if (unsized_ != kNone && !(ended_ && symbols_[unsized_].value < barrier_)) return unsized_;
        return kNone;
    }

private:
    // Ordered so that the greatest is the highest address, the first in table order among equals.
    std::pair<uint64_t, size_t> key(size_t i) const { return {symbols_[i].value, SIZE_MAX - i}; }

    const vdelf_symbol_input* symbols_;
    std::vector<std::pair<uint64_t, size_t>> byValue_, byEnd_;  // {address or end, table index}
    std::vector<uint64_t> points_;
    std::priority_queue<std::pair<uint64_t, size_t>> active_;
    std::vector<bool> gone_;  // by table index: the sized symbol has ended
    size_t nextValue_ = 0, nextEnd_ = 0;
    size_t unsized_ = kNone;
    uint64_t barrier_ = 0;
    bool ended_ = false;
};

} // namespace

namespace {

// The ranges of the index, in address order; false when memory ran out while they were found.
bool sweepRanges(const vdelf_symbol_input* symbols, size_t count, std::vector<vdelf_symbol_range>* ranges) try {
    Sweep sweep(symbols, count);
    size_t previous = kNone;
    for (uint64_t point : sweep.points()) {
        size_t holder = sweep.advanceTo(point);
        if (!ranges->empty() && holder == previous) continue;
        vdelf_symbol_range range{point, 0, 0, 0};
        if (holder != kNone) range = {point, symbols[holder].value, symbols[holder].name, 1};
        ranges->push_back(range);
        previous = holder;
    }
    return true;
} catch (const std::bad_alloc&) {
    return false;
}

} // namespace

bool vdelf_nasync_symbol_index_build(const vdelf_symbol_input* symbols, size_t count, vdelf_symbol_index* index) {
    *index = vdelf_symbol_index{};
    index->built = true;
    if (count == 0) return true;
    std::vector<vdelf_symbol_range> ranges;
    // Without the memory for an index the table is searched as it stands.
    if (!sweepRanges(symbols, count, &ranges)) {
        index->built = false;
        return false;
    }
    size_t bytes = 0;
    void* memory = vdelf_nasync_read_only_copy(ranges.data(), ranges.size() * sizeof(vdelf_symbol_range), &bytes);
    if (!memory) {
        index->built = false;
        return false;
    }
    index->ranges = static_cast<const vdelf_symbol_range*>(memory);
    index->count = ranges.size();
    index->mapping_size = bytes;
    return true;
}

void vdelf_nasync_symbol_index_free(vdelf_symbol_index* index) {
    if (index->ranges) munmap(const_cast<vdelf_symbol_range*>(index->ranges), index->mapping_size);
    *index = vdelf_symbol_index{};
}

bool vdelf_symbol_index_find(const vdelf_symbol_index* index, uint64_t address, uint64_t* value, uint32_t* name) {
    size_t low = 0, high = index->count;  // the first range that starts above the address
    while (low < high) {
        size_t middle = low + (high - low) / 2;
        if (index->ranges[middle].start <= address)
            low = middle + 1;
        else
            high = middle;
    }
    if (low == 0 || !index->ranges[low - 1].has_symbol) return false;
    *value = index->ranges[low - 1].value;
    *name = index->ranges[low - 1].name;
    return true;
}
