// The flip's categories on the view and navigation controllers.

#include "controls/transitions/FTTransitionWrappers.h"
#include "controls/transitions/UINavigationController+FTFlipTransition.h"
#include "controls/transitions/UIViewController+FTFlipTransition.h"

namespace UIViewController_FTFlipTransition {
void presentViewControllerFlipStyleCompletion(const std::shared_ptr<UIViewController>& self,
                                              const std::shared_ptr<UIViewController>& controller, std::uint64_t style,
                                              FTTransition::Completion completion) {
    FTFlipTransition::presentViewControllerFromDurationStyleCompletion(controller, self, FTTransition::defaultDuration(), style,
                                                                       std::move(completion));
}

void dismissViewControllerWithFlipStyleCompletion(const std::shared_ptr<UIViewController>& self, std::uint64_t style,
                                                  FTTransition::Completion completion) {
    FTFlipTransition::dismissViewControllerFromPresentingControllerDurationStyleCompletion(self, FTTransition::defaultDuration(),
                                                                                          style, std::move(completion));
}
} // namespace UIViewController_FTFlipTransition

namespace UINavigationController_FTFlipTransition {
void pushViewControllerFlipStyle(const std::shared_ptr<UINavigationController>& self,
                                 const std::shared_ptr<UIViewController>& controller, std::uint64_t style) {
    FTTransitionWrappers<FTFlipTransition>::push(self, controller, style);
}

std::shared_ptr<UIViewController> popViewControllerWithFlipStyle(const std::shared_ptr<UINavigationController>& self,
                                                                 std::uint64_t style) {
    return FTTransitionWrappers<FTFlipTransition>::pop(self, style);
}

std::vector<std::shared_ptr<UIViewController>> popToRootViewControllerWithFlipStyle(
    const std::shared_ptr<UINavigationController>& self, std::uint64_t style) {
    return FTTransitionWrappers<FTFlipTransition>::popToRoot(self, style);
}
} // namespace UINavigationController_FTFlipTransition
