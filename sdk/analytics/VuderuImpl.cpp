#include "sdk/analytics/VuderuImpl.h"

#include "platform/foundation/NSRunLoop.h"
#include "platform/foundation/SharedInstance.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIDevice.h"
#include "sdk/analytics/VuderuDataSender.h"
#include "sdk/analytics/VuderuUtil.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <vector>

namespace {

constexpr double kCleanupPollSeconds = 0.1;

} // namespace

std::shared_ptr<VuderuImpl> VuderuImpl::instance() {
    return SharedInstance<VuderuImpl>::slot().getOrMake([] { return std::make_shared<VuderuImpl>(); });
}

void VuderuImpl::cleanup() {
    std::shared_ptr<VuderuImpl> instance = SharedInstance<VuderuImpl>::slot().get();
    if (!instance) return;
    if (instance->queue_) {
        auto drained = dispatch_semaphore_create(0);
        dispatch_async(instance->queue_, [drained] {
            dispatch_semaphore_signal(drained);
            // Wakes the main loop below, whose time limit never comes on a stopped (manual) clock.
            dispatch_async(dispatch_get_main_queue(), [] {});
        });
        // The queued work may wait for the main thread (uploads start there), so it keeps running.
        while (dispatch_semaphore_wait(drained, DISPATCH_TIME_NOW) != 0) {
            NSRunLoop::currentRunLoop()->runModeBeforeDate(NSDefaultRunLoopMode, NSDate::dateWithTimeIntervalSinceNow(kCleanupPollSeconds));
        }
    }
    SharedInstance<VuderuImpl>::slot().takeIf(instance);
}

bool VuderuImpl::waitForUploadsInFlight(double seconds) {
    if (!queue_) return true;
    // Uploads end on the network thread in real time, whatever the platform clock does (a stopped
    // script clock included), so the bound is real time too.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    auto loop = NSRunLoop::currentRunLoop();
    for (;;) {
        // The sender's uploads, as the queue sees them; `looked` is set once `running` is filled.
        auto looked = std::make_shared<std::atomic<bool>>(false);
        auto running = std::make_shared<std::vector<VuderuHttpAsyncTaskPtr>>();
        dispatch_async(queue_, [looked, running] {
            if (auto sender = VuderuDataSender::instance()) *running = sender->runningTasks();
            looked->store(true);
            // Wakes the loop below at once rather than at the end of its slice.
            dispatch_async(dispatch_get_main_queue(), [] {});
        });
        while (!looked->load() && std::chrono::steady_clock::now() < deadline) loop->runOnce(kCleanupPollSeconds);
        if (!looked->load()) return false;
        // An upload still waiting for its server's name cannot have reached the server: its
        // report stays stored and goes with the next launch, so its lookup is not waited for.
        // One not yet begun, connecting or sending may reach the server, and is.
        const bool mayReachServer = std::any_of(running->begin(), running->end(), [](const VuderuHttpAsyncTaskPtr& task) {
            return task->connection() && !task->connection()->isLookingUpServerName();
        });
        if (!mayReachServer) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        // An upload runs: its answer reaches this thread first.
        loop->runOnce(kCleanupPollSeconds);
    }
}

std::uint64_t VuderuImpl::registerBackgoundTask() {
    if (!instance()->isBackgroundSupported()) return UIBackgroundTaskInvalid;
    auto application = UIApplication::sharedApplication();
    // The platform ends an app whose background task outlives its time, so expiry ends it too.
    auto identifier = std::make_shared<UIBackgroundTaskIdentifier>(UIBackgroundTaskInvalid);
    *identifier = application->beginBackgroundTaskWithExpirationHandler([application, identifier] {
        application->endBackgroundTask(*identifier);
    });
    return *identifier;
}

void VuderuImpl::unregisterBackgoundTask(std::uint64_t identifier) {
    if (identifier != UIBackgroundTaskInvalid) UIApplication::sharedApplication()->endBackgroundTask(identifier);
}

VuderuImpl::VuderuImpl() : startTime_(NSDate::date()) {
    if (VuderuUtil::getSystemVersionAsAnInteger() >= VuderuUtil::kSystemVersionDispatch) {
        queue_ = dispatch_queue_create(kQueueLabel);
        dispatch_queue_t queue = queue_;
        dispatch_async(queue_, [queue] { VuderuDataSender::setupInstanceWithQueue(queue); });
    }
    isBackgroundSupported_ = UIDevice::currentDevice()->isMultitaskingSupported();
}

VuderuImpl::~VuderuImpl() = default;

void VuderuImpl::resetStartDate() {
    MutexLock lock(lock_);
    startTime_ = NSDate::date();
}

std::string VuderuImpl::apiKey() const {
    MutexLock lock(lock_);
    return apiKey_;
}

std::shared_ptr<NSDate> VuderuImpl::startTime() const {
    MutexLock lock(lock_);
    return startTime_;
}
