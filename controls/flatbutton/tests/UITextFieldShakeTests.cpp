#include "controls/flatbutton/UITextField+Shake.h"
#include "controls/flatbutton/tests/FlatScreenFixture.h"

#include <string>
#include <vector>

// Each step sets the field's translation at once and the next step follows when its animation
// ends; the field snaps back after the last.
TEST_F(FlatScreenTest, AShakeMovesBackAndForthForHalfItsTimesPlusOneStepsAndSnapsBack) {
    struct Case {
        std::string name;
        std::int32_t times;
        double delta;
        double speed;
        std::int64_t axis;
        std::vector<double> moves; // the translation along the axis after each step
    };
    const std::vector<Case> cases = {
        {"no times", 0, 5, UITextField_Shake::kDefaultSpeed, 0, {5}},
        {"one time", 1, 5, UITextField_Shake::kDefaultSpeed, 0, {5, -5}},
        {"ten times", 10, 4, 0.05, 0, {4, -4, 4, -4, 4, -4}},
        {"three times down", 3, 6, 0.1, 1, {6, -6, 6}},
        {"any other axis is y", 2, 2, 0.1, 7, {2, -2}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        UIView::clearRecordedAnimations();
        auto field = std::make_shared<UITextField>(CGRectMake(10, 10, 200, 30));
        if (c.speed == UITextField_Shake::kDefaultSpeed && c.axis == 0)
            UITextField_Shake::shakeWithDelta(field, c.times, c.delta);
        else
            UITextField_Shake::shakeWithDeltaAndSpeedShakeDirection(field, c.times, c.delta, c.speed, c.axis);
        std::vector<double> moves;
        for (std::size_t step = 0; step < c.moves.size(); ++step) {
            auto t = field->transform();
            moves.push_back(c.axis == 0 ? t.tx : t.ty);
            EXPECT_EQ(c.axis == 0 ? t.ty : t.tx, 0);
            advance(c.speed);
        }
        EXPECT_EQ(moves, c.moves);
        EXPECT_EQ(field->transform(), CGAffineTransformIdentity);
        auto records = UIView::recordedAnimations();
        ASSERT_EQ(records.size(), c.moves.size());
        for (const auto& record : records) EXPECT_EQ(record.duration, c.speed);
        advance(1);
        EXPECT_EQ(UIView::recordedAnimations().size(), c.moves.size());
    }
}
