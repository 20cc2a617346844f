#pragma once
// Threads. The main thread is the process's first thread.

#include "platform/foundation/NSObject.h"

#include <functional>
#include <memory>
#include <string>

class NSRunLoop;

class NSThread : public NSObject {
public:
    static bool isMainThread();
    static std::shared_ptr<NSThread> currentThread();
    static std::shared_ptr<NSThread> mainThread();
    // Starts a detached thread that runs the block.
    static void detachNewThread(std::function<void()> block, const std::string& name = {});
    // Starts a thread that runs its run loop for the rest of the process, and returns it once the
    // loop is bound to it: the home of a service every caller shares (a network thread).
    static std::shared_ptr<NSThread> startServiceThread(const std::string& name);

    explicit NSThread(std::function<void()> block);
    void start();
    const std::string& name() const { return name_; }
    void setName(const std::string& name);
    bool isMain() const { return main_; }
    bool isExecuting() const;
    bool isFinished() const;
    bool isCancelled() const;
    void cancel();

    static void sleepForTimeInterval(double seconds);

    // -performSelector:onThread:withObject:waitUntilDone: (and ...OnMainThread: on mainThread()):
    // queues the block on the thread's run loop, which the thread must be running. With `wait`,
    // returns once the block ran; on the thread itself the block then runs at once.
    void performBlock(std::function<void()> block, bool waitUntilDone = false);
    // The run loop of this thread (made when the thread started or first asked for it).
    std::shared_ptr<NSRunLoop> runLoop() const;

private:
    std::function<void()> block_;
    std::string name_;
    bool main_ = false;
    struct State;
    std::shared_ptr<State> state_;
};
