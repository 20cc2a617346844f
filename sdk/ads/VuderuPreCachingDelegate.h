#pragma once
// The asset cache's pre-caching delegate: one of the three calls per download it asked for, on
// the thread the download ended on.

#include "sdk/ads/VuderuCachedAsset.h"

class VuderuPreCachingDelegate {
public:
    virtual ~VuderuPreCachingDelegate() = default;
    virtual void assetPreCachingDone(const VuderuCachedAssetPtr& asset) = 0;
    virtual void assetPreCachingFailed(const VuderuCachedAssetPtr& asset) = 0;
    virtual void assetPreCachingCancelled(const VuderuCachedAssetPtr& asset) = 0;
};
