#pragma once
// The checks of the navigation segues, in order: the source sits in a navigation controller, it is
// the visible controller, and (for a pop) there is a controller to go back to. Each failure raises
// "Invalid Operation" naming the segue class; nothing has been touched by then.

#include "platform/uikit/UINavigationController.h"

#include <memory>
#include <string>

std::shared_ptr<UINavigationController> FTCheckNavigationSegue(const std::string& segueClass,
                                                               const std::shared_ptr<UIViewController>& source, bool pops);
