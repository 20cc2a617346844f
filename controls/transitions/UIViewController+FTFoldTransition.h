#pragma once
// Modal presentation and dismissal with a fold, over the default duration.

#include "controls/transitions/FTFoldTransition.h"

namespace UIViewController_FTFoldTransition {
void presentViewControllerFoldStyleCompletion(const std::shared_ptr<UIViewController>& self,
                                              const std::shared_ptr<UIViewController>& controller, std::uint64_t style,
                                              FTTransition::Completion completion);
void dismissViewControllerWithFoldStyleCompletion(const std::shared_ptr<UIViewController>& self, std::uint64_t style,
                                                  FTTransition::Completion completion);
} // namespace UIViewController_FTFoldTransition
