#include "sdk/analytics/VuderuDataSenderBase.h"

#include "platform/foundation/NSException.h"
#include "platform/uikit/UIApplication.h"
#include "sdk/analytics/VuderuImpl.h"
#include "sdk/analytics/VuderuLog.h"
#include "sdk/analytics/VuderuNetworkUtil.h"
#include "sdk/analytics/VuderuUtil.h"

#include <algorithm>

namespace {

bool baseHasDispatch() {
    return VuderuUtil::getSystemVersionAsAnInteger() >= VuderuUtil::kSystemVersionDispatch;
}

[[noreturn]] void doesNotRecognizeSelector(const NSObject& object, const char* selector) {
    NSException::raise(NSInvalidArgumentException,
                       "-[" + object.className() + " " + selector + "]: unrecognized selector sent to instance");
}

} // namespace

VuderuDataSenderBase::VuderuDataSenderBase(dispatch_queue_t queue) {
    if (baseHasDispatch()) {
        queue_ = std::move(queue);
        backgroundTask_ = UIBackgroundTaskInvalid;
    }
}

VuderuDataSenderBase::VuderuDataSenderBase() = default;

VuderuDataSenderBase::~VuderuDataSenderBase() {
    NSNotificationCenter::defaultCenter()->removeObserver(this);
    cancelTasks();
}

void VuderuDataSenderBase::initialize() {
    std::weak_ptr<VuderuDataSenderBase> weak = weakSelf<VuderuDataSenderBase>();
    NSNotificationCenter::defaultCenter()->addObserver(weak, kVuderuNetworkStatusChangedNotification, nullptr,
                                                       [weak](const std::shared_ptr<NSNotification>& notification) {
                                                           if (auto sender = weak.lock()) sender->networkStatusChanged(notification);
                                                       });
}

void VuderuDataSenderBase::performOnQueue(std::function<void()> work) {
    if (queue_) {
        dispatch_async(queue_, std::move(work));
    } else {
        work();
    }
}

void VuderuDataSenderBase::registerNewTask(const VuderuHttpAsyncTaskPtr& task) {
    VuderuUtil::assertThreadIsNotMain();
    if (!task) return;
    startBackgroundTaskTrackingIfNeeded();
    runningTasks_.push_back(task);
}

void VuderuDataSenderBase::unregisterTaskCompletedSuccessfuly(const VuderuHttpAsyncTaskPtr& task, bool completedSuccessfuly) {
    VuderuUtil::assertThreadIsNotMain();
    if (!task) return;
    if (auto it = std::find(runningTasks_.begin(), runningTasks_.end(), task); it != runningTasks_.end()) runningTasks_.erase(it);
    if (completedSuccessfuly) performRetransmitNotSentBlocks();
    if (runningTasks_.empty()) {
        didCompleteAllTasks();
        stopBackgroundTasksTracking();
    }
}

void VuderuDataSenderBase::cancelTasks() {
    for (const auto& task : runningTasks_) task->cancelTask();
    runningTasks_.clear();
}

void VuderuDataSenderBase::networkStatusChanged(const std::shared_ptr<NSNotification>&) {
    const bool reachable = VuderuNetworkUtil::isNetworkReachable();
    VuderuLog("VuderuSession: networkStatusChanged to %@ reachable", reachable ? "" : "not");
    if (!reachable) return;
    if (!baseHasDispatch() || !queue_) {
        performRetransmitNotSentBlocks();
        return;
    }
    std::weak_ptr<VuderuDataSenderBase> weak = weakSelf<VuderuDataSenderBase>();
    dispatch_async(queue_, [weak] {
        if (auto sender = weak.lock()) sender->performRetransmitNotSentBlocks();
    });
}

void VuderuDataSenderBase::performRetransmitNotSentBlocks() {
    if (baseHasDispatch() && UIApplication::sharedApplication()->applicationState() == UIApplicationStateBackground) {
        VuderuLog("Vuderu: application is in background, skipping sending data.");
        return;
    }
    retransmitNotSentBlocks();
}

void VuderuDataSenderBase::startBackgroundTaskTrackingIfNeeded() {
    if (!baseHasDispatch() || !VuderuImpl::instance()->isBackgroundSupported() || backgroundTask_ != UIBackgroundTaskInvalid) return;
    VuderuLog("Vuderu: start background task");
    auto application = UIApplication::sharedApplication();
    auto began = std::make_shared<UIBackgroundTaskIdentifier>(UIBackgroundTaskInvalid);
    std::weak_ptr<VuderuDataSenderBase> weak = weakSelf<VuderuDataSenderBase>();
    // The platform ends an app whose background task outlives its time: the task ends here, and
    // the sender forgets it on its queue, unless it has already moved on to another one.
    *began = application->beginBackgroundTaskWithExpirationHandler([application, began, weak] {
        VuderuLog("Vuderu: expiration handler reached");
        application->endBackgroundTask(*began);
        auto sender = weak.lock();
        if (!sender) return;
        sender->performOnQueue([weak, ended = *began] {
            auto alive = weak.lock();
            if (alive && alive->backgroundTask_ == ended) alive->backgroundTask_ = UIBackgroundTaskInvalid;
        });
    });
    backgroundTask_ = *began;
}

void VuderuDataSenderBase::stopBackgroundTasksTracking() {
    if (!baseHasDispatch() || !VuderuImpl::instance()->isBackgroundSupported() || backgroundTask_ == UIBackgroundTaskInvalid) return;
    VuderuLog("Vuderu: stop background task");
    UIApplication::sharedApplication()->endBackgroundTask(backgroundTask_);
    backgroundTask_ = UIBackgroundTaskInvalid;
}

void VuderuDataSenderBase::retransmitNotSentBlocks() {
    doesNotRecognizeSelector(*this, "retransmitNotSentBlocks");
}

void VuderuDataSenderBase::didCompleteAllTasks() {
    doesNotRecognizeSelector(*this, "didCompleteAllTasks");
}
