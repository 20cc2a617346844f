#pragma once
// A segue that presents its destination in a popover. The caller makes the popover controller
// first (and may configure it); perform() then presents it from the sender: a bar button item, or
// a view from its bounds.

#include "controls/popover/PVPopoverController.h"
#include "platform/uikit/UIStoryboardSegue.h"

#include <memory>

class PVStoryboardPopoverSegue : public UIStoryboardSegue {
public:
    using UIStoryboardSegue::UIStoryboardSegue;

    std::shared_ptr<PVPopoverController> popoverControllerWithSenderPermittedArrowDirectionsAnimated(
        const std::shared_ptr<NSObject>& sender, unsigned long directions, bool animated);
    std::shared_ptr<PVPopoverController> popoverControllerWithSenderPermittedArrowDirectionsAnimatedOptions(
        const std::shared_ptr<NSObject>& sender, unsigned long directions, bool animated, unsigned long options);
    const std::shared_ptr<PVPopoverController>& popoverController() const { return popoverController_; }

    // Nothing happens before a popover controller was made.
    void perform() override;

private:
    std::shared_ptr<PVPopoverController> popoverController_;
    std::shared_ptr<NSObject> sender_;
    unsigned long arrowDirections_ = 0;
    unsigned long options_ = 0;
    bool animated_ = false;
};
