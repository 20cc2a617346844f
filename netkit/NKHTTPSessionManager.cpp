#include "netkit/NKHTTPSessionManager.h"

#include "netkit/NKBaseURL.h"
#include "netkit/NKJSONResponseSerializer.h"
#include "platform/dispatch/dispatch.h"
#include "platform/foundation/NSKeyedUnarchiver.h"
#include "platform/foundation/NSString.h"

namespace {
const char* const kHTTPSessionManagerBaseURLKey = "baseURL";
const char* const kSessionConfigurationKey = "sessionConfiguration";
const char* const kIdentifierKey = "identifier";
const char* const kHTTPSessionManagerRequestSerializerKey = "requestSerializer";
const char* const kHTTPSessionManagerResponseSerializerKey = "responseSerializer";
const bool registeredNKHTTPSessionManager = (NSKeyedUnarchiver::registerClass("NKHTTPSessionManager",
                                                          [](const NSCoder& coder) -> std::shared_ptr<NSObject> {
                                                              return NKHTTPSessionManager::managerWithCoder(coder);
                                                          }),
                         true);
} // namespace

std::shared_ptr<NKHTTPSessionManager> NKHTTPSessionManager::manager() { return managerWithBaseURL(nullptr); }

std::shared_ptr<NKHTTPSessionManager> NKHTTPSessionManager::managerWithBaseURL(NSURLPtr baseURL,
                                                                               const NSURLSessionConfigurationPtr& configuration) {
    std::shared_ptr<NKHTTPSessionManager> manager(new NKHTTPSessionManager());
    manager->setUpWithBaseURL(baseURL, configuration);
    return manager;
}

void NKHTTPSessionManager::setUpWithBaseURL(const NSURLPtr& baseURL, const NSURLSessionConfigurationPtr& configuration) {
    NKURLSessionManager::setUp(configuration);
    baseURL_ = NKNormalizedBaseURL(baseURL);
    {
        MutexLock guard(serializerMutex_);
        requestSerializer_ = NKHTTPRequestSerializer::serializer();
    }
    NKURLSessionManager::setResponseSerializer(NKJSONResponseSerializer::serializer());
}

std::shared_ptr<NKHTTPSessionManager> NKHTTPSessionManager::managerWithCoder(const NSCoder& coder) {
    auto configuration = coder.decodeObjectForKey(kSessionConfigurationKey).objectAs<NSURLSessionConfiguration>();
    if (!configuration) {
        Value identifier = coder.decodeObjectForKey(kIdentifierKey);
        if (identifier.isString()) configuration = NSURLSessionConfiguration::backgroundSessionConfiguration(identifier.stringValue());
    }
    auto manager = managerWithBaseURL(NKDecodeBaseURL(coder, kHTTPSessionManagerBaseURLKey), configuration);
    manager->setRequestSerializer(coder.decodeObjectForKey(kHTTPSessionManagerRequestSerializerKey).objectAs<NKHTTPRequestSerializer>());
    manager->setResponseSerializer(coder.decodeObjectForKey(kHTTPSessionManagerResponseSerializerKey).objectAs<NKHTTPResponseSerializer>());
    return manager;
}

void NKHTTPSessionManager::encodeWithCoder(NSCoder& coder) const {
    // The superclass archives the configuration, which is always archivable here, so the
    // identifier alone is never needed.
    NKURLSessionManager::encodeWithCoder(coder);
    NKEncodeBaseURL(coder, baseURL_, kHTTPSessionManagerBaseURLKey);
    auto request = requestSerializer();
    auto response = responseSerializer();
    coder.encodeObjectForKey(request ? Value(request) : Value(), kHTTPSessionManagerRequestSerializerKey);
    coder.encodeObjectForKey(response ? Value(response) : Value(), kHTTPSessionManagerResponseSerializerKey);
}

std::shared_ptr<NKURLSessionManager> NKHTTPSessionManager::makeEmpty() const {
    return std::shared_ptr<NKHTTPSessionManager>(new NKHTTPSessionManager());
}

std::shared_ptr<NKURLSessionManager> NKHTTPSessionManager::copy() const {
    // makeEmpty answers the receiver's class, which is this one or one of its subclasses.
    auto copy = std::static_pointer_cast<NKHTTPSessionManager>(makeEmpty());
    copy->setUpWithBaseURL(baseURL_, session()->configuration());
    auto request = requestSerializer();
    auto response = responseSerializer();
    copy->setRequestSerializer(request ? request->copy() : nullptr);
    copy->setResponseSerializer(response ? response->copy() : nullptr);
    return copy;
}

std::string NKHTTPSessionManager::description() const {
    return NSString::stringWithFormat("<%@: %p, baseURL: %@, session: %@, operationQueue: %@>", className(), static_cast<const void*>(this),
                                      baseURL_ ? baseURL_->absoluteString() : std::string("(null)"), session()->description(),
                                      operationQueue()->description());
}

std::shared_ptr<NKHTTPRequestSerializer> NKHTTPSessionManager::requestSerializer() const {
    MutexLock guard(serializerMutex_);
    return requestSerializer_;
}

void NKHTTPSessionManager::setRequestSerializer(std::shared_ptr<NKHTTPRequestSerializer> serializer) {
    MutexLock guard(serializerMutex_);
    requestSerializer_ = std::move(serializer);
}

std::shared_ptr<NKHTTPResponseSerializer> NKHTTPSessionManager::responseSerializer() const {
    return std::dynamic_pointer_cast<NKHTTPResponseSerializer>(NKURLSessionManager::responseSerializer());
}

void NKHTTPSessionManager::setResponseSerializer(std::shared_ptr<NKHTTPResponseSerializer> serializer) {
    NKURLSessionManager::setResponseSerializer(std::move(serializer));
}

std::string NKHTTPSessionManager::resolvedURLString(const std::string& URLString) const {
    NSURLPtr resolved = NSURL::URLWithString(URLString, baseURL_);
    // What cannot be resolved goes on as it is, for the serializer to refuse.
    return resolved ? resolved->absoluteString() : URLString;
}

NSURLSessionDataTaskPtr NKHTTPSessionManager::start(const NSURLRequestPtr& request, const NSErrorPtr& error, bool streamed,
                                                    SuccessBlock success, FailureBlock failure) {
    dispatch_queue_t queue = completionQueue() ? completionQueue() : dispatch_get_main_queue();
    if (!request) {
        // Nothing to send: the caller hears why where it would have heard of a failed transfer.
        if (failure) dispatch_async(queue, [failure, error] { failure(nullptr, error); });
        return nullptr;
    }
    // The handler reaches the task through a holder filled in once the task is made, and lets go
    // of it when it has run.
    auto holder = std::make_shared<NSURLSessionDataTaskPtr>();
    CompletionHandler handler = [holder, success = std::move(success), failure = std::move(failure)](
                                    const NSURLResponsePtr&, const Value& object, const NSErrorPtr& failed) {
        NSURLSessionDataTaskPtr task = std::move(*holder);
        if (failed) {
            if (failure) failure(task, failed);
        } else if (success) {
            success(task, object);
        }
    };
    NSURLSessionDataTaskPtr task = streamed ? uploadTaskWithStreamedRequest(request, nullptr, std::move(handler))
                                            : dataTaskWithRequest(request, std::move(handler));
    if (!task) return nullptr;
    *holder = task;
    task->resume();
    return task;
}

NSURLSessionDataTaskPtr NKHTTPSessionManager::send(const std::string& method, const std::string& URLString, const Value& parameters,
                                                   SuccessBlock success, FailureBlock failure) {
    NSErrorPtr error;
    auto serializer = requestSerializer();
    NSURLRequestPtr request = serializer ? serializer->requestWithMethod(method, resolvedURLString(URLString), parameters, &error) : nullptr;
    if (!serializer) error = NKMissingRequestSerializerError();
    return start(request, error, false, std::move(success), std::move(failure));
}

NSURLSessionDataTaskPtr NKHTTPSessionManager::GET(const std::string& URLString, const Value& parameters, SuccessBlock success,
                                                  FailureBlock failure) {
    return send("GET", URLString, parameters, std::move(success), std::move(failure));
}

NSURLSessionDataTaskPtr NKHTTPSessionManager::HEAD(const std::string& URLString, const Value& parameters, HeadSuccessBlock success,
                                                   FailureBlock failure) {
    SuccessBlock withoutObject = [success = std::move(success)](const NSURLSessionDataTaskPtr& task, const Value&) {
        if (success) success(task);
    };
    return send("HEAD", URLString, parameters, std::move(withoutObject), std::move(failure));
}

NSURLSessionDataTaskPtr NKHTTPSessionManager::POST(const std::string& URLString, const Value& parameters, SuccessBlock success,
                                                   FailureBlock failure) {
    return send("POST", URLString, parameters, std::move(success), std::move(failure));
}

NSURLSessionDataTaskPtr NKHTTPSessionManager::POST(const std::string& URLString, const Value& parameters, const BodyBlock& block,
                                                   SuccessBlock success, FailureBlock failure) {
    NSErrorPtr error;
    auto serializer = requestSerializer();
    NSURLRequestPtr request =
        serializer ? serializer->multipartFormRequestWithMethod("POST", resolvedURLString(URLString), parameters, block, &error) : nullptr;
    if (!serializer) error = NKMissingRequestSerializerError();
    return start(request, error, true, std::move(success), std::move(failure));
}

NSURLSessionDataTaskPtr NKHTTPSessionManager::PUT(const std::string& URLString, const Value& parameters, SuccessBlock success,
                                                  FailureBlock failure) {
    return send("PUT", URLString, parameters, std::move(success), std::move(failure));
}

NSURLSessionDataTaskPtr NKHTTPSessionManager::PATCH(const std::string& URLString, const Value& parameters, SuccessBlock success,
                                                    FailureBlock failure) {
    return send("PATCH", URLString, parameters, std::move(success), std::move(failure));
}

NSURLSessionDataTaskPtr NKHTTPSessionManager::DELETE(const std::string& URLString, const Value& parameters, SuccessBlock success,
                                                     FailureBlock failure) {
    return send("DELETE", URLString, parameters, std::move(success), std::move(failure));
}
