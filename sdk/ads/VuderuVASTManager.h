#pragma once
// The root of a parsed VAST document, kept by the ad manager per frame GUID, and the answers the
// SDK asks of a video ad: its media URL and the URLs to call for impressions, errors, clicks and
// playback progress. Every answer reads the first ad and its first creative only, and is nil at
// the first step of that path that is missing.

#include "platform/foundation/NSObject.h"
#include "sdk/ads/IVuderuVASTTracking.h"
#include "sdk/ads/VuderuVASTRecords.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class VuderuVASTManager : public NSObject, public IVuderuVASTTracking {
public:
    struct Fields {
        std::int32_t version = 0;  // the document's VAST major version
        VuderuVASTAdList vuderuVASTAds;
    };
    explicit VuderuVASTManager(Fields fields) : fields_(std::move(fields)) {}

    std::int32_t version() const { return fields_.version; }
    const VuderuVASTAdList& vuderuVASTAds() const { return fields_.vuderuVASTAds; }

    std::optional<std::string> getMediaFileUrl() const;
    VuderuVASTStringList getImpressionUrls() const override;
    VuderuVASTStringList getErrorUrls() const override;
    // A VuderuVASTVideoClick kind.
    std::optional<std::string> getVideoClickUrl(std::int64_t clickKind) const override;
    // A VuderuVASTTrackingEvent, looked up by its name.
    std::optional<std::vector<std::string>> getTrackingEventUrls(std::int32_t trackingEvent) const override;

private:
    VuderuVASTAdTypePtr firstAdType() const;
    VuderuVASTLinearPtr firstLinear() const;

    Fields fields_;
};

using VuderuVASTManagerPtr = std::shared_ptr<VuderuVASTManager>;
