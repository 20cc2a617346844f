#pragma once
// The HTTP face of the URL session manager: a base URL that relative paths resolve against, a
// request serializer that builds each request, and one method per HTTP verb that makes the data
// (or streamed upload) task, resumes it and reports to a success or a failure block.

#include "netkit/NKHTTPRequestSerializer.h"
#include "netkit/NKHTTPResponseSerializer.h"
#include "netkit/NKURLSessionManager.h"

#include <functional>
#include <memory>

class NKHTTPSessionManager : public NKURLSessionManager {
public:
    using SuccessBlock = std::function<void(const NSURLSessionDataTaskPtr& task, const Value& responseObject)>;
    using HeadSuccessBlock = std::function<void(const NSURLSessionDataTaskPtr& task)>;
    using FailureBlock = std::function<void(const NSURLSessionDataTaskPtr& task, const NSErrorPtr& error)>;
    using BodyBlock = std::function<void(NKMultipartFormData& formData)>;

    // manager / initWithBaseURL:sessionConfiguration: (nil: the default configuration). A base
    // with a path gets a trailing "/", so relative paths resolve below it; a bare host stays.
    static std::shared_ptr<NKHTTPSessionManager> manager();
    static std::shared_ptr<NKHTTPSessionManager> managerWithBaseURL(NSURLPtr baseURL,
                                                                    const NSURLSessionConfigurationPtr& configuration = nullptr);
    // initWithCoder: — an archive without a configuration but with an identifier gets a background
    // configuration of that identifier.
    static std::shared_ptr<NKHTTPSessionManager> managerWithCoder(const NSCoder& coder);
    void encodeWithCoder(NSCoder& coder) const override;
    // A manager of the same class with the same base URL and configuration and copies of both
    // serializers; hooks, queues and policy are not carried over.
    std::shared_ptr<NKURLSessionManager> copy() const override;
    std::string description() const override;

    const NSURLPtr& baseURL() const { return baseURL_; }
    std::shared_ptr<NKHTTPRequestSerializer> requestSerializer() const;
    void setRequestSerializer(std::shared_ptr<NKHTTPRequestSerializer> serializer);
    std::shared_ptr<NKHTTPResponseSerializer> responseSerializer() const;
    void setResponseSerializer(std::shared_ptr<NKHTTPResponseSerializer> serializer);

    // Each returns the resumed task. When no request can be built (an unusable URL string,
    // parameters the serializer cannot encode) nothing is sent: the failure block gets the
    // serializer's error on the completion queue, with no task, and the result is nil.
    NSURLSessionDataTaskPtr GET(const std::string& URLString, const Value& parameters, SuccessBlock success, FailureBlock failure);
    NSURLSessionDataTaskPtr HEAD(const std::string& URLString, const Value& parameters, HeadSuccessBlock success, FailureBlock failure);
    NSURLSessionDataTaskPtr POST(const std::string& URLString, const Value& parameters, SuccessBlock success, FailureBlock failure);
    NSURLSessionDataTaskPtr POST(const std::string& URLString, const Value& parameters, const BodyBlock& block, SuccessBlock success,
                                 FailureBlock failure);
    NSURLSessionDataTaskPtr PUT(const std::string& URLString, const Value& parameters, SuccessBlock success, FailureBlock failure);
    NSURLSessionDataTaskPtr PATCH(const std::string& URLString, const Value& parameters, SuccessBlock success, FailureBlock failure);
    NSURLSessionDataTaskPtr DELETE(const std::string& URLString, const Value& parameters, SuccessBlock success, FailureBlock failure);

protected:
    NKHTTPSessionManager() = default;
    void setUpWithBaseURL(const NSURLPtr& baseURL, const NSURLSessionConfigurationPtr& configuration);
    std::shared_ptr<NKURLSessionManager> makeEmpty() const override;

private:
    std::string resolvedURLString(const std::string& URLString) const;
    NSURLSessionDataTaskPtr start(const NSURLRequestPtr& request, const NSErrorPtr& error, bool streamed, SuccessBlock success,
                                  FailureBlock failure);
    NSURLSessionDataTaskPtr send(const std::string& method, const std::string& URLString, const Value& parameters,
                                 SuccessBlock success, FailureBlock failure);

    NSURLPtr baseURL_;
    mutable Mutex serializerMutex_;
    std::shared_ptr<NKHTTPRequestSerializer> requestSerializer_ TD_GUARDED_BY(serializerMutex_);
};
