#include "platform/foundation/NSThread.h"

#include "platform/foundation/NSPort.h"

#include "platform/foundation/NSRunLoop.h"
#include "platform/foundation/PlatformClock.h"
#include "platform/foundation/RunLoopActivity.h"
#include "platform/foundation/ScopedAlternateSignalStack.h"
#include "platform/foundation/SharedInstance.h"
#include "platform/foundation/ThreadSafety.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <chrono>
#include <fstream>
#include <mutex>
#include <thread>

#include <pthread.h>
#include <unistd.h>

namespace {
// Linux keeps at most 15 bytes of a thread's name (16 with the terminator).
constexpr std::size_t kOsThreadNameMax = 15;

void setOsThreadName(pthread_t thread, const std::string& name) {
    std::string shortName = name.substr(0, kOsThreadNameMax);
    ::pthread_setname_np(thread, shortName.c_str());
}

thread_local std::shared_ptr<NSThread> currentThreadObject;

// A sleep on the manual clock, shared with the clock observer that ends it (which may still be
// called after the sleeper left).
struct ManualClockSleep {
    Mutex mutex;
    std::condition_variable_any woken;
    double end = 0; // on the monotonic clock
    // What is left of it, as of the last look: slept in real time if the clock returns to it.
    double left TD_GUARDED_BY(mutex) = 0;
    bool over TD_GUARDED_BY(mutex) = false;
    // Whether the sleeper's wait was handed off (RunLoopActivity::beginClockWait), and so must be
    // given back by the look that ends it; set once, before the clock can end it.
    bool handedOff TD_GUARDED_BY(mutex) = false;
    RunLoopActivity::ClockWait wait;

    // Looks at the clock; true when this look ended the sleep (its caller then gives back the wait).
    bool lookAtClock() TD_REQUIRES(mutex) {
        if (over) return false;
        if (PlatformClock::isManual()) {
            left = std::max(0.0, end - PlatformClock::monotonic());
            if (left > 0) return false;
        }
        over = true;
        return true;
    }
};

void sleepOnManualClock(double seconds) {
    auto sleep = std::make_shared<ManualClockSleep>();
    sleep->end = PlatformClock::monotonic() + seconds;
    std::weak_ptr<ManualClockSleep> weak = sleep;
    // The observer is in place before the wait is handed off: from that moment settling may
    // return and the clock be moved past the end.
    const std::uint64_t observer = PlatformClock::addObserver([weak] {
        auto seen = weak.lock();
        if (!seen) return;
        bool ended;
        {
            MutexLock guard(seen->mutex);
            ended = seen->lookAtClock() && seen->handedOff;
        }
        // Counted as busy again before the advance that ended the sleep goes on to settle.
        if (ended) RunLoopActivity::endClockWait(seen->wait);
        seen->woken.notify_all();
    });
    double left;
    {
        MutexLock guard(sleep->mutex);
        if (!sleep->lookAtClock()) {
            sleep->wait = RunLoopActivity::beginClockWait();
            sleep->handedOff = true;
        }
        while (!sleep->over) sleep->woken.wait(sleep->mutex);
        left = sleep->left;
    }
    PlatformClock::removeObserver(observer);
    if (left > 0) std::this_thread::sleep_for(std::chrono::duration<double>(left));
}
} // namespace

struct NSThread::State {
    std::mutex mutex;
    bool started = false;
    pthread_t handle{};
    bool running = false; // handle is set
    pid_t tid = 0;
    std::shared_ptr<NSRunLoop> runLoop;
    std::atomic<bool> executing{false};
    std::atomic<bool> finished{false};
    std::atomic<bool> cancelled{false};
};

NSThread::NSThread(std::function<void()> block) : block_(std::move(block)), state_(std::make_shared<State>()) {}

bool NSThread::isMainThread() { return ::gettid() == ::getpid(); }

std::shared_ptr<NSThread> NSThread::mainThread() {
    static NeverDestroyed<std::shared_ptr<NSThread>> thread([] {
        auto made = std::make_shared<NSThread>(nullptr);
        made->main_ = true;
        made->state_->started = true;
        made->state_->executing = true;
        made->state_->tid = ::getpid();
        made->state_->runLoop = NSRunLoop::mainRunLoop();
        return made;
    }());
    return *thread;
}

std::shared_ptr<NSThread> NSThread::currentThread() {
    if (isMainThread()) return mainThread();
    if (!currentThreadObject) {
        // A thread this layer did not start (a pool worker, a library's thread).
        currentThreadObject = std::make_shared<NSThread>(nullptr);
        auto& state = *currentThreadObject->state_;
        state.started = true;
        state.executing = true;
        state.handle = ::pthread_self();
        state.running = true;
        state.tid = ::gettid();
        state.runLoop = NSRunLoop::currentRunLoop();
    }
    return currentThreadObject;
}

void NSThread::detachNewThread(std::function<void()> block, const std::string& name) {
    auto thread = std::make_shared<NSThread>(std::move(block));
    if (!name.empty()) thread->setName(name);
    thread->start();
}

std::shared_ptr<NSThread> NSThread::startServiceThread(const std::string& name) {
    std::mutex mutex;
    std::condition_variable ready;
    bool running = false;
    auto thread = std::make_shared<NSThread>([&] {
        auto loop = NSRunLoop::currentRunLoop();
        {
            // Notified under the lock: the waiter's condition variable lives on its stack.
            std::lock_guard guard(mutex);
            running = true;
            ready.notify_all();
        }
        // The port keeps the loop running for good: it serves the whole process.
        loop->addPort(NSPort::port(), NSDefaultRunLoopMode);
        for (;;) loop->run();
    });
    thread->setName(name);
    thread->start();
    std::unique_lock lock(mutex);
    ready.wait(lock, [&] { return running; });
    return thread;
}

void NSThread::start() {
    {
        std::lock_guard<std::mutex> guard(state_->mutex);
        if (state_->started) return;
        state_->started = true;
        if (!state_->runLoop) state_->runLoop = std::make_shared<NSRunLoop>();
    }
    state_->executing = true;
    auto self = this->self<NSThread>();
    std::thread worker([self] {
        ScopedAlternateSignalStack alternateSignalStack;
        currentThreadObject = self;
        {
            std::lock_guard<std::mutex> guard(self->state_->mutex);
            self->state_->handle = ::pthread_self();
            self->state_->running = true;
            self->state_->tid = ::gettid();
            self->state_->runLoop->bindToCurrentThread();
            if (!self->name_.empty()) setOsThreadName(::pthread_self(), self->name_);
        }
        if (self->block_) self->block_();
        {
            std::lock_guard<std::mutex> guard(self->state_->mutex);
            self->state_->running = false;
        }
        self->state_->executing = false;
        self->state_->finished = true;
        currentThreadObject.reset();
    });
    worker.detach();
}

void NSThread::setName(const std::string& name) {
    std::lock_guard<std::mutex> guard(state_->mutex);
    name_ = name;
    if (main_) {
        if (isMainThread()) {
            setOsThreadName(::pthread_self(), name);
        } else {
            std::ofstream comm("/proc/self/task/" + std::to_string(::getpid()) + "/comm");
            comm << name.substr(0, kOsThreadNameMax);
        }
        return;
    }
    if (state_->running) setOsThreadName(state_->handle, name);
}

bool NSThread::isExecuting() const { return state_->executing; }
bool NSThread::isFinished() const { return state_->finished; }
bool NSThread::isCancelled() const { return state_->cancelled; }
void NSThread::cancel() { state_->cancelled = true; }

void NSThread::sleepForTimeInterval(double seconds) {
    if (!(seconds > 0)) return;
    if (!PlatformClock::isManual()) {
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
        return;
    }
    if (isMainThread()) {
        PlatformClock::advanceTo(PlatformClock::monotonic() + seconds);
        return;
    }
    sleepOnManualClock(seconds);
}

std::shared_ptr<NSRunLoop> NSThread::runLoop() const {
    std::lock_guard<std::mutex> guard(state_->mutex);
    return state_->runLoop;
}

void NSThread::performBlock(std::function<void()> block, bool waitUntilDone) {
    pid_t tid;
    std::shared_ptr<NSRunLoop> loop;
    {
        std::lock_guard<std::mutex> guard(state_->mutex);
        tid = state_->tid;
        // Not started yet: the loop it will run keeps the block until then.
        if (!state_->started && !state_->runLoop) state_->runLoop = std::make_shared<NSRunLoop>();
        loop = state_->runLoop;
    }
    if (waitUntilDone && tid == ::gettid()) {
        block();
        return;
    }
    if (!waitUntilDone) {
        loop->performBlock(std::move(block));
        return;
    }
    struct Done {
        std::mutex mutex;
        std::condition_variable condition;
        bool done = false;
    };
    auto done = std::make_shared<Done>();
    std::exception_ptr failure;
    loop->performBlock([&block, &failure, done] {
        try {
            block();
        } catch (...) {
            failure = std::current_exception();
        }
        std::lock_guard<std::mutex> guard(done->mutex);
        done->done = true;
        done->condition.notify_all();
    });
    std::unique_lock<std::mutex> lock(done->mutex);
    done->condition.wait(lock, [&] { return done->done; });
    lock.unlock();
    if (failure) std::rethrow_exception(failure);
}
