#include "platform/security/SecTrust.h"

#include "platform/foundation/PlatformClock.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>

#include <cmath>

namespace {

std::mutex gAdditionalAnchorsMutex;
std::vector<SecCertificateRef> gAdditionalAnchors;

struct StoreDeleter {
    void operator()(X509_STORE* s) const { X509_STORE_free(s); }
};
struct StoreCtxDeleter {
    void operator()(X509_STORE_CTX* c) const { X509_STORE_CTX_free(c); }
};
struct StackDeleter {
    void operator()(STACK_OF(X509) * s) const { sk_X509_free(s); }
};
struct ChainDeleter {
    void operator()(STACK_OF(X509) * s) const { sk_X509_pop_free(s, X509_free); }
};

// A host that is an address literal ("127.0.0.1", "::1", "[::1]") must be one of the leaf's
// address names; a name is compared with its DNS names.
void setExpectedHost(X509_VERIFY_PARAM* param, const std::string& host) {
    std::string address = host.size() > 2 && host.front() == '[' && host.back() == ']' ? host.substr(1, host.size() - 2) : host;
    in6_addr buffer;
    if (inet_pton(AF_INET, address.c_str(), &buffer) == 1 || inet_pton(AF_INET6, address.c_str(), &buffer) == 1) {
        X509_VERIFY_PARAM_set1_ip_asc(param, address.c_str());
    } else {
        X509_VERIFY_PARAM_set1_host(param, host.c_str(), 0);
    }
}

} // namespace

SecTrust::SecTrust(std::vector<SecCertificateRef> certificates, std::vector<SecPolicyRef> policies)
    : presented_(std::move(certificates)), policies_(std::move(policies)) {}

std::vector<SecCertificateRef> SecTrust::certificates() const {
    std::lock_guard guard(mutex_);
    return result_ && !evaluated_.empty() ? evaluated_ : presented_;
}

void SecTrust::setPolicies(std::vector<SecPolicyRef> policies) {
    std::lock_guard guard(mutex_);
    policies_ = std::move(policies);
    result_.reset();
    evaluated_.clear();
}

std::vector<SecPolicyRef> SecTrust::policies() const {
    std::lock_guard guard(mutex_);
    return policies_;
}

void SecTrust::setAnchorCertificates(std::vector<SecCertificateRef> anchors) {
    std::lock_guard guard(mutex_);
    anchors_ = std::move(anchors);
    result_.reset();
    evaluated_.clear();
}

int SecTrust::lastVerifyError() const {
    std::lock_guard guard(mutex_);
    return verifyError_;
}

OSStatus SecTrust::evaluate(SecTrustResultType* result) {
    std::lock_guard guard(mutex_);
    if (result_) {
        if (result) *result = *result_;
        return errSecSuccess;
    }
    if (presented_.empty() || !presented_[0]) return errSecParam;

    std::unique_ptr<X509_STORE, StoreDeleter> store(X509_STORE_new());
    std::unique_ptr<X509_STORE_CTX, StoreCtxDeleter> context(X509_STORE_CTX_new());
    std::unique_ptr<STACK_OF(X509), StackDeleter> untrusted(sk_X509_new_null());
    if (!store || !context || !untrusted) return errSecAllocate;

    if (anchors_) {
        for (const auto& anchor : *anchors_) {
            if (anchor) X509_STORE_add_cert(store.get(), anchor->x509());
        }
    } else {
        X509_STORE_set_default_paths(store.get());
        std::lock_guard anchorsGuard(gAdditionalAnchorsMutex);
        for (const auto& anchor : gAdditionalAnchors) X509_STORE_add_cert(store.get(), anchor->x509());
    }
    for (std::size_t i = 1; i < presented_.size(); ++i) {
        if (presented_[i]) sk_X509_push(untrusted.get(), presented_[i]->x509());
    }
    if (!X509_STORE_CTX_init(context.get(), store.get(), presented_[0]->x509(), untrusted.get())) return errSecAllocate;

    X509_VERIFY_PARAM* param = X509_STORE_CTX_get0_param(context.get());
    // An anchor need not be a self-signed root: a trusted intermediate or leaf ends the chain.
    X509_VERIFY_PARAM_set_flags(param, X509_V_FLAG_PARTIAL_CHAIN);
    X509_VERIFY_PARAM_set_time(param, static_cast<time_t>(std::floor(PlatformClock::now())));
    for (const auto& policy : policies_) {
        if (!policy || policy->kind() != SecPolicy::Kind::SSL) continue;
        X509_VERIFY_PARAM_set_purpose(param, policy->isServer() ? X509_PURPOSE_SSL_SERVER : X509_PURPOSE_SSL_CLIENT);
        if (policy->hostname()) setExpectedHost(param, *policy->hostname());
    }

    int ok = X509_verify_cert(context.get());
    verifyError_ = ok == 1 ? 0 : X509_STORE_CTX_get_error(context.get());
    evaluated_.clear();
    if (ok == 1) {
        std::unique_ptr<STACK_OF(X509), ChainDeleter> chain(X509_STORE_CTX_get1_chain(context.get()));
        for (int i = 0; chain && i < sk_X509_num(chain.get()); ++i) {
            X509* x = sk_X509_value(chain.get(), i);
            X509_up_ref(x);
            evaluated_.push_back(std::make_shared<SecCertificate>(x));
        }
    }
    result_ = ok == 1 ? kSecTrustResultUnspecified : kSecTrustResultRecoverableTrustFailure;
    if (result) *result = *result_;
    return errSecSuccess;
}

OSStatus SecTrustCreateWithCertificates(const std::vector<SecCertificateRef>& certificates,
                                        const std::vector<SecPolicyRef>& policies, SecTrustRef* trust) {
    if (!trust || certificates.empty()) return errSecParam;
    for (const auto& certificate : certificates) {
        if (!certificate) return errSecParam;
    }
    *trust = std::make_shared<SecTrust>(certificates, policies);
    return errSecSuccess;
}

OSStatus SecTrustCreateWithCertificates(const std::vector<SecCertificateRef>& certificates, const SecPolicyRef& policy,
                                        SecTrustRef* trust) {
    return SecTrustCreateWithCertificates(certificates, std::vector<SecPolicyRef>{policy}, trust);
}

OSStatus SecTrustSetPolicies(const SecTrustRef& trust, const std::vector<SecPolicyRef>& policies) {
    if (!trust) return errSecParam;
    trust->setPolicies(policies);
    return errSecSuccess;
}

OSStatus SecTrustSetPolicies(const SecTrustRef& trust, const SecPolicyRef& policy) {
    return SecTrustSetPolicies(trust, std::vector<SecPolicyRef>{policy});
}

OSStatus SecTrustSetAnchorCertificates(const SecTrustRef& trust, const std::vector<SecCertificateRef>& anchors) {
    if (!trust) return errSecParam;
    trust->setAnchorCertificates(anchors);
    return errSecSuccess;
}

OSStatus SecTrustEvaluate(const SecTrustRef& trust, SecTrustResultType* result) {
    if (!trust) return errSecParam;
    return trust->evaluate(result);
}

long SecTrustGetCertificateCount(const SecTrustRef& trust) {
    return trust ? static_cast<long>(trust->certificates().size()) : 0;
}

SecCertificateRef SecTrustGetCertificateAtIndex(const SecTrustRef& trust, long index) {
    if (!trust || index < 0) return nullptr;
    auto certificates = trust->certificates();
    return static_cast<std::size_t>(index) < certificates.size() ? certificates[static_cast<std::size_t>(index)] : nullptr;
}

SecKeyRef SecTrustCopyPublicKey(const SecTrustRef& trust) {
    SecCertificateRef leaf = SecTrustGetCertificateAtIndex(trust, 0);
    if (!leaf) return nullptr;
    EVP_PKEY* key = X509_get_pubkey(leaf->x509());
    return key ? std::make_shared<SecKey>(key) : nullptr;
}

void SecTrustSetAdditionalSystemAnchorsForTesting(const std::vector<SecCertificateRef>& anchors) {
    std::lock_guard guard(gAdditionalAnchorsMutex);
    gAdditionalAnchors.clear();
    for (const auto& anchor : anchors) {
        if (anchor) gAdditionalAnchors.push_back(anchor);
    }
}
