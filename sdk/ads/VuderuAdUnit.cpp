#include "sdk/ads/VuderuAdUnit.h"

#include "sdk/ads/VuderuAdVocabulary.h"
#include "sdk/analytics/VuderuLog.h"

namespace {

const VuderuVocabulary& adTypes() {
    static const VuderuVocabulary table{{"video", "non_video", "unknown"}};
    return table;
}

const VuderuVocabulary& adSources() {
    static const VuderuVocabulary table{{"daz_azorur", "rich_media_ad", "client_mediated", "server_mediated", "rtb", "unknown"}};
    return table;
}

} // namespace

const std::vector<std::string>& VuderuAdUnit::adTypeArrayInstance() { return adTypes().names; }
const std::vector<std::string>& VuderuAdUnit::adSourceArrayInstance() { return adSources().names; }
std::int32_t VuderuAdUnit::getAdTypeFromValue(const char* value) { return adTypes().indexOf(value); }
std::int32_t VuderuAdUnit::getSourceFromValue(const char* value) { return adSources().indexOf(value); }
const std::string& VuderuAdUnit::adTypeEnumToString(std::int32_t adType) { return adTypes().names.at(adType); }
const std::string& VuderuAdUnit::adSourceEnumToString(std::int32_t source) { return adSources().names.at(source); }

void VuderuAdUnit::addAdFrame(const VuderuAdFramePtr& frame) {
    if (frame) adFrames_.push_back(frame);
}

VuderuAdFramePtr VuderuAdUnit::curAdFrame() const {
    if (curAdFrameIndex_ < 0 || static_cast<std::size_t>(curAdFrameIndex_) >= adFrames_.size()) return nullptr;
    return adFrames_[curAdFrameIndex_];
}

VuderuAdFramePtr VuderuAdUnit::nextAdFrame() {
    if (adFrames_.empty() || static_cast<std::int64_t>(curAdFrameIndex_) + 1 >= static_cast<std::int64_t>(adFrames_.size())) return nullptr;
    ++curAdFrameIndex_;
    VuderuLog("Next ad frame index [%d]", curAdFrameIndex_);
    return curAdFrame();
}

VuderuAdFramePtr VuderuAdUnit::prevAdFrame() {
    if (adFrames_.empty() || curAdFrameIndex_ <= 0) return nullptr;
    --curAdFrameIndex_;
    VuderuLog("Prev ad frame index [%d]", curAdFrameIndex_);
    return curAdFrame();
}

VuderuAdFramePtr VuderuAdUnit::gotoAdFrame(std::int32_t index) {
    if (adFrames_.empty() || index < 0 || static_cast<std::size_t>(index) >= adFrames_.size()) return nullptr;
    curAdFrameIndex_ = index;
    VuderuLog("offset ad frame index [%d]", curAdFrameIndex_);
    return curAdFrame();
}

bool VuderuAdUnit::isExpiredForGMTEpochMilliseconds(std::int64_t now) const { return expiration_ >= 1 && expiration_ < now; }

void VuderuAdUnit::mergeAndReplaceFramesFrom(const VuderuAdUnit& other) {
    adSpace_ = other.adSpace_;
    adId_ = other.adId_;
    idHash_ = other.idHash_;
    groupId_ = other.groupId_;
    clientSideRtbPayload_ = other.clientSideRtbPayload_;
    serveTime_ = other.serveTime_;
    views_ = other.views_;
    newCap_ = other.newCap_;
    prevCap_ = other.prevCap_;
    prevCapType_ = other.prevCapType_;
    preCacheAdSkippableTimeLimit_ = other.preCacheAdSkippableTimeLimit_;
    expiration_ = other.expiration_;
    adType_ = other.adType_;
    closableTime_ = other.closableTime_;
    combinable_ = other.combinable_;
    curAdFrameIndex_ = other.curAdFrameIndex_;
    rewardable_ = other.rewardable_;
    videoAutoPlay_ = other.videoAutoPlay_;
    supportMRAID_ = other.supportMRAID_;
    preRender_ = other.preRender_;
    renderTime_ = other.renderTime_;
    preRenderTimeoutMillis_ = other.preRenderTimeoutMillis_;
    screenOrientation_ = other.screenOrientation_;
    // Hold the frame first: the other unit may be this one.
    VuderuAdFramePtr first = other.adFrames_.empty() ? nullptr : other.adFrames_.front();
    adFrames_.clear();
    if (first) {
        first->setCachingEnum(2);
        adFrames_.push_back(first);
    }
}
