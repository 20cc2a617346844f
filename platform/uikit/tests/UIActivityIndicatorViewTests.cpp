#include "platform/graphics/CGContext.h"
#include "platform/uikit/UIActivityIndicatorView.h"

#include <gtest/gtest.h>

namespace {
// The spokes drawn over white: how many pixels of a 100 by 100 white view at scale 2 are not white.
int markedPixels(const std::shared_ptr<UIActivityIndicatorView>& spinner) {
    auto root = std::make_shared<UIView>(CGRectMake(0, 0, 100, 100));
    root->setBackgroundColor(UIColor::whiteColor());
    root->addSubview(spinner);
    auto bitmap = CGImage::createWithSize(200, 200);
    CGContext c(bitmap, 2);
    root->layer()->renderInContext(c);
    int marked = 0;
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 200; ++x)
            if (bitmap->pixelAt(x, y) != CGImage::Pixel{255, 255, 255, 255}) ++marked;
    return marked;
}
} // namespace

TEST(UIActivityIndicatorViewTest, StylesSizesAndAnimation) {
    struct Case {
        UIActivityIndicatorViewStyle style;
        CGFloat side;
    } cases[] = {{UIActivityIndicatorViewStyleWhiteLarge, 37}, {UIActivityIndicatorViewStyleWhite, 20}, {UIActivityIndicatorViewStyleGray, 20}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.style);
        auto spinner = std::make_shared<UIActivityIndicatorView>(c.style);
        EXPECT_EQ(spinner->frame().size, CGSizeMake(c.side, c.side));
        EXPECT_TRUE(spinner->isHidden()) << "stopped, it hides";
        spinner->startAnimating();
        EXPECT_TRUE(spinner->isAnimating());
        EXPECT_FALSE(spinner->isHidden());
        spinner->stopAnimating();
        EXPECT_TRUE(spinner->isHidden());
        spinner->setHidesWhenStopped(false);
        EXPECT_FALSE(spinner->isHidden());
    }
}

// A white wheel vanishes on white until it is given a colour; a stopped one is not drawn at all.
TEST(UIActivityIndicatorViewTest, TheWheelIsDrawnInItsColourWhileItTurns) {
    auto spinner = std::make_shared<UIActivityIndicatorView>(UIActivityIndicatorViewStyleWhite);
    spinner->setFrame(CGRectMake(10, 10, 45, 45));
    spinner->startAnimating();
    EXPECT_EQ(markedPixels(spinner), 0);
    spinner->setColor(UIColor::blackColor());
    EXPECT_GT(markedPixels(spinner), 200);
    spinner->stopAnimating();
    EXPECT_EQ(markedPixels(spinner), 0);
    auto gray = std::make_shared<UIActivityIndicatorView>(UIActivityIndicatorViewStyleGray);
    gray->startAnimating();
    EXPECT_GT(markedPixels(gray), 50);
}
