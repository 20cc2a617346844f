#pragma once
// The HTTP form of the URL connection operation: a response serializer validates the answer and
// makes the response object, success and failure blocks run after serialization off the main
// thread, and pausing prepares the request to resume the download where it stopped.

#include "netkit/NKHTTPResponseSerializer.h"
#include "netkit/NKURLConnectionOperation.h"
#include "platform/net/NSHTTPURLResponse.h"

#include <functional>
#include <memory>
#include <optional>

class NKHTTPRequestOperation;
using NKHTTPRequestOperationPtr = std::shared_ptr<NKHTTPRequestOperation>;

class NKHTTPRequestOperation : public NKURLConnectionOperation {
public:
    using SuccessBlock = std::function<void(const NKHTTPRequestOperationPtr& operation, const Value& responseObject)>;
    using FailureBlock = std::function<void(const NKHTTPRequestOperationPtr& operation, const NSErrorPtr& error)>;

    explicit NKHTTPRequestOperation(NSURLRequestPtr request);
    // Nil for a nil request.
    static NKHTTPRequestOperationPtr initWithRequest(const NSURLRequestPtr& request);

    NSHTTPURLResponsePtr response() const;
    std::shared_ptr<NKHTTPResponseSerializer> responseSerializer() const;
    // Forgets the response object and the serializer's error.
    void setResponseSerializer(std::shared_ptr<NKHTTPResponseSerializer> serializer);
    // Built on first request once the operation finished without error; null before.
    Value responseObject();
    NSErrorPtr responseSerializationError() const;
    // The serializer's error when there is one, else the connection's.
    NSErrorPtr error() const override;

    void setCompletionBlockWithSuccess(SuccessBlock success, FailureBlock failure);
    // Sets "Range" (and "If-Range" from the response's ETag) for what the output stream holds,
    // then pauses.
    void pause() override;

    // The connection operation's archive plus the serializer.
    void encodeWithCoder(NSCoder& coder) const override;
    static NKHTTPRequestOperationPtr initWithCoder(const NSCoder& coder);

    // A copy with a copy of the serializer and the same completion queue and group.
    NKURLConnectionOperationPtr copy() const override;

    // A resumed download answered with the whole body (200 instead of 206) starts its output
    // again from the beginning instead of appending the body to what it holds. One answered 416
    // is complete only when the length the 416 names is what the stream holds and what the
    // download's first answer gave; a 206 must be the rest: the range asked for (as every 206
    // must, whoever asked). Either must be the same resource: of the length the download began
    // with and, where both answers name one, of its entity tag and modification date. Any other
    // fails the download with a -1011 error of NKNetworkingErrorDomain.
    void connectionDidReceiveResponse(const NSURLConnectionPtr& connection, const NSURLResponsePtr& response) override;

protected:
    NKURLConnectionOperationPtr makeWithRequest(const NSURLRequestPtr& request) const override;

private:
    // Why a 416 to a resumed download does not say that the stream holds the whole resource the
    // download began with ("" when it does).
    std::string unsatisfiedRangeRefusal(const NSURLRequest& request, const NSHTTPURLResponse& answer) const;
    // Why a resumed download's part is not the rest of the resource it began with ("" when it is).
    std::string resumeRefusal(const NSURLRequest& request, const NSHTTPURLResponse& part) const;
    // Why an answer of a resource of `length` bytes (-1: unknown) is not the resource the
    // download began with ("" when it may be).
    std::string sameResourceRefusal(const NSURLRequest& request, const NSHTTPURLResponse& answer, long long length) const;
    // The resource's length as the download's answer so far gave it (-1 when it did not).
    long long firstAnswerLength() const;

    // Whether the request's "Range" is the one the operation set when it paused.
    bool resumesDownload(const NSURLRequest& request) const;
    std::optional<std::string> resumeRange() const;

    std::shared_ptr<NKHTTPResponseSerializer> serializer_ TD_GUARDED_BY(*lock_);
    std::optional<std::string> resumeRange_ TD_GUARDED_BY(*lock_);
    std::optional<Value> responseObject_ TD_GUARDED_BY(*lock_);
    NSErrorPtr responseSerializationError_ TD_GUARDED_BY(*lock_);
};
