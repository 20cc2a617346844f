#include "sdk/analytics/VuderuAutoIncrement.h"

#include <limits>

std::shared_ptr<VuderuAutoIncrement> VuderuAutoIncrement::instance() {
    static const std::shared_ptr<VuderuAutoIncrement> shared = std::make_shared<VuderuAutoIncrement>();
    return shared;
}

int VuderuAutoIncrement::nextCountFor(int kind) {
    std::lock_guard<std::mutex> guard(lock_);
    auto [entry, inserted] = counters_.try_emplace(kind, 0);
    // Wire forms keep the low 16 bits; the count itself must not overflow.
    if (entry->second < std::numeric_limits<int>::max()) ++entry->second;
    return entry->second;
}

void VuderuAutoIncrement::resetAll() {
    std::lock_guard<std::mutex> guard(lock_);
    counters_.clear();
}
