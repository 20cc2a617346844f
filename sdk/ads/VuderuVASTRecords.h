#pragma once
// The plain records of a parsed VAST document between the manager and the linear: the ad, its
// InLine or Wrapper content, its ad system, its creatives, and one tracking entry. Each is made by
// its builder (VuderuVASTBuilders.h) from the values stored there; lists are held by reference, so
// records built from one builder share them.

#include "platform/foundation/NSObject.h"
#include "sdk/ads/VuderuVASTLinear.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

using VuderuVASTStringList = std::shared_ptr<std::vector<std::string>>;

enum VuderuVASTAdFormatType : std::int64_t {
    VuderuVASTAdFormatNone = 0,
    VuderuVASTAdFormatInLine = 1,
    // Also an InLine reached through a wrapper.
    VuderuVASTAdFormatWrapper = 2,
};

enum VuderuVASTCreativeFormatType : std::int64_t {
    VuderuVASTCreativeFormatOther = 0,
    VuderuVASTCreativeFormatLinear = 1,
};

class VuderuVASTAdSystem : public NSObject {
public:
    struct Fields {
        std::string value;    // the element's text
        std::string version;  // its "version" attribute
    };
    explicit VuderuVASTAdSystem(Fields fields) : fields_(std::move(fields)) {}
    const std::string& value() const { return fields_.value; }
    const std::string& version() const { return fields_.version; }

private:
    Fields fields_;
};
using VuderuVASTAdSystemPtr = std::shared_ptr<VuderuVASTAdSystem>;

class VuderuVASTCreative : public NSObject {
public:
    struct Fields {
        std::string cId;
        std::int32_t sequence = 0;
        std::int32_t depth = 0;  // wrapper depth of the document it came from
        std::int64_t creativeFormatType = VuderuVASTCreativeFormatOther;
        VuderuVASTLinearPtr linear;
        std::string apiFramework;
        std::string adId;
    };
    explicit VuderuVASTCreative(Fields fields) : fields_(std::move(fields)) {}
    const std::string& cId() const { return fields_.cId; }
    std::int32_t sequence() const { return fields_.sequence; }
    std::int32_t depth() const { return fields_.depth; }
    std::int64_t creativeFormatType() const { return fields_.creativeFormatType; }
    const VuderuVASTLinearPtr& linear() const { return fields_.linear; }
    const std::string& apiFramework() const { return fields_.apiFramework; }
    const std::string& adId() const { return fields_.adId; }

private:
    Fields fields_;
};
using VuderuVASTCreativePtr = std::shared_ptr<VuderuVASTCreative>;
using VuderuVASTCreativeList = std::shared_ptr<std::vector<VuderuVASTCreativePtr>>;

class VuderuVASTAdType : public NSObject {
public:
    struct Fields {
        std::int64_t adFormatType = VuderuVASTAdFormatNone;
        std::string adTitle;
        VuderuVASTStringList impressionUrls;
        VuderuVASTStringList errorUrls;
        VuderuVASTCreativeList creatives;
        VuderuVASTAdSystemPtr adSystem;
        std::string vastAdTagURI;
    };
    explicit VuderuVASTAdType(Fields fields) : fields_(std::move(fields)) {}
    std::int64_t adFormatType() const { return fields_.adFormatType; }
    const std::string& adTitle() const { return fields_.adTitle; }
    const VuderuVASTStringList& impressionUrls() const { return fields_.impressionUrls; }
    const VuderuVASTStringList& errorUrls() const { return fields_.errorUrls; }
    const VuderuVASTCreativeList& creatives() const { return fields_.creatives; }
    const VuderuVASTAdSystemPtr& adSystem() const { return fields_.adSystem; }
    const std::string& vastAdTagURI() const { return fields_.vastAdTagURI; }

private:
    Fields fields_;
};
using VuderuVASTAdTypePtr = std::shared_ptr<VuderuVASTAdType>;

class VuderuVASTAd : public NSObject {
public:
    struct Fields {
        std::string adId;  // through wrappers, the id of the first document's ad
        std::int32_t adSequence = 0;
        VuderuVASTAdTypePtr adType;
    };
    explicit VuderuVASTAd(Fields fields) : fields_(std::move(fields)) {}
    const std::string& adId() const { return fields_.adId; }
    std::int32_t adSequence() const { return fields_.adSequence; }
    const VuderuVASTAdTypePtr& adType() const { return fields_.adType; }

private:
    Fields fields_;
};
using VuderuVASTAdPtr = std::shared_ptr<VuderuVASTAd>;
using VuderuVASTAdList = std::shared_ptr<std::vector<VuderuVASTAdPtr>>;

class VuderuVASTTracking : public NSObject {
public:
    struct Fields {
        std::int32_t trackingEvent = VuderuVASTTrackingEventUnknown;
        std::string trackingUrl;
    };
    explicit VuderuVASTTracking(Fields fields) : fields_(std::move(fields)) {}
    std::int32_t trackingEvent() const { return fields_.trackingEvent; }
    const std::string& trackingUrl() const { return fields_.trackingUrl; }

private:
    Fields fields_;
};
using VuderuVASTTrackingPtr = std::shared_ptr<VuderuVASTTracking>;
