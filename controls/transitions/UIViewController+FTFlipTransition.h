#pragma once
// Modal presentation and dismissal with a flip, over the default duration.

#include "controls/transitions/FTFlipTransition.h"

namespace UIViewController_FTFlipTransition {
void presentViewControllerFlipStyleCompletion(const std::shared_ptr<UIViewController>& self,
                                              const std::shared_ptr<UIViewController>& controller, std::uint64_t style,
                                              FTTransition::Completion completion);
void dismissViewControllerWithFlipStyleCompletion(const std::shared_ptr<UIViewController>& self, std::uint64_t style,
                                                  FTTransition::Completion completion);
} // namespace UIViewController_FTFlipTransition
