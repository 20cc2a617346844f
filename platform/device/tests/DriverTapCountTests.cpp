#include "platform/device/Driver.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/testsupport/RunLoopSupport.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIWindow.h"

#include <gtest/gtest.h>

namespace {
// Notes the tap count of every touch that ends on it.
class TapPad : public UIView {
public:
    using UIView::UIView;
    std::vector<long> counts;
    void touchesEndedWithEvent(const UITouchSet& touches, const std::shared_ptr<UIEvent>&) override {
        for (auto& t : touches) counts.push_back(t->tapCount());
    }
};

class DriverTapCountTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        UIApplication::sharedApplication()->reset();
        window_ = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 568));
        pad_ = std::make_shared<TapPad>(window_->bounds());
        window_->addSubview(pad_);
        window_->makeKeyAndVisible();
    }
    void TearDown() override {
        UIApplication::sharedApplication()->reset();
        DeviceTest::TearDown();
    }

    ManualClock clock_;
    Driver driver_;
    std::shared_ptr<UIWindow> window_;
    std::shared_ptr<TapPad> pad_;
};
} // namespace

// A touch at the point of the one before, within the double-tap interval, counts on; a pause, a
// new point or an explicit count starts afresh.
TEST_F(DriverTapCountTest, TouchesCountTheirTapsLikeFingers) {
    struct Step {
        const char* command;
        double pauseBefore;
        long taps;
    } steps[] = {
        {"touch 100,100", 0, 1},   {"touch 100,100", 0.2, 2}, {"touch 100,100", 0.2, 3}, {"touch 100,100", 0.5, 1},
        {"touch 101,100", 0.1, 1}, {"touch 101,100 1", 0.1, 1}, {"touch 101,100", 0.1, 2}, {"touch 50,50 2", 5, 2},
    };
    std::vector<long> expected;
    for (const auto& s : steps) {
        clock_.advance(s.pauseBefore);
        EXPECT_EQ(driver_.execute(s.command), "") << s.command;
        expected.push_back(s.taps);
    }
    EXPECT_EQ(pad_->counts, expected);
}

TEST_F(DriverTapCountTest, ABadTapCountIsAClearErrorAndTouchesNothing) {
    for (const char* bad : {"touch 10,10 0", "touch 10,10 -1", "touch 10,10 x", "touch 10,10 11", "touch 10,10 1 2"}) {
        SCOPED_TRACE(bad);
        EXPECT_NE(driver_.execute(bad), "");
    }
    EXPECT_NE(driver_.execute("touch 10,10 0").find("the taps of a touch are a whole number from 1 to 10"), std::string::npos);
    EXPECT_TRUE(pad_->counts.empty());
    // Nor does a refused command count as the touch before.
    EXPECT_EQ(driver_.execute("touch 10,10"), "");
    EXPECT_EQ(pad_->counts, std::vector<long>{1});
}
