#pragma once
// In-process benchmarks measure ours beside the peer the way bench/compare.bash does for whole
// commands: the two take turns, the order flipping every pass so neither always runs on the
// warmer cache, and each side's median pass is what gets printed, with the fastest and slowest
// pass and the lowest and highest ratio of one round's pair beside it.

#include <algorithm>
#include <chrono>
#include <cstdio>
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
    double oursMin, oursMax;
    double peerMin, peerMax;
    double pairRatioMin, pairRatioMax;  // ours / peer within one round
};

// "min..max" of each side and of the rounds' ratios, for the line under the medians.
inline void printSpread(const AlternationMedians& m, double scale = 1, const char* unit = "s") {
    std::printf("  spread: ours %.4g..%.4g %s, peer %.4g..%.4g %s, ratio of a pair %.2f..%.2f\n", m.oursMin * scale,
                m.oursMax * scale, unit, m.peerMin * scale, m.peerMax * scale, unit, m.pairRatioMin, m.pairRatioMax);
}

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
    std::vector<double> ratios;
    for (std::size_t i = 0; i < oursPasses.size(); ++i)
        if (peerPasses[i] > 0) ratios.push_back(oursPasses[i] / peerPasses[i]);
    auto low = [](const std::vector<double>& v) { return v.empty() ? 0 : *std::min_element(v.begin(), v.end()); };
    auto high = [](const std::vector<double>& v) { return v.empty() ? 0 : *std::max_element(v.begin(), v.end()); };
    return {median(oursPasses), median(peerPasses), low(oursPasses), high(oursPasses),
            low(peerPasses),    high(peerPasses),   low(ratios),     high(ratios)};
}
