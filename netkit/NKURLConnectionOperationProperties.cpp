// The operation's properties: each read and change under the operation's lock (lockedRead and
// lockedWrite for the plain ones).
#include "netkit/NKURLConnectionOperation.h"

#include "platform/foundation/NSString.h"

NSURLRequestPtr NKURLConnectionOperation::request() const { return lockedRead(request_); }

void NKURLConnectionOperation::setRequest(NSURLRequestPtr request) { lockedWrite(request_, std::move(request)); }

NSURLResponsePtr NKURLConnectionOperation::response() const { return lockedRead(response_); }

NSErrorPtr NKURLConnectionOperation::error() const { return lockedRead(error_); }

NSDataPtr NKURLConnectionOperation::responseData() const { return lockedRead(responseData_); }

void NKURLConnectionOperation::setResponseData(const NSDataPtr& data) {
    std::lock_guard guard(*lock_);
    responseData_ = data ? NSData::dataWithBytes(data->bytes(), data->length()) : nullptr;
}

NSStringEncoding NKURLConnectionOperation::responseStringEncoding() {
    std::lock_guard guard(*lock_);
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
    std::lock_guard guard(*lock_);
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
    std::lock_guard guard(*lock_);
    auto request = request_->mutableCopy();
    request->setHTTPBodyStream(stream);
    request_ = request;
}

std::shared_ptr<NSOutputStream> NKURLConnectionOperation::outputStream() {
    std::lock_guard guard(*lock_);
    if (!outputStream_) setOutputStream(NSOutputStream::outputStreamToMemory());
    return outputStream_;
}

void NKURLConnectionOperation::setOutputStream(const std::shared_ptr<NSOutputStream>& stream) {
    std::lock_guard guard(*lock_);
    if (stream == outputStream_) return;
    if (outputStream_) outputStream_->close();
    outputStream_ = stream;
}

dispatch_queue_t NKURLConnectionOperation::completionQueue() const { return lockedRead(completionQueue_); }

void NKURLConnectionOperation::setCompletionQueue(dispatch_queue_t queue) { lockedWrite(completionQueue_, std::move(queue)); }

dispatch_group_t NKURLConnectionOperation::completionGroup() const { return lockedRead(completionGroup_); }

void NKURLConnectionOperation::setCompletionGroup(dispatch_group_t group) { lockedWrite(completionGroup_, std::move(group)); }

NSURLConnectionPtr NKURLConnectionOperation::connection() const { return lockedRead(connection_); }

void NKURLConnectionOperation::setUploadProgressBlock(UploadProgressBlock block) { lockedWrite(uploadProgress_, std::move(block)); }

void NKURLConnectionOperation::setDownloadProgressBlock(DownloadProgressBlock block) { lockedWrite(downloadProgress_, std::move(block)); }

void NKURLConnectionOperation::setWillSendRequestForAuthenticationChallengeBlock(AuthenticationChallengeBlock block) {
    lockedWrite(authenticationChallenge_, std::move(block));
}

void NKURLConnectionOperation::setCacheResponseBlock(CacheResponseBlock block) { lockedWrite(cacheResponse_, std::move(block)); }

void NKURLConnectionOperation::setRedirectResponseBlock(RedirectResponseBlock block) { lockedWrite(redirectResponse_, std::move(block)); }

