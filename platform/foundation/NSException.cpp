#include "platform/foundation/NSException.h"

#include <atomic>
#include <cstdlib>
#include <execinfo.h>
#include <mutex>

const std::string NSGenericException = "NSGenericException";
const std::string NSRangeException = "NSRangeException";
const std::string NSInvalidArgumentException = "NSInvalidArgumentException";
const std::string NSInternalInconsistencyException = "NSInternalInconsistencyException";
const std::string NSMallocException = "NSMallocException";
const std::string NSInvalidUnarchiveOperationException = "NSInvalidUnarchiveOperationException";
const std::string NSFileHandleOperationException = "NSFileHandleOperationException";

NSException::NSException(std::string name, std::string reason, Value::Dictionary userInfo)
    : name_(std::move(name)), reason_(std::move(reason)), userInfo_(std::move(userInfo)), what_(name_ + ": " + reason_) {
    void* frames[64];
    int count = backtrace(frames, 64);
    // The first frame is this constructor.
    for (int i = 1; i < count; ++i) callStack_.push_back(reinterpret_cast<std::uintptr_t>(frames[i]));
}

void NSException::raise(std::string name, std::string reason) { throw NSException(std::move(name), std::move(reason)); }

namespace {

std::atomic<NSUncaughtExceptionHandler*> uncaughtExceptionHandler{nullptr};
std::terminate_handler previousTerminateHandler = nullptr;

// Runs when an exception escapes: an NSException goes to the uncaught exception handler first.
[[noreturn]] void terminateWithUncaughtException() {
    if (std::exception_ptr escaping = std::current_exception()) {
        try {
            std::rethrow_exception(escaping);
        } catch (const NSException& exception) {
            if (NSUncaughtExceptionHandler* handler = uncaughtExceptionHandler.load()) handler(exception);
        } catch (...) {
        }
    }
    if (previousTerminateHandler) previousTerminateHandler();
    std::abort();
}

} // namespace

NSUncaughtExceptionHandler* NSGetUncaughtExceptionHandler() { return uncaughtExceptionHandler.load(); }

void NSSetUncaughtExceptionHandler(NSUncaughtExceptionHandler* handler) {
    static std::once_flag installed;
    std::call_once(installed, [] { previousTerminateHandler = std::set_terminate(terminateWithUncaughtException); });
    uncaughtExceptionHandler.store(handler);
}
