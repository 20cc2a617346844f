#pragma once
// The animator of UIKit Dynamics, without physics: whenever a behaviour is added or one of its
// behaviours changes (an attachment's anchor moves), the animator settles at the next pass of the
// main run loop, putting every item where its behaviours hold it (the later behaviour of an item
// wins). What was settled is recorded, for tests.

#include "platform/foundation/NSObject.h"
#include "platform/graphics/CGGeometry.h"
#include "platform/uikit/UIDynamicBehavior.h"

#include <memory>
#include <vector>

class UIView;

// One item put in place by a settling pass.
struct UIDynamicPlacement {
    std::shared_ptr<UIView> item;
    CGPoint center;
};

class UIDynamicAnimator : public NSObject {
public:
    explicit UIDynamicAnimator(const std::shared_ptr<UIView>& referenceView) : referenceView_(referenceView) {}

    std::shared_ptr<UIView> referenceView() const { return referenceView_.lock(); }
    const std::vector<std::shared_ptr<UIDynamicBehavior>>& behaviors() const { return behaviors_; }
    void addBehavior(const std::shared_ptr<UIDynamicBehavior>& behavior);
    void removeBehavior(const std::shared_ptr<UIDynamicBehavior>& behavior);
    void removeAllBehaviors();
    // True until the settling pass asked for has run.
    bool isRunning() const { return pending_; }

    // Settles at the next pass of the main loop (once, however often it is asked meanwhile).
    void setNeedsSettle();
    // Every placement made so far, in order.
    const std::vector<UIDynamicPlacement>& placements() const { return placements_; }
    void recordPlacement(const std::shared_ptr<UIView>& item, CGPoint center) { placements_.push_back({item, center}); }

private:
    void settleNow();

    std::weak_ptr<UIView> referenceView_;
    std::vector<std::shared_ptr<UIDynamicBehavior>> behaviors_;
    std::vector<UIDynamicPlacement> placements_;
    bool pending_ = false;
};
