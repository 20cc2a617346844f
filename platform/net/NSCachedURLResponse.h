#pragma once
// A response and its body as a URL cache would keep them.

#include "platform/foundation/NSData.h"
#include "platform/foundation/Value.h"
#include "platform/net/NSURLResponse.h"

#include <memory>

enum NSURLCacheStoragePolicy : unsigned long {
    NSURLCacheStorageAllowed = 0,
    NSURLCacheStorageAllowedInMemoryOnly = 1,
    NSURLCacheStorageNotAllowed = 2,
};

class NSCachedURLResponse : public NSObject {
public:
    NSCachedURLResponse(NSURLResponsePtr response, NSDataPtr data, Value userInfo = {},
                        NSURLCacheStoragePolicy storagePolicy = NSURLCacheStorageAllowed)
        : response_(std::move(response)), data_(std::move(data)), userInfo_(std::move(userInfo)), storagePolicy_(storagePolicy) {}

    const NSURLResponsePtr& response() const { return response_; }
    const NSDataPtr& data() const { return data_; }
    const Value& userInfo() const { return userInfo_; }
    NSURLCacheStoragePolicy storagePolicy() const { return storagePolicy_; }

private:
    NSURLResponsePtr response_;
    NSDataPtr data_;
    Value userInfo_;
    NSURLCacheStoragePolicy storagePolicy_;
};

using NSCachedURLResponsePtr = std::shared_ptr<NSCachedURLResponse>;
