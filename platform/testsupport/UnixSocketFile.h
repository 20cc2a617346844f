#pragma once
// A socket file for tests of what readers and writers do when one stands where a file was expected.

#include <string>

// Binds a Unix socket at a host path of any length (a program listening there leaves such a file):
// the socket's descriptor, for the caller to close, or -1.
int bindUnixSocketAt(const std::string& hostPath);
