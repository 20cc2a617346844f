#pragma once
// A plain record of one load's outcome. Nothing in the SDK fills it; it is kept for its callers.

#include "platform/foundation/NSData.h"
#include "platform/foundation/NSObject.h"

#include <string>

class VuderuLoadOperationResult : public NSObject {
public:
    double queuedTime() const { return queuedTime_; }
    void setQueuedTime(double value) { queuedTime_ = value; }
    double loadTime() const { return loadTime_; }
    void setLoadTime(double value) { loadTime_ = value; }
    const NSDataPtr& data() const { return data_; }
    void setData(NSDataPtr value) { data_ = std::move(value); }
    const std::string& assetName() const { return assetName_; }
    void setAssetName(std::string value) { assetName_ = std::move(value); }
    const std::string& assetPath() const { return assetPath_; }
    void setAssetPath(std::string value) { assetPath_ = std::move(value); }

private:
    double queuedTime_ = 0;
    double loadTime_ = 0;
    NSDataPtr data_;
    std::string assetName_;
    std::string assetPath_;
};
