#include "platform/foundation/NSRunLoop.h"

#include "platform/foundation/NSPort.h"
#include "platform/foundation/NSTimer.h"
#include "platform/foundation/PlatformClock.h"
#include "platform/foundation/RunLoopActivity.h"
#include "platform/foundation/SharedInstance.h"
#include "platform/foundation/ThreadSafety.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <limits>
#include <map>
#include <mutex>
#include <vector>

#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

const NSRunLoopMode NSDefaultRunLoopMode = "kCFRunLoopDefaultMode";
const NSRunLoopMode NSRunLoopCommonModes = "kCFRunLoopCommonModes";

namespace {
// epoll data of the wake-up eventfd; sources get ids from 1 up.
constexpr std::uint64_t kWakeUpId = 0;
constexpr int kMaxEventsPerPass = 64;

[[noreturn]] void fatal(const char* what) {
    std::fprintf(stderr, "NSRunLoop: %s failed: errno %d\n", what, errno);
    std::abort();
}

int epollEvents(int events) {
    int mask = 0;
    if (events & NSRunLoop::Readable) mask |= EPOLLIN;
    if (events & NSRunLoop::Writable) mask |= EPOLLOUT;
    return mask;
}

// The eventfd that wakes a loop. Shared with the clock observer, which may still be called
// (by an advancing thread) after the loop is gone.
struct Waker {
    int fd;
    Waker() : fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
        if (fd < 0) fatal("eventfd");
    }
    ~Waker() { ::close(fd); }
    Waker(const Waker&) = delete;
    Waker& operator=(const Waker&) = delete;
    void wake() const {
        std::uint64_t one = 1;
        // EAGAIN means the counter is already non-zero: the loop will wake anyway.
        [[maybe_unused]] ssize_t n = ::write(fd, &one, sizeof one);
    }
    void drain() const {
        std::uint64_t value;
        [[maybe_unused]] ssize_t n = ::read(fd, &value, sizeof value);
    }
};

pid_t currentTid() { return ::gettid(); }

thread_local std::shared_ptr<NSRunLoop> threadLoop;

// Performs queued on service loops and not yet run, plus service loops in the middle of a pass.
std::atomic<int> serviceActivity{0};
// Passes of service loops the current thread is in.
thread_local int servicePassDepth = 0;

struct PoolClockWaitHooks {
    Mutex mutex;
    std::function<bool()> begin TD_GUARDED_BY(mutex);
    std::function<void()> end TD_GUARDED_BY(mutex);
};
PoolClockWaitHooks& poolClockWaitHooks() {
    static NeverDestroyed<PoolClockWaitHooks> hooks;
    return *hooks;
}
} // namespace

int RunLoopActivity::busyServiceLoops() { return serviceActivity.load(); }

void RunLoopActivity::setPoolClockWaitHooks(std::function<bool()> begin, std::function<void()> end) {
    auto& hooks = poolClockWaitHooks();
    MutexLock guard(hooks.mutex);
    hooks.begin = std::move(begin);
    hooks.end = std::move(end);
}

RunLoopActivity::ClockWait RunLoopActivity::beginClockWait() {
    ClockWait wait;
    if (servicePassDepth > 0) {
        --serviceActivity;
        wait.servicePass = true;
    }
    std::function<bool()> begin;
    {
        auto& hooks = poolClockWaitHooks();
        MutexLock guard(hooks.mutex);
        begin = hooks.begin;
    }
    wait.poolTask = begin && begin();
    return wait;
}

void RunLoopActivity::endClockWait(const ClockWait& wait) {
    if (wait.servicePass) ++serviceActivity;
    if (!wait.poolTask) return;
    std::function<void()> end;
    {
        auto& hooks = poolClockWaitHooks();
        MutexLock guard(hooks.mutex);
        end = hooks.end;
    }
    if (end) end();
}

struct NSRunLoop::DelayedPerform {
    const NSObject* target;
    std::string selector;
    Value argument;
    std::weak_ptr<NSTimer> timer;
};

struct NSRunLoop::Impl {
    struct Source {
        int fd;
        int events;
        bool inEpoll; // a source waiting for nothing is kept out of epoll, or a hang-up would spin
        bool keepsLoopRunning;
        std::shared_ptr<std::function<void(int, int)>> handler;
    };

    Mutex mutex;
    std::shared_ptr<Waker> waker = std::make_shared<Waker>();
    int epollFd = -1;
    std::atomic<pid_t> owner{0};
    // Every loop but the main one is a service thread's, counted in serviceActivity.
    bool service = true;
    std::uint64_t clockObserver = 0;
    // The clock may ask for the next due timer while the loop goes: it asks through this, which
    // the loop clears on its way out.
    struct DueTimes {
        Mutex mutex;
        Impl* impl TD_GUARDED_BY(mutex) = nullptr;
    };
    std::shared_ptr<DueTimes> dueTimes = std::make_shared<DueTimes>();
    std::uint64_t dueTimeSource = 0;
    std::deque<std::function<void()>> performs TD_GUARDED_BY(mutex);
    std::vector<std::shared_ptr<NSTimer>> timers TD_GUARDED_BY(mutex);
    std::map<SourceId, Source> sources TD_GUARDED_BY(mutex);
    std::vector<std::shared_ptr<NSPort>> ports TD_GUARDED_BY(mutex);
    std::vector<DelayedPerform> delayedPerforms TD_GUARDED_BY(mutex);
    SourceId nextSource TD_GUARDED_BY(mutex) = 1;
    std::atomic<bool> stopRequested{false};

    // Brings the epoll registration in line with the events the source waits for.
    bool watch(SourceId id, Source& source) TD_REQUIRES(mutex) {
        if (source.events == 0) {
            if (source.inEpoll) ::epoll_ctl(epollFd, EPOLL_CTL_DEL, source.fd, nullptr);
            source.inEpoll = false;
            return true;
        }
        epoll_event ev{};
        ev.events = epollEvents(source.events);
        ev.data.u64 = id;
        if (::epoll_ctl(epollFd, source.inEpoll ? EPOLL_CTL_MOD : EPOLL_CTL_ADD, source.fd, &ev) != 0) return false;
        source.inEpoll = true;
        return true;
    }

    // The steps of a pass, in order: wait, serve the ready sources, fire the due timers, run the
    // performs. Each takes the mutex only to copy out what it calls, never across a call.

    // How long the pass may wait in epoll, in milliseconds (-1 for no bound).
    int passTimeoutMs(double realTimeout, double limitWall) {
        const bool manual = PlatformClock::isManual();
        double nextTimer = std::numeric_limits<double>::infinity();
        bool performsWaiting;
        {
            MutexLock guard(mutex);
            performsWaiting = !performs.empty();
            for (const auto& timer : timers) nextTimer = std::min(nextTimer, timer->scheduledFireTime());
        }
        // The wait in seconds, infinity for none. Manual time only moves by advance(), which wakes
        // the loop, so under a manual clock platform-time bounds never shorten the wait.
        double wait = realTimeout < 0 ? std::numeric_limits<double>::infinity() : realTimeout;
        if (performsWaiting) wait = 0;
        const double nowMonotonic = PlatformClock::monotonic();
        if (nextTimer <= nowMonotonic) wait = 0;
        else if (!manual && std::isfinite(nextTimer)) wait = std::min(wait, nextTimer - nowMonotonic);
        if (!std::isnan(limitWall)) {
            const double nowWall = PlatformClock::now();
            if (limitWall <= nowWall) wait = 0;
            else if (!manual) wait = std::min(wait, limitWall - nowWall);
        }
        if (!std::isfinite(wait)) return -1;
        constexpr double kMaxWaitMs = 24.0 * 3600 * 1000;
        return static_cast<int>(std::ceil(std::min(std::max(wait, 0.0) * 1000, kMaxWaitMs)));
    }

    // The number of events epoll filled in; an interrupted wait has none.
    int waitForEvents(epoll_event* events, int timeoutMs) const {
        int count = ::epoll_wait(epollFd, events, kMaxEventsPerPass, timeoutMs);
        if (count < 0) {
            if (errno != EINTR) fatal("epoll_wait");
            count = 0;
        }
        return count;
    }

    // Calls the handler of each source the events name; true when one was called.
    bool serveReadySources(const epoll_event* events, int count) {
        bool served = false;
        for (int i = 0; i < count; ++i) {
            // The kernel's event record is packed: its identifier is read by value, never bound to a
            // reference at an address it is not aligned for.
            const std::uint64_t id = events[i].data.u64;
            if (id == kWakeUpId) {
                waker->drain();
                continue;
            }
            std::shared_ptr<std::function<void(int, int)>> handler;
            int fd = -1;
            int ready = 0;
            {
                MutexLock guard(mutex);
                auto it = sources.find(id);
                if (it == sources.end()) continue;
                fd = it->second.fd;
                // Errors and hang-ups are reported as the events the source waits for, so that the
                // handler's read or write sees the condition.
                const std::uint32_t got = events[i].events;
                if (got & (EPOLLIN | EPOLLHUP | EPOLLERR)) ready |= it->second.events & Readable;
                if (got & (EPOLLOUT | EPOLLHUP | EPOLLERR)) ready |= it->second.events & Writable;
                handler = it->second.handler;
            }
            if (ready == 0) continue;
            (*handler)(fd, ready);
            served = true;
        }
        return served;
    }

    // Fires the timers due on the platform clock, in the order of their fire times (ties in the
    // order they were added); true when one fired.
    bool fireDueTimers() {
        std::vector<std::pair<double, std::shared_ptr<NSTimer>>> due;
        {
            const double now = PlatformClock::monotonic();
            MutexLock guard(mutex);
            for (const auto& timer : timers) {
                double at = timer->scheduledFireTime();
                if (at <= now) due.emplace_back(at, timer);
            }
        }
        std::stable_sort(due.begin(), due.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        for (auto& [at, timer] : due) timer->fireFromRunLoop();
        return !due.empty();
    }

    // Runs the performs queued before it starts, not those they queue, so that a perform that
    // queues another does not starve the loop's other sources; true when one ran.
    bool runQueuedPerforms() {
        std::size_t toRun;
        {
            MutexLock guard(mutex);
            toRun = performs.size();
        }
        bool ran = false;
        for (std::size_t i = 0; i < toRun; ++i) {
            std::function<void()> block;
            {
                MutexLock guard(mutex);
                if (performs.empty()) break;
                block = std::move(performs.front());
                performs.pop_front();
            }
            // Off the queue: the pass it runs in counts the loop as busy while it runs.
            if (service) --serviceActivity;
            block();
            ran = true;
        }
        return ran;
    }
};

namespace {
// A service loop counts as busy while it is in a pass.
struct RunLoopServicePass {
    bool service;
    explicit RunLoopServicePass(bool isService) : service(isService) {
        if (!service) return;
        ++serviceActivity;
        ++servicePassDepth;
    }
    ~RunLoopServicePass() {
        if (!service) return;
        --serviceActivity;
        --servicePassDepth;
    }
    RunLoopServicePass(const RunLoopServicePass&) = delete;
    RunLoopServicePass& operator=(const RunLoopServicePass&) = delete;
};
} // namespace

NSRunLoop::NSRunLoop() : impl_(std::make_unique<Impl>()) {
    impl_->epollFd = ::epoll_create1(EPOLL_CLOEXEC);
    if (impl_->epollFd < 0) fatal("epoll_create1");
    epoll_event ev{};
    ev.events = EPOLLIN;
    ev.data.u64 = kWakeUpId;
    if (::epoll_ctl(impl_->epollFd, EPOLL_CTL_ADD, impl_->waker->fd, &ev) != 0) fatal("epoll_ctl");
    // A change of manual time must make every loop re-examine its timers.
    impl_->clockObserver = PlatformClock::addObserver([waker = impl_->waker] { waker->wake(); });
    impl_->dueTimes->impl = impl_.get();
    impl_->dueTimeSource = PlatformClock::addDueTimeSource([dueTimes = impl_->dueTimes](double after) {
        double earliest = std::numeric_limits<double>::infinity();
        MutexLock alive(dueTimes->mutex);
        Impl* d = dueTimes->impl;
        if (!d) return earliest;
        MutexLock guard(d->mutex);
        for (const auto& timer : d->timers) {
            const double at = timer->scheduledFireTime();
            if (at > after) earliest = std::min(earliest, at);
        }
        return earliest;
    });
    impl_->owner = currentTid();
}

NSRunLoop::~NSRunLoop() {
    if (impl_->service) {
        MutexLock guard(impl_->mutex);
        serviceActivity -= static_cast<int>(impl_->performs.size());
    }
    PlatformClock::removeDueTimeSource(impl_->dueTimeSource);
    {
        MutexLock guard(impl_->dueTimes->mutex);
        impl_->dueTimes->impl = nullptr;
    }
    PlatformClock::removeObserver(impl_->clockObserver);
    ::close(impl_->epollFd);
}

std::shared_ptr<NSRunLoop> NSRunLoop::mainRunLoop() {
    // Never destroyed: other threads may post to the main loop while the process exits.
    static NeverDestroyed<std::shared_ptr<NSRunLoop>> loop([] {
        auto made = std::make_shared<NSRunLoop>();
        made->impl_->owner = ::getpid();
        made->impl_->service = false;
        return made;
    }());
    return *loop;
}

std::shared_ptr<NSRunLoop> NSRunLoop::currentRunLoop() {
    if (currentTid() == ::getpid()) return mainRunLoop();
    if (!threadLoop) threadLoop = std::make_shared<NSRunLoop>();
    return threadLoop;
}

void NSRunLoop::bindToCurrentThread() {
    impl_->owner = currentTid();
    threadLoop = self<NSRunLoop>();
}

bool NSRunLoop::isCurrent() const { return impl_->owner == currentTid(); }

void NSRunLoop::performBlock(std::function<void()> block) {
    {
        MutexLock guard(impl_->mutex);
        impl_->performs.push_back(std::move(block));
        if (impl_->service) ++serviceActivity;
    }
    impl_->waker->wake();
}

std::shared_ptr<NSTimer> NSRunLoop::performAfterDelay(NSTimeInterval delay, std::function<void()> block) {
    auto timer = NSTimer::timerWithTimeInterval(delay, false,
                                                [block = std::move(block)](const std::shared_ptr<NSTimer>&) { block(); });
    addTimer(timer);
    return timer;
}

std::shared_ptr<NSTimer> NSRunLoop::performAfterDelay(NSTimeInterval delay, const NSObject* target,
                                                     const std::string& selector, std::function<void()> block) {
    return performAfterDelay(delay, target, selector, Value(), std::move(block));
}

std::shared_ptr<NSTimer> NSRunLoop::performAfterDelay(NSTimeInterval delay, const NSObject* target,
                                                     const std::string& selector, const Value& argument,
                                                     std::function<void()> block) {
    auto timer = performAfterDelay(delay, std::move(block));
    MutexLock guard(impl_->mutex);
    auto& list = impl_->delayedPerforms;
    // Performs that ran or were cancelled leave expired or invalid timers behind.
    list.erase(std::remove_if(list.begin(), list.end(),
                              [](const auto& p) {
                                  auto t = p.timer.lock();
                                  return !t || !t->isValid();
                              }),
               list.end());
    list.push_back({target, selector, argument, timer});
    return timer;
}

void NSRunLoop::cancelPerformRequests(const NSObject* target, const std::string& selector) {
    cancelMatching([&](const DelayedPerform& p) {
        return p.target == target && (selector.empty() || p.selector == selector);
    });
}

void NSRunLoop::cancelPerformRequests(const NSObject* target, const std::string& selector, const Value& argument) {
    cancelMatching([&](const DelayedPerform& p) {
        return p.target == target && p.selector == selector && p.argument == argument;
    });
}

void NSRunLoop::cancelMatching(const std::function<bool(const DelayedPerform&)>& matches) {
    std::vector<std::shared_ptr<NSTimer>> cancelled;
    {
        MutexLock guard(impl_->mutex);
        auto& list = impl_->delayedPerforms;
        for (const auto& p : list) {
            if (!matches(p)) continue;
            if (auto timer = p.timer.lock()) cancelled.push_back(timer);
        }
        list.erase(std::remove_if(list.begin(), list.end(), matches), list.end());
    }
    for (const auto& timer : cancelled) timer->invalidate();
}

void NSRunLoop::addTimer(const std::shared_ptr<NSTimer>& timer, const NSRunLoopMode&) {
    if (!timer || !timer->attachToRunLoop(self<NSRunLoop>())) return;
    {
        MutexLock guard(impl_->mutex);
        if (std::find(impl_->timers.begin(), impl_->timers.end(), timer) != impl_->timers.end()) return;
        impl_->timers.push_back(timer);
    }
    wakeUp();
}

void NSRunLoop::removeTimer(const NSTimer* timer) {
    MutexLock guard(impl_->mutex);
    auto& list = impl_->timers;
    list.erase(std::remove_if(list.begin(), list.end(), [timer](const auto& t) { return t.get() == timer; }), list.end());
}

void NSRunLoop::addPort(const std::shared_ptr<NSPort>& port, const NSRunLoopMode&) {
    if (!port) return;
    MutexLock guard(impl_->mutex);
    if (std::find(impl_->ports.begin(), impl_->ports.end(), port) == impl_->ports.end()) impl_->ports.push_back(port);
}

void NSRunLoop::removePort(const std::shared_ptr<NSPort>& port, const NSRunLoopMode&) {
    {
        MutexLock guard(impl_->mutex);
        std::erase(impl_->ports, port);
    }
    // A run() waiting on this port alone must see that it is gone.
    wakeUp();
}

NSRunLoop::SourceId NSRunLoop::addFileDescriptor(int fd, int events, std::function<void(int fd, int events)> handler,
                                                 bool keepsLoopRunning) {
    MutexLock guard(impl_->mutex);
    SourceId id = impl_->nextSource++;
    Impl::Source source{fd, events, false, keepsLoopRunning, std::make_shared<std::function<void(int, int)>>(std::move(handler))};
    // One source per descriptor: epoll refuses a second registration of the same one.
    if (!impl_->watch(id, source)) {
        // A descriptor of a kind that cannot be watched (a regular file, /dev/null, a folder) is
        // the caller's to read in order: it is told by the 0, without a message.
        if (errno != EPERM) std::fprintf(stderr, "NSRunLoop: cannot watch descriptor %d: errno %d\n", fd, errno);
        return 0;
    }
    impl_->sources[id] = std::move(source);
    return id;
}

void NSRunLoop::updateFileDescriptor(SourceId source, int events) {
    MutexLock guard(impl_->mutex);
    auto it = impl_->sources.find(source);
    if (it == impl_->sources.end()) return;
    it->second.events = events;
    impl_->watch(source, it->second);
}

void NSRunLoop::removeFileDescriptor(SourceId source) {
    MutexLock guard(impl_->mutex);
    auto it = impl_->sources.find(source);
    if (it == impl_->sources.end()) return;
    // The descriptor may already be closed (epoll then forgot it by itself); events of a removed
    // source still pending in a pass are dropped because its id is gone.
    if (it->second.inEpoll) ::epoll_ctl(impl_->epollFd, EPOLL_CTL_DEL, it->second.fd, nullptr);
    impl_->sources.erase(it);
}

bool NSRunLoop::runPass(double realTimeout, double limitWall) {
    Impl& d = *impl_;
    epoll_event events[kMaxEventsPerPass];
    const int count = d.waitForEvents(events, d.passTimeoutMs(realTimeout, limitWall));
    // A service loop counts as busy from here to the end of the pass.
    const RunLoopServicePass servicePass(d.service);
    bool didWork = d.serveReadySources(events, count);
    didWork |= d.fireDueTimers();
    didWork |= d.runQueuedPerforms();
    return didWork;
}

bool NSRunLoop::hasScheduledWork() const {
    MutexLock guard(impl_->mutex);
    if (!impl_->performs.empty() || !impl_->ports.empty() || !impl_->timers.empty()) return true;
    return std::any_of(impl_->sources.begin(), impl_->sources.end(), [](const auto& entry) { return entry.second.keepsLoopRunning; });
}

void NSRunLoop::run() {
    while (!impl_->stopRequested.exchange(false) && hasScheduledWork()) runPass(-1, std::nan(""));
}

void NSRunLoop::runUntilDate(const std::shared_ptr<NSDate>& limitDate) {
    const double limit = limitDate ? limitDate->timeIntervalSince1970() : PlatformClock::now();
    while (!impl_->stopRequested.exchange(false)) {
        runPass(-1, limit);
        if (PlatformClock::now() >= limit) return;
    }
}

bool NSRunLoop::runModeBeforeDate(const NSRunLoopMode&, const std::shared_ptr<NSDate>& limitDate) {
    {
        MutexLock guard(impl_->mutex);
        if (impl_->performs.empty() && impl_->timers.empty() && impl_->sources.empty()) return false;
    }
    runPass(-1, limitDate ? limitDate->timeIntervalSince1970() : PlatformClock::now());
    return true;
}

bool NSRunLoop::runOnce(double timeout) { return runPass(std::max(timeout, 0.0), std::nan("")); }

void NSRunLoop::stop() {
    impl_->stopRequested = true;
    wakeUp();
}

void NSRunLoop::wakeUp() { impl_->waker->wake(); }
