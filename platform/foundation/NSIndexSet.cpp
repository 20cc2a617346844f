#include "platform/foundation/NSIndexSet.h"

#include "platform/foundation/NSKeyedUnarchiver.h"

#include <algorithm>
#include <string>

namespace {
const bool registeredNSIndexSet = (NSKeyedUnarchiver::registerClass<NSIndexSet>("NSIndexSet"), true);
const char* const kRangesKey = "NSRanges";
} // namespace

NSIndexSet::NSIndexSet(const NSCoder& coder) {
    Value ranges = coder.decodeObjectForKey(kRangesKey);
    if (!ranges.isArray()) return;
    for (const Value& range : ranges.array()) {
        std::int64_t location = range[std::size_t{0}].integerValue(-1);
        std::int64_t length = range[std::size_t{1}].integerValue(-1);
        if (location >= 0 && length > 0) addIndexesInRange(static_cast<std::uint64_t>(location), static_cast<std::uint64_t>(length));
    }
}

void NSIndexSet::encodeWithCoder(NSCoder& coder) const {
    Value::Array ranges;
    for (const auto& [first, end] : ranges_) {
        ranges.push_back(Value::Array{Value(static_cast<long long>(first)), Value(static_cast<long long>(end - first))});
    }
    coder.encodeObjectForKey(Value(ranges), kRangesKey);
}

std::shared_ptr<NSIndexSet> NSIndexSet::indexSetWithIndexesInRange(std::uint64_t location, std::uint64_t length) {
    auto set = std::make_shared<NSIndexSet>();
    set->addIndexesInRange(location, length);
    return set;
}

bool NSIndexSet::containsIndex(std::uint64_t index) const {
    for (const auto& [first, end] : ranges_) {
        if (index >= first && index < end) return true;
    }
    return false;
}

std::uint64_t NSIndexSet::count() const {
    std::uint64_t total = 0;
    for (const auto& [first, end] : ranges_) total += end - first;
    return total;
}

void NSIndexSet::addIndexesInRange(std::uint64_t location, std::uint64_t length) {
    if (length == 0) return;
    ranges_.emplace_back(location, location + length);
    std::sort(ranges_.begin(), ranges_.end());
    std::vector<std::pair<std::uint64_t, std::uint64_t>> merged;
    for (const auto& range : ranges_) {
        if (!merged.empty() && range.first <= merged.back().second) {
            merged.back().second = std::max(merged.back().second, range.second);
        } else {
            merged.push_back(range);
        }
    }
    ranges_ = std::move(merged);
}

bool NSIndexSet::isEqual(const NSObject* other) const {
    auto* set = dynamic_cast<const NSIndexSet*>(other);
    return set && set->ranges_ == ranges_;
}

std::string NSIndexSet::description() const {
    std::string text = "<NSIndexSet>[number of indexes: " + std::to_string(count()) + " (in " + std::to_string(ranges_.size()) +
                       " ranges), indexes: (";
    for (std::size_t i = 0; i < ranges_.size(); ++i) {
        if (i) text += " ";
        text += std::to_string(ranges_[i].first);
        if (ranges_[i].second - ranges_[i].first > 1) text += "-" + std::to_string(ranges_[i].second - 1);
    }
    return text + ")]";
}
