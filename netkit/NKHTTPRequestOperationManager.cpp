#include "netkit/NKHTTPRequestOperationManager.h"

#include "netkit/NKBaseURL.h"
#include "netkit/NKJSONResponseSerializer.h"
#include "platform/dispatch/dispatch.h"
#include "platform/foundation/NSKeyedUnarchiver.h"
#include "platform/foundation/NSString.h"

namespace {
const char* const kBaseURLKey = "baseURL";
const char* const kRequestSerializerKey = "requestSerializer";
const char* const kResponseSerializerKey = "responseSerializer";
const bool registeredNKHTTPRequestOperationManager =
    (NSKeyedUnarchiver::registerClass<NKHTTPRequestOperationManager>("NKHTTPRequestOperationManager"), true);
} // namespace

NKHTTPRequestOperationManager::NKHTTPRequestOperationManager(NSURLPtr baseURL)
    : baseURL_(NKNormalizedBaseURL(std::move(baseURL))), requestSerializer_(NKHTTPRequestSerializer::serializer()),
      responseSerializer_(NKJSONResponseSerializer::serializer()), operationQueue_(std::make_shared<NSOperationQueue>()),
      securityPolicy_(NKSecurityPolicy::defaultPolicy()), reachabilityManager_(NKNetworkReachabilityManager::sharedManager()) {}

NKHTTPRequestOperationManager::NKHTTPRequestOperationManager(const NSCoder& coder)
    : NKHTTPRequestOperationManager(NKDecodeBaseURL(coder, kBaseURLKey)) {
    requestSerializer_ = coder.decodeObjectForKey(kRequestSerializerKey).objectAs<NKHTTPRequestSerializer>();
    responseSerializer_ = coder.decodeObjectForKey(kResponseSerializerKey).objectAs<NKHTTPResponseSerializer>();
}

void NKHTTPRequestOperationManager::encodeWithCoder(NSCoder& coder) const {
    NKEncodeBaseURL(coder, baseURL_, kBaseURLKey);
    coder.encodeObjectForKey(requestSerializer_ ? Value(requestSerializer_) : Value(), kRequestSerializerKey);
    coder.encodeObjectForKey(responseSerializer_ ? Value(responseSerializer_) : Value(), kResponseSerializerKey);
}

std::shared_ptr<NKHTTPRequestOperationManager> NKHTTPRequestOperationManager::manager() {
    return std::make_shared<NKHTTPRequestOperationManager>();
}

NKHTTPRequestOperationPtr NKHTTPRequestOperationManager::HTTPRequestOperationWithRequest(const NSURLRequestPtr& request,
                                                                                         SuccessBlock success,
                                                                                         FailureBlock failure) {
    auto operation = NKHTTPRequestOperation::initWithRequest(request);
    if (!operation) return nullptr;
    operation->setResponseSerializer(responseSerializer_);
    operation->setShouldUseCredentialStorage(shouldUseCredentialStorage_);
    operation->setCredential(credential_);
    operation->setSecurityPolicy(securityPolicy_);
    operation->setCompletionBlockWithSuccess(std::move(success), std::move(failure));
    return operation;
}

std::string NKHTTPRequestOperationManager::resolvedURLString(const std::string& URLString) const {
    NSURLPtr resolved = NSURL::URLWithString(URLString, baseURL_);
    // What cannot be resolved goes on as it is, for the serializer to refuse.
    return resolved ? resolved->absoluteString() : URLString;
}

NKHTTPRequestOperationPtr NKHTTPRequestOperationManager::enqueue(const NSURLRequestPtr& request, const NSErrorPtr& error,
                                                                 SuccessBlock success, FailureBlock failure) {
    if (!request) {
        // Nothing to send: the caller hears why where it would have heard of a failed transfer.
        if (failure) dispatch_async(dispatch_get_main_queue(), [failure, error] { failure(nullptr, error); });
        return nullptr;
    }
    auto operation = HTTPRequestOperationWithRequest(request, std::move(success), std::move(failure));
    operationQueue_->addOperation(operation);
    return operation;
}

NKHTTPRequestOperationPtr NKHTTPRequestOperationManager::send(const std::string& method, const std::string& URLString,
                                                              const Value& parameters, SuccessBlock success, FailureBlock failure) {
    NSErrorPtr error;
    auto serializer = requestSerializer_;
    NSURLRequestPtr request = serializer ? serializer->requestWithMethod(method, resolvedURLString(URLString), parameters, &error) : nullptr;
    if (!serializer) error = NKMissingRequestSerializerError();
    return enqueue(request, error, std::move(success), std::move(failure));
}

NKHTTPRequestOperationPtr NKHTTPRequestOperationManager::GET(const std::string& URLString, const Value& parameters,
                                                             SuccessBlock success, FailureBlock failure) {
    return send("GET", URLString, parameters, std::move(success), std::move(failure));
}

NKHTTPRequestOperationPtr NKHTTPRequestOperationManager::HEAD(const std::string& URLString, const Value& parameters,
                                                              HeadSuccessBlock success, FailureBlock failure) {
    SuccessBlock withoutObject = [success](const NKHTTPRequestOperationPtr& operation, const Value&) {
        if (success) success(operation);
    };
    return send("HEAD", URLString, parameters, std::move(withoutObject), std::move(failure));
}

NKHTTPRequestOperationPtr NKHTTPRequestOperationManager::POST(const std::string& URLString, const Value& parameters,
                                                              SuccessBlock success, FailureBlock failure) {
    return send("POST", URLString, parameters, std::move(success), std::move(failure));
}

NKHTTPRequestOperationPtr NKHTTPRequestOperationManager::POST(const std::string& URLString, const Value& parameters,
                                                              const BodyBlock& block, SuccessBlock success, FailureBlock failure) {
    NSErrorPtr error;
    auto serializer = requestSerializer_;
    NSURLRequestPtr request =
        serializer ? serializer->multipartFormRequestWithMethod("POST", resolvedURLString(URLString), parameters, block, &error) : nullptr;
    if (!serializer) error = NKMissingRequestSerializerError();
    return enqueue(request, error, std::move(success), std::move(failure));
}

NKHTTPRequestOperationPtr NKHTTPRequestOperationManager::PUT(const std::string& URLString, const Value& parameters,
                                                             SuccessBlock success, FailureBlock failure) {
    return send("PUT", URLString, parameters, std::move(success), std::move(failure));
}

NKHTTPRequestOperationPtr NKHTTPRequestOperationManager::PATCH(const std::string& URLString, const Value& parameters,
                                                               SuccessBlock success, FailureBlock failure) {
    return send("PATCH", URLString, parameters, std::move(success), std::move(failure));
}

NKHTTPRequestOperationPtr NKHTTPRequestOperationManager::DELETE(const std::string& URLString, const Value& parameters,
                                                                SuccessBlock success, FailureBlock failure) {
    return send("DELETE", URLString, parameters, std::move(success), std::move(failure));
}

std::shared_ptr<NKHTTPRequestOperationManager> NKHTTPRequestOperationManager::makeEmpty() const {
    return std::make_shared<NKHTTPRequestOperationManager>();
}

std::shared_ptr<NKHTTPRequestOperationManager> NKHTTPRequestOperationManager::copy() const {
    auto copy = makeEmpty();
    // Already normalized, so it is stored as it stands.
    copy->baseURL_ = baseURL_;
    copy->requestSerializer_ = requestSerializer_ ? requestSerializer_->copy() : nullptr;
    copy->responseSerializer_ = responseSerializer_ ? responseSerializer_->copy() : nullptr;
    return copy;
}

std::string NKHTTPRequestOperationManager::description() const {
    return NSString::stringWithFormat("<%@: %p, baseURL: %@, operationQueue: %@>", className(), static_cast<const void*>(this),
                                      baseURL_ ? baseURL_->absoluteString() : std::string("(null)"),
                                      operationQueue_->description());
}
