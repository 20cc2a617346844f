// An option under a finger: a tap chooses it, a drag carries it and it springs back.

#include "OptionsButtonFixture.h"

using Calls = std::vector<std::string>;

TEST_F(OptionsButtonTest, ATouchThatStaysIsATapAndOneThatMovesOnlyDrags) {
    struct Row {
        const char* name;
        bool move;
        bool cancel;
        bool chooses;
    } rows[] = {
        {"tap", false, false, true},
        {"drag", true, false, false},
        {"drag cancelled", true, true, false},
        {"held and cancelled", false, true, false},
    };
    for (auto& row : rows) {
        SCOPED_TRACE(row.name);
        SetUp();
        open();
        auto item = button_->items()[1];
        CGPoint home = item->center();
        auto animator = button_->dynamicsAnimator();
        UIFingers finger(window_);
        finger.down({bodyOf(item)});
        EXPECT_TRUE(item->isHighlighted());
        if (row.move) {
            finger.move({{bodyOf(item).x - 30, bodyOf(item).y - 50}});
            drainMain();
            EXPECT_NE(item->center(), home) << "it follows the finger";
            EXPECT_FALSE(item->isHighlighted());
            EXPECT_EQ(item->attachment()->dynamicAnimator(), nullptr);
        }
        if (row.cancel)
            finger.cancel();
        else
            finger.up();
        drainMain();
        EXPECT_EQ(delegate_->calls, row.chooses ? Calls{"select 1"} : Calls{});
        EXPECT_FALSE(item->isHighlighted());
        if (!row.chooses) {
            EXPECT_EQ(item->center(), home) << "back on its place";
            EXPECT_EQ(item->dragAttachement()->dynamicAnimator(), nullptr);
            EXPECT_EQ(item->attachment()->dynamicAnimator(), animator);
            EXPECT_EQ(button_->currentState(), OPOptionsButtonStateOpen);
        }
    }
}
