#include "controls/popover/PVStoryboardPopoverSegue.h"

#include "platform/uikit/UIBarButtonItem.h"
#include "platform/uikit/UIView.h"

std::shared_ptr<PVPopoverController> PVStoryboardPopoverSegue::popoverControllerWithSenderPermittedArrowDirectionsAnimated(
    const std::shared_ptr<NSObject>& sender, unsigned long directions, bool animated) {
    return popoverControllerWithSenderPermittedArrowDirectionsAnimatedOptions(sender, directions, animated,
                                                                               PVPopoverAnimationOptionFade);
}

std::shared_ptr<PVPopoverController> PVStoryboardPopoverSegue::popoverControllerWithSenderPermittedArrowDirectionsAnimatedOptions(
    const std::shared_ptr<NSObject>& sender, unsigned long directions, bool animated, unsigned long options) {
    sender_ = sender;
    arrowDirections_ = directions;
    animated_ = animated;
    options_ = options;
    popoverController_ = PVPopoverController::initWithContentViewController(destinationViewController());
    return popoverController_;
}

void PVStoryboardPopoverSegue::perform() {
    if (!popoverController_) return;
    if (auto item = std::dynamic_pointer_cast<UIBarButtonItem>(sender_)) {
        popoverController_->presentPopoverFromBarButtonItemPermittedArrowDirectionsAnimatedOptions(item, arrowDirections_,
                                                                                                  animated_, options_);
    } else if (auto view = std::dynamic_pointer_cast<UIView>(sender_)) {
        popoverController_->presentPopoverFromRectInViewPermittedArrowDirectionsAnimatedOptions(view->bounds(), view,
                                                                                               arrowDirections_, animated_, options_);
    }
}
