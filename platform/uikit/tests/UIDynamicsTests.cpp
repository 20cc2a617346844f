// Dynamics without physics: items rest where their behaviours hold them from the next pass of the
// main loop on, and follow a moved anchor.

#include "platform/testsupport/RunLoopSupport.h"
#include "platform/uikit/UIDynamicAnimator.h"
#include "platform/uikit/UIView.h"

#include <gtest/gtest.h>

namespace {
struct Dynamics : ::testing::Test {
    std::shared_ptr<UIView> reference = std::make_shared<UIView>(CGRectMake(0, 0, 320, 568));
    std::shared_ptr<UIView> item = std::make_shared<UIView>(CGRectMake(0, 0, 40, 40));
    std::shared_ptr<UIDynamicAnimator> animator = std::make_shared<UIDynamicAnimator>(reference);
    void SetUp() override { reference->addSubview(item); }
};
} // namespace

TEST_F(Dynamics, SnapAndAttachmentHoldTheirItemFromTheNextPass) {
    auto snap = std::make_shared<UISnapBehavior>(item, CGPointMake(30, 80));
    snap->setDamping(0.78);
    animator->addBehavior(snap);
    EXPECT_EQ(item->center(), CGPointMake(20, 20)) << "nothing moves inside the adding call";
    EXPECT_TRUE(animator->isRunning());
    drainMain();
    EXPECT_EQ(item->center(), CGPointMake(30, 80));
    EXPECT_FALSE(animator->isRunning());
    EXPECT_EQ(snap->dynamicAnimator(), animator);

    auto attachment = std::make_shared<UIAttachmentBehavior>(item, CGPointMake(100, 400));
    attachment->setDamping(0.5);
    attachment->setFrequency(4);
    attachment->setLength(1);
    animator->removeBehavior(snap);
    EXPECT_EQ(snap->dynamicAnimator(), nullptr);
    animator->addBehavior(attachment);
    drainMain();
    EXPECT_EQ(item->center(), CGPointMake(100, 400));
    EXPECT_EQ(attachment->frequency(), 4);
    ASSERT_EQ(animator->placements().size(), 2u);
    EXPECT_EQ(animator->placements()[1].center, CGPointMake(100, 400));
}

TEST_F(Dynamics, AnItemFollowsItsMovedAnchorUntilTheAttachmentGoes) {
    auto attachment = std::make_shared<UIAttachmentBehavior>(item, CGPointMake(10, 10));
    animator->addBehavior(attachment);
    drainMain();
    attachment->setAnchorPoint(CGPointMake(50, 60));
    attachment->setAnchorPoint(CGPointMake(70, 90));
    drainMain();
    EXPECT_EQ(item->center(), CGPointMake(70, 90));
    EXPECT_EQ(animator->placements().size(), 2u) << "two moves before a pass settle once";

    animator->removeBehavior(attachment);
    attachment->setAnchorPoint(CGPointMake(5, 5));
    drainMain();
    EXPECT_EQ(item->center(), CGPointMake(70, 90)) << "a removed attachment holds nothing";
}

TEST_F(Dynamics, TheLaterBehaviourOfAnItemWinsAndItemPropertiesMoveNothing) {
    auto home = std::make_shared<UIAttachmentBehavior>(item, CGPointMake(10, 10));
    auto drag = std::make_shared<UIAttachmentBehavior>(item, CGPointMake(200, 300));
    auto properties = std::make_shared<UIDynamicItemBehavior>();
    properties->setAllowsRotation(false);
    properties->addItem(item);
    properties->addItem(item);
    EXPECT_EQ(properties->items().size(), 1u);
    animator->addBehavior(home);
    animator->addBehavior(drag);
    animator->addBehavior(properties);
    drainMain();
    EXPECT_EQ(item->center(), CGPointMake(200, 300));

    animator->removeAllBehaviors();
    EXPECT_TRUE(animator->behaviors().empty());
    EXPECT_EQ(home->dynamicAnimator(), nullptr);
}

TEST_F(Dynamics, ABehaviourMovedToAnotherAnimatorLeavesTheFirst) {
    auto other = std::make_shared<UIDynamicAnimator>(reference);
    auto snap = std::make_shared<UISnapBehavior>(item, CGPointMake(1, 2));
    animator->addBehavior(snap);
    other->addBehavior(snap);
    EXPECT_TRUE(animator->behaviors().empty());
    EXPECT_EQ(snap->dynamicAnimator(), other);
    animator.reset();
    drainMain();
    EXPECT_EQ(item->center(), CGPointMake(1, 2));
}

TEST_F(Dynamics, ABehaviourDoesNotKeepItsItemAlive) {
    auto held = std::make_shared<UIView>(CGRectMake(0, 0, 10, 10));
    std::weak_ptr<UIView> gone = held;
    auto attachment = std::make_shared<UIAttachmentBehavior>(held, CGPointMake(5, 5));
    auto properties = std::make_shared<UIDynamicItemBehavior>(std::vector<std::shared_ptr<UIView>>{held});
    animator->addBehavior(attachment);
    held.reset();
    EXPECT_TRUE(gone.expired());
    EXPECT_TRUE(properties->items().empty());
    drainMain();
    EXPECT_TRUE(animator->placements().empty()) << "a gone item is left out";
}
