#pragma once
// Navigation with a flip, over the default duration; the stack changes when the flip ends.

#include "controls/transitions/FTFlipTransition.h"

#include <vector>

class UINavigationController;

namespace UINavigationController_FTFlipTransition {
void pushViewControllerFlipStyle(const std::shared_ptr<UINavigationController>& self,
                                 const std::shared_ptr<UIViewController>& controller, std::uint64_t style);
// The controller the pop reveals; nil, and nothing done, with fewer than two on the stack.
std::shared_ptr<UIViewController> popViewControllerWithFlipStyle(const std::shared_ptr<UINavigationController>& self,
                                                                 std::uint64_t style);
// The controllers above the root.
std::vector<std::shared_ptr<UIViewController>> popToRootViewControllerWithFlipStyle(
    const std::shared_ptr<UINavigationController>& self, std::uint64_t style);
} // namespace UINavigationController_FTFlipTransition
