#include "app/support/UIColor+Color.h"

#include <gtest/gtest.h>

namespace {

struct ColorCase {
    const char* name;
    UIColorPtr (*make)();
    double red, green, blue, alpha; // on the 0 to 255 scale
};

UIColorPtr opaqueWhite() { return UIColor_Color::colorWithR255G255B255A255(255, 255, 255, 255); }
UIColorPtr transparentBlack() { return UIColor_Color::colorWithR255G255B255A255(0, 0, 0, 0); }
UIColorPtr beyondTheScale() { return UIColor_Color::colorWithR255G255B255A255(510, -255, 51, 255); }

TEST(UIColorColorTest, ComponentsAndNamedColours) {
    const double darkGray = 255.0 / 3.0;
    const ColorCase cases[] = {
        {"opaque white", opaqueWhite, 255, 255, 255, 255},
        {"transparent black", transparentBlack, 0, 0, 0, 0},
        {"unclamped", beyondTheScale, 510, -255, 51, 255},
        {"centerBackgroundColor", UIColor_Color::centerBackgroundColor, 102, 169, 250, 255},
        {"centerNavBarBackgroundColor", UIColor_Color::centerNavBarBackgroundColor, 91, 165, 255, 255},
        {"centerTableViewFooterTextColor", UIColor_Color::centerTableViewFooterTextColor, darkGray, darkGray, darkGray, 255},
        {"centerTableViewSectionBackgroundColor", UIColor_Color::centerTableViewSectionBackgroundColor, 102, 169, 250, 255},
        {"menuBackgroundColor", UIColor_Color::menuBackgroundColor, 42, 42, 42, 255},
        {"menuStatusBarColor", UIColor_Color::menuStatusBarColor, 42, 42, 42, 255},
        {"menuTableViewCellBackgroundColor", UIColor_Color::menuTableViewCellBackgroundColor, 42, 42, 42, 255},
        {"menuTableViewCellBackgroundSelectedColor", UIColor_Color::menuTableViewCellBackgroundSelectedColor, 34, 34, 34, 255},
        {"menuTableViewCellTextColor", UIColor_Color::menuTableViewCellTextColor, 167, 167, 167, 255},
        {"menuTableViewCellTextSelectedColor", UIColor_Color::menuTableViewCellTextSelectedColor, 207, 207, 207, 255},
        {"menuTableViewSeparatorsColor", UIColor_Color::menuTableViewSeparatorsColor, 30, 30, 30, 255},
        {"navigationBarMenuColor", UIColor_Color::navigationBarMenuColor, 0, 0, 0, 255},
    };
    for (const ColorCase& c : cases) {
        UIColorPtr color = c.make();
        ASSERT_TRUE(color) << c.name;
        EXPECT_DOUBLE_EQ(color->red(), c.red / 255.0) << c.name;
        EXPECT_DOUBLE_EQ(color->green(), c.green / 255.0) << c.name;
        EXPECT_DOUBLE_EQ(color->blue(), c.blue / 255.0) << c.name;
        EXPECT_DOUBLE_EQ(color->alpha(), c.alpha / 255.0) << c.name;
    }
    EXPECT_DOUBLE_EQ(beyondTheScale()->red(), 2.0);
}

} // namespace
