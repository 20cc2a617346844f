#pragma once
// In-process benchmarks measure ours beside the peer the way bench/compare.bash does for whole
// commands: the two take turns, the order flipping every pass so neither always runs on the
// warmer cache, and each side's median pass is what gets printed, with the fastest and slowest
// pass and the lowest and highest ratio of one round's pair beside it.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>
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

// The machine's load averages (1, 5 and 15 minutes) and its cores, as every ratio is printed
// beside them: a ratio read on a busy machine says less.
inline void printMachineLoad() {
    double one = 0, five = 0, fifteen = 0;
    if (std::FILE* file = std::fopen("/proc/loadavg", "r")) {
        if (std::fscanf(file, "%lf %lf %lf", &one, &five, &fifteen) != 3) one = five = fifteen = 0;
        std::fclose(file);
    }
    std::printf("  load: %.2f %.2f %.2f on %u cores\n", one, five, fifteen, std::thread::hardware_concurrency());
}

// "min..max" of each side and of the rounds' ratios, for the line under the medians, and the load.
inline void printSpread(const AlternationMedians& m, double scale = 1, const char* unit = "s") {
    std::printf("  spread: ours %.4g..%.4g %s, peer %.4g..%.4g %s, ratio of a pair %.2f..%.2f\n", m.oursMin * scale,
                m.oursMax * scale, unit, m.peerMin * scale, m.peerMax * scale, unit, m.pairRatioMin, m.pairRatioMax);
    printMachineLoad();
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
