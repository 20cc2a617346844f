// The server-trust challenge of a task's transfer: at session level when the delegate takes it
// there, else at task level, else the system's evaluation.

#include "platform/net/NSURLSessionAsk.h"

#include "platform/net/NSURLError.h"
#include "platform/security/SecTrust.h"

namespace {

constexpr int kURLSessionTaskTrustDefaultHTTPSPort = 443;

} // namespace

bool NSURLSessionTask::transferShouldTrustServer(URLTransfer& transfer, const SecTrustRef& trust, long* refusal) {
    auto session = this->session();
    if (isCanceled() || !session) return false;
    const NSURLPtr& url = transfer.request()->URL();
    auto space = std::make_shared<NSURLProtectionSpace>(url->host(), url->port().value_or(kURLSessionTaskTrustDefaultHTTPSPort), NSURLProtectionSpaceHTTPS,
                                                        "", NSURLAuthenticationMethodServerTrust, trust);
    auto challenge = std::make_shared<NSURLAuthenticationChallenge>(space, nullptr, 0, nullptr, nullptr,
                                                                    std::weak_ptr<NSURLAuthenticationChallengeSender>());
    using Decision = std::pair<NSURLSessionAuthChallengeDisposition, NSURLCredentialPtr>;
    Decision decision{NSURLSessionAuthChallengePerformDefaultHandling, nullptr};
    const Decision cancelled{NSURLSessionAuthChallengeCancelAuthenticationChallenge, nullptr};
    auto self = strongSelf();
    if (auto delegate = session->responder(NSURLSessionSelector::DidReceiveChallenge)) {
        decision = session->ask<Decision>(*this, cancelled, [session, challenge, delegate](auto handler) {
            delegate->URLSessionDidReceiveChallenge(session, challenge, [handler](auto disposition, const auto& credential) {
                handler(Decision{disposition, credential});
            });
        });
    } else if (auto taskDelegate = session->responder(NSURLSessionSelector::TaskDidReceiveChallenge)) {
        decision = session->ask<Decision>(*this, cancelled, [session, self, challenge, taskDelegate](auto handler) {
            taskDelegate->URLSessionTaskDidReceiveChallenge(session, self, challenge, [handler](auto disposition, const auto& credential) {
                handler(Decision{disposition, credential});
            });
        });
    }
    if (isCanceled()) return false;
    *refusal = NSURLErrorServerCertificateUntrusted;
    switch (decision.first) {
    case NSURLSessionAuthChallengeUseCredential:
        if (decision.second && decision.second->serverTrust()) return true;
        break;  // no trust credential: the system decides
    case NSURLSessionAuthChallengePerformDefaultHandling:
    case NSURLSessionAuthChallengeRejectProtectionSpace: break;
    case NSURLSessionAuthChallengeCancelAuthenticationChallenge: *refusal = NSURLErrorCancelled; return false;
    }
    SecTrustResultType result = kSecTrustResultInvalid;
    return SecTrustEvaluate(trust, &result) == errSecSuccess && (result == kSecTrustResultProceed || result == kSecTrustResultUnspecified);
}

