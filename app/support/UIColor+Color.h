#pragma once
// The app's colours: components on the 0 to 255 scale, and the named colours of the dark menu and
// the blue centre screens.

#include "platform/uikit/UIColor.h"

#include <cstdint>

namespace UIColor_Color {

// Each component divided by 255, alpha included; not clamped (510 gives 2.0).
UIColorPtr colorWithR255G255B255A255(std::int64_t red, std::int64_t green, std::int64_t blue, std::int64_t alpha);

UIColorPtr centerBackgroundColor();
UIColorPtr centerNavBarBackgroundColor();
UIColorPtr centerTableViewFooterTextColor();
UIColorPtr centerTableViewSectionBackgroundColor();
UIColorPtr menuBackgroundColor();
UIColorPtr menuStatusBarColor();
UIColorPtr menuTableViewCellBackgroundColor();
UIColorPtr menuTableViewCellBackgroundSelectedColor();
UIColorPtr menuTableViewCellTextColor();
UIColorPtr menuTableViewCellTextSelectedColor();
UIColorPtr menuTableViewSeparatorsColor();
UIColorPtr navigationBarMenuColor();

} // namespace UIColor_Color
