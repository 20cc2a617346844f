#pragma once
// The popover's hooks on every navigation and view controller of the process: a child that sets
// its preferred size passes it up to its navigation controller, and a navigation controller shown
// in a popover takes the size of each controller pushed onto it (or set as its top), so the
// popover, which observes the navigation controller, follows. Installed once, at start-up.

#include "platform/uikit/UINavigationController.h"

namespace UINavigationController_PVPopover {
inline constexpr const char* kEmbedInPopoverTagKey = "UINavigationControllerEmbedInPopoverTagKey";
// Set on a navigation controller the popover shows; absent reads as false.
bool isEmbedInPopover(const UINavigationController& navigation);
void setEmbedInPopover(UINavigationController& navigation, bool embedded);
// The size a child controller asks for.
CGSize contentSize(const UIViewController& child);
// Sets the navigation controller's own popover and preferred sizes.
void setContentSize(UINavigationController& navigation, CGSize size);
void load();
} // namespace UINavigationController_PVPopover

namespace UIViewController_PVPopover {
void load();
} // namespace UIViewController_PVPopover
