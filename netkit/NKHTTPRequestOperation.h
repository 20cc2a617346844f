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
    // again from the beginning instead of appending the body to what it holds; one answered 416
    // with a length equal to what it holds is complete. A 206 must be the rest of the same
    // resource: the range asked for (as every 206 must, whoever asked), of the length the download
    // began with and, when both name one, of the entity tag it asked for; any other fails the
    // download with a -1011 error of NKNetworkingErrorDomain.
    void connectionDidReceiveResponse(const NSURLConnectionPtr& connection, const NSURLResponsePtr& response) override;

protected:
    NKURLConnectionOperationPtr makeWithRequest(const NSURLRequestPtr& request) const override;

private:
    // A 416 to a resumed download whose Content-Range length is what the stream already holds.
    bool holdsWholeResource(const NSURLResponsePtr& response) const;
    // Why a resumed download's part is not the rest of the resource it began with ("" when it is).
    std::string resumeRefusal(const NSURLRequest& request, const NSHTTPURLResponse& part) const;

    // Whether the request's "Range" is the one the operation set when it paused.
    bool resumesDownload(const NSURLRequest& request) const;
    std::optional<std::string> resumeRange() const;

    std::shared_ptr<NKHTTPResponseSerializer> serializer_ TD_GUARDED_BY(*lock_);
    std::optional<std::string> resumeRange_ TD_GUARDED_BY(*lock_);
    std::optional<Value> responseObject_ TD_GUARDED_BY(*lock_);
    NSErrorPtr responseSerializationError_ TD_GUARDED_BY(*lock_);
};
