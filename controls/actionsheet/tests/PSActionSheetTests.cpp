#include "controls/actionsheet/PSActionSheet.h"

#include "platform/testsupport/ScreenTest.h"
#include "platform/uikit/UIDevice.h"
#include "platform/uikit/UIDisplay.h"
#include "platform/uikit/UIFingers.h"
#include "platform/uikit/UIGraphics.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UIScreen.h"
#include "platform/testsupport/DrawnImages.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <vector>

namespace {
class ActionSheetTest : public ScreenTest {
protected:
    void SetUp() override {
        ScreenTest::SetUp();
        sheet_ = PSActionSheet::init();
    }
    void TearDown() override {
        // A sheet left shown would keep itself alive through its window.
        if (sheet_->actionWindow()) {
            tapOutside();
            settle();
        }
        sheet_.reset();
        ScreenTest::TearDown();
    }
    void show(const std::string& title, const std::string& cancel, int buttons) {
        std::vector<std::string> titles;
        for (int i = 0; i < buttons; ++i) titles.push_back("Button " + std::to_string(i));
        sheet_->showCCancelButtonsResult(title, cancel, titles, [this](int index) { chosen_.push_back(index); });
    }
    // The button of the tag: in the column, or the cancel button on the panel (many views have tag 0).
    std::shared_ptr<UIButton> button(long tag) const {
        auto& views = tag == PSActionSheet::kCancelIndex ? sheet_->panel()->subviews() : sheet_->buttonColumn()->subviews();
        for (auto& v : views)
            if (auto b = std::dynamic_pointer_cast<UIButton>(v); b && b->tag() == tag) return b;
        return nullptr;
    }
    // A finger on the sheet's window at a point of the screen.
    void touch(CGPoint p) { UIFingers(sheet_->actionWindow()).tap(p); }
    void tapButton(long tag) {
        auto b = button(tag);
        auto f = b->bounds();
        touch(b->convertPointToView({CGRectGetMidX(f), CGRectGetMidY(f)}, nullptr));
    }
    void tapOutside() { touch({160, 5}); }
    // Long enough for every animation and the chains their completions start.
    void settle() {
        for (int i = 0; i < 20; ++i) clock_->advance(0.05);
    }

    std::shared_ptr<PSActionSheet> sheet_;
    std::vector<int> chosen_;
};

using drawn_images::filledImage;
} // namespace

TEST_F(ActionSheetTest, LayoutOfTitleContentColumnAndCancel) {
    struct Case {
        const char* name;
        bool title;
        int content; // 0 none, 1 a 480 by 360 picture, 2 a map
        int buttons;
        bool cancel;
        CGFloat firstButtonY;
        CGFloat columnVisible;
    };
    const Case cases[] = {
        {"no title", false, 0, 3, true, 0, 135},
        {"a picture shown at 180 by 135", false, 1, 2, true, 155, 245},
        {"a map", false, 2, 1, false, 195, 240},
        {"ten buttons scroll past 370", false, 0, 10, true, 0, 370},
        {"a title over the column", true, 0, 1, false, 0, 45},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        sheet_ = PSActionSheet::init();
        sheet_->setNContentMode(c.content);
        sheet_->setIImage(filledImage(480, 360));
        sheet_->setDLocation(PSActionSheetLocation{48.85, 2.35, 600});
        show(c.title ? "Quality" : "", c.cancel ? "Cancel" : "", c.buttons);
        auto column = sheet_->buttonColumn();
        CGFloat top = 10;
        if (c.title) {
            auto label = std::dynamic_pointer_cast<UILabel>(sheet_->panel()->subviews()[0]);
            ASSERT_TRUE(label);
            EXPECT_EQ(label->text(), "Quality");
            EXPECT_GT(label->frame().size.height, 0);
            top = label->frame().size.height + 10;
            EXPECT_EQ(sheet_->panel()->subviews()[1]->frame().size.height, 0.5); // the line under it
        }
        EXPECT_EQ(column->frame(), CGRectMake(0, top + 5, 320, 370));
        EXPECT_EQ(button(0)->frame(), CGRectMake(20, c.firstButtonY, 280, 40));
        EXPECT_EQ(column->contentSize().height, c.firstButtonY + 45 * c.buttons);
        if (c.content == 1) {
            auto image = std::dynamic_pointer_cast<UIImageView>(column->subviews()[0]);
            ASSERT_TRUE(image);
            EXPECT_EQ(image->frame(), CGRectMake(70, 5, 180, 135));
            EXPECT_EQ(image->image()->size(), CGSizeMake(360, 270));
        }
        if (c.content == 2) {
            auto map = std::dynamic_pointer_cast<MKMapView>(column->subviews()[0]);
            ASSERT_TRUE(map);
            EXPECT_EQ(map->frame(), CGRectMake(40, 5, 240, 180));
            EXPECT_EQ(map->centerCoordinate().latitude, 48.85);
            EXPECT_EQ(map->camera()->altitude(), 600);
            EXPECT_EQ(map->camera()->pitch(), 70);
            EXPECT_TRUE(map->showsBuildings());
        }
        CGFloat bottom = top + c.columnVisible + 5;
        if (c.cancel) {
            EXPECT_EQ(button(PSActionSheet::kCancelIndex)->frame(), CGRectMake(20, bottom + 10, 280, 40));
        } else {
            EXPECT_FALSE(button(PSActionSheet::kCancelIndex));
        }
        CGFloat h = bottom + (c.cancel ? 60 : 5) + 10;
        // Slid in: the panel, 5 points taller, rests with 15 points below the screen's edge.
        EXPECT_EQ(sheet_->panel()->frame(), CGRectMake(0, 568 - (h + 5) + 15, 320, h + 5));
        tapOutside();
        settle();
    }
}

TEST_F(ActionSheetTest, AChoiceIsReportedOnceAndClosingGivesKeyStatusBack) {
    show("", "Cancel", 3);
    EXPECT_TRUE(sheet_->actionWindow()->isKeyWindow());
    EXPECT_EQ(sheet_->actionWindow()->windowLevel(), UIWindowLevelAlert);
    tapButton(1);
    tapButton(2);    // while the sheet fades: ignored
    tapOutside();    // likewise
    EXPECT_EQ(chosen_, (std::vector<int>{1}));
    EXPECT_TRUE(sheet_->actionWindow()); // still fading
    clock_->advance(0.31);
    EXPECT_FALSE(sheet_->actionWindow());
    EXPECT_FALSE(sheet_->superview());
    EXPECT_TRUE(window_->isKeyWindow());
    // Shown again, it takes one more choice.
    show("", "Cancel", 3);
    tapButton(PSActionSheet::kCancelIndex);
    EXPECT_EQ(chosen_, (std::vector<int>{1, -100}));
    clock_->advance(0.31);
    EXPECT_TRUE(window_->isKeyWindow());
}

TEST_F(ActionSheetTest, ATouchOutsideThePanelCancelsOnceAndInsideDoesNothing) {
    show("", "", 2); // no cancel button: outside still cancels
    auto panel = sheet_->panel()->frame();
    touch({5, CGRectGetMaxY(panel) - 12}); // the panel's empty margin, left of the buttons
    EXPECT_TRUE(chosen_.empty());
    tapOutside();
    tapOutside();
    EXPECT_EQ(chosen_, (std::vector<int>{-100}));
}

TEST_F(ActionSheetTest, AnimationTypesPlaceAndMoveThePanel) {
    struct Case {
        int type;
        bool centred;
    };
    for (auto c : {Case{1, false}, Case{2, false}, Case{3, true}, Case{7, true}}) {
        SCOPED_TRACE(c.type);
        sheet_ = PSActionSheet::init();
        sheet_->setNAnimationType(c.type);
        sheet_->setDRound(8);
        show("", "Cancel", 2);
        settle();
        auto f = sheet_->panel()->frame();
        EXPECT_EQ(sheet_->alpha(), 1);
        if (c.centred) {
            EXPECT_EQ(sheet_->panel()->center(), CGPointMake(160, 284));
        } else if (c.type == 1) {
            EXPECT_EQ(CGRectGetMaxY(f), 568 + 8 + 10); // dRound + 10 below the edge
        } else {
            EXPECT_EQ(CGRectGetMaxY(f), 568 + 15);     // after the bounce
        }
        tapOutside();
        settle();
        EXPECT_FALSE(sheet_->actionWindow());
        if (c.centred) {
            EXPECT_EQ(sheet_->panel()->center(), CGPointMake(160, 284));
        }
    }
}

TEST_F(ActionSheetTest, DestructiveIndexHighlightsOnlyAnExistingButton) {
    for (int index : {-1, 1, 5}) {
        SCOPED_TRACE(index);
        sheet_ = PSActionSheet::init();
        sheet_->setNDestructiveIndex(index);
        show("", "", 3);
        for (long tag = 0; tag < 3; ++tag) {
            auto expected = tag == index ? UIColor::colorWithRed(124.0 / 255, 192.0 / 255, 134.0 / 255, 1)
                                         : UIColor::colorWithRed(65.0 / 255, 65.0 / 255, 65.0 / 255, 1);
            EXPECT_TRUE(button(tag)->backgroundColor()->isEqual(expected.get()));
        }
        tapOutside();
        settle();
    }
}

TEST_F(ActionSheetTest, TheDisplayShowsThePanelAndAButton) {
    show("", "Cancel", 2);
    clock_->advance(0.5);
    auto panel = sheet_->panel()->frame();
    auto p = pixelAt(8, CGRectGetMaxY(panel) - 20);
    EXPECT_EQ((std::vector<int>{p.red, p.green, p.blue}), (std::vector<int>{109, 175, 255}));
    auto b = button(0)->convertRectToView(button(0)->bounds(), nullptr);
    auto q = pixelAt(b.origin.x + 4, b.origin.y + 4);
    EXPECT_EQ((std::vector<int>{q.red, q.green, q.blue}), (std::vector<int>{65, 65, 65}));
    auto dim = pixelAt(160, 5); // the app's black window under 0.7 black
    EXPECT_EQ(dim.red, 0);
}

TEST_F(ActionSheetTest, RotationMovesThePanelToTheBottomOnTheMainQueue) {
    show("", "Cancel", 2);
    clock_->advance(0.5);
    auto before = sheet_->panel()->frame();
    sheet_->panel()->setFrame(CGRectMake(0, 0, 320, before.size.height));
    UIApplication::sharedApplication()->rotateDevice(UIDeviceOrientationPortraitUpsideDown);
    drainMain();
    EXPECT_EQ(sheet_->panel()->frame(), before);
}

// Turned sideways while up, the panel spans the landscape width along the bottom and what it
// holds follows: the column and every button the width, the cancel button too; the display
// shows a button reaching the right side.
TEST_F(ActionSheetTest, TurnedSidewaysThePanelAndItsButtonsFillTheWidth) {
    for (auto device : {UIDeviceOrientationLandscapeLeft, UIDeviceOrientationLandscapeRight}) {
        SCOPED_TRACE(device);
        turnDevice(UIDeviceOrientationPortrait);
        // A sheet hears of turns from its creation until it closes.
        sheet_ = PSActionSheet::init();
        show("My Video", "Cancel", 2);
        settle();
        turnDevice(device);
        drainMain();
        settle();
        const CGFloat width = UIScreen::mainScreen()->interfaceBounds().size.width;
        ASSERT_EQ(width, 568);
        EXPECT_EQ(sheet_->panel()->frame().size.width, width);
        EXPECT_EQ(sheet_->buttonColumn()->frame().size.width, width);
        for (long tag : {0L, 1L, static_cast<long>(PSActionSheet::kCancelIndex)}) {
            SCOPED_TRACE(tag);
            EXPECT_EQ(button(tag)->frame().origin.x, 20);
            EXPECT_EQ(button(tag)->frame().size.width, width - 40);
        }
        auto b = button(0)->convertRectToView(button(0)->bounds(), nullptr);
        auto on = UIScreen::mainScreen()->pointToInterface({CGRectGetMidX(b), CGRectGetMidY(b)});
        auto q = pixelAt(width - 30, on.y);
        EXPECT_EQ((std::vector<int>{q.red, q.green, q.blue}), (std::vector<int>{65, 65, 65}));
        tapButton(PSActionSheet::kCancelIndex);
        settle();
        EXPECT_EQ(chosen_.back(), PSActionSheet::kCancelIndex);
    }
}
