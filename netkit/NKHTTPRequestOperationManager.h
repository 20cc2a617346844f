#pragma once
// The front of the operation-based HTTP client: a base URL, a request and a response serializer,
// credential and trust settings, and an operation queue. Each verb method builds the request,
// wraps it in an NKHTTPRequestOperation with the caller's blocks and enqueues it. The reachability
// manager (the shared one by default) is held for the owner: the manager neither starts nor reads
// it, so operations are enqueued whatever it reports.

#include "netkit/NKHTTPRequestOperation.h"
#include "netkit/NKHTTPRequestSerializer.h"
#include "netkit/NKHTTPResponseSerializer.h"
#include "netkit/NKNetworkReachabilityManager.h"
#include "netkit/NKSecurityPolicy.h"
#include "platform/dispatch/NSOperationQueue.h"
#include "platform/foundation/NSCoder.h"
#include "platform/net/NSURLCredential.h"

#include <functional>
#include <memory>

class NKHTTPRequestOperationManager : public NSObject, public NSCoding {
public:
    using SuccessBlock = NKHTTPRequestOperation::SuccessBlock;
    using FailureBlock = NKHTTPRequestOperation::FailureBlock;
    using HeadSuccessBlock = std::function<void(const NKHTTPRequestOperationPtr& operation)>;
    using BodyBlock = std::function<void(NKMultipartFormData& formData)>;

    // initWithBaseURL: — a base with a path gets a trailing "/", so relative paths resolve below it.
    explicit NKHTTPRequestOperationManager(NSURLPtr baseURL = nullptr);
    // initWithCoder: — the archived base URL and serializers, every other setting its default.
    explicit NKHTTPRequestOperationManager(const NSCoder& coder);
    void encodeWithCoder(NSCoder& coder) const override;
    static std::shared_ptr<NKHTTPRequestOperationManager> manager();

    const NSURLPtr& baseURL() const { return baseURL_; }
    const std::shared_ptr<NKHTTPRequestSerializer>& requestSerializer() const { return requestSerializer_; }
    void setRequestSerializer(std::shared_ptr<NKHTTPRequestSerializer> serializer) { requestSerializer_ = std::move(serializer); }
    // Shared by every operation, not copied.
    const std::shared_ptr<NKHTTPResponseSerializer>& responseSerializer() const { return responseSerializer_; }
    void setResponseSerializer(std::shared_ptr<NKHTTPResponseSerializer> serializer) { responseSerializer_ = std::move(serializer); }
    const std::shared_ptr<NSOperationQueue>& operationQueue() const { return operationQueue_; }
    void setOperationQueue(std::shared_ptr<NSOperationQueue> queue) { operationQueue_ = std::move(queue); }
    bool shouldUseCredentialStorage() const { return shouldUseCredentialStorage_; }
    void setShouldUseCredentialStorage(bool use) { shouldUseCredentialStorage_ = use; }
    const NSURLCredentialPtr& credential() const { return credential_; }
    void setCredential(NSURLCredentialPtr credential) { credential_ = std::move(credential); }
    const std::shared_ptr<NKSecurityPolicy>& securityPolicy() const { return securityPolicy_; }
    void setSecurityPolicy(std::shared_ptr<NKSecurityPolicy> policy) { securityPolicy_ = std::move(policy); }
    const std::shared_ptr<NKNetworkReachabilityManager>& reachabilityManager() const { return reachabilityManager_; }
    void setReachabilityManager(std::shared_ptr<NKNetworkReachabilityManager> manager) { reachabilityManager_ = std::move(manager); }

    // A new operation, not enqueued, with the manager's settings and the blocks.
    NKHTTPRequestOperationPtr HTTPRequestOperationWithRequest(const NSURLRequestPtr& request, SuccessBlock success,
                                                              FailureBlock failure);

    // Each enqueues and returns the operation. When no request can be built (an unusable URL
    // string, parameters the serializer cannot encode) nothing is sent: the failure block gets the
    // serializer's error on the main queue, and the result is nil.
    NKHTTPRequestOperationPtr GET(const std::string& URLString, const Value& parameters, SuccessBlock success, FailureBlock failure);
    NKHTTPRequestOperationPtr HEAD(const std::string& URLString, const Value& parameters, HeadSuccessBlock success,
                                   FailureBlock failure);
    NKHTTPRequestOperationPtr POST(const std::string& URLString, const Value& parameters, SuccessBlock success, FailureBlock failure);
    NKHTTPRequestOperationPtr POST(const std::string& URLString, const Value& parameters, const BodyBlock& block,
                                   SuccessBlock success, FailureBlock failure);
    NKHTTPRequestOperationPtr PUT(const std::string& URLString, const Value& parameters, SuccessBlock success, FailureBlock failure);
    NKHTTPRequestOperationPtr PATCH(const std::string& URLString, const Value& parameters, SuccessBlock success,
                                    FailureBlock failure);
    NKHTTPRequestOperationPtr DELETE(const std::string& URLString, const Value& parameters, SuccessBlock success,
                                     FailureBlock failure);

    // A manager of the same class with the same base URL and copies of both serializers;
    // everything else (queue, credential, policy, reachability manager) its default.
    std::shared_ptr<NKHTTPRequestOperationManager> copy() const;
    std::string description() const override;

protected:
    // A fresh instance of the receiver's class, for copy(): a subclass answers one of its own.
    virtual std::shared_ptr<NKHTTPRequestOperationManager> makeEmpty() const;

private:
    std::string resolvedURLString(const std::string& URLString) const;
    NKHTTPRequestOperationPtr enqueue(const NSURLRequestPtr& request, const NSErrorPtr& error, SuccessBlock success,
                                      FailureBlock failure);
    NKHTTPRequestOperationPtr send(const std::string& method, const std::string& URLString, const Value& parameters,
                                   SuccessBlock success, FailureBlock failure);

    NSURLPtr baseURL_;
    std::shared_ptr<NKHTTPRequestSerializer> requestSerializer_;
    std::shared_ptr<NKHTTPResponseSerializer> responseSerializer_;
    std::shared_ptr<NSOperationQueue> operationQueue_;
    bool shouldUseCredentialStorage_ = true;
    NSURLCredentialPtr credential_;
    std::shared_ptr<NKSecurityPolicy> securityPolicy_;
    std::shared_ptr<NKNetworkReachabilityManager> reachabilityManager_;
};
