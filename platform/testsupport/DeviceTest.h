#pragma once
// The fixture of tests that touch the device: a fresh, empty device root for each test (removed
// afterwards), NSLog captured, and the platform clock back in automatic mode at the end.

#include "platform/foundation/NSLog.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

class DeviceTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The host folder standing for the device's "/".
    const std::string& deviceRoot() const { return root_; }
    // The host path of a device path.
    std::string host(const std::string& devicePath) const;
    // Writes a device file (creating its folders) with the given contents.
    void writeFile(const std::string& devicePath, const std::string& contents) const;
    std::string readFile(const std::string& devicePath) const;
    void makeDirectory(const std::string& devicePath) const;

    std::unique_ptr<NSLogCapture> log_;

private:
    std::string root_;
};

// A temporary host folder removed with everything in it when the object goes.
class TemporaryFolder {
public:
    TemporaryFolder();
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// Removes a host path recursively (rm -rf), ignoring errors.
void removeHostTree(const std::string& hostPath);
