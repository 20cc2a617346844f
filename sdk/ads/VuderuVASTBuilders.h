#pragma once
// The builders that the VAST parser fills records through. Each with-operation stores one value
// and returns the builder, so calls chain; build makes a new record from what is stored (nil, 0
// or NO where nothing is); resetBuilder forgets everything. Lists and maps are stored by
// reference: every record built after a with-operation shares the one list it was given.

#include "sdk/ads/VuderuVASTManager.h"
#include "sdk/ads/VuderuVASTRecords.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>

// What every builder shares: the stored values are the record's own fields.
template <class Record>
class VuderuVASTRecordBuilder {
public:
    using Fields = typename Record::Fields;
    std::shared_ptr<Record> build() const { return std::make_shared<Record>(properties_); }
    void resetBuilder() { properties_ = Fields{}; }
    const Fields& properties() const { return properties_; }

protected:
    Fields properties_;
};

class VuderuVASTManagerBuilder : public VuderuVASTRecordBuilder<VuderuVASTManager> {
public:
    VuderuVASTManagerBuilder& withVersion(std::int32_t version) { return properties_.version = version, *this; }
    VuderuVASTManagerBuilder& withVuderuVASTAds(VuderuVASTAdList ads) { return properties_.vuderuVASTAds = std::move(ads), *this; }
};

class VuderuVASTAdBuilder : public VuderuVASTRecordBuilder<VuderuVASTAd> {
public:
    VuderuVASTAdBuilder& withAdId(std::string adId) { return properties_.adId = std::move(adId), *this; }
    VuderuVASTAdBuilder& withAdSequence(std::int32_t sequence) { return properties_.adSequence = sequence, *this; }
    VuderuVASTAdBuilder& withAdType(VuderuVASTAdTypePtr adType) { return properties_.adType = std::move(adType), *this; }
};

class VuderuVASTAdTypeBuilder : public VuderuVASTRecordBuilder<VuderuVASTAdType> {
public:
    VuderuVASTAdTypeBuilder& withAdFormatType(std::int64_t type) { return properties_.adFormatType = type, *this; }
    VuderuVASTAdTypeBuilder& withAdTitle(std::string title) { return properties_.adTitle = std::move(title), *this; }
    VuderuVASTAdTypeBuilder& withVASTAdTagURI(std::string uri) { return properties_.vastAdTagURI = std::move(uri), *this; }
    VuderuVASTAdTypeBuilder& withImpressionUrls(VuderuVASTStringList urls) { return properties_.impressionUrls = std::move(urls), *this; }
    VuderuVASTAdTypeBuilder& withErrorUrls(VuderuVASTStringList urls) { return properties_.errorUrls = std::move(urls), *this; }
    VuderuVASTAdTypeBuilder& withCreatives(VuderuVASTCreativeList creatives) { return properties_.creatives = std::move(creatives), *this; }
    VuderuVASTAdTypeBuilder& withAdSystem(VuderuVASTAdSystemPtr adSystem) { return properties_.adSystem = std::move(adSystem), *this; }
};

class VuderuVASTAdSystemBuilder : public VuderuVASTRecordBuilder<VuderuVASTAdSystem> {
public:
    VuderuVASTAdSystemBuilder& withAdSystemValue(std::string value) { return properties_.value = std::move(value), *this; }
    VuderuVASTAdSystemBuilder& withAdSystemVersion(std::string version) { return properties_.version = std::move(version), *this; }
};

class VuderuVASTCreativeBuilder : public VuderuVASTRecordBuilder<VuderuVASTCreative> {
public:
    VuderuVASTCreativeBuilder& withCreativeId(std::string cId) { return properties_.cId = std::move(cId), *this; }
    VuderuVASTCreativeBuilder& withCreativeAdId(std::string adId) { return properties_.adId = std::move(adId), *this; }
    VuderuVASTCreativeBuilder& withCreativeSequence(std::int32_t sequence) { return properties_.sequence = sequence, *this; }
    VuderuVASTCreativeBuilder& withCreativeDepth(std::int32_t depth) { return properties_.depth = depth, *this; }
    VuderuVASTCreativeBuilder& withCreativeAPIFramework(std::string framework) { return properties_.apiFramework = std::move(framework), *this; }
    VuderuVASTCreativeBuilder& withCreativeFormatType(std::int64_t type) { return properties_.creativeFormatType = type, *this; }
    VuderuVASTCreativeBuilder& withCreativeLinear(VuderuVASTLinearPtr linear) { return properties_.linear = std::move(linear), *this; }
    // The previous creative is not consulted.
    VuderuVASTCreativePtr build(const VuderuVASTCreativePtr& /*previous*/) const { return VuderuVASTRecordBuilder::build(); }
};

class VuderuVASTLinearBuilder : public VuderuVASTRecordBuilder<VuderuVASTLinear> {
public:
    VuderuVASTLinearBuilder& withLinearDuration(std::int32_t seconds) { return properties_.duration = seconds, *this; }
    VuderuVASTLinearBuilder& withLinearSkipOffset(std::int32_t seconds) { return properties_.skipOffset = seconds, *this; }
    VuderuVASTLinearBuilder& withLinearTrackingEventMap(VuderuVASTTrackingMap map) { return trackingEventBuilderDic_ = std::move(map), *this; }
    // A later URL of the same kind replaces the earlier.
    VuderuVASTLinearBuilder& withLinearVideoClickAndUrl(std::int64_t kind, std::string url) {
        return videoClickDic_[std::to_string(kind)] = std::move(url), *this;
    }
    VuderuVASTLinearBuilder& withLinearMediaFile(VuderuVASTMediaFilePtr mediaFile) { return properties_.mediaFile = std::move(mediaFile), *this; }
    // The tracking map is the stored one itself; the clicks are the stored ones with the previous
    // linear's laid over them, kind by kind.
    VuderuVASTLinearPtr build(const VuderuVASTLinearPtr& previous) const;
    void resetBuilder();

    const VuderuVASTTrackingMap& trackingEventBuilderDic() const { return trackingEventBuilderDic_; }
    // URL by the click kind's decimal text.
    const std::map<std::string, std::string>& videoClickDic() const { return videoClickDic_; }

private:
    VuderuVASTTrackingMap trackingEventBuilderDic_;
    std::map<std::string, std::string> videoClickDic_;
};

class VuderuVASTMediaFileBuilder : public VuderuVASTRecordBuilder<VuderuVASTMediaFile> {
public:
    VuderuVASTMediaFileBuilder& withMediaFileId(std::string mId) { return properties_.mId = std::move(mId), *this; }
    VuderuVASTMediaFileBuilder& withMediaFileApiFramework(std::string framework) { return properties_.apiFramework = std::move(framework), *this; }
    VuderuVASTMediaFileBuilder& withMediaFileUrl(std::string url) { return properties_.url = std::move(url), *this; }
    VuderuVASTMediaFileBuilder& withMediaFileBitRate(std::int32_t bitRate) { return properties_.bitRate = bitRate, *this; }
    // Stored as the type's name, so a number outside the table builds as unknown.
    VuderuVASTMediaFileBuilder& withMediaFileDeliveryType(std::int32_t type) {
        return deliveryName_ = VuderuVASTMediaFile::deliveryTypeEnumToString(type), *this;
    }
    VuderuVASTMediaFileBuilder& withMediaFileHeight(std::int32_t height) { return properties_.height = height, *this; }
    VuderuVASTMediaFileBuilder& withMediaFileWidth(std::int32_t width) { return properties_.width = width, *this; }
    VuderuVASTMediaFileBuilder& withMediaFileMaintainAspectRatio(bool on) { return properties_.maintainAspectRatio = on, *this; }
    VuderuVASTMediaFileBuilder& withMediaFileScalable(bool on) { return properties_.scalable = on, *this; }
    VuderuVASTMediaFileBuilder& withMediaFileType(std::string type) { return properties_.type = std::move(type), *this; }
    VuderuVASTMediaFilePtr build() const;
    void resetBuilder();

private:
    std::string deliveryName_;
};

class VuderuVASTTrackingBuilder : public VuderuVASTRecordBuilder<VuderuVASTTracking> {
public:
    VuderuVASTTrackingBuilder& withTrackingEvent(std::int32_t event) { return properties_.trackingEvent = event, *this; }
    VuderuVASTTrackingBuilder& withTrackingUrl(std::string url) { return properties_.trackingUrl = std::move(url), *this; }
};
