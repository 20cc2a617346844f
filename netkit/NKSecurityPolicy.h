#pragma once
// Decides whether a server's certificate chain is accepted: evaluates it under the SSL policy for
// the host (or the basic X.509 policy), may tolerate an invalid chain, and may pin certificates
// or their public keys.

#include "platform/foundation/NSData.h"
#include "platform/foundation/NSKeyValueObserving.h"
#include "platform/foundation/NSObject.h"
#include "platform/security/SecKey.h"
#include "platform/security/SecTrust.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

using NKSSLPinningMode = std::uint64_t;
enum : NKSSLPinningMode {
    NKSSLPinningModeNone = 0,
    NKSSLPinningModePublicKey = 1,
    NKSSLPinningModeCertificate = 2,
};

class NKSecurityPolicy : public NSObject, public NSKeyValueObserving {
public:
    NKSecurityPolicy();

    // No pinning, invalid chains refused, and the chain must be valid for the host it came from.
    static std::shared_ptr<NKSecurityPolicy> defaultPolicy();
    // The pinning mode, host names compared, the bundle's certificates pinned.
    static std::shared_ptr<NKSecurityPolicy> policyWithPinningMode(NKSSLPinningMode mode);
    // The DER contents of the main bundle's ".cer" resources, read once per process.
    static const std::vector<NSDataPtr>& defaultPinnedCertificates();

    NKSSLPinningMode SSLPinningMode() const { return pinningMode_; }
    void setSSLPinningMode(NKSSLPinningMode mode) { pinningMode_ = mode; }
    bool validatesCertificateChain() const { return validatesCertificateChain_; }
    void setValidatesCertificateChain(bool validates) { validatesCertificateChain_ = validates; }
    const std::optional<std::vector<NSDataPtr>>& pinnedCertificates() const { return pinnedCertificates_; }
    // Also derives pinnedPublicKeys (certificates whose key cannot be read are left out).
    void setPinnedCertificates(std::optional<std::vector<NSDataPtr>> certificates);
    bool allowInvalidCertificates() const { return allowInvalidCertificates_; }
    void setAllowInvalidCertificates(bool allow) { allowInvalidCertificates_ = allow; }
    bool validatesDomainName() const { return validatesDomainName_; }
    void setValidatesDomainName(bool validates) { validatesDomainName_ = validates; }
    const std::optional<std::vector<SecKeyRef>>& pinnedPublicKeys() const { return pinnedPublicKeys_; }

    // The trust's policies (and, when pinning certificates, its anchors) stay replaced afterwards.
    bool evaluateServerTrustForDomain(const SecTrustRef& serverTrust, const std::optional<std::string>& domain);
    bool evaluateServerTrust(const SecTrustRef& serverTrust) { return evaluateServerTrustForDomain(serverTrust, std::nullopt); }

    std::set<std::string> keyPathsForValuesAffectingValueForKey(const std::string& key) const override;
    static std::set<std::string> keyPathsForValuesAffectingPinnedPublicKeys();

private:
    NKSSLPinningMode pinningMode_ = NKSSLPinningModeNone;
    bool validatesCertificateChain_ = true;
    std::optional<std::vector<NSDataPtr>> pinnedCertificates_;
    bool allowInvalidCertificates_ = false;
    bool validatesDomainName_ = false;
    std::optional<std::vector<SecKeyRef>> pinnedPublicKeys_;
};
