#pragma once
// Trust objects: a certificate chain (leaf first) with the policies to evaluate it under, and the
// anchors to evaluate it against — the system's anchors unless anchors were set on the trust.
// Evaluation builds and verifies the chain with OpenSSL at the platform clock's time.

#include "platform/foundation/NSObject.h"
#include "platform/security/SecBase.h"
#include "platform/security/SecCertificate.h"
#include "platform/security/SecKey.h"
#include "platform/security/SecPolicy.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

using SecTrustResultType = std::uint32_t;
enum : SecTrustResultType {
    kSecTrustResultInvalid = 0,
    kSecTrustResultProceed = 1,
    kSecTrustResultDeny = 3,
    kSecTrustResultUnspecified = 4,
    kSecTrustResultRecoverableTrustFailure = 5,
    kSecTrustResultFatalTrustFailure = 6,
    kSecTrustResultOtherError = 7,
};

class SecTrust;
using SecTrustRef = std::shared_ptr<SecTrust>;

class SecTrust : public NSObject {
public:
    SecTrust(std::vector<SecCertificateRef> certificates, std::vector<SecPolicyRef> policies);

    // Evaluates once; later calls give the stored result until the policies or anchors change.
    OSStatus evaluate(SecTrustResultType* result);
    std::vector<SecCertificateRef> certificates() const;
    void setPolicies(std::vector<SecPolicyRef> policies);
    std::vector<SecPolicyRef> policies() const;
    void setAnchorCertificates(std::vector<SecCertificateRef> anchors);
    // The OpenSSL reason of the last failed evaluation (X509_V_ERR_...), 0 when none.
    int lastVerifyError() const;

private:
    mutable std::mutex mutex_;
    std::vector<SecCertificateRef> presented_;
    std::vector<SecCertificateRef> evaluated_;  // the chain built by a successful evaluation
    std::vector<SecPolicyRef> policies_;
    std::optional<std::vector<SecCertificateRef>> anchors_;
    std::optional<SecTrustResultType> result_;
    int verifyError_ = 0;
};

OSStatus SecTrustCreateWithCertificates(const std::vector<SecCertificateRef>& certificates,
                                        const std::vector<SecPolicyRef>& policies, SecTrustRef* trust);
OSStatus SecTrustCreateWithCertificates(const std::vector<SecCertificateRef>& certificates, const SecPolicyRef& policy,
                                        SecTrustRef* trust);
OSStatus SecTrustSetPolicies(const SecTrustRef& trust, const std::vector<SecPolicyRef>& policies);
OSStatus SecTrustSetPolicies(const SecTrustRef& trust, const SecPolicyRef& policy);
// From then on only these anchors are trusted (an empty list trusts nothing).
OSStatus SecTrustSetAnchorCertificates(const SecTrustRef& trust, const std::vector<SecCertificateRef>& anchors);
OSStatus SecTrustEvaluate(const SecTrustRef& trust, SecTrustResultType* result);
// After an evaluation that succeeded: the chain it built, leaf first, anchor last; before (or after
// a failure): the certificates as given.
long SecTrustGetCertificateCount(const SecTrustRef& trust);
SecCertificateRef SecTrustGetCertificateAtIndex(const SecTrustRef& trust, long index);
// The leaf's public key; nil when there is no leaf or its key cannot be read.
SecKeyRef SecTrustCopyPublicKey(const SecTrustRef& trust);

// Test hook: certificates that evaluation trusts as if the system shipped them, besides the real
// system anchors. Replaces what was registered before; an empty list removes them.
void SecTrustSetAdditionalSystemAnchorsForTesting(const std::vector<SecCertificateRef>& anchors);
