// The operation's properties: each read and change under the operation's lock (lockedRead and
// lockedWrite for the plain ones).
#include "netkit/NKURLConnectionOperation.h"

#include "platform/foundation/NSString.h"

NSURLRequestPtr NKURLConnectionOperation::request() const { return lockedRead(&NKURLConnectionOperation::request_); }

void NKURLConnectionOperation::setRequest(NSURLRequestPtr request) { lockedWrite(&NKURLConnectionOperation::request_, std::move(request)); }

NSURLResponsePtr NKURLConnectionOperation::response() const { return lockedRead(&NKURLConnectionOperation::response_); }

NSErrorPtr NKURLConnectionOperation::error() const { return lockedRead(&NKURLConnectionOperation::error_); }

NSDataPtr NKURLConnectionOperation::responseData() const { return lockedRead(&NKURLConnectionOperation::responseData_); }

void NKURLConnectionOperation::setResponseData(const NSDataPtr& data) {
    MutexLock guard(*lock_);
    responseData_ = data ? NSData::dataWithBytes(data->bytes(), data->length()) : nullptr;
}

NSStringEncoding NKURLConnectionOperation::responseStringEncoding() {
    MutexLock guard(*lock_);
    if (responseStringEncoding_ == 0 && response_) {
        NSStringEncoding encoding = NSUTF8StringEncoding;
        if (!response_->textEncodingName().empty()) {
            CFStringEncoding ianaEncoding = CFStringConvertIANACharSetNameToEncoding(response_->textEncodingName());
            if (ianaEncoding != kCFStringEncodingInvalidId) encoding = CFStringConvertEncodingToNSStringEncoding(ianaEncoding);
        }
        responseStringEncoding_ = encoding;
    }
    return responseStringEncoding_;
}

std::optional<std::string> NKURLConnectionOperation::responseString() {
    MutexLock guard(*lock_);
    if (!responseString_ && response_ && responseData_) {
        responseString_ = NSString::initWithBytes(responseData_->bytes(), responseData_->length(), responseStringEncoding());
    }
    return responseString_;
}

std::shared_ptr<NSInputStream> NKURLConnectionOperation::inputStream() const {
    auto request = this->request();
    return request ? request->HTTPBodyStream() : nullptr;
}

void NKURLConnectionOperation::setInputStream(const std::shared_ptr<NSInputStream>& stream) {
    MutexLock guard(*lock_);
    auto request = request_->mutableCopy();
    request->setHTTPBodyStream(stream);
    request_ = request;
}

std::shared_ptr<NSOutputStream> NKURLConnectionOperation::outputStream() {
    MutexLock guard(*lock_);
    if (!outputStream_) setOutputStream(NSOutputStream::outputStreamToMemory());
    return outputStream_;
}

void NKURLConnectionOperation::setOutputStream(const std::shared_ptr<NSOutputStream>& stream) {
    MutexLock guard(*lock_);
    if (stream == outputStream_) return;
    if (outputStream_) outputStream_->close();
    outputStream_ = stream;
}

dispatch_queue_t NKURLConnectionOperation::completionQueue() const { return lockedRead(&NKURLConnectionOperation::completionQueue_); }

void NKURLConnectionOperation::setCompletionQueue(dispatch_queue_t queue) { lockedWrite(&NKURLConnectionOperation::completionQueue_, std::move(queue)); }

dispatch_group_t NKURLConnectionOperation::completionGroup() const { return lockedRead(&NKURLConnectionOperation::completionGroup_); }

void NKURLConnectionOperation::setCompletionGroup(dispatch_group_t group) { lockedWrite(&NKURLConnectionOperation::completionGroup_, std::move(group)); }

NSURLConnectionPtr NKURLConnectionOperation::connection() const { return lockedRead(&NKURLConnectionOperation::connection_); }

void NKURLConnectionOperation::setUploadProgressBlock(UploadProgressBlock block) { lockedWrite(&NKURLConnectionOperation::uploadProgress_, std::move(block)); }

void NKURLConnectionOperation::setDownloadProgressBlock(DownloadProgressBlock block) { lockedWrite(&NKURLConnectionOperation::downloadProgress_, std::move(block)); }

void NKURLConnectionOperation::setWillSendRequestForAuthenticationChallengeBlock(AuthenticationChallengeBlock block) {
    lockedWrite(&NKURLConnectionOperation::authenticationChallenge_, std::move(block));
}

void NKURLConnectionOperation::setCacheResponseBlock(CacheResponseBlock block) { lockedWrite(&NKURLConnectionOperation::cacheResponse_, std::move(block)); }

void NKURLConnectionOperation::setRedirectResponseBlock(RedirectResponseBlock block) { lockedWrite(&NKURLConnectionOperation::redirectResponse_, std::move(block)); }


UIBackgroundTaskIdentifier NKURLConnectionOperation::backgroundTaskIdentifier() const { return lockedRead(&NKURLConnectionOperation::backgroundTaskIdentifier_); }
