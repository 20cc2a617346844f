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

    // Blocks the calling thread for `seconds` of the platform clock. On the real clock it sleeps
    // that long. On the manual clock it ends once the clock has been moved to its end or past it:
    // every move of the clock wakes it to look, and a return to the real clock sleeps what was
    // left in real time. Meanwhile letting the queues settle does not wait for the sleeping thread
    // (it waits for time, which only a move of the clock brings), and the move that ends the sleep
    // counts it as busy again before it settles. On the main thread of a manual clock no one else
    // moves the clock (it is stepped from the main thread), so waiting there would never end:
    // the sleep moves the clock to its end itself, as the time the main thread spends blocked
    // passes for the rest of the device; what fell due meanwhile fires late, the main loop's own
    // once the sleep has returned.
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
