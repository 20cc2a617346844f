// The fold's categories on the view and navigation controllers.

#include "controls/transitions/FTTransitionWrappers.h"
#include "controls/transitions/UINavigationController+FTFoldTransition.h"
#include "controls/transitions/UIViewController+FTFoldTransition.h"

namespace UIViewController_FTFoldTransition {
void presentViewControllerFoldStyleCompletion(const std::shared_ptr<UIViewController>& self,
                                              const std::shared_ptr<UIViewController>& controller, std::uint64_t style,
                                              FTTransition::Completion completion) {
    FTFoldTransition::presentViewControllerFromDurationStyleCompletion(controller, self, FTTransition::defaultDuration(), style,
                                                                       std::move(completion));
}

void dismissViewControllerWithFoldStyleCompletion(const std::shared_ptr<UIViewController>& self, std::uint64_t style,
                                                  FTTransition::Completion completion) {
    FTFoldTransition::dismissViewControllerFromPresentingControllerDurationStyleCompletion(self, FTTransition::defaultDuration(),
                                                                                          style, std::move(completion));
}
} // namespace UIViewController_FTFoldTransition

namespace UINavigationController_FTFoldTransition {
void pushViewControllerFoldStyle(const std::shared_ptr<UINavigationController>& self,
                                 const std::shared_ptr<UIViewController>& controller, std::uint64_t style) {
    FTTransitionWrappers<FTFoldTransition>::push(self, controller, style);
}

std::shared_ptr<UIViewController> popViewControllerWithFoldStyle(const std::shared_ptr<UINavigationController>& self,
                                                                 std::uint64_t style) {
    return FTTransitionWrappers<FTFoldTransition>::pop(self, style);
}

std::vector<std::shared_ptr<UIViewController>> popToRootViewControllerWithFoldStyle(
    const std::shared_ptr<UINavigationController>& self, std::uint64_t style) {
    return FTTransitionWrappers<FTFoldTransition>::popToRoot(self, style);
}
} // namespace UINavigationController_FTFoldTransition
