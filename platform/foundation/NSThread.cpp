#include "platform/foundation/NSThread.h"

#include <atomic>
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
} // namespace

struct NSThread::State {
    std::mutex mutex;
    bool started = false;
    pthread_t handle{};
    bool running = false; // handle is set
    std::atomic<bool> executing{false};
    std::atomic<bool> finished{false};
    std::atomic<bool> cancelled{false};
};

NSThread::NSThread(std::function<void()> block) : block_(std::move(block)), state_(std::make_shared<State>()) {}

bool NSThread::isMainThread() { return ::gettid() == ::getpid(); }

std::shared_ptr<NSThread> NSThread::mainThread() {
    static auto* thread = [] {
        auto made = new std::shared_ptr<NSThread>(std::make_shared<NSThread>(nullptr));
        (*made)->main_ = true;
        (*made)->state_->started = true;
        (*made)->state_->executing = true;
        return made;
    }();
    return *thread;
}

std::shared_ptr<NSThread> NSThread::currentThread() {
    if (isMainThread()) return mainThread();
    if (!currentThreadObject) {
        // A thread this layer did not start (a pool worker, a library's thread).
        currentThreadObject = std::make_shared<NSThread>(nullptr);
        currentThreadObject->state_->started = true;
        currentThreadObject->state_->executing = true;
        currentThreadObject->state_->handle = ::pthread_self();
        currentThreadObject->state_->running = true;
    }
    return currentThreadObject;
}

void NSThread::detachNewThread(std::function<void()> block, const std::string& name) {
    auto thread = std::make_shared<NSThread>(std::move(block));
    if (!name.empty()) thread->setName(name);
    thread->start();
}

void NSThread::start() {
    {
        std::lock_guard<std::mutex> guard(state_->mutex);
        if (state_->started) return;
        state_->started = true;
    }
    state_->executing = true;
    auto self = this->self<NSThread>();
    std::thread worker([self] {
        currentThreadObject = self;
        {
            std::lock_guard<std::mutex> guard(self->state_->mutex);
            self->state_->handle = ::pthread_self();
            self->state_->running = true;
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
    if (seconds > 0) std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}
