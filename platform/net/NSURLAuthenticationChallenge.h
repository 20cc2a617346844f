#pragma once
// Authentication challenges: the protection space that asks (here: a server's TLS trust), and the
// sender that takes the answer. A challenge must be answered before the delegate call that
// received it returns; an unanswered challenge is refused.

#include "platform/foundation/NSError.h"
#include "platform/foundation/NSObject.h"
#include "platform/net/NSURLCredential.h"
#include "platform/net/NSURLResponse.h"
#include "platform/security/SecTrust.h"

#include <memory>
#include <string>

extern const std::string NSURLAuthenticationMethodDefault;
extern const std::string NSURLAuthenticationMethodHTTPBasic;
extern const std::string NSURLAuthenticationMethodServerTrust;
extern const std::string NSURLProtectionSpaceHTTP;
extern const std::string NSURLProtectionSpaceHTTPS;

class NSURLProtectionSpace : public NSObject {
public:
    NSURLProtectionSpace(std::string host, int port, std::string protocol, std::string realm, std::string authenticationMethod,
                         SecTrustRef serverTrust = nullptr)
        : host_(std::move(host)), port_(port), protocol_(std::move(protocol)), realm_(std::move(realm)),
          method_(std::move(authenticationMethod)), trust_(std::move(serverTrust)) {}

    const std::string& host() const { return host_; }
    int port() const { return port_; }
    const std::string& protocol() const { return protocol_; }
    const std::string& realm() const { return realm_; }
    const std::string& authenticationMethod() const { return method_; }
    // The chain the server presented, with the SSL policy for the host; only for server trust.
    const SecTrustRef& serverTrust() const { return trust_; }

private:
    std::string host_;
    int port_;
    std::string protocol_, realm_, method_;
    SecTrustRef trust_;
};

class NSURLAuthenticationChallenge;

class NSURLAuthenticationChallengeSender {
public:
    virtual ~NSURLAuthenticationChallengeSender() = default;
    virtual void useCredentialForAuthenticationChallenge(const NSURLCredentialPtr& credential,
                                                         const std::shared_ptr<NSURLAuthenticationChallenge>& challenge) = 0;
    virtual void continueWithoutCredentialForAuthenticationChallenge(
        const std::shared_ptr<NSURLAuthenticationChallenge>& challenge) = 0;
    virtual void cancelAuthenticationChallenge(const std::shared_ptr<NSURLAuthenticationChallenge>& challenge) = 0;
    // What the system would do for a delegate that does not handle challenges: for server trust,
    // accept a chain that the system trusts for the host.
    virtual void performDefaultHandlingForAuthenticationChallenge(
        const std::shared_ptr<NSURLAuthenticationChallenge>& challenge) = 0;
    virtual void rejectProtectionSpaceAndContinueWithChallenge(const std::shared_ptr<NSURLAuthenticationChallenge>& challenge) = 0;
};

class NSURLAuthenticationChallenge : public NSObject {
public:
    NSURLAuthenticationChallenge(std::shared_ptr<NSURLProtectionSpace> space, NSURLCredentialPtr proposedCredential,
                                 long previousFailureCount, NSURLResponsePtr failureResponse, NSErrorPtr error,
                                 std::weak_ptr<NSURLAuthenticationChallengeSender> sender)
        : space_(std::move(space)), proposed_(std::move(proposedCredential)), failures_(previousFailureCount),
          failureResponse_(std::move(failureResponse)), error_(std::move(error)), sender_(std::move(sender)) {}

    const std::shared_ptr<NSURLProtectionSpace>& protectionSpace() const { return space_; }
    const NSURLCredentialPtr& proposedCredential() const { return proposed_; }
    long previousFailureCount() const { return failures_; }
    const NSURLResponsePtr& failureResponse() const { return failureResponse_; }
    const NSErrorPtr& error() const { return error_; }
    // Nil once the connection that asked is gone.
    std::shared_ptr<NSURLAuthenticationChallengeSender> sender() const { return sender_.lock(); }

private:
    std::shared_ptr<NSURLProtectionSpace> space_;
    NSURLCredentialPtr proposed_;
    long failures_;
    NSURLResponsePtr failureResponse_;
    NSErrorPtr error_;
    std::weak_ptr<NSURLAuthenticationChallengeSender> sender_;
};

using NSURLAuthenticationChallengePtr = std::shared_ptr<NSURLAuthenticationChallenge>;
