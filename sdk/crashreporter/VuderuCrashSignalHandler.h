#pragma once
// One process-wide handler for each fatal signal the reporter monitors. The handler runs on a
// private alternate stack and passes each signal along a chain of callbacks: the callbacks that
// were registered (newest first), then one entry per registration that hands the signal to the
// action that was installed before ours. Signal numbers here are the host's.

#include "platform/foundation/NSError.h"
#include "platform/foundation/NSObject.h"
#include "sdk/crashreporter/VuderuCrashAsyncLinkedList.h"

#include <csignal>
#include <memory>
#include <ucontext.h>

// The forward handle given to each callback: the function that continues the chain and its
// context (the current node).
struct VuderuCrashSignalHandlerCallback {
    bool (*callback)(int signo, siginfo_t* info, ucontext_t* uap, void* context);
    void* context;
};

// A chain callback; returns whether it handled the signal. To let later callbacks run, it calls
// VuderuCrashSignalHandlerForward with `next`, which is null for the last callback.
typedef bool (*VuderuCrashSignalHandlerCallbackFunc)(int signo, siginfo_t* info, ucontext_t* uap, void* context,
                                                     VuderuCrashSignalHandlerCallback* next);

struct vdcrash_signal_user_callback {
    VuderuCrashSignalHandlerCallbackFunc callback;
    void* context;
};

struct vdcrash_signal_handler_action {
    int signo;
    struct sigaction action;
};

// Continues the chain; NO with a null handle.
bool VuderuCrashSignalHandlerForward(VuderuCrashSignalHandlerCallback* next, int signo, siginfo_t* info,
                                     ucontext_t* uap);

// The sa_sigaction entry installed for every registered signal.
void vuderu_crash_signal_handler(int signo, siginfo_t* info, void* uapVoid);

class VuderuCrashSignalHandler : public NSObject {
public:
    // The one shared instance; null only when its alternate stack could not be allocated.
    static std::shared_ptr<VuderuCrashSignalHandler> sharedHandler();

    // Installs our handler for the signal (once) and puts {callback, context} at the head of the
    // chain.
    bool registerHandlerForSignalCallbackContextError(int signo, VuderuCrashSignalHandlerCallbackFunc callback,
                                                      void* context, NSErrorPtr* error);
    // Installs our handler for one signal and records the action it replaces.
    bool registerHandlerWithSignalError(int signo, NSErrorPtr* error);

    // Forgets every callback and every recorded previous action; the installed handlers stay.
    static void resetHandlers();

    VuderuCrashSignalHandler();
    ~VuderuCrashSignalHandler() override;
    bool hasStack() const { return sigstk_.ss_sp != nullptr; }

private:
    stack_t sigstk_{};
};
