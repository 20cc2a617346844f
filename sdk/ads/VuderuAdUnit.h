#pragma once
// One served ad: its frames with a cursor, its expiry, its frequency-cap values and its rendering
// flags. A plain value object: whoever holds units across threads (the ad-unit cache) locks.

#include "sdk/ads/VuderuAdFrame.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class VuderuAdUnit;
using VuderuAdUnitPtr = std::shared_ptr<VuderuAdUnit>;

class VuderuAdUnit : public NSObject {
public:
    enum AdType : std::int32_t { kAdTypeVideo = 0, kAdTypeNonVideo = 1, kAdTypeUnknown = 2 };
    enum AdSource : std::int32_t { kSourceUnknown = 5 };

    VuderuAdUnit() = default;

    // The vocabularies: the index is the stored value; an absent or unknown text gives "unknown".
    static const std::vector<std::string>& adTypeArrayInstance();
    static const std::vector<std::string>& adSourceArrayInstance();
    static std::int32_t getAdTypeFromValue(const char* value);
    static std::int32_t getSourceFromValue(const char* value);
    static const std::string& adTypeEnumToString(std::int32_t adType);
    static const std::string& adSourceEnumToString(std::int32_t source);

    void addAdFrame(const VuderuAdFramePtr& frame);
    // The frame at the cursor; nil without frames or with the cursor outside them.
    VuderuAdFramePtr curAdFrame() const;
    // Move the cursor and answer the frame there; nil (cursor unchanged) past either end.
    VuderuAdFramePtr nextAdFrame();
    VuderuAdFramePtr prevAdFrame();
    VuderuAdFramePtr gotoAdFrame(std::int32_t index);
    // True exactly when the unit expires (expiration at least 1) before `now`.
    bool isExpiredForGMTEpochMilliseconds(std::int64_t now) const;
    // Takes the other unit's values (but expirationTime, vastParsed, expandedMRAID) and, as its only
    // frame, the other unit's first frame, marked for asset caching.
    void mergeAndReplaceFramesFrom(const VuderuAdUnit& other);

    const std::string& adId() const { return adId_; }
    void setAdId(std::string value) { adId_ = std::move(value); }
    const std::string& adSpace() const { return adSpace_; }
    void setAdSpace(std::string value) { adSpace_ = std::move(value); }
    const std::string& idHash() const { return idHash_; }
    void setIdHash(std::string value) { idHash_ = std::move(value); }
    std::int64_t serveTime() const { return serveTime_; }
    void setServeTime(std::int64_t value) { serveTime_ = value; }
    std::int32_t views() const { return views_; }
    void setViews(std::int32_t value) { views_ = value; }
    std::int32_t newCap() const { return newCap_; }
    void setNewCap(std::int32_t value) { newCap_ = value; }
    std::int32_t prevCap() const { return prevCap_; }
    void setPrevCap(std::int32_t value) { prevCap_ = value; }
    std::int32_t prevCapType() const { return prevCapType_; }
    void setPrevCapType(std::int32_t value) { prevCapType_ = value; }
    std::int64_t expiration() const { return expiration_; }
    void setExpiration(std::int64_t value) { expiration_ = value; }
    std::int64_t expirationTime() const { return expirationTime_; }
    void setExpirationTime(std::int64_t value) { expirationTime_ = value; }
    std::int32_t adType() const { return adType_; }
    void setAdType(std::int32_t value) { adType_ = value; }
    std::int64_t closableTime() const { return closableTime_; }
    void setClosableTime(std::int64_t value) { closableTime_ = value; }
    const std::vector<VuderuAdFramePtr>& adFrames() const { return adFrames_; }
    std::int32_t combinable() const { return combinable_; }
    void setCombinable(std::int32_t value) { combinable_ = value; }
    const std::string& groupId() const { return groupId_; }
    void setGroupId(std::string value) { groupId_ = std::move(value); }
    std::int32_t curAdFrameIndex() const { return curAdFrameIndex_; }
    void setCurAdFrameIndex(std::int32_t value) { curAdFrameIndex_ = value; }
    bool rewardable() const { return rewardable_; }
    void setRewardable(bool value) { rewardable_ = value; }
    bool videoAutoPlay() const { return videoAutoPlay_; }
    void setVideoAutoPlay(bool value) { videoAutoPlay_ = value; }
    bool supportMRAID() const { return supportMRAID_; }
    void setSupportMRAID(bool value) { supportMRAID_ = value; }
    bool preRender() const { return preRender_; }
    void setPreRender(bool value) { preRender_ = value; }
    bool renderTime() const { return renderTime_; }
    void setRenderTime(bool value) { renderTime_ = value; }
    std::int64_t preRenderTimeoutMillis() const { return preRenderTimeoutMillis_; }
    void setPreRenderTimeoutMillis(std::int64_t value) { preRenderTimeoutMillis_ = value; }
    bool vastParsed() const { return vastParsed_; }
    void setVastParsed(bool value) { vastParsed_ = value; }
    bool expandedMRAID() const { return expandedMRAID_; }
    void setExpandedMRAID(bool value) { expandedMRAID_ = value; }
    // nil when the server sent no entries.
    using Payload = std::optional<std::map<std::string, std::string>>;
    const Payload& clientSideRtbPayload() const { return clientSideRtbPayload_; }
    void setClientSideRtbPayload(Payload value) { clientSideRtbPayload_ = std::move(value); }
    std::int32_t preCacheAdSkippableTimeLimit() const { return preCacheAdSkippableTimeLimit_; }
    void setPreCacheAdSkippableTimeLimit(std::int32_t value) { preCacheAdSkippableTimeLimit_ = value; }
    std::int32_t screenOrientation() const { return screenOrientation_; }
    void setScreenOrientation(std::int32_t value) { screenOrientation_ = value; }

private:
    std::string adId_;
    std::string adSpace_;
    std::string idHash_;
    std::int64_t serveTime_ = 0;
    std::int32_t views_ = 0;
    std::int32_t newCap_ = 0;
    std::int32_t prevCap_ = 0;
    std::int32_t prevCapType_ = 0;
    std::int64_t expiration_ = 0;
    std::int64_t expirationTime_ = 0;
    std::int32_t adType_ = 0;
    std::int64_t closableTime_ = 0;
    std::vector<VuderuAdFramePtr> adFrames_;
    std::int32_t combinable_ = 0;
    std::string groupId_;
    std::int32_t curAdFrameIndex_ = 0;
    bool rewardable_ = false;
    bool videoAutoPlay_ = false;
    bool supportMRAID_ = false;
    bool preRender_ = false;
    bool renderTime_ = false;
    std::int64_t preRenderTimeoutMillis_ = 0;
    bool vastParsed_ = false;
    bool expandedMRAID_ = false;
    Payload clientSideRtbPayload_;
    std::int32_t preCacheAdSkippableTimeLimit_ = 0;
    std::int32_t screenOrientation_ = 0;
};
