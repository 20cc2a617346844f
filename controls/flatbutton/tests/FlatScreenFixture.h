#pragma once
// A key window whose content is white over the whole screen, the platform clock manual and no
// animations recorded: where the flat button and the curled look are pressed and painted.

#include "platform/testsupport/ScreenTest.h"
#include "platform/uikit/UIGraphics.h"

class FlatScreenTest : public ScreenTest {
protected:
    void SetUp() override {
        ScreenTest::SetUp();
        content()->setBackgroundColor(UIColor::whiteColor());
    }

    // An image of one colour, at scale 1.
    static UIImagePtr solidImage(CGSize size, const UIColorPtr& color) {
        UIGraphicsBeginImageContextWithOptions(size, false, 1);
        color->setFill();
        UIGraphicsGetCurrentContext()->fillRect(CGRectMake(0, 0, size.width, size.height));
        auto image = UIGraphicsGetImageFromCurrentImageContext();
        UIGraphicsEndImageContext();
        return image;
    }
};
