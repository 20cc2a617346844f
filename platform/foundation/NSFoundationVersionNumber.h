#pragma once
// The Foundation release the device runs, as code compares it to tell system versions apart:
// the simulated device runs iOS 8 (above 993, the iOS 7.0 release, whose layout rules differ).

inline constexpr double NSFoundationVersionNumber_iOS_7_0 = 1047.20;
inline constexpr double NSFoundationVersionNumber_iOS_8_0 = 1140.11;
inline constexpr double NSFoundationVersionNumber = NSFoundationVersionNumber_iOS_8_0;
