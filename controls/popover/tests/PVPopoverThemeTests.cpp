#include "controls/popover/PVPopoverArea.h"
#include "controls/popover/PVPopoverTheme.h"
#include "controls/popover/UIColor+PVPopover.h"
#include "platform/system/DeviceProfile.h"

#include <gtest/gtest.h>

namespace {

std::string hex(const UIColorPtr& color) { return color ? UIColor_PVPopover::hexString(*color) : "nil"; }

TEST(PVPopoverThemeTest, DerivedValuesFollowTheStoredOnes) {
    auto theme = std::make_shared<PVPopoverTheme>();
    EXPECT_EQ(hex(theme->fillTopColor()), "nil");
    EXPECT_EQ(hex(theme->outerStrokeColor()), "nil");

    theme->setTintColor(UIColor::colorWithRed(0.8, 0.4, 0.2, 0.5));
    EXPECT_EQ(hex(theme->fillTopColor()), "#cc66337f");
    EXPECT_EQ(hex(theme->fillBottomColor()), "#cc66337f");
    // Hex components truncate (0.5 is 7f). Strokes: the fill darkened by 0.6 (single precision,
    // so 0.8 - 0.6 truncates to 0x32), opaque; gloss: lightened by 0.2.
    EXPECT_EQ(hex(theme->outerStrokeColor()), "#320000ff");
    EXPECT_EQ(hex(theme->innerStrokeColor()), "#320000ff");
    EXPECT_EQ(hex(theme->glossShadowColor()), "#ff9966ff");

    theme->setFillTopColor(UIColor::whiteColor());
    EXPECT_EQ(hex(theme->fillBottomColor()), "#ffffffff");
    theme->setFillBottomColor(UIColor::blackColor());
    EXPECT_EQ(hex(theme->fillBottomColor()), "#000000ff");

    theme->setOuterShadowBlurRadius(8);
    theme->setOuterShadowOffset(CGSizeMake(3, 12));
    EXPECT_EQ(theme->outerShadowOffset().width, 3);
    EXPECT_EQ(theme->outerShadowOffset().height, 8);

    theme->setOuterCornerRadius(5);
    theme->setInnerCornerRadius(2);
    EXPECT_EQ(theme->innerCornerRadius(), 5u) << "border 0 reads the outer radius";
    theme->setBorderWidth(6);
    EXPECT_EQ(theme->innerCornerRadius(), 2u);
}

TEST(PVPopoverThemeTest, TheTwoFlavours) {
    auto six = PVPopoverTheme::themeForIOS6();
    EXPECT_EQ(hex(six->tintColor()), "#373f47ff");
    EXPECT_EQ(hex(six->fillBottomColor()), "#000000ff") << "55, 63, 71 darkened by 0.4";
    EXPECT_EQ(hex(six->outerStrokeColor()), "#000000ff");
    EXPECT_EQ(six->borderWidth(), 6u);
    EXPECT_EQ(six->arrowBase(), 42u);
    EXPECT_EQ(six->innerCornerRadius(), 6u);
    EXPECT_EQ(six->viewContentInsets().top, 3);

    auto seven = PVPopoverTheme::themeForIOS7();
    EXPECT_EQ(hex(seven->fillTopColor()), "#f4f4f4ff");
    EXPECT_EQ(hex(seven->outerStrokeColor()), "#00000000");
    EXPECT_EQ(hex(seven->overlayColor()), "#00000026");
    EXPECT_EQ(seven->innerCornerRadius(), 5u);
    EXPECT_EQ(seven->arrowHeight(), 13u);
}

TEST(PVPopoverThemeTest, TheSystemVersionChoosesTheFlavourNumerically) {
    struct Case { const char* version; unsigned long border; } cases[] = {{"6.1", 6}, {"7.0", 0}, {"10.0", 0}, {"6.9.9", 6}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.version);
        DeviceProfile::update([&](DeviceProfile& p) { p.systemVersion = c.version; });
        EXPECT_EQ(PVPopoverTheme::theme()->borderWidth(), c.border);
    }
    DeviceProfile::reset();
}

TEST(PVPopoverThemeTest, SettersAnnounceTheirKeys) {
    auto theme = PVPopoverTheme::themeForIOS7();
    std::vector<std::string> seen;
    for (const auto& key : PVPopoverTheme::observableKeypaths())
        theme->addObserverForKeyPath(key, [&](const std::string& k, bool prior) { if (!prior) seen.push_back(k); });
    theme->setArrowBase(30);
    theme->setMinOuterCornerRadius(3);
    theme->setOverlayColor(UIColor::redColor());
    EXPECT_EQ(seen, (std::vector<std::string>{"arrowBase", "overlayColor"}));
    EXPECT_EQ(PVPopoverTheme::observableKeypaths().size(), 21u);
}

TEST(UIColorPVPopoverTest, ComponentsLightenDarkenAndHex) {
    double r = -1, g = -1, b = -1, a = -1;
    EXPECT_TRUE(UIColor_PVPopover::getValueOfRedGreenBlueAlpha(*UIColor::colorWithWhite(0.5, 0.25), &r, &g, &b, &a));
    EXPECT_EQ(r, 0.5);
    EXPECT_EQ(b, 0.5);
    EXPECT_EQ(a, 0.25);
    EXPECT_TRUE(UIColor_PVPopover::getValueOfRedGreenBlueAlpha(*UIColor::redColor(), nullptr, nullptr, nullptr, &a));
    auto pattern = UIColor::colorWithPatternImage(nullptr);
    if (pattern) {
        r = 7;
        EXPECT_FALSE(UIColor_PVPopover::getValueOfRedGreenBlueAlpha(*pattern, &r, nullptr, nullptr, nullptr));
        EXPECT_EQ(r, 0);
    }
    EXPECT_EQ(UIColor_PVPopover::hexString(*UIColor::whiteColor()), "#ffffffff");
    EXPECT_EQ(hex(UIColor_PVPopover::colorByLighten(*UIColor::colorWithRed(0.9, 0.5, 0, 0.1), 0.3f)), "#ffcc4cff");
    EXPECT_EQ(hex(UIColor_PVPopover::colorByDarken(*UIColor::colorWithRed(0.1, 0.5, 1, 0.1), 0.3f)), "#0032b2ff");
}

TEST(PVPopoverAreaTest, ValueCountsTenPointCellsRoundedUp) {
    struct Case { CGSize size; float value; } cases[] = {
        {{95, 101}, 110}, {{0, 500}, 0}, {{100, 100}, 100}, {{-5, 40}, 0}, {{0.5, 0.5}, 1}};
    for (const auto& c : cases) {
        PVPopoverArea area(PVPopoverArrowDirectionUp, c.size);
        EXPECT_EQ(area.value(), c.value) << area.description();
    }
    EXPECT_EQ(PVPopoverArea(PVPopoverArrowDirectionLeft, {95, 101}).description(), "LEFT [ 95.000000 x 101.000000 ]");
    EXPECT_EQ(PVPopoverArea(3, {1, 2}).description(), " [ 1.000000 x 2.000000 ]");
}

} // namespace
