#pragma once
// The library's user-visible texts: looked up in the main bundle's string table "NetKit" with the
// English text as key; with no translation the English text stands.

#include <string>

std::string NKLocalizedString(const std::string& english);
