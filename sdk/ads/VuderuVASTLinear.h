#pragma once
// The Linear element of a VAST creative: duration, skip offset, the chosen media file, tracking
// URLs by event name and one URL per video-click kind. Plain data made by
// VuderuVASTLinearBuilder; the tracking map is shared with the builder and the parser that fill it.

#include "platform/foundation/NSObject.h"
#include "sdk/ads/VuderuVASTMediaFile.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// Event name to the URLs filed under it, in document order.
using VuderuVASTTrackingMap = std::shared_ptr<std::map<std::string, std::vector<std::string>>>;

enum VuderuVASTVideoClick : std::int64_t {
    VuderuVASTVideoClickThrough = 1,
    VuderuVASTVideoClickTracking = 2,
    VuderuVASTVideoCustomClick = 3,
};

// Tracking events: the position in the name table is the value.
enum VuderuVASTTrackingEvent : std::int32_t {
    VuderuVASTTrackingEventUnknown = 0,
    VuderuVASTTrackingEventCreativeView,
    VuderuVASTTrackingEventStart,
    VuderuVASTTrackingEventMidpoint,
    VuderuVASTTrackingEventFirstQuartile,
    VuderuVASTTrackingEventThirdQuartile,
    VuderuVASTTrackingEventComplete,
    VuderuVASTTrackingEventMute,
    VuderuVASTTrackingEventUnmute,
    VuderuVASTTrackingEventPause,
    VuderuVASTTrackingEventRewind,
    VuderuVASTTrackingEventResume,
    VuderuVASTTrackingEventFullscreen,
    VuderuVASTTrackingEventExpand,
    VuderuVASTTrackingEventCollapse,
    VuderuVASTTrackingEventAcceptInvitation,
    VuderuVASTTrackingEventClose,
};

class VuderuVASTLinear : public NSObject {
public:
    struct Fields {
        std::int32_t duration = 0;    // whole seconds
        std::int32_t skipOffset = 0;  // whole seconds
        VuderuVASTTrackingMap trackingEventDic;
        std::map<std::int64_t, std::string> videoClickDic;  // click kind to URL
        VuderuVASTMediaFilePtr mediaFile;
    };
    explicit VuderuVASTLinear(Fields fields) : fields_(std::move(fields)) {}

    // nil for a number outside 0 to 16.
    static std::optional<std::string> trackingEventEnumToString(std::int32_t event);
    // Case-sensitive; 0 for a name outside the table.
    static std::int32_t trackingEventStringToEnum(const std::string& name);

    std::int32_t duration() const { return fields_.duration; }
    std::int32_t skipOffset() const { return fields_.skipOffset; }
    const VuderuVASTTrackingMap& trackingEventDic() const { return fields_.trackingEventDic; }
    const std::map<std::int64_t, std::string>& videoClickDic() const { return fields_.videoClickDic; }
    const VuderuVASTMediaFilePtr& mediaFile() const { return fields_.mediaFile; }

private:
    Fields fields_;
};

using VuderuVASTLinearPtr = std::shared_ptr<VuderuVASTLinear>;
