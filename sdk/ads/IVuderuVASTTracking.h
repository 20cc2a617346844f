#pragma once
// The tracking URLs of a parsed VAST document, as the event controller fires them. The ad manager
// keeps one document per frame GUID; a document that answers these questions gets its URLs fired.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class IVuderuVASTTracking {
public:
    // Tracking event numbers and click kinds the controller asks about.
    enum : std::int32_t { kTrackingMidpoint = 3, kTrackingFirstQuartile = 4, kTrackingThirdQuartile = 5, kTrackingComplete = 6,
                          kTrackingClose = 16 };
    enum : std::int32_t { kClickTracking = 2 };

    // nil where the document has no such list.
    using UrlList = std::shared_ptr<std::vector<std::string>>;

    virtual ~IVuderuVASTTracking() = default;
    virtual UrlList getImpressionUrls() const = 0;
    virtual UrlList getErrorUrls() const = 0;
    virtual std::optional<std::vector<std::string>> getTrackingEventUrls(std::int32_t trackingEvent) const = 0;
    virtual std::optional<std::string> getVideoClickUrl(std::int64_t clickKind) const = 0;
};
