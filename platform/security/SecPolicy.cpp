#include "platform/security/SecPolicy.h"

SecPolicyRef SecPolicyCreateSSL(bool server, std::optional<std::string> hostname) {
    if (hostname && hostname->empty()) hostname.reset();
    return std::make_shared<SecPolicy>(SecPolicy::Kind::SSL, server, std::move(hostname));
}

SecPolicyRef SecPolicyCreateBasicX509() { return std::make_shared<SecPolicy>(SecPolicy::Kind::BasicX509, true, std::nullopt); }
