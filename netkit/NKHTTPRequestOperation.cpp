#include "netkit/NKHTTPRequestOperation.h"

#include "platform/foundation/NSKeyedUnarchiver.h"
#include "platform/foundation/NSString.h"
#include "platform/net/NSHTTPPartialContent.h"
#include "platform/net/NSURLError.h"

namespace {

const char* const kProcessingQueueLabel = "com.netkit.networking.http-request.processing";

dispatch_queue_t http_request_operation_processing_queue() {
    static dispatch_queue_t queue = dispatch_queue_create(kProcessingQueueLabel, DISPATCH_QUEUE_CONCURRENT);
    return queue;
}

dispatch_group_t http_request_operation_completion_group() {
    static dispatch_group_t group = dispatch_group_create();
    return group;
}

constexpr long kHTTPStatusOK = 200;
constexpr long kHTTPStatusPartialContent = 206;
constexpr long kHTTPStatusRangeNotSatisfiable = 416;
const char* const kSerializerKey = "responseSerializer";
// The "Range" value the operation set itself when it paused (absent when it never did).
const char* const kResumeRangeKey = "resumeRange";

const bool registeredNKHTTPRequestOperation =
    (NSKeyedUnarchiver::registerClass("NKHTTPRequestOperation",
                                      [](const NSCoder& coder) -> std::shared_ptr<NSObject> {
                                          return NKHTTPRequestOperation::initWithCoder(coder);
                                      }),
     true);

} // namespace

NKHTTPRequestOperation::NKHTTPRequestOperation(NSURLRequestPtr request)
    : NKURLConnectionOperation(std::move(request)), serializer_(NKHTTPResponseSerializer::serializer()) {}

NKHTTPRequestOperationPtr NKHTTPRequestOperation::initWithRequest(const NSURLRequestPtr& request) {
    if (!request) return nullptr;
    return std::make_shared<NKHTTPRequestOperation>(request);
}

NKURLConnectionOperationPtr NKHTTPRequestOperation::makeWithRequest(const NSURLRequestPtr& request) const {
    return initWithRequest(request);
}

NSHTTPURLResponsePtr NKHTTPRequestOperation::response() const {
    return std::dynamic_pointer_cast<NSHTTPURLResponse>(NKURLConnectionOperation::response());
}

std::shared_ptr<NKHTTPResponseSerializer> NKHTTPRequestOperation::responseSerializer() const {
    MutexLock guard(*lock_);
    return serializer_;
}

void NKHTTPRequestOperation::setResponseSerializer(std::shared_ptr<NKHTTPResponseSerializer> serializer) {
    MutexLock guard(*lock_);
    serializer_ = std::move(serializer);
    responseObject_.reset();
    responseSerializationError_.reset();
}

Value NKHTTPRequestOperation::responseObject() {
    MutexLock guard(*lock_);
    if (!responseObject_ && isFinished() && !error()) {
        NSErrorPtr serializationError;
        responseObject_ = serializer_ ? serializer_->responseObjectForResponse(NKURLConnectionOperation::response(), responseData(),
                                                                               &serializationError)
                                      : Value();
        if (serializationError) responseSerializationError_ = serializationError;
    }
    return responseObject_.value_or(Value());
}

NSErrorPtr NKHTTPRequestOperation::responseSerializationError() const {
    MutexLock guard(*lock_);
    return responseSerializationError_;
}

NSErrorPtr NKHTTPRequestOperation::error() const {
    MutexLock guard(*lock_);
    return responseSerializationError_ ? responseSerializationError_ : NKURLConnectionOperation::error();
}

void NKHTTPRequestOperation::setCompletionBlockWithSuccess(SuccessBlock success, FailureBlock failure) {
    auto self = this->self<NKHTTPRequestOperation>();
    // The block holds the operation until it has run; the completion wrapper clears it afterwards.
    setCompletionBlock([self, success, failure] {
        dispatch_group_t group = self->completionGroup();
        if (group) dispatch_group_enter(group);
        dispatch_async(http_request_operation_processing_queue(), [self, success, failure, group] {
            dispatch_group_t submitGroup = group ? group : http_request_operation_completion_group();
            dispatch_queue_t queue = self->completionQueue();
            if (!queue) queue = dispatch_get_main_queue();
            auto submitFailure = [&] {
                if (failure) dispatch_group_async(submitGroup, queue, [self, failure] { failure(self, self->error()); });
            };
            if (self->error()) {
                submitFailure();
            } else {
                Value object = self->responseObject();
                if (self->error()) {
                    submitFailure();
                } else if (success) {
                    dispatch_group_async(submitGroup, queue, [self, success, object] { success(self, object); });
                }
            }
            if (group) dispatch_group_leave(group);
        });
    });
}

void NKHTTPRequestOperation::pause() {
    // The offset and the pause are taken together under the operation's lock, which the network
    // thread never holds while it writes: a chunk either counts in the offset or is cut off the
    // stream before the download resumes. The stream itself is not asked (a memory stream would
    // copy its whole buffer to tell its length, and a stream in the middle of a write would make
    // the caller wait for it).
    MutexLock guard(*lock_);
    outputStream();
    auto offset = static_cast<unsigned long long>(streamOffset());
    auto request = this->request()->mutableCopy();
    if (auto http = response()) {
        if (auto etag = http->valueForHTTPHeaderField("ETag"); etag && !etag->empty()) {
            request->setValueForHTTPHeaderField(*etag, "If-Range");
        }
    }
    std::string range = NSString::stringWithFormat("bytes=%llu-", offset);
    request->setValueForHTTPHeaderField(range, "Range");
    resumeRange_ = std::move(range);
    setRequest(request);
    NKURLConnectionOperation::pause();
}

void NKHTTPRequestOperation::connectionDidReceiveResponse(const NSURLConnectionPtr& connection, const NSURLResponsePtr& response) {
    if (isStale(connection)) return;
    auto http = std::dynamic_pointer_cast<NSHTTPURLResponse>(response);
    auto request = this->request();
    bool restart = false;
    // A range the operation set on a pause continues what the stream holds: the part must be the
    // rest of the same resource (the connection operation checks that it is the range asked for).
    if (http && request && resumesDownload(*request)) {
        if (http->statusCode() == kHTTPStatusRangeNotSatisfiable) {
            if (std::string refusal = unsatisfiedRangeRefusal(*request, *http); !refusal.empty()) {
                failWithBadServerResponse(connection, response, refusal);
                return;
            }
            // The pause fell after the last byte: the stream already holds the whole resource,
            // and this refusal of the range completes the download (with the response that
            // brought it).
            discardBodyOfResponse(connection);
            return;
        }
        if (http->statusCode() == kHTTPStatusPartialContent) {
            if (std::string refusal = resumeRefusal(*request, *http); !refusal.empty()) {
                failWithBadServerResponse(connection, response, refusal);
                return;
            }
        } else if (http->statusCode() == kHTTPStatusOK) {
            // The server sent the whole resource again (it ignored the range, or the resource
            // changed since the ETag): what the stream holds is not a prefix of this body.
            restart = true;
        }
    }
    NKURLConnectionOperation::connectionDidReceiveResponse(connection, response);
    // An answer refused there, or one to a connection a pause gave up, says nothing of the stream.
    if (!restart || isStale(connection)) return;
    restartStreamAt(0);
    resetTotalBytesReadOnMainQueue();
}

std::string NKHTTPRequestOperation::resumeRefusal(const NSURLRequest& request, const NSHTTPURLResponse& part) const {
    auto range = NSHTTPContentRange(part);
    // A part that names no usable range is refused as such by the connection operation.
    if (!range) return "";
    return sameResourceRefusal(request, part, range->completeLength);
}

long long NKHTTPRequestOperation::firstAnswerLength() const {
    // A whole body gives its length, a part the resource's.
    auto first = response();
    if (!first) return NSURLResponseUnknownLength;
    if (first->statusCode() == kHTTPStatusOK) return first->expectedContentLength();
    auto range = NSHTTPContentRange(*first);
    return range ? range->completeLength : NSURLResponseUnknownLength;
}

std::string NKHTTPRequestOperation::sameResourceRefusal(const NSURLRequest& request, const NSHTTPURLResponse& answer,
                                                        long long length) const {
    const long long total = firstAnswerLength();
    if (total >= 0 && length >= 0 && length != total) {
        return NSString::stringWithFormat("The resource changed since the download began: it now has %lld bytes, not %lld", length,
                                          total);
    }
    // The validators the download began with, where both answers give one.
    auto first = response();
    const std::string sentTag = request.valueForHTTPHeaderField("If-Range");
    const std::string firstTag = !sentTag.empty() ? sentTag : first ? first->valueForHTTPHeaderField("ETag").value_or("") : "";
    auto tag = answer.valueForHTTPHeaderField("ETag");
    if (!firstTag.empty() && tag && !tag->empty() && *tag != firstTag) {
        return NSString::stringWithFormat("The resource changed since the download began: its entity tag is now %@, not %@", *tag,
                                          firstTag);
    }
    const std::string firstModified = first ? first->valueForHTTPHeaderField("Last-Modified").value_or("") : "";
    auto modified = answer.valueForHTTPHeaderField("Last-Modified");
    if (!firstModified.empty() && modified && !modified->empty() && *modified != firstModified) {
        return NSString::stringWithFormat("The resource changed since the download began: it was modified %@, not %@", *modified,
                                          firstModified);
    }
    return "";
}

std::string NKHTTPRequestOperation::unsatisfiedRangeRefusal(const NSURLRequest& request, const NSHTTPURLResponse& answer) const {
    // "bytes */LENGTH": the length of the whole resource.
    auto contentRange = answer.valueForHTTPHeaderField("Content-Range");
    const std::string prefix = "bytes */";
    std::string digits = contentRange && contentRange->rfind(prefix, 0) == 0 ? contentRange->substr(prefix.size()) : std::string();
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos || digits.size() > 18) {
        return "The server refused the rest of the resource without naming its length (" + contentRange.value_or("no range") + ")";
    }
    const long long length = std::stoll(digits);
    // The resource as the download began must still be there, and the stream must hold all of it.
    if (std::string refusal = sameResourceRefusal(request, answer, length); !refusal.empty()) return refusal;
    const long long held = streamOffset();
    if (length != held) {
        return NSString::stringWithFormat("The server refused the rest of the resource: it has %lld bytes, and the download holds %lld",
                                          length, held);
    }
    return "";
}

void NKHTTPRequestOperation::encodeWithCoder(NSCoder& coder) const {
    NKURLConnectionOperation::encodeWithCoder(coder);
    auto serializer = responseSerializer();
    coder.encodeObjectForKey(serializer ? Value(serializer) : Value(), kSerializerKey);
    if (auto range = resumeRange()) coder.encodeObjectForKey(Value(*range), kResumeRangeKey);
}

std::optional<std::string> NKHTTPRequestOperation::resumeRange() const {
    MutexLock guard(*lock_);
    return resumeRange_;
}

bool NKHTTPRequestOperation::resumesDownload(const NSURLRequest& request) const {
    const std::optional<std::string> own = resumeRange();
    const std::string range = request.valueForHTTPHeaderField("Range");
    return own && !range.empty() && range == *own;
}

NKHTTPRequestOperationPtr NKHTTPRequestOperation::initWithCoder(const NSCoder& coder) {
    auto operation = initWithRequest(coder.decodeObjectForKey("request").objectAs<NSURLRequest>());
    if (!operation) return nullptr;
    operation->decodeRestFrom(coder);
    operation->setResponseSerializer(coder.decodeObjectForKey(kSerializerKey).objectAs<NKHTTPResponseSerializer>());
    if (Value range = coder.decodeObjectForKey(kResumeRangeKey); range.isString()) {
        MutexLock guard(*operation->lock_);
        operation->resumeRange_ = range.stringValue();
    }
    return operation;
}

NKURLConnectionOperationPtr NKHTTPRequestOperation::copy() const {
    auto copy = std::static_pointer_cast<NKHTTPRequestOperation>(makeWithRequest(request()));
    if (!copy) return nullptr;
    auto serializer = responseSerializer();
    copy->setResponseSerializer(serializer ? serializer->copy() : nullptr);
    copy->setCompletionQueue(completionQueue());
    copy->setCompletionGroup(completionGroup());
    return copy;
}
