#pragma once
// The analytics core's fixed values: its recording limits, fixed at build time, and the agent
// version that reports, file names and keychain data carry.

inline constexpr int MAX_EVENT_PARAMETERS = 10;  // parameters of one event
inline constexpr int MAX_EVENT_COUNTS = 100;     // distinct event names counted per session
inline constexpr int MAX_EVENT_LOG_COUNT = 1000; // events kept in one session's log
inline constexpr int MAX_ERRORS = 10;            // errors kept per session
inline constexpr int MAX_ORIGIN_SETS = 10;       // entries of one origin set's parameters
inline constexpr int MAX_COOKIES = 1000;         // server cookies kept across launches

// +[VuderuSession getAgentVersion]
inline constexpr const char* VuderuAgentVersion = "137";
