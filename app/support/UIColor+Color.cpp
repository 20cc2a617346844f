#include "app/support/UIColor+Color.h"

namespace UIColor_Color {

namespace {
constexpr double kComponentScale = 255.0;
constexpr std::int64_t kOpaque = 255;
} // namespace

UIColorPtr colorWithR255G255B255A255(std::int64_t red, std::int64_t green, std::int64_t blue, std::int64_t alpha) {
    return UIColor::colorWithRed(static_cast<double>(red) / kComponentScale, static_cast<double>(green) / kComponentScale,
                                 static_cast<double>(blue) / kComponentScale, static_cast<double>(alpha) / kComponentScale);
}

UIColorPtr centerBackgroundColor() { return colorWithR255G255B255A255(102, 169, 250, kOpaque); }
UIColorPtr centerNavBarBackgroundColor() { return colorWithR255G255B255A255(91, 165, 255, kOpaque); }
UIColorPtr centerTableViewFooterTextColor() { return UIColor::darkGrayColor(); }
UIColorPtr centerTableViewSectionBackgroundColor() { return centerBackgroundColor(); }
UIColorPtr menuBackgroundColor() { return colorWithR255G255B255A255(42, 42, 42, kOpaque); }
UIColorPtr menuStatusBarColor() { return menuBackgroundColor(); }
UIColorPtr menuTableViewCellBackgroundColor() { return menuBackgroundColor(); }
UIColorPtr menuTableViewCellBackgroundSelectedColor() { return colorWithR255G255B255A255(34, 34, 34, kOpaque); }
UIColorPtr menuTableViewCellTextColor() { return colorWithR255G255B255A255(167, 167, 167, kOpaque); }
UIColorPtr menuTableViewCellTextSelectedColor() { return colorWithR255G255B255A255(207, 207, 207, kOpaque); }
UIColorPtr menuTableViewSeparatorsColor() { return colorWithR255G255B255A255(30, 30, 30, kOpaque); }
UIColorPtr navigationBarMenuColor() { return UIColor::blackColor(); }

} // namespace UIColor_Color
