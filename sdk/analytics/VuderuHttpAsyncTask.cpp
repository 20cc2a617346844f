#include "sdk/analytics/VuderuHttpAsyncTask.h"

#include "platform/uikit/UIApplication.h"
#include "sdk/analytics/VuderuConnectionDelegate.h"
#include "sdk/analytics/VuderuUtil.h"

#include <cmath>

const double VuderuHttpAsyncTaskDefaultTimeoutInterval = 20.0;

namespace {

constexpr int kDefaultHTTPPort = 80;

NSURLPtr urlFrom(const VuderuHttpAsyncTask::URLArgument& url) {
    if (const auto* text = std::get_if<std::string>(&url)) return NSURL::URLWithString(*text);
    return std::get<NSURLPtr>(url);
}

void setBackgroundTaskInvalid(VuderuHttpAsyncTask& task) {
    if (VuderuUtil::getSystemVersionAsAnInteger() >= VuderuUtil::kSystemVersionDispatch) task.setBackgroundTask(UIBackgroundTaskInvalid);
}

} // namespace

VuderuHttpAsyncTask::VuderuHttpAsyncTask() {
    setBackgroundTaskInvalid(*this);
}

VuderuHttpAsyncTask::~VuderuHttpAsyncTask() {
    setBackgroundTaskInvalid(*this);
}

VuderuHttpAsyncTaskPtr VuderuHttpAsyncTask::get(const URLArgument& url, const DelegatePtr& delegate) {
    return get(url, std::nullopt, delegate);
}

VuderuHttpAsyncTaskPtr VuderuHttpAsyncTask::get(const URLArgument& url, const std::optional<HeaderFields>& headerFields,
                                                const DelegatePtr& delegate) {
    return sendMethod("GET", url, nullptr, headerFields, delegate);
}

VuderuHttpAsyncTaskPtr VuderuHttpAsyncTask::getBounded(const URLArgument& url, std::size_t maximumBodyLength, const DelegatePtr& delegate) {
    return sendMethod("GET", url, nullptr, std::nullopt, static_cast<long>(VuderuHttpAsyncTaskDefaultTimeoutInterval),
                      NSURLRequestReloadIgnoringLocalAndRemoteCacheData, delegate, true, maximumBodyLength);
}

VuderuHttpAsyncTaskPtr VuderuHttpAsyncTask::post(const URLArgument& url, const NSDataPtr& body, const DelegatePtr& delegate) {
    return post(url, body, std::nullopt, delegate);
}

VuderuHttpAsyncTaskPtr VuderuHttpAsyncTask::post(const URLArgument& url, const NSDataPtr& body,
                                                 const std::optional<HeaderFields>& headerFields, const DelegatePtr& delegate) {
    return sendMethod("POST", url, body, headerFields, delegate);
}

VuderuHttpAsyncTaskPtr VuderuHttpAsyncTask::sendMethod(const std::string& method, const URLArgument& url, const NSDataPtr& body,
                                                       const std::optional<HeaderFields>& headerFields, const DelegatePtr& delegate,
                                                       bool startImmediately) {
    return sendMethod(method, url, body, headerFields, static_cast<long>(VuderuHttpAsyncTaskDefaultTimeoutInterval),
                      NSURLRequestReloadIgnoringLocalAndRemoteCacheData, delegate, startImmediately);
}

VuderuHttpAsyncTaskPtr VuderuHttpAsyncTask::sendMethod(const std::string& method, const URLArgument& url, const NSDataPtr& body,
                                                       const std::optional<HeaderFields>& headerFields, long timeoutInterval,
                                                       NSURLRequestCachePolicy cachePolicy, const DelegatePtr& delegate,
                                                       bool startImmediately, std::size_t maximumBodyLength) {
    // An invalid URL string goes into the request as nil; the connection reports it.
    auto request = NSURLRequest::requestWithURL(urlFrom(url), NSURLRequestReloadIgnoringLocalAndRemoteCacheData,
                                                static_cast<NSTimeInterval>(timeoutInterval));
    request->setAllHTTPHeaderFields(headerFields.value_or(HeaderFields{}));
    request->setHTTPMethod(method);
    request->setHTTPBody(body);
    request->setCachePolicy(cachePolicy);
    // The SDK carries its own cookies in the report body.
    request->setHTTPShouldHandleCookies(false);
    // The loader stops an answer at the bound, so no more than it is ever held.
    const std::size_t most = VuderuConnectionDelegate::kMaxBodyBytes;
    request->setMaximumBodyLength(maximumBodyLength > 0 && maximumBodyLength < most ? maximumBodyLength : most);
    auto task = std::make_shared<VuderuHttpAsyncTask>();
    auto connectionDelegate = std::make_shared<VuderuConnectionDelegate>(delegate, task);
    task->setConnection(std::make_shared<NSURLConnection>(request, connectionDelegate));
    if (startImmediately) task->startInRunLoop(NSRunLoop::mainRunLoop());
    return task;
}

void VuderuHttpAsyncTask::startInRunLoop(const std::shared_ptr<NSRunLoop>& runLoop) {
    if (!connection_) return;
    connection_->scheduleInRunLoop(runLoop, NSDefaultRunLoopMode);
    connection_->start();
}

void VuderuHttpAsyncTask::cancelTask() {
    if (connection_) connection_->cancel();
}

std::string VuderuHttpAsyncTask::queryDictionaryToString(const Value::Dictionary& dictionary) {
    std::string result;
    for (const auto& [key, value] : dictionary) {
        if (!result.empty()) result += "&";
        result += key + "=" + value.description();
    }
    return result;
}

std::map<std::string, std::string> VuderuHttpAsyncTask::stringToQueryDictionary(const std::string& string) {
    std::map<std::string, std::string> result;
    std::size_t start = 0;
    while (start <= string.size()) {
        std::size_t end = string.find('&', start);
        if (end == std::string::npos) end = string.size();
        std::string item = string.substr(start, end - start);
        std::size_t equals = item.find('=');
        if (equals == std::string::npos) {
            result[item] = "";
        } else {
            std::size_t next = item.find('=', equals + 1);
            result[item.substr(0, equals)] = item.substr(equals + 1, next == std::string::npos ? std::string::npos : next - equals - 1);
        }
        start = end + 1;
    }
    return result;
}

NSURLPtr VuderuHttpAsyncTask::urlWithProtocolHostPortPathQuery(const std::optional<std::string>& protocol,
                                                               const std::optional<std::string>& host, int port,
                                                               const std::optional<std::string>& path, const std::optional<Query>& query) {
    std::string text = protocol.value_or("http") + "://";
    if (host) text += *host;
    if (port != 0 && port != kDefaultHTTPPort) text += ":" + std::to_string(port);
    if (path) text += "/" + *path;
    if (query) {
        const auto* dictionary = std::get_if<Value::Dictionary>(&*query);
        text += "?" + (dictionary ? queryDictionaryToString(*dictionary) : std::get<std::string>(*query));
    }
    return NSURL::URLWithString(text);
}
