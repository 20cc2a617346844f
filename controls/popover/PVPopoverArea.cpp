#include "controls/popover/PVPopoverArea.h"

#include <cmath>
#include <cstdio>

namespace {
constexpr double kCell = 10;

const char* directionWord(unsigned long direction) {
    switch (direction) {
    case PVPopoverArrowDirectionUp: return "UP";
    case PVPopoverArrowDirectionDown: return "DOWN";
    case PVPopoverArrowDirectionLeft: return "LEFT";
    case PVPopoverArrowDirectionRight: return "RIGHT";
    case PVPopoverNoArrow: return "NONE";
    default: return "";
    }
}
} // namespace

float PVPopoverArea::value() const {
    if (areaSize_.width <= 0 || areaSize_.height <= 0) return 0;
    return static_cast<float>(std::ceil(areaSize_.width / kCell) * std::ceil(areaSize_.height / kCell));
}

std::string PVPopoverArea::description() const {
    char text[128];
    std::snprintf(text, sizeof text, "%s [ %f x %f ]", directionWord(arrowDirection_), areaSize_.width, areaSize_.height);
    return text;
}
