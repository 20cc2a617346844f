// The task's transfer, on the session's network thread: the task is the transfer's client, and
// asks its delegate (on the delegate queue) whatever the transfer must wait for.

#include "platform/net/NSURLSessionAsk.h"

#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSPropertyListSerialization.h"
#include "platform/foundation/NSString.h"
#include "platform/net/NSURLError.h"
#include "platform/net/URLLoader.h"
#include "platform/net/URLRedirect.h"

// MARK: - Starting

void NSURLSessionTask::startOnLoop() {
    if (isCanceled()) return;
    auto session = this->session();
    if (session && !session->loaderOnLoop()) {
        finishOnLoop(errorFor(NSURLErrorUnknown, kURLLoaderOutOfMemoryDescription));
        return;
    }
    if (kind_ == Kind::Download && !filePath_.empty() &&
        !NSFileManager::defaultManager()->fileExistsAtPath(filePath_)) {
        finishOnLoop(errorFor(NSURLErrorCannotOpenFile, "The resume data's file is gone."));
        return;
    }
    beginTransfer(originalRequest_);
}

NSURLRequestPtr NSURLSessionTask::prepare(const NSURLRequestPtr& request) {
    auto session = this->session();
    auto prepared = request->mutableCopy();
    const auto& configuration = session->configuration();
    for (const auto& [name, value] : configuration->HTTPAdditionalHeaders()) {
        if (prepared->valueForHTTPHeaderField(name).empty()) prepared->setValueForHTTPHeaderField(value, name);
    }
    if (prepared->timeoutInterval() <= 0) prepared->setTimeoutInterval(configuration->timeoutIntervalForRequest());
    // A redirect that turned the request into a GET carries no body.
    bool keepsBody = prepared->HTTPMethod() != "GET" && prepared->HTTPMethod() != "HEAD";
    if (keepsBody && bodySource_ == BodySource::Data) prepared->setHTTPBody(bodyData_);
    if (keepsBody && bodySource_ == BodySource::File) {
        auto attributes = NSFileManager::defaultManager()->attributesOfItemAtPath(bodyFile_, nullptr);
        if (!attributes) return nullptr;
        long long size = static_cast<long long>(attributes->fileSize.value_or(0));
        prepared->setHTTPBodyStream(NSInputStream::inputStreamWithFileAtPath(bodyFile_));
        prepared->setValueForHTTPHeaderField(std::to_string(size), "Content-Length");
        std::lock_guard guard(mutex_);
        expectedToSend_ = size;
    }
    if (keepsBody && bodySource_ == BodySource::Stream) {
        std::shared_ptr<NSInputStream> stream;
        if (auto delegate = session->responder(NSURLSessionSelector::NeedNewBodyStream)) {
            auto self = strongSelf();
            stream = session->ask<std::shared_ptr<NSInputStream>>(*this, nullptr, [session, self, delegate](auto handler) {
                delegate->URLSessionTaskNeedNewBodyStream(session, self, handler);
            });
        }
        if (!stream) return nullptr;
        prepared->setHTTPBodyStream(stream);
    }
    if (kind_ == Kind::Download && resumeOffset_ > 0) {
        prepared->setValueForHTTPHeaderField("bytes=" + std::to_string(resumeOffset_) + "-", "Range");
        prepared->setValueForHTTPHeaderField(validator_, "If-Range");
    }
    return prepared;
}

void NSURLSessionTask::beginTransfer(const NSURLRequestPtr& request) {
    auto prepared = prepare(request);
    if (isCanceled()) return;
    if (!prepared) {
        bool file = bodySource_ == BodySource::File;
        finishOnLoop(errorFor(file ? NSURLErrorFileDoesNotExist : NSURLErrorRequestBodyStreamExhausted,
                              file ? "The file to upload does not exist." : "The request's body stream is missing."));
        return;
    }
    {
        std::lock_guard guard(mutex_);
        currentRequest_ = request;
    }
    partialContent_ = NSHTTPPartialContent();
    URLTransferOutcome refusal;
    transfer_ = URLTransfer::make(prepared, std::static_pointer_cast<URLTransferClient>(strongSelf()), &refusal);
    if (!transfer_) {
        finishOnLoop(errorFor(refusal.code, refusal.description));
        return;
    }
    transfer_->start(session()->loader());
    if (state() == NSURLSessionTaskStateSuspended) transfer_->setPaused(true);
}

void NSURLSessionTask::setPausedOnLoop(bool paused) {
    if (transfer_) transfer_->setPaused(paused);
}

// MARK: - The response

URLTransferClient::HeadDisposition NSURLSessionTask::transferDidReceiveHead(URLTransfer& transfer,
                                                                            const std::shared_ptr<NSHTTPURLResponse>& response) {
    auto session = this->session();
    if (isCanceled() || !session) return HeadDisposition::Abort;
    followUp_.reset();
    if (auto next = URLRedirectRequest(currentRequest(), response)) {
        if (auto delegate = session->responder(NSURLSessionSelector::WillPerformHTTPRedirection)) {
            auto self = strongSelf();
            next = session->ask<NSURLRequestPtr>(*this, nullptr, [session, self, delegate, response, next](auto handler) {
                delegate->URLSessionTaskWillPerformHTTPRedirection(session, self, response, next, handler);
            });
        }
        if (isCanceled()) return HeadDisposition::Abort;
        if (next) {
            followUp_ = next;
            return HeadDisposition::Skip;
        }
    }
    {
        std::lock_guard guard(mutex_);
        response_ = response;
        long long length = response->expectedContentLength();
        expectedToReceive_ = length;
    }
    // An answer that is not the one asked for reaches neither the delegate nor a file.
    if (std::string refusal = answerRefusal(transfer, *response); !refusal.empty()) {
        transfer.setClientError(errorFor(NSURLErrorBadServerResponse, refusal));
        return HeadDisposition::Abort;
    }
    if (kind_ == Kind::Download) return openDownloadFile(response) ? HeadDisposition::Deliver : HeadDisposition::Abort;
    return receiveDataHead(response);
}

std::string NSURLSessionTask::answerRefusal(URLTransfer& transfer, const NSHTTPURLResponse& response) {
    std::string refusal = partialContent_.judgeHead(*transfer.request(), response);
    const auto& part = partialContent_.range();
    if (!refusal.empty() || kind_ != Kind::Download || resumeOffset_ <= 0 || !part) return refusal;
    if (completeLength_ >= 0 && part->completeLength != completeLength_) {
        return NSString::stringWithFormat("The resource changed since the download began: it now has %lld bytes, not %lld",
                                          part->completeLength, completeLength_);
    }
    auto etag = response.valueForHTTPHeaderField("ETag");
    auto modified = response.valueForHTTPHeaderField("Last-Modified");
    const std::string validator = etag ? *etag : modified ? *modified : std::string();
    if (!validator_.empty() && !validator.empty() && validator != validator_) {
        return NSString::stringWithFormat("The resource changed since the download began: it is now %@, not %@", validator, validator_);
    }
    return "";
}

URLTransferClient::HeadDisposition NSURLSessionTask::receiveDataHead(const std::shared_ptr<NSHTTPURLResponse>& response) {
    auto session = this->session();
    auto delegate = session->responder(NSURLSessionSelector::DidReceiveResponse);
    if (!delegate) return HeadDisposition::Deliver;
    auto self = std::static_pointer_cast<NSURLSessionDataTask>(strongSelf());
    auto disposition = session->ask<NSURLSessionResponseDisposition>(*this, NSURLSessionResponseCancel,
                                                                     [session, self, delegate, response](auto handler) {
                                                                         delegate->URLSessionDataTaskDidReceiveResponse(session, self, response, handler);
                                                                     });
    if (isCanceled()) return HeadDisposition::Abort;
    if (disposition == NSURLSessionResponseCancel) {
        // Ends like cancel(): the transfer stops here and the task completes as cancelled.
        if (moveState(NSURLSessionTaskStateCanceling)) {
            auto keep = strongSelf();
            session->performOnLoop([keep] {
                keep->transfer_.reset();
                keep->finishOnLoop(keep->errorFor(NSURLErrorCancelled, "cancelled"));
            });
        }
        return HeadDisposition::Abort;
    }
    // A task that cannot become a download (the session is being invalidated) goes on as it is.
    if (disposition == NSURLSessionResponseBecomeDownload) becomeDownload(response);
    return HeadDisposition::Deliver;
}

bool NSURLSessionTask::transferDidReceiveData(URLTransfer& transfer, const NSDataPtr& data) {
    if (std::string refusal = partialContent_.judgeBody(static_cast<long long>(data->length())); !refusal.empty()) {
        transfer.setClientError(errorFor(NSURLErrorBadServerResponse, refusal));
        return false;
    }
    if (becameDownload_) return becameDownload_->transferDidReceiveData(transfer, data);
    auto session = this->session();
    if (isCanceled() || !session) return false;
    {
        std::lock_guard guard(mutex_);
        received_ += static_cast<long long>(data->length());
    }
    if (kind_ == Kind::Download) return writeDownload(data);
    if (auto delegate = session->responder(NSURLSessionSelector::DidReceiveData)) {
        auto self = std::static_pointer_cast<NSURLSessionDataTask>(strongSelf());
        session->enqueue([session, self, delegate, data] { delegate->URLSessionDataTaskDidReceiveData(session, self, data); });
    }
    return true;
}

bool NSURLSessionTask::transferDidSendBodyData(URLTransfer&, long long totalSent, long long totalExpected) {
    auto session = this->session();
    if (isCanceled() || !session) return false;
    long long bytes = 0, expected = 0;
    {
        std::lock_guard guard(mutex_);
        if (totalSent <= sent_) return true;
        bytes = totalSent - sent_;
        sent_ = totalSent;
        if (expectedToSend_ <= 0 && totalExpected > 0) expectedToSend_ = totalExpected;
        expected = expectedToSend_;
    }
    if (auto delegate = session->responder(NSURLSessionSelector::DidSendBodyData)) {
        auto self = strongSelf();
        session->enqueue([session, self, delegate, bytes, totalSent, expected] {
            delegate->URLSessionTaskDidSendBodyData(session, self, bytes, totalSent, expected);
        });
    }
    return true;
}

// MARK: - The end

void NSURLSessionTask::transferDidComplete(URLTransfer& transfer, const URLTransferOutcome& ended) {
    auto self = strongSelf();
    URLTransferOutcome outcome = ended;
    // A partial answer that ended before its range did is a piece, not the answer.
    if (outcome.succeeded() && !followUp_) {
        if (std::string refusal = partialContent_.judgeEnd(); !refusal.empty()) outcome = {NSURLErrorBadServerResponse, refusal, nullptr};
    }
    if (auto download = std::move(becameDownload_)) {
        download->transferDidComplete(transfer, outcome);
        return;
    }
    transfer_.reset();
    if (isCanceled()) return;
    if (outcome.succeeded() && followUp_) {
        if (++redirects_ > kURLMaximumRedirects) {
            finishOnLoop(errorFor(NSURLErrorHTTPTooManyRedirects, "too many HTTP redirects"));
            return;
        }
        auto next = std::move(followUp_);
        beginTransfer(next);
    } else if (outcome.succeeded()) {
        completeSuccessfully();
    } else {
        finishOnLoop(outcome.error ? outcome.error : errorFor(outcome.code, outcome.description));
    }
}

void NSURLSessionTask::completeSuccessfully() {
    auto session = this->session();
    if (kind_ == Kind::Download) {
        finishDownload();
        return;
    }
    auto response = this->response();
    if (auto delegate = session->responder(NSURLSessionSelector::WillCacheResponse); delegate && response) {
        auto self = std::static_pointer_cast<NSURLSessionDataTask>(strongSelf());
        auto proposed = std::make_shared<NSCachedURLResponse>(response, NSData::data());
        session->ask<NSCachedURLResponsePtr>(*this, nullptr, [session, self, delegate, proposed](auto handler) {
            delegate->URLSessionDataTaskWillCacheResponse(session, self, proposed, handler);
        });
    }
    finishOnLoop(nullptr);
}

void NSURLSessionTask::finishOnLoop(const NSErrorPtr& error) {
    auto self = strongSelf();
    if (state() == NSURLSessionTaskStateCompleted) return;
    auto session = this->session();
    NSErrorPtr reported = error;
    if (kind_ == Kind::Download && error) {
        // A failed download that can go on later says so in its error.
        Value resume = resumeDataValue();
        if (!resume.isNull() && error->code() != NSURLErrorCancelled) {
            keepFile_ = true;
            auto info = error->userInfo();
            info[NSURLSessionDownloadTaskResumeData] =
                NSPropertyListSerialization::dataWithPropertyList(resume, NSPropertyListBinaryFormat_v1_0);
            reported = NSError::errorWithDomain(error->domain(), error->code(), info);
        }
        discardDownloadFile();
    }
    {
        std::lock_guard guard(mutex_);
        error_ = reported;
    }
    moveState(NSURLSessionTaskStateCompleted);
    if (!session) return;
    if (auto delegate = session->responder(NSURLSessionSelector::DidComplete)) {
        session->enqueue([session, self, delegate, reported] { delegate->URLSessionTaskDidCompleteWithError(session, self, reported); });
    }
    {
        std::lock_guard guard(mutex_);
        session_.reset();
    }
    session->taskDidComplete(self);
}
