#pragma once
// One MediaFile of a VAST linear creative, and the names of its delivery types. The record is
// plain data, made by VuderuVASTMediaFileBuilder.

#include "platform/foundation/NSObject.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

enum VuderuVASTDeliveryType : std::int32_t {
    VuderuVASTDeliveryTypeUnknown = 0,
    VuderuVASTDeliveryTypeStreaming = 1,
    VuderuVASTDeliveryTypeProgressive = 2,
};

class VuderuVASTMediaFile : public NSObject {
public:
    struct Fields {
        std::string mId;
        std::string apiFramework;
        std::optional<std::string> url;  // nil when the builder had none
        std::int32_t bitRate = 0;
        std::int32_t deliveryType = VuderuVASTDeliveryTypeUnknown;
        std::int32_t height = 0;
        std::int32_t width = 0;
        bool maintainAspectRatio = false;
        bool scalable = false;
        std::string type;
    };
    explicit VuderuVASTMediaFile(Fields fields) : fields_(std::move(fields)) {}

    // "unknown" for a number outside the table.
    static const std::string& deliveryTypeEnumToString(std::int32_t deliveryType);
    // Case-sensitive; 0 for a name outside the table.
    static std::int32_t deliveryTypeStringToEnum(const std::string& name);

    const std::string& mId() const { return fields_.mId; }
    const std::string& apiFramework() const { return fields_.apiFramework; }
    const std::optional<std::string>& url() const { return fields_.url; }
    std::int32_t bitRate() const { return fields_.bitRate; }
    std::int32_t deliveryType() const { return fields_.deliveryType; }
    std::int32_t height() const { return fields_.height; }
    std::int32_t width() const { return fields_.width; }
    bool maintainAspectRatio() const { return fields_.maintainAspectRatio; }
    bool scalable() const { return fields_.scalable; }
    const std::string& type() const { return fields_.type; }

private:
    Fields fields_;
};

using VuderuVASTMediaFilePtr = std::shared_ptr<VuderuVASTMediaFile>;
