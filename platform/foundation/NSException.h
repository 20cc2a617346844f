#pragma once
// NSException: a C++ exception carrying the platform exception's name, reason and user info.
// @throw is `throw`, @try/@catch is try/catch.

#include "platform/foundation/Value.h"

#include <cstdint>
#include <exception>
#include <string>
#include <vector>

extern const std::string NSGenericException;
extern const std::string NSRangeException;
extern const std::string NSInvalidArgumentException;
extern const std::string NSInternalInconsistencyException;
extern const std::string NSMallocException;
extern const std::string NSInvalidUnarchiveOperationException;
extern const std::string NSFileHandleOperationException;

class NSException : public std::exception {
public:
    NSException(std::string name, std::string reason, Value::Dictionary userInfo = {});

    // +[NSException raise:format:] for an already formatted reason.
    [[noreturn]] static void raise(std::string name, std::string reason);

    const std::string& name() const { return name_; }
    const std::string& reason() const { return reason_; }
    const Value::Dictionary& userInfo() const { return userInfo_; }
    // Return addresses of the stack that made the exception, innermost first.
    const std::vector<std::uintptr_t>& callStackReturnAddresses() const { return callStack_; }

    const char* what() const noexcept override { return what_.c_str(); }

private:
    std::string name_;
    std::string reason_;
    Value::Dictionary userInfo_;
    std::vector<std::uintptr_t> callStack_;
    std::string what_;
};

// The function called with an NSException that escapes every handler, just before the process
// ends (std::terminate with the exception still current). Null: none.
typedef void NSUncaughtExceptionHandler(const NSException& exception);
NSUncaughtExceptionHandler* NSGetUncaughtExceptionHandler();
void NSSetUncaughtExceptionHandler(NSUncaughtExceptionHandler* handler);
