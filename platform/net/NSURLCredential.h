#pragma once
// Credentials offered to an authentication challenge: a user and password, or a server trust.

#include "platform/foundation/NSObject.h"
#include "platform/security/SecTrust.h"

#include <memory>
#include <string>

enum NSURLCredentialPersistence : unsigned long {
    NSURLCredentialPersistenceNone = 0,
    NSURLCredentialPersistenceForSession = 1,
    NSURLCredentialPersistencePermanent = 2,
};

class NSURLCredential : public NSObject {
public:
    NSURLCredential(std::string user, std::string password, NSURLCredentialPersistence persistence)
        : user_(std::move(user)), password_(std::move(password)), persistence_(persistence) {}
    explicit NSURLCredential(SecTrustRef trust) : trust_(std::move(trust)), persistence_(NSURLCredentialPersistenceForSession) {}

    static std::shared_ptr<NSURLCredential> credentialWithUser(const std::string& user, const std::string& password,
                                                               NSURLCredentialPersistence persistence) {
        return std::make_shared<NSURLCredential>(user, password, persistence);
    }
    static std::shared_ptr<NSURLCredential> credentialForTrust(const SecTrustRef& trust) {
        return std::make_shared<NSURLCredential>(trust);
    }

    const std::string& user() const { return user_; }
    const std::string& password() const { return password_; }
    bool hasPassword() const { return !password_.empty(); }
    const SecTrustRef& serverTrust() const { return trust_; }
    NSURLCredentialPersistence persistence() const { return persistence_; }

private:
    std::string user_, password_;
    SecTrustRef trust_;
    NSURLCredentialPersistence persistence_;
};

using NSURLCredentialPtr = std::shared_ptr<NSURLCredential>;
