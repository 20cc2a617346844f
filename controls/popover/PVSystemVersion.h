#pragma once
// Numeric comparison of the device's system version ("6.1" < "7.0" < "10.0").

#include <string>

// True when the device's system version orders before `version`, component by component.
bool PVSystemVersionIsBelow(const std::string& version);
