#include "sdk/adviews/VuderuCircleCounterView.h"

#include "platform/system/DeviceProfile.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIDisplay.h"
#include "platform/uikit/UIWindow.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

class CircleCounterTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        DeviceProfile::reset();
        UIApplication::sharedApplication()->reset();
    }
    void TearDown() override {
        UIApplication::sharedApplication()->reset();
        DeviceTest::TearDown();
    }
    VuderuCircleCounterView counter{CGRectMake(0, 0, 30, 30)};
};

TEST_F(CircleCounterTest, ShowsTheSecondsLeftRoundedAndNoZero) {
    struct Case {
        float left;
        const char* shown;
    } cases[] = {{29.6f, "30"}, {8.2f, "8"}, {0.6f, "1"}, {0.4f, ""}, {0, ""}};
    counter.upgradeGraphics(30, 30);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.left);
        counter.upgradeGraphics(30, c.left);
        EXPECT_EQ(counter.numberText(), c.shown);
    }
}

TEST_F(CircleCounterTest, LengthsOfZeroOrLessChangeNothing) {
    for (std::int32_t length : {0, -3}) {
        counter.upgradeGraphics(length, 7);
        EXPECT_EQ(counter.circleTotalSegs(), 0);
        EXPECT_EQ(counter.timeInSeconds(), 0);
    }
    counter.upgradeGraphics(10, 9.5f);
    counter.upgradeGraphics(10, 8.5f);
    for (std::int32_t length : {0, -3}) {
        counter.upgradeGraphics(length, 2);
        EXPECT_EQ(counter.circleTotalSegs(), 10);
        EXPECT_EQ(counter.circleSegs(), 1);
        EXPECT_EQ(counter.timeInSeconds(), 8.5f);
    }
}

TEST_F(CircleCounterTest, SegmentsOverAFiveSecondVideo) {
    struct Step {
        float left;
        std::int32_t segs;
    } steps[] = {{5.0f, 5}, {5.0f, -1}, {4.9f, 0}, {4.0f, 0}, {3.9f, 1}, {2.1f, 2}, {1.0f, 3}, {0.5f, 4}, {0.0f, 0}};
    for (const auto& s : steps) {
        SCOPED_TRACE(s.left);
        counter.upgradeGraphics(5, s.left);
        EXPECT_EQ(counter.circleTotalSegs(), 5);
        EXPECT_EQ(counter.circleSegs(), s.segs);
    }
}

// The ring of a 60-point countdown, read at four points of its circle (angles from 3 o'clock,
// clockwise): white where segments remain.
TEST_F(CircleCounterTest, RingIsWhiteWhereSegmentsRemain) {
    auto window = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 568));
    window->makeKeyAndVisible();
    auto view = std::make_shared<VuderuCircleCounterView>(CGRectMake(100, 100, 60, 60));
    window->addSubview(view);
    const double quarter = std::numbers::pi / 2;
    auto whiteAt = [&](double angle) {
        const double x = 130 + 28 * std::cos(angle), y = 130 + 28 * std::sin(angle);
        auto p = UIDisplaySnapshot()->pixelAt(static_cast<int>(x * 2), static_cast<int>(y * 2));
        return p.red > 200 && p.green > 200 && p.blue > 200;
    };
    auto ring = [&] {
        std::string marks;
        for (double angle : {-quarter / 2, quarter / 2, quarter * 1.5, -quarter * 1.5}) marks += whiteAt(angle) ? 'W' : '.';
        return marks;
    };
    EXPECT_EQ(ring(), "....");    // nothing before the first update
    view->upgradeGraphics(4, 4);  // the first update: the ring less its first segment
    EXPECT_EQ(ring(), ".WWW");
    view->upgradeGraphics(4, 4);  // at the very start: the whole ring
    EXPECT_EQ(ring(), "WWWW");
    view->upgradeGraphics(4, 2.5f);
    EXPECT_EQ(ring(), "..WW");
    view->upgradeGraphics(4, 1.5f);
    EXPECT_EQ(ring(), "...W");
}

} // namespace
