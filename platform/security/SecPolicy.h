#pragma once
// Trust policies: the SSL policy (optionally for a host name) and the basic X.509 policy.

#include "platform/foundation/NSObject.h"

#include <memory>
#include <optional>
#include <string>

class SecPolicy;
using SecPolicyRef = std::shared_ptr<SecPolicy>;

class SecPolicy : public NSObject {
public:
    enum class Kind { BasicX509, SSL };
    SecPolicy(Kind kind, bool server, std::optional<std::string> hostname)
        : kind_(kind), server_(server), hostname_(std::move(hostname)) {}

    Kind kind() const { return kind_; }
    bool isServer() const { return server_; }
    // The host name the leaf must be valid for; none means no name is compared.
    const std::optional<std::string>& hostname() const { return hostname_; }

private:
    Kind kind_;
    bool server_;
    std::optional<std::string> hostname_;
};

// For a server (server = true) or client certificate; with no host name no name is checked.
SecPolicyRef SecPolicyCreateSSL(bool server, std::optional<std::string> hostname);
SecPolicyRef SecPolicyCreateBasicX509();
