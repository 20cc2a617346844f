#include "netkit/NKSecurityPolicy.h"

#include "netkit/NKBundleResources.h"
#include "platform/dispatch/dispatch.h"

namespace {

bool isTrusted(const SecTrustRef& trust) {
    SecTrustResultType result = kSecTrustResultInvalid;
    OSStatus status = SecTrustEvaluate(trust, &result);
    return status == errSecSuccess && (result == kSecTrustResultProceed || result == kSecTrustResultUnspecified);
}

SecKeyRef publicKeyForCertificate(const SecCertificateRef& certificate) {
    if (!certificate) return nullptr;
    SecTrustRef trust;
    if (SecTrustCreateWithCertificates({certificate}, SecPolicyCreateBasicX509(), &trust) != errSecSuccess) return nullptr;
    SecTrustResultType result = kSecTrustResultInvalid;
    if (SecTrustEvaluate(trust, &result) != errSecSuccess) return nullptr;
    return SecTrustCopyPublicKey(trust);
}

SecKeyRef publicKeyForCertificateData(const NSDataPtr& data) { return publicKeyForCertificate(SecCertificateCreateWithData(data)); }

} // namespace

NKSecurityPolicy::NKSecurityPolicy() = default;

std::shared_ptr<NKSecurityPolicy> NKSecurityPolicy::defaultPolicy() {
    auto policy = std::make_shared<NKSecurityPolicy>();
    policy->setSSLPinningMode(NKSSLPinningModeNone);
    // A chain that is valid only for some other host proves nothing about this one: anybody who
    // holds any trusted certificate could otherwise read and change the traffic.
    policy->setValidatesDomainName(true);
    return policy;
}

std::shared_ptr<NKSecurityPolicy> NKSecurityPolicy::policyWithPinningMode(NKSSLPinningMode mode) {
    auto policy = std::make_shared<NKSecurityPolicy>();
    policy->setSSLPinningMode(mode);
    policy->setValidatesDomainName(true);
    policy->setPinnedCertificates(defaultPinnedCertificates());
    return policy;
}

const std::vector<NSDataPtr>& NKSecurityPolicy::defaultPinnedCertificates() {
    static dispatch_once_t once;
    static std::vector<NSDataPtr> certificates;
    dispatch_once(&once, [] {
        for (const std::string& path : NKBundleResourcePaths("cer")) {
            // A resource that cannot be read is left out rather than pinned as nothing.
            if (NSDataPtr data = NSData::dataWithContentsOfFile(path)) certificates.push_back(data);
        }
    });
    return certificates;
}

void NKSecurityPolicy::setPinnedCertificates(std::optional<std::vector<NSDataPtr>> certificates) {
    willChangeValueForKey("pinnedCertificates");
    pinnedCertificates_ = std::move(certificates);
    if (!pinnedCertificates_) {
        pinnedPublicKeys_.reset();
    } else {
        std::vector<SecKeyRef> keys;
        for (const NSDataPtr& data : *pinnedCertificates_) {
            if (SecKeyRef key = publicKeyForCertificateData(data)) keys.push_back(key);
        }
        pinnedPublicKeys_ = std::move(keys);
    }
    didChangeValueForKey("pinnedCertificates");
}

bool NKSecurityPolicy::evaluateServerTrustForDomain(const SecTrustRef& serverTrust, const std::optional<std::string>& domain) {
    SecPolicyRef policy = validatesDomainName_ ? SecPolicyCreateSSL(true, domain) : SecPolicyCreateBasicX509();
    SecTrustSetPolicies(serverTrust, std::vector<SecPolicyRef>{policy});
    if (!isTrusted(serverTrust) && !allowInvalidCertificates_) return false;

    std::vector<NSDataPtr> serverCertificates;
    long count = SecTrustGetCertificateCount(serverTrust);
    for (long i = 0; i < count; ++i) serverCertificates.push_back(SecCertificateCopyData(SecTrustGetCertificateAtIndex(serverTrust, i)));

    switch (pinningMode_) {
    case NKSSLPinningModeNone:
        return true;
    case NKSSLPinningModeCertificate: {
        std::vector<SecCertificateRef> anchors;
        for (const NSDataPtr& data : pinnedCertificates_.value_or(std::vector<NSDataPtr>{})) {
            if (auto certificate = SecCertificateCreateWithData(data)) anchors.push_back(certificate);
        }
        SecTrustSetAnchorCertificates(serverTrust, anchors);
        if (!isTrusted(serverTrust)) return false;
        if (!validatesCertificateChain_) return true;
        std::size_t matches = 0;
        for (const NSDataPtr& server : serverCertificates) {
            for (const NSDataPtr& pinned : pinnedCertificates_.value_or(std::vector<NSDataPtr>{})) {
                if (server && pinned && server->isEqual(pinned.get())) {
                    ++matches;
                    break;
                }
            }
        }
        return matches == serverCertificates.size();
    }
    case NKSSLPinningModePublicKey: {
        std::vector<SecKeyRef> keys;
        for (long i = 0; i < count; ++i) {
            if (SecKeyRef key = publicKeyForCertificate(SecTrustGetCertificateAtIndex(serverTrust, i))) keys.push_back(key);
        }
        if (!validatesCertificateChain_ && !keys.empty()) keys.resize(1);
        std::size_t matches = 0;
        for (const SecKeyRef& key : keys) {
            for (const SecKeyRef& pinned : pinnedPublicKeys_.value_or(std::vector<SecKeyRef>{})) {
                if (key->isEqual(pinned.get())) ++matches;
            }
        }
        if (keys.empty() || matches == 0) return false;
        return validatesCertificateChain_ ? matches == serverCertificates.size() : true;
    }
    default:
        return false;
    }
}

std::set<std::string> NKSecurityPolicy::keyPathsForValuesAffectingPinnedPublicKeys() { return {"pinnedCertificates"}; }

std::set<std::string> NKSecurityPolicy::keyPathsForValuesAffectingValueForKey(const std::string& key) const {
    if (key == "pinnedPublicKeys") return keyPathsForValuesAffectingPinnedPublicKeys();
    return NSKeyValueObserving::keyPathsForValuesAffectingValueForKey(key);
}
