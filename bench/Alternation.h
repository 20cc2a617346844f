#pragma once
// In-process benchmarks measure ours beside the peer the way bench/compare.bash does for whole
// commands: the two take turns, the order flipping every pass so neither always runs on the
// warmer cache, and each side's median pass is what gets printed.

#include <algorithm>
#include <chrono>
#include <vector>

template <class F>
double seconds(F&& f) {
    auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

inline double median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

struct AlternationMedians {
    double ours;
    double peer;
};

// Runs `ours` and `peer` `passes` times each, alternately, and answers each one's median seconds.
template <class Ours, class Peer>
AlternationMedians alternate(int passes, Ours&& ours, Peer&& peer) {
    std::vector<double> oursPasses, peerPasses;
    for (int pass = 0; pass < passes; ++pass) {
        if (pass % 2 == 0) {
            oursPasses.push_back(seconds(ours));
            peerPasses.push_back(seconds(peer));
        } else {
            peerPasses.push_back(seconds(peer));
            oursPasses.push_back(seconds(ours));
        }
    }
    return {median(oursPasses), median(peerPasses)};
}
