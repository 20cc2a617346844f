#include "platform/system/ElfSymbolIndex.h"

#include <algorithm>
#include <cstring>
#include <set>
#include <sys/mman.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

constexpr size_t kNone = SIZE_MAX;

// A sized symbol whose end would pass the address space never ends.
bool ends(const vdelf_symbol_input& sym) { return sym.size > 0 && sym.value + sym.size > sym.value; }

// Sweeps the points where the answer can change (every address and every end), in order.
class Sweep {
public:
    Sweep(const vdelf_symbol_input* symbols, size_t count) : symbols_(symbols) {
        for (size_t i = 0; i < count; ++i) {
            byValue_.push_back(i);
            points_.push_back(symbols[i].value);
            if (ends(symbols[i])) {
                byEnd_.push_back(i);
                points_.push_back(symbols[i].value + symbols[i].size);
            }
        }
        std::stable_sort(byValue_.begin(), byValue_.end(),
                         [&](size_t a, size_t b) { return symbols[a].value < symbols[b].value; });
        std::sort(byEnd_.begin(), byEnd_.end(), [&](size_t a, size_t b) { return end(a) < end(b); });
        std::sort(points_.begin(), points_.end());
        points_.erase(std::unique(points_.begin(), points_.end()), points_.end());
    }

    const std::vector<uint64_t>& points() const { return points_; }

    // The symbol that holds the addresses from `point` to the next point; kNone when none does.
    size_t advanceTo(uint64_t point) {
        bool newUnsized = true;
        for (; nextValue_ < byValue_.size() && symbols_[byValue_[nextValue_]].value == point; ++nextValue_) {
            size_t i = byValue_[nextValue_];
            if (symbols_[i].size > 0) {
                active_.insert(key(i));
            } else if (newUnsized) {
                unsized_ = i;  // the first in table order at this address
                newUnsized = false;
            }
        }
        for (; nextEnd_ < byEnd_.size() && end(byEnd_[nextEnd_]) == point; ++nextEnd_) {
            active_.erase(key(byEnd_[nextEnd_]));
            barrier_ = point;
            ended_ = true;
        }
        size_t sized = active_.empty() ? kNone : SIZE_MAX - active_.rbegin()->second;
        if (sized != kNone && (unsized_ == kNone || symbols_[sized].value >= symbols_[unsized_].value)) return sized;
        if (unsized_ != kNone && !(ended_ && symbols_[unsized_].value < barrier_)) return unsized_;
        return kNone;
    }

private:
    uint64_t end(size_t i) const { return symbols_[i].value + symbols_[i].size; }
    // Ordered so that the last is the highest address, the first in table order among equals.
    std::pair<uint64_t, size_t> key(size_t i) const { return {symbols_[i].value, SIZE_MAX - i}; }

    const vdelf_symbol_input* symbols_;
    std::vector<size_t> byValue_, byEnd_;
    std::vector<uint64_t> points_;
    std::set<std::pair<uint64_t, size_t>> active_;
    size_t nextValue_ = 0, nextEnd_ = 0;
    size_t unsized_ = kNone;
    uint64_t barrier_ = 0;
    bool ended_ = false;
};

} // namespace

bool vdelf_nasync_symbol_index_build(const vdelf_symbol_input* symbols, size_t count, vdelf_symbol_index* index) {
    *index = vdelf_symbol_index{};
    index->built = true;
    if (count == 0) return true;
    Sweep sweep(symbols, count);
    std::vector<vdelf_symbol_range> ranges;
    size_t previous = kNone;
    for (uint64_t point : sweep.points()) {
        size_t holder = sweep.advanceTo(point);
        if (!ranges.empty() && holder == previous) continue;
        vdelf_symbol_range range{point, 0, 0, 0};
        if (holder != kNone) range = {point, symbols[holder].value, symbols[holder].name, 1};
        ranges.push_back(range);
        previous = holder;
    }
    size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    size_t bytes = (ranges.size() * sizeof(vdelf_symbol_range) + page - 1) & ~(page - 1);
    void* memory = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) {
        index->built = false;
        return false;
    }
    std::memcpy(memory, ranges.data(), ranges.size() * sizeof(vdelf_symbol_range));
    mprotect(memory, bytes, PROT_READ);
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
