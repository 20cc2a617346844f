#pragma once
// One candidate side for the popover's arrow: the direction and the free room on that side.

#include "controls/popover/PVPopoverTypes.h"
#include "platform/foundation/NSObject.h"

#include <string>

class PVPopoverArea : public NSObject {
public:
    PVPopoverArea() = default;
    PVPopoverArea(unsigned long direction, CGSize size) : arrowDirection_(direction), areaSize_(size) {}

    unsigned long arrowDirection() const { return arrowDirection_; }
    void setArrowDirection(unsigned long direction) { arrowDirection_ = direction; }
    CGSize areaSize() const { return areaSize_; }
    void setAreaSize(CGSize size) { areaSize_ = size; }
    // The room counted in 10-point cells, rounded up; 0 when either side is 0 or less.
    float value() const;
    // "UP [ 95.000000 x 101.000000 ]"
    std::string description() const override;

private:
    unsigned long arrowDirection_ = 0;
    CGSize areaSize_;
};
