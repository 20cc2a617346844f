#pragma once
// Run loops: one per thread, created on first use. A run loop waits on epoll (with an eventfd to
// wake it) and serves, in each pass: file-descriptor sources that are ready, timers that are due
// on the platform clock, and performs in the order they were queued. The main run loop belongs
// to the process's main thread; its performs also drain the main dispatch queue.

#include "platform/foundation/NSDate.h"
#include "platform/foundation/NSObject.h"
#include "platform/foundation/Value.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class NSPort;
class NSTimer;

using NSRunLoopMode = std::string;
// Modes are accepted for the design's sake; every source is served in every mode (the headless
// device has no tracking mode that would hold sources back).
extern const NSRunLoopMode NSDefaultRunLoopMode;  // "kCFRunLoopDefaultMode"
extern const NSRunLoopMode NSRunLoopCommonModes;  // "kCFRunLoopCommonModes"

class NSRunLoop : public NSObject {
public:
    using SourceId = std::uint64_t;
    enum FileDescriptorEvents : int { Readable = 1, Writable = 2 };

    static std::shared_ptr<NSRunLoop> currentRunLoop();
    static std::shared_ptr<NSRunLoop> mainRunLoop();

    // Queues a block to run on this loop's thread in FIFO order; thread-safe, wakes the loop.
    void performBlock(std::function<void()> block);
    // A delayed perform (-performSelector:withObject:afterDelay:): a one-shot timer on this loop.
    // Invalidate the returned timer to cancel it.
    std::shared_ptr<NSTimer> performAfterDelay(NSTimeInterval delay, std::function<void()> block);
    // The same, remembered under a target and a selector (name it with its argument when the
    // argument matters) so that cancelPerformRequests can find it.
    std::shared_ptr<NSTimer> performAfterDelay(NSTimeInterval delay, const NSObject* target, const std::string& selector,
                                               std::function<void()> block);
    // The same with the perform's argument, for cancelling by an equal argument.
    std::shared_ptr<NSTimer> performAfterDelay(NSTimeInterval delay, const NSObject* target, const std::string& selector,
                                               const Value& argument, std::function<void()> block);
    // +cancelPreviousPerformRequestsWithTarget:(selector:): cancels the pending delayed performs
    // of the target on this loop, those of one selector when it is given, whatever their argument.
    void cancelPerformRequests(const NSObject* target, const std::string& selector = {});
    // +cancelPreviousPerformRequestsWithTarget:selector:object:: only those of the target and
    // selector whose argument equals the given one (a perform made without one has a null argument).
    void cancelPerformRequests(const NSObject* target, const std::string& selector, const Value& argument);

    void addTimer(const std::shared_ptr<NSTimer>& timer, const NSRunLoopMode& mode = NSDefaultRunLoopMode);

    // Ports keep run() going while they are added; adding one twice counts once. Thread-safe.
    void addPort(const std::shared_ptr<NSPort>& port, const NSRunLoopMode& mode);
    void removePort(const std::shared_ptr<NSPort>& port, const NSRunLoopMode& mode);

    // Watches a descriptor for the given events; the handler gets the descriptor and the events
    // that are ready (a hang-up or error shows as the events watched for, so the handler's read or
    // write meets it). Thread-safe; the handler always runs on this loop's thread. One source per
    // descriptor and loop; 0 when the descriptor cannot be watched. Remove the source before
    // closing the descriptor. A source that does not keep the loop running is served while the
    // loop runs for other reasons (a URL loader's idle sockets and timer), but run() does not
    // wait for it alone.
    SourceId addFileDescriptor(int fd, int events, std::function<void(int fd, int events)> handler,
                               bool keepsLoopRunning = true);
    void updateFileDescriptor(SourceId source, int events);
    void removeFileDescriptor(SourceId source);

    // Runs for as long as anything is scheduled in the loop: a port, a source that keeps it
    // running, a timer or a queued perform; returns once none is left (at once when there is
    // nothing), or when stop() is called. A stop() that comes before the loop runs ends the next
    // run at once, so a stop from another thread is never lost.
    void run();
    // Runs until the date has passed or stop() is called.
    void runUntilDate(const std::shared_ptr<NSDate>& limitDate);
    // One pass: waits at most until the date for something to do, does what is ready, returns.
    // Returns false when the loop has no sources, timers or performs at all.
    bool runModeBeforeDate(const NSRunLoopMode& mode, const std::shared_ptr<NSDate>& limitDate);
    // One pass waiting at most `timeout` seconds of real time; true when anything was done.
    bool runOnce(double timeout);
    void stop();
    void wakeUp();

    bool isCurrent() const;

    NSRunLoop();
    ~NSRunLoop() override;

private:
    // One pass; `realTimeout` < 0 waits without a real-time bound, `limitWall` (platform wall
    // seconds, NaN for none) bounds the wait on the platform clock. True when anything was done.
    bool runPass(double realTimeout, double limitWall);
    // Whether a port, a source that keeps the loop running, a timer or a perform is there.
    bool hasScheduledWork() const;
    void removeTimer(const NSTimer* timer);
    struct DelayedPerform;
    void cancelMatching(const std::function<bool(const DelayedPerform&)>& matches);
    // Makes this loop the calling thread's run loop (a thread made by NSThread gets its loop
    // before it starts, so that performs queued meanwhile are not lost).
    void bindToCurrentThread();
    friend class NSThread;
    struct Impl;
    std::unique_ptr<Impl> impl_;
    friend class NSTimer;
};
