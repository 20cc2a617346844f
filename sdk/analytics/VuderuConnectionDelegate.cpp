#include "sdk/analytics/VuderuConnectionDelegate.h"

#include "sdk/analytics/VuderuLog.h"
#include "sdk/analytics/VuderuNetworkUtil.h"

namespace {
constexpr long kFirstSuccessStatus = 200;
constexpr long kLastSuccessStatus = 299;
} // namespace

VuderuConnectionDelegate::VuderuConnectionDelegate(std::shared_ptr<VuderuHttpAsyncTaskDelegate> taskDelegate, VuderuHttpAsyncTaskPtr taskParent)
    : body_(NSData::data()), httpTaskDelegate_(std::move(taskDelegate)), httpTask_(std::move(taskParent)) {}

void VuderuConnectionDelegate::connectionCanceled() {
    done_ = true;
    if (httpTaskDelegate_) httpTaskDelegate_->requestDidCancelWithResponse(httpTask_, constructResponse());
}

VuderuHTTPResponsePtr VuderuConnectionDelegate::constructResponse() const {
    // The answer is whole once an outcome is built: the response takes the gathered body itself,
    // not a copy of it (an answer may be as long as kMaxBodyBytes).
    return std::make_shared<VuderuHTTPResponse>(response_, body_, error_);
}

void VuderuConnectionDelegate::connectionWillSendRequestForAuthenticationChallenge(const NSURLConnectionPtr&,
                                                                                   const NSURLAuthenticationChallengePtr& challenge) {
    auto sender = challenge->sender();
    if (!sender) return;
    if (challenge->protectionSpace() && challenge->protectionSpace()->authenticationMethod() == NSURLAuthenticationMethodServerTrust) {
        sender->performDefaultHandlingForAuthenticationChallenge(challenge);
        return;
    }
    sender->useCredentialForAuthenticationChallenge(challenge->proposedCredential(), challenge);
}

void VuderuConnectionDelegate::connectionDidCancelAuthenticationChallenge(const NSURLConnectionPtr&) {
    done_ = true;
    VuderuNetworkUtil::setLastNetworkOperationError(nullptr);
    if (httpTaskDelegate_) httpTaskDelegate_->requestDidFailWithResponse(httpTask_, constructResponse());
}

void VuderuConnectionDelegate::connectionDidReceiveResponse(const NSURLConnectionPtr& connection, const NSURLResponsePtr& response) {
    VuderuLog("Vuderu: HTTP connection delegate received response[%@]", response ? response->description() : std::string("(null)"));
    response_ = std::dynamic_pointer_cast<NSHTTPURLResponse>(response);
    // Room for the body the head announces, within the request's bound: the body is gathered in
    // place rather than moved to a buffer twice its size as it grows.
    const long long announced = response ? response->expectedContentLength() : NSURLResponseUnknownLength;
    const NSURLRequestPtr& asked = connection ? connection->originalRequest() : nullptr;
    const std::size_t bound = asked && asked->maximumBodyLength() > 0 ? asked->maximumBodyLength() : kMaxBodyBytes;
    if (announced > 0 && static_cast<unsigned long long>(announced) <= bound) {
        body_->mutableVector().reserve(static_cast<std::size_t>(announced));
    }
    if (NSURLRequestPtr sent = connection ? connection->currentRequest() : nullptr; sent && response) {
        if (std::string refusal = partialContent_.judgeHead(*sent, *response); !refusal.empty()) return failBadAnswer(connection, refusal);
    }
}

void VuderuConnectionDelegate::connectionDidReceiveData(const NSURLConnectionPtr& connection, const NSDataPtr& data) {
    if (!data || done_) return;
    if (std::string refusal = partialContent_.judgeBody(static_cast<long long>(data->length())); !refusal.empty()) {
        return failBadAnswer(connection, refusal);
    }
    body_->appendData(*data);
}

void VuderuConnectionDelegate::failBadAnswer(const NSURLConnectionPtr& connection, const std::string& refusal) {
    VuderuLog("Vuderu: the answer of %@ is refused: %@",
              response_ && response_->URL() ? response_->URL()->absoluteString() : std::string("(null)"), refusal);
    if (connection) connection->cancel();
    body_ = NSData::data();
    connectionDidFailWithError(connection, NSError::errorWithDomain(NSURLErrorDomain, NSURLErrorBadServerResponse,
                                                                    {{NSLocalizedDescriptionKey, Value(refusal)}}));
}

void VuderuConnectionDelegate::connectionDidFinishLoading(const NSURLConnectionPtr& connection) {
    if (done_) return;
    if (std::string refusal = partialContent_.judgeEnd(); !refusal.empty()) return failBadAnswer(connection, refusal);
    done_ = true;
    const long status = response_ ? response_->statusCode() : 0;
    if (status < kFirstSuccessStatus || status > kLastSuccessStatus) {
        // The response carries the failure too: its receiver tells a refused status from success by it.
        error_ = NSError::errorWithDomain(kFailedToLoadDomain, kFailedToLoadCode);
        VuderuNetworkUtil::setLastNetworkOperationError(error_);
        if (httpTaskDelegate_) httpTaskDelegate_->requestDidFailWithResponse(httpTask_, constructResponse());
        return;
    }
    VuderuNetworkUtil::setLastNetworkOperationError(nullptr);
    if (httpTaskDelegate_) httpTaskDelegate_->requestSuccessfulWithResponse(httpTask_, constructResponse());
}

void VuderuConnectionDelegate::connectionDidFailWithError(const NSURLConnectionPtr& connection, const NSErrorPtr& error) {
    if (done_) return;
    if (error && error->domain() == NSURLErrorDomain && error->code() == NSURLErrorDataLengthExceedsMaximum) {
        const NSURLRequestPtr& request = connection ? connection->originalRequest() : nullptr;
        VuderuLog("Vuderu: the answer of %@ is larger than %lu bytes",
                  request && request->URL() ? request->URL()->absoluteString() : std::string("(null)"),
                  static_cast<unsigned long>(request ? request->maximumBodyLength() : kMaxBodyBytes));
        // What came before the bound is no answer.
        body_ = NSData::data();
    }
    error_ = error;
    done_ = true;
    VuderuNetworkUtil::setLastNetworkOperationError(error);
    if (httpTaskDelegate_) httpTaskDelegate_->requestDidFailWithResponse(httpTask_, constructResponse());
}
