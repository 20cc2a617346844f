#include "sdk/ads/VuderuAdFrame.h"

#include "platform/foundation/NSString.h"

#include <algorithm>

VuderuAdFramePtr VuderuAdFrame::copy() const {
    auto frame = std::make_shared<VuderuAdFrame>();
    frame->adLogGUID_ = adLogGUID_;
    frame->binding_ = binding_;
    frame->display_ = display_;
    frame->content_ = content_;
    frame->adSpaceLayout_ = adSpaceLayout_;
    frame->adCallbacks_ = adCallbacks_;
    frame->frameClosed_ = frameClosed_;
    frame->videoSpan_ = videoSpan_;
    frame->closableTime_ = closableTime_;
    frame->cachingEnum_ = cachingEnum_;
    frame->assetExpiration_ = assetExpiration_;
    frame->cacheWhitelistedAssets_ = cacheWhitelistedAssets_;
    frame->cacheBlacklistedAssets_ = cacheBlacklistedAssets_;
    return frame;
}

void VuderuAdFrame::mergeAdCallbacks(const VuderuAdCallbackTable& callbacks) {
    for (const auto& [event, given] : callbacks) {
        VuderuAdCallbackPtr own;
        if (adCallbacks_) {
            auto found = adCallbacks_->find(event);
            if (found != adCallbacks_->end()) own = found->second;
        }
        if (!own) {
            own = std::make_shared<VuderuAdCallback>();
            own->setEvent(event);
            // A table of our own: a copy of this frame may share the old one.
            auto table = std::make_shared<VuderuAdCallbackTable>(adCallbacks_ ? *adCallbacks_ : VuderuAdCallbackTable{});
            (*table)[event] = own;
            adCallbacks_ = std::move(table);
        }
        if (!given) continue;
        auto& actions = own->mutableActions();
        for (const auto& action : given->actions()) {
            if (std::find(actions.begin(), actions.end(), action) == actions.end()) actions.push_back(action);
        }
    }
}

std::string VuderuAdFrame::description() const {
    std::string callbacks = "{";
    if (adCallbacks_) {
        for (const auto& [event, callback] : *adCallbacks_) callbacks += "\n    " + event + " = " + (callback ? callback->description() : "(null)") + ";";
    }
    callbacks += "\n}";
    return NSString::stringWithFormat("Ad Frame:\nBinding=%d\nGUID=%@\nDisplay=%@\nContent=%@\nAdSpaceLayout=%@\nAdCallbacks=%@\nframeClose=%d",
                                      binding_, adLogGUID_, display_, content_, adSpaceLayout_, callbacks, frameClosed_);
}
