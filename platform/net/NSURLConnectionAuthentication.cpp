// The challenges a connection raises: server trust for every request over TLS, and HTTP
// authentication for a 401 that asks for credentials.

#include "platform/net/NSURLConnection.h"

#include "platform/foundation/Base64.h"
#include "platform/foundation/NSString.h"
#include "platform/security/SecTrust.h"


const std::string NSURLAuthenticationMethodDefault = "NSURLAuthenticationMethodDefault";
const std::string NSURLAuthenticationMethodHTTPBasic = "NSURLAuthenticationMethodHTTPBasic";
const std::string NSURLAuthenticationMethodServerTrust = "NSURLAuthenticationMethodServerTrust";
const std::string NSURLProtectionSpaceHTTP = "http";
const std::string NSURLProtectionSpaceHTTPS = "https";

void NSURLConnectionDelegate::connectionWillSendRequestForAuthenticationChallenge(const NSURLConnectionPtr& connection,
                                                                                  const NSURLAuthenticationChallengePtr& challenge) {
    auto sender = challenge->sender();
    if (!sender) return;
    const auto& space = challenge->protectionSpace();
    bool serverTrust = space->authenticationMethod() == NSURLAuthenticationMethodServerTrust;
    std::optional<bool> can = connectionCanAuthenticateAgainstProtectionSpace(connection, space);
    if (can.value_or(!serverTrust) && connectionDidReceiveAuthenticationChallenge(connection, challenge)) return;
    sender->performDefaultHandlingForAuthenticationChallenge(challenge);
}

namespace {

constexpr int kDefaultHTTPPort = 80;
constexpr int kDefaultHTTPSPort = 443;

} // namespace

NSURLConnection::Answer NSURLConnection::ask(const std::shared_ptr<NSURLProtectionSpace>& space, long previousFailures,
                                             const NSURLResponsePtr& failureResponse) {
    auto self = strongSelf();
    auto challenge = std::make_shared<NSURLAuthenticationChallenge>(space, nullptr, previousFailures, failureResponse, nullptr,
                                                                    std::static_pointer_cast<NSURLAuthenticationChallengeSender>(self));
    answer_ = Answer::None;
    answerCredential_.reset();
    auto delegate = delegate_;
    if (!delegate) return Answer::Default;
    if (!askedCredentialStorage_) {
        askedCredentialStorage_ = true;
        delegate->connectionShouldUseCredentialStorage(self);
    }
    delegate->connectionWillSendRequestForAuthenticationChallenge(self, challenge);
    if (answer_ == Answer::None && !isCancelled()) {
        // Left unanswered: the connection gives the challenge up.
        answer_ = Answer::Cancel;
        delegate->connectionDidCancelAuthenticationChallenge(self, challenge);
    }
    return answer_;
}

bool NSURLConnection::transferShouldTrustServer(URLTransfer& transfer, const SecTrustRef& trust, long* refusal) {
    if (isCancelled()) return false;
    const NSURLPtr& url = transfer.request()->URL();
    auto space = std::make_shared<NSURLProtectionSpace>(url->host(), url->port().value_or(kDefaultHTTPSPort), NSURLProtectionSpaceHTTPS,
                                                        "", NSURLAuthenticationMethodServerTrust, trust);
    Answer answer = ask(space, 0, nullptr);
    if (isCancelled()) return false;
    auto systemTrusts = [&] {
        SecTrustResultType result = kSecTrustResultInvalid;
        return SecTrustEvaluate(trust, &result) == errSecSuccess && (result == kSecTrustResultProceed || result == kSecTrustResultUnspecified);
    };
    *refusal = NSURLErrorServerCertificateUntrusted;
    switch (answer) {
    case Answer::Use: return answerCredential_ && answerCredential_->serverTrust();
    case Answer::Continue:
    case Answer::Default:
    case Answer::Reject: return systemTrusts();
    case Answer::Cancel:
    case Answer::None: *refusal = NSURLErrorUserCancelledAuthentication; return false;
    }
    return false;
}

NSURLConnection::AuthenticationOutcome NSURLConnection::authenticate(const std::shared_ptr<NSHTTPURLResponse>& response) {
    auto header = response->valueForHTTPHeaderField("WWW-Authenticate");
    if (!header || !delegate_) return AuthenticationOutcome::Deliver;
    std::string scheme = NSString::lowercaseString(header->substr(0, header->find(' ')));
    std::string realm;
    if (auto at = NSString::rangeOfString(*header, "realm=")) {
        realm = header->substr(*at + 6);
        if (!realm.empty() && realm.front() == '"') realm = realm.substr(1, realm.find('"', 1) - 1);
        else realm = realm.substr(0, realm.find(','));
    }
    const NSURLPtr& url = request_->URL();
    bool secure = NSString::lowercaseString(url->scheme()) == "https";
    int port = url->port().value_or(secure ? kDefaultHTTPSPort : kDefaultHTTPPort);
    auto space = std::make_shared<NSURLProtectionSpace>(
        url->host(), port, secure ? NSURLProtectionSpaceHTTPS : NSURLProtectionSpaceHTTP, realm,
        scheme == "basic" ? NSURLAuthenticationMethodHTTPBasic : NSURLAuthenticationMethodDefault);
    Answer answer = ask(space, authenticationFailures_, response);
    if (isCancelled()) return AuthenticationOutcome::Abort;
    if (answer == Answer::Cancel) {
        if (transfer_) transfer_->setClientError(errorFor(NSURLErrorUserCancelledAuthentication, "cancelled"));
        return AuthenticationOutcome::Abort;
    }
    // Only Basic is spoken here; any other scheme gets the 401 as the answer.
    if (answer != Answer::Use || !answerCredential_ || answerCredential_->user().empty() || scheme != "basic") {
        return AuthenticationOutcome::Deliver;
    }
    ++authenticationFailures_;
    auto retry = request_->mutableCopy();
    const std::string credentials = answerCredential_->user() + ":" + answerCredential_->password();
    retry->setValueForHTTPHeaderField("Basic " + NSBase64Encode(credentials.data(), credentials.size()), "Authorization");
    // Sent again once this answer's body has been read, like a redirect to the same URL.
    followUp_ = retry;
    return AuthenticationOutcome::Retry;
}

void NSURLConnection::useCredentialForAuthenticationChallenge(const NSURLCredentialPtr& credential, const NSURLAuthenticationChallengePtr&) {
    answer_ = Answer::Use;
    answerCredential_ = credential;
}

void NSURLConnection::continueWithoutCredentialForAuthenticationChallenge(const NSURLAuthenticationChallengePtr&) {
    answer_ = Answer::Continue;
}

void NSURLConnection::cancelAuthenticationChallenge(const NSURLAuthenticationChallengePtr&) { answer_ = Answer::Cancel; }

void NSURLConnection::performDefaultHandlingForAuthenticationChallenge(const NSURLAuthenticationChallengePtr&) {
    answer_ = Answer::Default;
}

void NSURLConnection::rejectProtectionSpaceAndContinueWithChallenge(const NSURLAuthenticationChallengePtr&) {
    answer_ = Answer::Reject;
}
