#pragma once
// The key of the ad-unit cache: an ad space name with a screen orientation (0 portrait,
// 1 landscape).

#include "platform/foundation/NSObject.h"

#include <cstdint>
#include <memory>
#include <string>

class VuderuCacheKey : public NSObject {
public:
    VuderuCacheKey(std::string adSpace, std::int32_t orientation) : adSpace_(std::move(adSpace)), orientation_(orientation) {}

    // The key of the current screen orientation.
    static VuderuCacheKey withSpace(const std::string& space);
    static VuderuCacheKey withSpaceAndOrientation(const std::string& space, std::int32_t orientation) { return {space, orientation}; }
    // Interface orientations 1 and 2 are portrait (0), any other landscape (1).
    static VuderuCacheKey withSpaceAndInterfaceOrientation(const std::string& space, long interfaceOrientation);
    static bool isPortrait(long interfaceOrientation) { return interfaceOrientation == 1 || interfaceOrientation == 2; }

    VuderuCacheKey(const VuderuCacheKey& other) : NSObject(), adSpace_(other.adSpace_), orientation_(other.orientation_) {}
    VuderuCacheKey& operator=(const VuderuCacheKey& other) {
        adSpace_ = other.adSpace_;
        orientation_ = other.orientation_;
        return *this;
    }

    const std::string& adSpace() const { return adSpace_; }
    std::int32_t orientation() const { return orientation_; }
    // The same space in the other orientation (0 becomes 1, anything else 0).
    VuderuCacheKey reoriented() const { return {adSpace_, orientation_ == 0 ? 1 : 0}; }

    bool operator==(const VuderuCacheKey& other) const { return adSpace_ == other.adSpace_ && orientation_ == other.orientation_; }
    bool operator<(const VuderuCacheKey& other) const {
        return adSpace_ != other.adSpace_ ? adSpace_ < other.adSpace_ : orientation_ < other.orientation_;
    }
    bool isEqual(const NSObject* other) const override;
    std::size_t hash() const override;
    std::string description() const override;

private:
    std::string adSpace_;
    std::int32_t orientation_;
};
