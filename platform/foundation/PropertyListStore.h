#pragma once
// A dictionary kept in a property-list file of the device and shared between processes: the
// user defaults and the keychain stand on it. Every access re-reads the file under a lock
// (flock on ".<file>.lock" beside it, plus a mutex of the process), so what another process wrote
// is seen; every change is written atomically.

#include "platform/foundation/NSError.h"
#include "platform/foundation/NSPropertyListSerialization.h"
#include "platform/foundation/Value.h"

#include <functional>
#include <mutex>
#include <optional>
#include <string>

class PropertyListStore {
public:
    explicit PropertyListStore(std::string devicePath, NSPropertyListFormat format = NSPropertyListBinaryFormat_v1_0);

    const std::string& path() const { return path_; }

    // The file's dictionary; empty when the file does not exist. A file that is not a property
    // list of a dictionary is moved aside to "<file>.corrupt" (and logged) so that nothing
    // written later destroys it, and reads as empty.
    Value::Dictionary read();
    // The same, but nullopt (and the error) when the file exists and cannot be read: a folder,
    // a FIFO or another file that is not a regular one, or one without permission.
    std::optional<Value::Dictionary> contents(NSErrorPtr* error = nullptr);

    // Runs `change` on the file's current dictionary with the lock held; when it returns true
    // the dictionary is written back. False (and the error) when the file could not be read or
    // written: a store that exists but cannot be read is never overwritten by the change alone.
    bool update(const std::function<bool(Value::Dictionary&)>& change, NSErrorPtr* error = nullptr);

private:
    // nullopt (and the error) when the file exists but cannot be read.
    std::optional<Value::Dictionary> load(NSErrorPtr* error = nullptr);

    std::string path_;
    NSPropertyListFormat format_;
    std::mutex lock_;
};
