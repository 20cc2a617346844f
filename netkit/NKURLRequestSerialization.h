#pragma once
// The request-serialization contract: a request and parameters in, a request carrying them out.

#include "platform/foundation/NSError.h"
#include "platform/foundation/Value.h"
#include "platform/net/NSURLRequest.h"

class NKURLRequestSerialization {
public:
    virtual ~NKURLRequestSerialization() = default;
    // A new request with the parameters (null: none) serialized into it, or nil with *error set.
    virtual NSURLRequestPtr requestBySerializingRequest(const NSURLRequestPtr& request, const Value& parameters,
                                                        NSErrorPtr* error) = 0;
};

// What a manager left without a request serializer (an archive may hold none) fails each request
// with, instead of building it.
NSErrorPtr NKMissingRequestSerializerError();
