#pragma once
// The process-wide owner of what each ad space shows and what is about to be shown: the ad
// registered per space, the prepared ads not yet shown, the VAST documents per frame GUID, the
// SDK's player-asset bundle and the asset-cache limits, and the per-space test size codes.
// Taking, preparing, showing and refreshing ads build on these.

#include "sdk/ads/IVuderuAd.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class UIViewController;

class VuderuAdManager : public NSObject {
public:
    static constexpr std::int32_t kDefaultCacheSize = 20000000;
    static constexpr std::int32_t kDefaultMaxAssetSize = 2000000;

    static std::shared_ptr<VuderuAdManager> instance();

    // Size codes of test spaces (class-wide). An empty space name is ignored.
    static void setupDefaultsForAdSpaceSize(const std::string& space, std::int32_t size);
    static bool isTestAdSpace(const std::string& space);
    // 0 when none is stored.
    static std::int32_t adSizeForTestAdSpace(const std::string& space);

    // Registry of the ad shown per space: registering fails while the space has one.
    bool registerAdAdSpaceName(const IVuderuAdPtr& ad, const std::string& space);
    void deRegisterAdForSpace(const std::string& space);
    IVuderuAdPtr adForSpace(const std::string& space) const;
    // Whether any registered ad shows the frame; NO for an empty GUID.
    bool isGuidActive(const std::string& guid) const;

    // Prepared ads not yet shown, in the order they were made.
    void addPendingAd(const IVuderuAdPtr& ad);
    // The first pending ad of the space that is ready for display.
    IVuderuAdPtr fetchPendingAdForSpace(const std::string& space) const;
    void removePendingAd(const IVuderuAdPtr& ad);
    std::vector<IVuderuAdPtr> pendingAdArray() const;

    // Valid cached units for the space in the current screen orientation.
    std::size_t adUnitCountForSpace(const std::string& space) const;
    // Requests for the next ad of a space (the notification and time-out values are the ad
    // manager's table) and the refresh timer, delay in seconds. Taking a unit into a new ad view
    // needs the ad-space view: until it exists these answer no ad and start no timer.
    IVuderuAdPtr prepareAdForSpaceViewContainerNotification(const std::string& space, const std::shared_ptr<NSObject>& container,
                                                           std::int64_t notification);
    IVuderuAdPtr showNewAdForSpaceViewContainerTimeout(const std::string& space, const std::shared_ptr<NSObject>& container,
                                                      std::int64_t timeout);
    void delayNewAdForSpaceGuidViewContainerDelay(const std::string& space, const std::string& guid,
                                                  const std::shared_ptr<NSObject>& container, std::int64_t delay);

    // Parsed VAST documents per frame GUID.
    std::shared_ptr<NSObject> vastManagerForAdGuid(const std::string& guid) const;
    void setVastManagerForAdGuid(const std::string& guid, std::shared_ptr<NSObject> manager);

    // Media assets of served ads (VuderuAdManagerAssets.cpp). A frame's media URL is the media
    // file of the VAST manager stored for its GUID (asked by its "getMediaFileUrl" message), else
    // its display string when it is a video frame, else nil; a unit's is that of its first frame
    // that has one.
    static std::optional<std::string> getMediaAssetUrlFromAdFrame(const VuderuAdFramePtr& frame);
    static std::optional<std::string> getMediaAssetUrlFromAdUnit(const VuderuAdUnitPtr& unit);
    // Whether a pending ad's active unit needs the asset of this resource id (the asset cache
    // keeps such files).
    static bool isPendingAdAsset(const std::string& resourceId);

    std::shared_ptr<UIViewController> rvc() const;
    void setRvc(std::shared_ptr<UIViewController> value);
    std::string sdkAssetUrl() const;
    void setSdkAssetUrl(std::string value);
    bool sdkAssetUrlUpdated() const;
    void setSdkAssetUrlUpdated(bool value);
    // Bytes.
    std::int32_t cacheSize() const;
    void setCacheSize(std::int32_t value);
    std::int32_t maxAssetSize() const;
    void setMaxAssetSize(std::int32_t value);
    // Image file name to the file path of the unpacked SDK bundle; nil until unpacked.
    using AssetDictionary = std::optional<std::map<std::string, std::string>>;
    AssetDictionary sdkAssetDictionary() const;
    void setSdkAssetDictionary(AssetDictionary value);

private:
    mutable std::mutex lock_;
    std::map<std::string, IVuderuAdPtr> adSpaceToAdMap_;
    std::vector<IVuderuAdPtr> pendingAdArray_;
    std::map<std::string, std::shared_ptr<NSObject>> adGuidToVuderuVASTManagerMap_;
    std::shared_ptr<UIViewController> rvc_;
    std::string sdkAssetUrl_;
    bool sdkAssetUrlUpdated_ = false;
    std::int32_t cacheSize_ = kDefaultCacheSize;
    std::int32_t maxAssetSize_ = kDefaultMaxAssetSize;
    AssetDictionary sdkAssetDictionary_;
};
