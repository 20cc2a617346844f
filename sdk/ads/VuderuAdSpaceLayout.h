#pragma once
// The layout a frame asks of its ad space: the ad's size, which dimension is fixed, whether it
// takes over the screen, and its alignment ("b-c": vertical letter, "-", horizontal letter).

#include "platform/foundation/NSObject.h"

#include <cstdint>
#include <memory>
#include <string>

class VuderuAdSpaceLayout : public NSObject {
public:
    VuderuAdSpaceLayout() = default;

    std::int32_t adWidth() const { return adWidth_; }
    void setAdWidth(std::int32_t value) { adWidth_ = value; }
    std::int32_t adHeight() const { return adHeight_; }
    void setAdHeight(std::int32_t value) { adHeight_ = value; }
    const std::string& fix() const { return fix_; }
    void setFix(std::string value) { fix_ = std::move(value); }
    const std::string& format() const { return format_; }
    void setFormat(std::string value) { format_ = std::move(value); }
    const std::string& alignment() const { return alignment_; }
    void setAlignment(std::string value) { alignment_ = std::move(value); }

    bool isTakeover() const { return format_ == "takeover"; }
    std::string description() const override;

private:
    std::int32_t adWidth_ = 0;
    std::int32_t adHeight_ = 0;
    std::string fix_;
    std::string format_;
    std::string alignment_;
};
using VuderuAdSpaceLayoutPtr = std::shared_ptr<VuderuAdSpaceLayout>;
