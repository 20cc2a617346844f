// The manager's life, its task factories and its bookkeeping of task delegates.

#include "netkit/NKURLSessionManager.h"

#include "netkit/NKHTTPResponseSerializer.h"
#include "netkit/NKJSONResponseSerializer.h"
#include "netkit/NKNetworkReachabilityManager.h"
#include "platform/dispatch/DispatchSemaphore.h"
#include "platform/foundation/NSKeyedUnarchiver.h"
#include "platform/foundation/NSNotificationCenter.h"
#include "platform/foundation/NSString.h"

#include <cstdio>

const std::string NKNetworkingTaskDidResumeNotification = "com.netkit.networking.task.resume";
const std::string NKNetworkingTaskDidSuspendNotification = "com.netkit.networking.task.suspend";
const std::string NKURLSessionDidInvalidateNotification = "com.netkit.networking.session.invalidate";

std::shared_ptr<NKURLSessionManager> NKURLSessionManager::managerWithSessionConfiguration(const NSURLSessionConfigurationPtr& configuration) {
    std::shared_ptr<NKURLSessionManager> manager(new NKURLSessionManager());
    manager->setUp(configuration);
    return manager;
}

std::shared_ptr<NKURLSessionManager> NKURLSessionManager::managerWithCoder(const NSCoder& coder) {
    return managerWithSessionConfiguration(coder.decodeObjectForKey("sessionConfiguration").objectAs<NSURLSessionConfiguration>());
}

NKURLSessionManager::~NKURLSessionManager() = default;

std::shared_ptr<NKURLSessionManager> NKURLSessionManager::makeEmpty() const {
    return std::shared_ptr<NKURLSessionManager>(new NKURLSessionManager());
}

void NKURLSessionManager::setUp(const NSURLSessionConfigurationPtr& configuration) {
    auto chosen = configuration ? configuration : NSURLSessionConfiguration::defaultSessionConfiguration();
    operationQueue_ = std::make_shared<NSOperationQueue>();
    operationQueue_->setMaxConcurrentOperationCount(NSOperationQueueDefaultMaxConcurrentOperationCount);
    {
        MutexLock guard(settingsMutex_);
        responseSerializer_ = NKJSONResponseSerializer::serializer();
    }
    sessionConfiguration_ = chosen;
    session_ = NSURLSession::sessionWithConfiguration(sessionConfiguration_, std::static_pointer_cast<NSURLSessionDelegate>(self<NKURLSessionManager>()),
                                                      operationQueue_);
    securityPolicy = NKSecurityPolicy::defaultPolicy();
    reachabilityManager = NKNetworkReachabilityManager::sharedManager();
    lock_->setName("com.netkit.networking.session.manager.lock");
    std::weak_ptr<NKURLSessionManager> weakSelf = self<NKURLSessionManager>();
    session_->getTasksWithCompletionHandler([weakSelf](const auto& data, const auto& uploads, const auto& downloads) {
        auto self = weakSelf.lock();
        if (!self) return;
        for (const auto& task : data) self->addDelegateForDataTask(task, nullptr);
        for (const auto& task : uploads) self->addDelegateForUploadTask(task, nullptr, nullptr);
        for (const auto& task : downloads) self->addDelegateForDownloadTask(task, nullptr, nullptr, nullptr);
    });
}

void NKURLSessionManager::encodeWithCoder(NSCoder& coder) const {
    coder.encodeObjectForKey(Value(session_->configuration()), "sessionConfiguration");
}

std::shared_ptr<NKURLSessionManager> NKURLSessionManager::copy() const {
    auto copy = makeEmpty();
    copy->setUp(session_->configuration());
    return copy;
}

std::string NKURLSessionManager::description() const {
    char address[32];
    std::snprintf(address, sizeof address, "%p", static_cast<const void*>(this));
    return "<" + className() + ": " + address + ", session: " + session_->description() + ", operationQueue: " + operationQueue_->description() + ">";
}

std::shared_ptr<NKURLResponseSerialization> NKURLSessionManager::responseSerializer() const {
    MutexLock guard(settingsMutex_);
    return responseSerializer_;
}

void NKURLSessionManager::setResponseSerializer(std::shared_ptr<NKURLResponseSerialization> serializer) {
    MutexLock guard(settingsMutex_);
    responseSerializer_ = std::move(serializer);
}

dispatch_queue_t NKURLSessionManager::completionQueue() const {
    MutexLock guard(settingsMutex_);
    return completionQueue_;
}

void NKURLSessionManager::setCompletionQueue(dispatch_queue_t queue) {
    MutexLock guard(settingsMutex_);
    completionQueue_ = std::move(queue);
}

dispatch_group_t NKURLSessionManager::completionGroup() const {
    MutexLock guard(settingsMutex_);
    return completionGroup_;
}

void NKURLSessionManager::setCompletionGroup(dispatch_group_t group) {
    MutexLock guard(settingsMutex_);
    completionGroup_ = std::move(group);
}

void NKURLSessionManager::invalidateSessionCancelingTasks(bool cancelPendingTasks) {
    if (cancelPendingTasks) {
        session_->invalidateAndCancel();
    } else {
        session_->finishTasksAndInvalidate();
    }
}

std::optional<std::vector<NSURLSessionTaskPtr>> NKURLSessionManager::tasksForKeyPath(const std::string& keyPath) {
    auto semaphore = dispatch_semaphore_create(0);
    std::optional<std::vector<NSURLSessionTaskPtr>> picked;
    session_->getTasksWithCompletionHandler([&](const auto& data, const auto& uploads, const auto& downloads) {
        std::vector<NSURLSessionTaskPtr> tasks;
        if (keyPath == "dataTasks" || keyPath == "tasks") tasks.insert(tasks.end(), data.begin(), data.end());
        if (keyPath == "uploadTasks" || keyPath == "tasks") tasks.insert(tasks.end(), uploads.begin(), uploads.end());
        if (keyPath == "downloadTasks" || keyPath == "tasks") tasks.insert(tasks.end(), downloads.begin(), downloads.end());
        if (keyPath == "dataTasks" || keyPath == "uploadTasks" || keyPath == "downloadTasks" || keyPath == "tasks") picked = std::move(tasks);
        dispatch_semaphore_signal(semaphore);
    });
    dispatch_semaphore_wait(semaphore, DISPATCH_TIME_FOREVER);
    return picked;
}

// MARK: - Factories

NSURLSessionDataTaskPtr NKURLSessionManager::dataTaskWithRequest(const NSURLRequestPtr& request, CompletionHandler handler) {
    auto task = session_->dataTaskWithRequest(request);
    if (task) addDelegateForDataTask(task, std::move(handler));
    return task;
}

NSURLSessionUploadTaskPtr NKURLSessionManager::uploadTaskWithRequestFromFile(const NSURLRequestPtr& request, const NSURLPtr& fileURL,
                                                                             NSProgressPtr* progress, CompletionHandler handler) {
    auto task = session_->uploadTaskWithRequestFromFile(request, fileURL);
    if (task) addDelegateForUploadTask(task, progress, std::move(handler));
    return task;
}

NSURLSessionUploadTaskPtr NKURLSessionManager::uploadTaskWithRequestFromData(const NSURLRequestPtr& request, const NSDataPtr& body,
                                                                             NSProgressPtr* progress, CompletionHandler handler) {
    auto task = session_->uploadTaskWithRequestFromData(request, body);
    if (task) addDelegateForUploadTask(task, progress, std::move(handler));
    return task;
}

NSURLSessionUploadTaskPtr NKURLSessionManager::uploadTaskWithStreamedRequest(const NSURLRequestPtr& request, NSProgressPtr* progress,
                                                                             CompletionHandler handler) {
    auto task = session_->uploadTaskWithStreamedRequest(request);
    if (task) addDelegateForUploadTask(task, progress, std::move(handler));
    return task;
}

NSURLSessionDownloadTaskPtr NKURLSessionManager::downloadTaskWithRequest(const NSURLRequestPtr& request, NSProgressPtr* progress,
                                                                         DestinationBlock destination, CompletionHandler handler) {
    auto task = session_->downloadTaskWithRequest(request);
    if (task) addDelegateForDownloadTask(task, progress, std::move(destination), std::move(handler));
    return task;
}

NSURLSessionDownloadTaskPtr NKURLSessionManager::downloadTaskWithResumeData(const NSDataPtr& resumeData, NSProgressPtr* progress,
                                                                            DestinationBlock destination, CompletionHandler handler) {
    auto task = session_->downloadTaskWithResumeData(resumeData);
    if (task) addDelegateForDownloadTask(task, progress, std::move(destination), std::move(handler));
    return task;
}

NSProgressPtr NKURLSessionManager::uploadProgressForTask(const NSURLSessionTaskPtr& task) const {
    auto delegate = delegateForTask(task);
    return delegate ? delegate->uploadProgress() : nullptr;
}

NSProgressPtr NKURLSessionManager::downloadProgressForTask(const NSURLSessionTaskPtr& task) const {
    auto delegate = delegateForTask(task);
    return delegate ? delegate->downloadProgress() : nullptr;
}

// MARK: - Bookkeeping

std::shared_ptr<NKURLSessionManagerTaskDelegate> NKURLSessionManager::delegateForTask(const NSURLSessionTaskPtr& task) const {
    if (!task) return nullptr;
    MutexLock guard(*lock_);
    auto it = mutableTaskDelegatesKeyedByTaskIdentifier_.find(task->taskIdentifier());
    return it == mutableTaskDelegatesKeyedByTaskIdentifier_.end() ? nullptr : it->second.delegate;
}

void NKURLSessionManager::setDelegateForTask(const std::shared_ptr<NKURLSessionManagerTaskDelegate>& delegate, const NSURLSessionTaskPtr& task) {
    if (!task || !delegate) return;
    std::weak_ptr<NKURLSessionManager> weakSelf = self<NKURLSessionManager>();
    std::weak_ptr<NSURLSessionTask> weakTask = task;
    MutexLock guard(*lock_);
    auto& entry = mutableTaskDelegatesKeyedByTaskIdentifier_[task->taskIdentifier()];
    if (auto old = entry.task.lock(); old && entry.observation) old->removeObserver(entry.observation);
    entry.delegate = delegate;
    entry.task = task;
    entry.observation = task->addObserverForKeyPath("state", [weakSelf, weakTask](const std::string&, bool) {
        auto self = weakSelf.lock();
        auto task = weakTask.lock();
        if (self && task) self->taskStateChanged(task);
    });
}

void NKURLSessionManager::removeDelegateForTask(const NSURLSessionTaskPtr& task) {
    if (!task) return;
    MutexLock guard(*lock_);
    auto it = mutableTaskDelegatesKeyedByTaskIdentifier_.find(task->taskIdentifier());
    if (it == mutableTaskDelegatesKeyedByTaskIdentifier_.end()) return;
    task->removeObserver(it->second.observation);
    mutableTaskDelegatesKeyedByTaskIdentifier_.erase(it);
}

void NKURLSessionManager::removeAllDelegates() {
    MutexLock guard(*lock_);
    for (auto& [identifier, entry] : mutableTaskDelegatesKeyedByTaskIdentifier_) {
        if (auto task = entry.task.lock()) task->removeObserver(entry.observation);
    }
    mutableTaskDelegatesKeyedByTaskIdentifier_.clear();
}

void NKURLSessionManager::taskStateChanged(const NSURLSessionTaskPtr& task) {
    NSURLSessionTaskState state = task->state();
    const std::string* name = state == NSURLSessionTaskStateSuspended ? &NKNetworkingTaskDidSuspendNotification
                              : state == NSURLSessionTaskStateRunning ? &NKNetworkingTaskDidResumeNotification
                                                                      : nullptr;
    if (!name) return;
    dispatch_async(dispatch_get_main_queue(), [name, task] { NSNotificationCenter::defaultCenter()->postNotificationName(*name, Value(task)); });
}

void NKURLSessionManager::addDelegateForDataTask(const NSURLSessionDataTaskPtr& task, CompletionHandler handler) {
    auto delegate = std::make_shared<NKURLSessionManagerTaskDelegate>();
    delegate->manager = self<NKURLSessionManager>();
    delegate->completionHandler = std::move(handler);
    setDelegateForTask(delegate, task);
}

void NKURLSessionManager::addDelegateForUploadTask(const NSURLSessionUploadTaskPtr& task, NSProgressPtr* progress, CompletionHandler handler) {
    auto delegate = std::make_shared<NKURLSessionManagerTaskDelegate>();
    delegate->manager = self<NKURLSessionManager>();
    delegate->completionHandler = std::move(handler);
    long long total = task->countOfBytesExpectedToSend();
    if (total == NSURLSessionTransferSizeUnknown && task->originalRequest()) {
        std::string length = task->originalRequest()->valueForHTTPHeaderField("Content-Length");
        if (!length.empty()) total = NSString::longLongValue(length);
    }
    auto upload = NSProgress::progressWithTotalUnitCount(total);
    std::weak_ptr<NSURLSessionTask> weakTask = std::static_pointer_cast<NSURLSessionTask>(task);
    upload->setPausingHandler([weakTask] {
        if (auto task = weakTask.lock()) task->suspend();
    });
    upload->setCancellationHandler([weakTask] {
        if (auto task = weakTask.lock()) task->cancel();
    });
    delegate->setUploadProgress(upload);
    if (progress) *progress = upload;
    setDelegateForTask(delegate, task);
}

void NKURLSessionManager::addDelegateForDownloadTask(const NSURLSessionDownloadTaskPtr& task, NSProgressPtr* progress,
                                                     DestinationBlock destination, CompletionHandler handler) {
    auto delegate = std::make_shared<NKURLSessionManagerTaskDelegate>();
    delegate->manager = self<NKURLSessionManager>();
    delegate->completionHandler = std::move(handler);
    delegate->downloadTaskDidFinishDownloading = [destination](const NSURLSessionPtr&, const NSURLSessionDownloadTaskPtr& task,
                                                               const NSURLPtr& location) -> NSURLPtr {
        return destination ? destination(location, task->response()) : location;
    };
    if (progress) *progress = delegate->downloadProgress();
    setDelegateForTask(delegate, task);
}
