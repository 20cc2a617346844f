#include "sdk/ads/VuderuVASTBuilders.h"

#include <cstdlib>

VuderuVASTLinearPtr VuderuVASTLinearBuilder::build(const VuderuVASTLinearPtr& previous) const {
    VuderuVASTLinear::Fields fields = properties_;
    fields.trackingEventDic = trackingEventBuilderDic_;
    fields.videoClickDic.clear();
    for (const auto& [kind, url] : videoClickDic_) fields.videoClickDic[std::strtoll(kind.c_str(), nullptr, 10)] = url;
    // Through a wrapper chain the earlier document's clicks win over the later one's.
    if (previous) {
        for (const auto& [kind, url] : previous->videoClickDic()) fields.videoClickDic[kind] = url;
    }
    return std::make_shared<VuderuVASTLinear>(std::move(fields));
}

void VuderuVASTLinearBuilder::resetBuilder() {
    VuderuVASTRecordBuilder::resetBuilder();
    trackingEventBuilderDic_.reset();
    videoClickDic_.clear();
}

VuderuVASTMediaFilePtr VuderuVASTMediaFileBuilder::build() const {
    VuderuVASTMediaFile::Fields fields = properties_;
    fields.deliveryType = VuderuVASTMediaFile::deliveryTypeStringToEnum(deliveryName_);
    return std::make_shared<VuderuVASTMediaFile>(std::move(fields));
}

void VuderuVASTMediaFileBuilder::resetBuilder() {
    VuderuVASTRecordBuilder::resetBuilder();
    deliveryName_.clear();
}
