#pragma once
// What the asset cache tells its callers about one asset: where its file is, the cache key it was
// downloaded with, its times and the caller's tags. Accessors only.

#include "platform/foundation/NSData.h"
#include "platform/foundation/NSDate.h"
#include "platform/foundation/NSObject.h"
#include "platform/foundation/Value.h"

#include <memory>
#include <string>

class VuderuCachedAsset : public NSObject {
public:
    const std::string& assetUrlPath() const { return assetUrlPath_; }
    void setAssetUrlPath(std::string value) { assetUrlPath_ = std::move(value); }
    const NSDataPtr& assetData() const { return assetData_; }
    void setAssetData(NSDataPtr value) { assetData_ = std::move(value); }
    const std::string& cachedAssetPath() const { return cachedAssetPath_; }
    void setCachedAssetPath(std::string value) { cachedAssetPath_ = std::move(value); }
    const std::string& cachedAssetPathMinusFile() const { return cachedAssetPathMinusFile_; }
    void setCachedAssetPathMinusFile(std::string value) { cachedAssetPathMinusFile_ = std::move(value); }
    // Empty for nil.
    const std::string& cbKey() const { return cbKey_; }
    void setCbKey(std::string value) { cbKey_ = std::move(value); }
    const std::string& adResourceId() const { return adResourceId_; }
    void setAdResourceId(std::string value) { adResourceId_ = std::move(value); }
    const std::shared_ptr<NSDate>& cachedTime() const { return cachedTime_; }
    void setCachedTime(std::shared_ptr<NSDate> value) { cachedTime_ = std::move(value); }
    const std::shared_ptr<NSDate>& expiryTime() const { return expiryTime_; }
    void setExpiryTime(std::shared_ptr<NSDate> value) { expiryTime_ = std::move(value); }
    const Value::Dictionary& tags() const { return tags_; }
    void setTags(Value::Dictionary value) { tags_ = std::move(value); }

private:
    std::string assetUrlPath_;
    NSDataPtr assetData_;
    std::string cachedAssetPath_;
    std::string cachedAssetPathMinusFile_;
    std::string cbKey_;
    std::string adResourceId_;
    std::shared_ptr<NSDate> cachedTime_;
    std::shared_ptr<NSDate> expiryTime_;
    Value::Dictionary tags_;
};
using VuderuCachedAssetPtr = std::shared_ptr<VuderuCachedAsset>;

