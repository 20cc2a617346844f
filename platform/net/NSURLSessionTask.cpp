// The task's public side: its properties, state changes and the calls that steer its transfer
// on the session's network thread.

#include "platform/net/NSURLSession.h"

#include "platform/foundation/NSPropertyListSerialization.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/net/NSURLError.h"

const std::string NSURLSessionDownloadTaskResumeData = "NSURLSessionDownloadTaskResumeData";

NSURLSessionTask::NSURLSessionTask(Kind kind, unsigned long identifier, const NSURLSessionPtr& session, NSURLRequestPtr request)
    : kind_(kind), identifier_(identifier), originalRequest_(std::move(request)), session_(session), weakSession_(session),
      currentRequest_(originalRequest_) {}

NSURLSessionTask::~NSURLSessionTask() = default;

NSURLSessionPtr NSURLSessionTask::session() const { return weakSession_.lock(); }

NSURLRequestPtr NSURLSessionTask::currentRequest() const {
    std::lock_guard guard(mutex_);
    return currentRequest_;
}

NSURLResponsePtr NSURLSessionTask::response() const {
    std::lock_guard guard(mutex_);
    return response_;
}

NSErrorPtr NSURLSessionTask::error() const {
    std::lock_guard guard(mutex_);
    return error_;
}

NSURLSessionTaskState NSURLSessionTask::state() const {
    std::lock_guard guard(mutex_);
    return state_;
}

long long NSURLSessionTask::countOfBytesReceived() const {
    std::lock_guard guard(mutex_);
    return received_;
}

long long NSURLSessionTask::countOfBytesSent() const {
    std::lock_guard guard(mutex_);
    return sent_;
}

long long NSURLSessionTask::countOfBytesExpectedToSend() const {
    std::lock_guard guard(mutex_);
    return expectedToSend_;
}

long long NSURLSessionTask::countOfBytesExpectedToReceive() const {
    std::lock_guard guard(mutex_);
    return expectedToReceive_;
}

bool NSURLSessionTask::isCanceled() const {
    std::lock_guard guard(mutex_);
    return canceled_;
}

bool NSURLSessionTask::moveState(NSURLSessionTaskState to) {
    {
        std::lock_guard guard(mutex_);
        bool allowed = false;
        switch (to) {
        case NSURLSessionTaskStateRunning: allowed = state_ == NSURLSessionTaskStateSuspended; break;
        case NSURLSessionTaskStateSuspended: allowed = state_ == NSURLSessionTaskStateRunning; break;
        case NSURLSessionTaskStateCanceling:
            allowed = state_ == NSURLSessionTaskStateRunning || state_ == NSURLSessionTaskStateSuspended;
            break;
        case NSURLSessionTaskStateCompleted: allowed = state_ != NSURLSessionTaskStateCompleted; break;
        }
        if (!allowed) return false;
    }
    willChangeValueForKey("state");
    {
        std::lock_guard guard(mutex_);
        state_ = to;
        if (to == NSURLSessionTaskStateCanceling) canceled_ = true;
    }
    didChangeValueForKey("state");
    return true;
}

NSErrorPtr NSURLSessionTask::errorFor(long code, const std::string& description) const {
    Value::Dictionary userInfo;
    if (originalRequest_ && originalRequest_->URL()) {
        userInfo[NSURLErrorFailingURLErrorKey] = Value(originalRequest_->URL());
        userInfo[NSURLErrorFailingURLStringErrorKey] = originalRequest_->URL()->absoluteString();
    }
    if (!description.empty()) userInfo[NSLocalizedDescriptionKey] = description;
    return NSError::errorWithDomain(NSURLErrorDomain, code, userInfo);
}

void NSURLSessionTask::resume() {
    auto session = this->session();
    if (!session || !moveState(NSURLSessionTaskStateRunning)) return;
    bool first = false;
    {
        std::lock_guard guard(mutex_);
        first = !started_;
        started_ = true;
    }
    auto self = strongSelf();
    if (first) {
        session->performOnLoop([self] { self->startOnLoop(); });
    } else {
        session->performOnLoop([self] { self->setPausedOnLoop(false); });
    }
}

void NSURLSessionTask::suspend() {
    auto session = this->session();
    if (!session || !moveState(NSURLSessionTaskStateSuspended)) return;
    auto self = strongSelf();
    session->performOnLoop([self] { self->setPausedOnLoop(true); });
}

void NSURLSessionTask::cancel() {
    auto session = this->session();
    if (!session || !moveState(NSURLSessionTaskStateCanceling)) return;
    session->wakeAsks();
    auto self = strongSelf();
    session->performOnLoop([self] {
        if (auto transfer = std::move(self->transfer_)) transfer->abandon();
        self->finishOnLoop(self->errorFor(NSURLErrorCancelled, "cancelled"));
    });
}

std::string NSURLSessionTask::description() const {
    return "<" + className() + ": " + std::to_string(identifier_) + " " + (originalRequest_ && originalRequest_->URL() ? originalRequest_->URL()->absoluteString() : "") + ">";
}

// MARK: - Resume data

Value NSURLSessionTask::resumeDataValue() const {
    if (written_ <= 0 || validator_.empty() || filePath_.empty() || !originalRequest_ || !originalRequest_->URL()) return nullptr;
    Value::Dictionary resume;
    resume["URL"] = originalRequest_->URL()->absoluteString();
    resume["method"] = originalRequest_->HTTPMethod();
    resume["offset"] = resumeOffset_ + written_;
    resume["validator"] = validator_;
    if (completeLength_ >= 0) resume["total"] = completeLength_;
    resume["file"] = filePath_;
    resume["timeout"] = originalRequest_->timeoutInterval();
    return Value::Dictionary{{"NSURLSessionResumeInfo", resume}};
}

void NSURLSessionDownloadTask::cancelByProducingResumeData(std::function<void(const NSDataPtr& resumeData)> handler) {
    auto session = this->session();
    if (!session || !moveState(NSURLSessionTaskStateCanceling)) {
        if (session && handler) session->enqueue([handler] { handler(nullptr); });
        return;
    }
    session->wakeAsks();
    auto self = std::static_pointer_cast<NSURLSessionDownloadTask>(strongSelf());
    session->performOnLoop([self, session, handler] {
        if (auto transfer = std::move(self->transfer_)) transfer->abandon();
        Value resume = self->resumeDataValue();
        NSDataPtr data;
        if (!resume.isNull()) {
            self->keepFile_ = true;
            data = NSPropertyListSerialization::dataWithPropertyList(resume, NSPropertyListBinaryFormat_v1_0);
        }
        if (handler) session->enqueue([handler, data] { handler(data); });
        self->finishOnLoop(self->errorFor(NSURLErrorCancelled, "cancelled"));
    });
}

NSURLSessionDownloadTaskPtr NSURLSession::downloadTaskWithResumeData(const NSDataPtr& resumeData) {
    std::optional<Value> plist;
    if (resumeData) plist = NSPropertyListSerialization::propertyListWithData(*resumeData);
    Value info = plist ? (*plist)["NSURLSessionResumeInfo"] : Value();
    NSURLPtr url = info.isDictionary() ? NSURL::URLWithString(info["URL"].stringValue()) : nullptr;
    auto request = url ? NSURLRequest::requestWithURL(url) : nullptr;
    if (request) {
        request->setHTTPMethod(info["method"].stringValue().empty() ? "GET" : info["method"].stringValue());
        if (info["timeout"].doubleValue() > 0) request->setTimeoutInterval(info["timeout"].doubleValue());
    }
    auto task = makeTask<NSURLSessionDownloadTask>(NSURLSessionTask::Kind::Download, request);
    if (!task || !request) return task;
    task->fromResumeData_ = true;
    task->filePath_ = info["file"].stringValue();
    task->resumeOffset_ = info["offset"].integerValue();
    task->validator_ = info["validator"].stringValue();
    task->completeLength_ = info["total"].isInteger() ? info["total"].integerValue() : -1;
    return task;
}
