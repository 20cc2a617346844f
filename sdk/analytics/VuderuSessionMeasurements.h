#pragma once
// The device measurements a session records as its parameters: memory, CPU load, disk and
// battery figures when it starts (phase 0) and at each finish (phase 1), and the boot time.

#include <cstdint>
#include <map>
#include <string>

class VuderuSessionMeasurements {
public:
    static constexpr int kPhaseStart = 0;
    static constexpr int kPhaseEnd = 1;

    // Puts the figures of the phase into the session's parameters, replacing those of an
    // earlier call of the same phase; other phases take only the phase-independent figures.
    static void getSessionParametersAtPhase(int phase, std::map<std::string, std::string>& sessionParams);

    // CPU load of the process in percent, -1 when it cannot be read.
    static float total_cpu_usage();
    // Bytes of the host's memory by state.
    static std::uint64_t wiredMemoryUsage();
    static std::uint64_t activeMemoryUsage();
    static std::uint64_t inActiveMemoryUsage();
    static std::uint64_t freeMemoryUsage();
};
