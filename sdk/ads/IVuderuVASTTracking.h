#pragma once
// The tracking URLs of a parsed VAST document, as the event controller fires them. The ad manager
// keeps one document per frame GUID; a document that answers these questions gets its URLs fired.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class IVuderuVASTTracking {
public:
    // Tracking event numbers and click kinds the controller asks about.
    enum : std::int32_t { kTrackingMidpoint = 3, kTrackingFirstQuartile = 4, kTrackingThirdQuartile = 5, kTrackingComplete = 6,
                          kTrackingClose = 16 };
    enum : std::int32_t { kClickTracking = 2 };

    virtual ~IVuderuVASTTracking() = default;
    virtual std::vector<std::string> getImpressionUrls() const = 0;
    virtual std::vector<std::string> getErrorUrls() const = 0;
    virtual std::vector<std::string> getTrackingEventUrls(std::int32_t trackingEvent) const = 0;
    virtual std::optional<std::string> getVideoClickUrl(std::int32_t clickKind) const = 0;
};
