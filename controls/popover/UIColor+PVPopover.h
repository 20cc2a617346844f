#pragma once
// Colour arithmetic of the popover's theme.

#include "platform/uikit/UIColor.h"

#include <string>

namespace UIColor_PVPopover {
// Monochrome colours report their white as red, green and blue; RGB ones their components; any
// other space gives zeros and false. Null pointers are skipped.
bool getValueOfRedGreenBlueAlpha(const UIColor& color, double* red, double* green, double* blue, double* alpha);
// "#rrggbbaa", each component times 255 truncated.
std::string hexString(const UIColor& color);
// Opaque colours with each of red, green and blue moved by d and kept within 0 to 1.
UIColorPtr colorByLighten(const UIColor& color, float d);
UIColorPtr colorByDarken(const UIColor& color, float d);
} // namespace UIColor_PVPopover
