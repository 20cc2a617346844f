#pragma once
// The device paths of the main bundle's top-level resources with an extension, sorted.

#include <string>
#include <vector>

std::vector<std::string> NKBundleResourcePaths(const std::string& extension);
