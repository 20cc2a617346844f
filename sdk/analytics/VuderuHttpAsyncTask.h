#pragma once
// The SDK's own small HTTP client: one asynchronous request over NSURLConnection in a run loop
// (the main one for every caller), whose outcome reaches the caller's delegate exactly once as a
// success (2xx), a failure (any other status, or a connection error) or a cancel — except after
// cancelTask, which is silent.
//
// Ownership: the connection holds its delegate while it loads, the delegate holds the task and
// the caller's delegate, the task holds the connection; the chain breaks when the connection lets
// go of its delegate after the outcome (or at cancel).

#include "platform/foundation/NSData.h"
#include "platform/foundation/NSObject.h"
#include "platform/foundation/NSRunLoop.h"
#include "platform/foundation/NSURL.h"
#include "platform/foundation/Value.h"
#include "platform/net/NSURLConnection.h"
#include "sdk/analytics/VuderuHTTPResponse.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <variant>

class VuderuHttpAsyncTask;
using VuderuHttpAsyncTaskPtr = std::shared_ptr<VuderuHttpAsyncTask>;

class VuderuHttpAsyncTaskDelegate {
public:
    virtual ~VuderuHttpAsyncTaskDelegate() = default;
    virtual void requestSuccessfulWithResponse(const VuderuHttpAsyncTaskPtr& task, const VuderuHTTPResponsePtr& response) = 0;
    virtual void requestDidFailWithResponse(const VuderuHttpAsyncTaskPtr& task, const VuderuHTTPResponsePtr& response) = 0;
    virtual void requestDidCancelWithResponse(const VuderuHttpAsyncTaskPtr& task, const VuderuHTTPResponsePtr& response) = 0;
};

// NSURLRequestReloadIgnoringLocalAndRemoteCacheData.
inline constexpr NSURLRequestCachePolicy NSURLRequestReloadIgnoringLocalAndRemoteCacheData = static_cast<NSURLRequestCachePolicy>(4);
extern const double VuderuHttpAsyncTaskDefaultTimeoutInterval;

class VuderuHttpAsyncTask : public NSObject {
public:
    // An NSString (made into a URL with URLWithString:) or an NSURL.
    using URLArgument = std::variant<std::string, NSURLPtr>;
    using HeaderFields = NSHTTPHeaderFields;
    using Query = std::variant<std::string, Value::Dictionary>;
    using DelegatePtr = std::shared_ptr<VuderuHttpAsyncTaskDelegate>;

    static VuderuHttpAsyncTaskPtr get(const URLArgument& url, const DelegatePtr& delegate);
    static VuderuHttpAsyncTaskPtr get(const URLArgument& url, const std::optional<HeaderFields>& headerFields, const DelegatePtr& delegate);
    // A GET whose answer is of use only up to maximumBodyLength bytes (a document with a bound of
    // its own): the transfer stops once the answer passes it and the task fails with
    // NSURLErrorDataLengthExceedsMaximum, having read no more than that.
    static VuderuHttpAsyncTaskPtr getBounded(const URLArgument& url, std::size_t maximumBodyLength, const DelegatePtr& delegate);
    static VuderuHttpAsyncTaskPtr post(const URLArgument& url, const NSDataPtr& body, const DelegatePtr& delegate);
    static VuderuHttpAsyncTaskPtr post(const URLArgument& url, const NSDataPtr& body, const std::optional<HeaderFields>& headerFields,
                                       const DelegatePtr& delegate);
    static VuderuHttpAsyncTaskPtr sendMethod(const std::string& method, const URLArgument& url, const NSDataPtr& body,
                                             const std::optional<HeaderFields>& headerFields, const DelegatePtr& delegate,
                                             bool startImmediately = true);
    // The designated factory; the time-out is a whole number of seconds. An answer may hold up to
    // VuderuConnectionDelegate::kMaxBodyBytes (maximumBodyLength 0), or up to maximumBodyLength
    // when that is less.
    static VuderuHttpAsyncTaskPtr sendMethod(const std::string& method, const URLArgument& url, const NSDataPtr& body,
                                             const std::optional<HeaderFields>& headerFields, long timeoutInterval,
                                             NSURLRequestCachePolicy cachePolicy, const DelegatePtr& delegate, bool startImmediately,
                                             std::size_t maximumBodyLength = 0);

    // "key=value" items joined with "&", in the dictionary's order; nothing is escaped.
    static std::string queryDictionaryToString(const Value::Dictionary& dictionary);
    static std::map<std::string, std::string> stringToQueryDictionary(const std::string& string);
    // nil when the result is no valid URL.
    static NSURLPtr urlWithProtocolHostPortPathQuery(const std::optional<std::string>& protocol, const std::optional<std::string>& host,
                                                     int port, const std::optional<std::string>& path, const std::optional<Query>& query);

    VuderuHttpAsyncTask();
    ~VuderuHttpAsyncTask() override;

    void startInRunLoop(const std::shared_ptr<NSRunLoop>& runLoop);
    // No callback follows.
    void cancelTask();

    const NSURLConnectionPtr& connection() const { return connection_; }
    void setConnection(NSURLConnectionPtr connection) { connection_ = std::move(connection); }
    const std::string& tag() const { return tag_; }
    void setTag(std::string tag) { tag_ = std::move(tag); }
    Value::Dictionary& taskParams() { return taskParams_; }
    std::uint64_t backgroundTask() const { return backgroundTask_; }
    void setBackgroundTask(std::uint64_t identifier) { backgroundTask_ = identifier; }

private:
    NSURLConnectionPtr connection_;
    std::string tag_;
    Value::Dictionary taskParams_;
    std::uint64_t backgroundTask_ = 0;
};
