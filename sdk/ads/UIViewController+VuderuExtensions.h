#pragma once
// How every ad controller presents and dismisses view controllers: the modern call when the
// controller answers to it, else the older modal one. Both go through the platform's one
// presentation model, so what one presents the other sees.

#include <memory>

class UIViewController;

namespace UIViewController_VuderuExtensions {
// Presents without a completion.
void com_vuderu_ads_presentViewController(const std::shared_ptr<UIViewController>& controller,
                                          const std::shared_ptr<UIViewController>& presented, bool animated);
// Dismisses what the controller presented, or the controller itself when it was presented.
void com_vuderu_ads_dismissViewControllerAnimated(const std::shared_ptr<UIViewController>& controller, bool animated);
std::shared_ptr<UIViewController> com_vuderu_ads_presentedViewController(const std::shared_ptr<UIViewController>& controller);
std::shared_ptr<UIViewController> com_vuderu_ads_presentingViewController(const std::shared_ptr<UIViewController>& controller);
} // namespace UIViewController_VuderuExtensions
