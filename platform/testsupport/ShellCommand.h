#pragma once
// Runs a shell command for a test, as a user's tool would be run on the files the test made.

#include <string>

// Runs the command and waits for it: its exit status (0-255), or -1 when it did not exit
// normally; its standard output in `output` when given.
int runShellCommand(const std::string& command, std::string* output = nullptr);
