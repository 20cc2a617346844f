// Drawing that runs out of memory draws nothing and goes on: no picture instead of a crash.

#include "platform/graphics/CGContext.h"
#include "platform/testsupport/ChildProcess.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/UIColor.h"
#include "platform/uikit/UIGraphics.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIView.h"

#include <gtest/gtest.h>

#include <new>

namespace {

// Room for small allocations after the limit, far less than the large pictures below take.
constexpr std::size_t kAllowance = 16u << 20;
constexpr CGFloat kLargeSide = 3000;  // 36 MB a picture

// Its drawing runs out of memory half-way, after it set a fill colour.
class StarvedView : public UIView {
public:
    using UIView::UIView;
    void drawRect(const CGRect&) override {
        UIColor::redColor()->setFill();
        throw std::bad_alloc();
    }
};

TEST(DrawingOutOfMemory, AContextWithoutABitmapDrawsNothing) {
    CGContext context(nullptr, 2);
    context.setFillColor(1, 0, 0, 1);
    context.fillRect(CGRectMake(0, 0, 10, 10));
    context.setShadow(CGSizeMake(1, 1), 2, {0, 0, 0, 1});
    context.fillRect(CGRectMake(0, 0, 10, 10));
    EXPECT_FALSE(context.target());
}

TEST(DrawingOutOfMemory, ALayerWhoseDrawingRunsOutOfMemoryShowsNothing) {
    auto view = std::make_shared<StarvedView>(CGRectMake(0, 0, 40, 40));
    EXPECT_FALSE(view->layer()->display(1));
    EXPECT_FALSE(view->layer()->backingImage());
    // The view's context is off the stack again: later drawing goes where it belongs.
    EXPECT_FALSE(UIGraphicsGetCurrentContext());
}

TEST(DrawingOutOfMemory, AnImageContextWithoutMemoryGivesNoPicture) {
    if (!addressSpaceCanBeLimited()) GTEST_SKIP() << "the sanitizers' shadow memory lies beyond any address-space limit";
    struct Case {
        const char* name;
        bool beginBeforeTheLimit;  // the context's bitmap is had, its picture is not
    };
    for (const Case& c : {Case{"the context's bitmap", false}, Case{"the picture of a drawn context", true}}) {
        SCOPED_TRACE(c.name);
        int status = runInChildProcess([&] {
            if (c.beginBeforeTheLimit) UIGraphicsBeginImageContextWithOptions({kLargeSide, kLargeSide}, false, 1);
            if (!limitAddressSpace(kAllowance)) return 3;
            if (!c.beginBeforeTheLimit) UIGraphicsBeginImageContextWithOptions({kLargeSide, kLargeSide}, false, 1);
            if (auto context = UIGraphicsGetCurrentContext()) {
                context->setFillColor(0, 0, 1, 1);
                context->fillRect(CGRectMake(0, 0, 10, 10));
            }
            auto picture = UIGraphicsGetImageFromCurrentImageContext();
            UIGraphicsEndImageContext();
            return picture ? 1 : 0;
        });
        EXPECT_EQ(status, 0);
    }
}

} // namespace
