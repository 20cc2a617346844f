#pragma once
// One frame of a served ad: its payload, how to render it, its layout and the callbacks per ad
// event. A copy is shallow: it shares the layout, the callback table and the asset lists.

#include "sdk/ads/VuderuAdCallback.h"
#include "sdk/ads/VuderuAdSpaceLayout.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

class VuderuAdFrame;
using VuderuAdFramePtr = std::shared_ptr<VuderuAdFrame>;
using VuderuAdCallbackTable = std::map<std::string, VuderuAdCallbackPtr>;

class VuderuAdFrame : public NSObject {
public:
    // Rendering kinds; the ad-space view refuses other values.
    enum Binding : std::int32_t { kWebPage = 1, kHTML = 2, kVideo = 3, kNetworkView = 4, kAction = 5, kNothing = 6 };

    VuderuAdFrame() = default;

    const std::string& adLogGUID() const { return adLogGUID_; }
    void setAdLogGUID(std::string value) { adLogGUID_ = std::move(value); }
    std::int32_t binding() const { return binding_; }
    void setBinding(std::int32_t value) { binding_ = value; }
    const std::string& display() const { return display_; }
    void setDisplay(std::string value) { display_ = std::move(value); }
    const std::string& content() const { return content_; }
    void setContent(std::string value) { content_ = std::move(value); }
    const VuderuAdSpaceLayoutPtr& adSpaceLayout() const { return adSpaceLayout_; }
    void setAdSpaceLayout(VuderuAdSpaceLayoutPtr value) { adSpaceLayout_ = std::move(value); }
    const std::shared_ptr<VuderuAdCallbackTable>& adCallbacks() const { return adCallbacks_; }
    void setAdCallbacks(std::shared_ptr<VuderuAdCallbackTable> value) { adCallbacks_ = std::move(value); }
    bool frameClosed() const { return frameClosed_; }
    void setFrameClosed(bool value) { frameClosed_ = value; }
    bool frameClicked() const { return frameClicked_; }
    void setFrameClicked(bool value) { frameClicked_ = value; }
    std::int64_t videoSpan() const { return videoSpan_; }
    void setVideoSpan(std::int64_t value) { videoSpan_ = value; }
    std::int64_t closableTime() const { return closableTime_; }
    void setClosableTime(std::int64_t value) { closableTime_ = value; }
    std::int32_t cachingEnum() const { return cachingEnum_; }
    void setCachingEnum(std::int32_t value) { cachingEnum_ = value; }
    // Seconds since 1970.
    std::int64_t assetExpiration() const { return assetExpiration_; }
    void setAssetExpiration(std::int64_t value) { assetExpiration_ = value; }
    using AssetList = std::shared_ptr<const std::vector<std::string>>;
    const AssetList& cacheWhitelistedAssets() const { return cacheWhitelistedAssets_; }
    void setCacheWhitelistedAssets(AssetList value) { cacheWhitelistedAssets_ = std::move(value); }
    const AssetList& cacheBlacklistedAssets() const { return cacheBlacklistedAssets_; }
    void setCacheBlacklistedAssets(AssetList value) { cacheBlacklistedAssets_ = std::move(value); }

    // A new frame with every property of this one but frameClicked (false in the copy).
    VuderuAdFramePtr copy() const;
    // Adds, per event of the table, the actions this frame's callback lacks (in the given order),
    // making the callback when the frame has none for the event.
    void mergeAdCallbacks(const VuderuAdCallbackTable& callbacks);
    std::string description() const override;

private:
    std::string adLogGUID_;
    std::int32_t binding_ = 0;
    std::string display_;
    std::string content_;
    VuderuAdSpaceLayoutPtr adSpaceLayout_;
    std::shared_ptr<VuderuAdCallbackTable> adCallbacks_;
    bool frameClosed_ = false;
    bool frameClicked_ = false;
    std::int64_t videoSpan_ = 0;
    std::int64_t closableTime_ = 0;
    std::int32_t cachingEnum_ = 0;
    std::int64_t assetExpiration_ = 0;
    AssetList cacheWhitelistedAssets_;
    AssetList cacheBlacklistedAssets_;
};
