#pragma once
// Navigation with a fold, over the default duration; the stack changes when the fold ends.

#include "controls/transitions/FTFoldTransition.h"

#include <vector>

class UINavigationController;

namespace UINavigationController_FTFoldTransition {
void pushViewControllerFoldStyle(const std::shared_ptr<UINavigationController>& self,
                                 const std::shared_ptr<UIViewController>& controller, std::uint64_t style);
// The controller the pop reveals; nil, and nothing done, with fewer than two on the stack.
std::shared_ptr<UIViewController> popViewControllerWithFoldStyle(const std::shared_ptr<UINavigationController>& self,
                                                                 std::uint64_t style);
// The controllers above the root.
std::vector<std::shared_ptr<UIViewController>> popToRootViewControllerWithFoldStyle(
    const std::shared_ptr<UINavigationController>& self, std::uint64_t style);
} // namespace UINavigationController_FTFoldTransition
