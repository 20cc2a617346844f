#include "sdk/ads/UIViewController+VuderuExtensions.h"

#include "platform/uikit/UIViewController.h"

// Every system this SDK runs on answers to the modern calls; the platform keeps the older names
// over the same presentation, so both roads meet.

void UIViewController_VuderuExtensions::com_vuderu_ads_presentViewController(const std::shared_ptr<UIViewController>& controller,
                                                                            const std::shared_ptr<UIViewController>& presented,
                                                                            bool animated) {
    if (controller) controller->presentViewControllerAnimatedCompletion(presented, animated, nullptr);
}

void UIViewController_VuderuExtensions::com_vuderu_ads_dismissViewControllerAnimated(const std::shared_ptr<UIViewController>& controller,
                                                                                    bool animated) {
    if (controller) controller->dismissViewControllerAnimatedCompletion(animated, nullptr);
}

std::shared_ptr<UIViewController> UIViewController_VuderuExtensions::com_vuderu_ads_presentedViewController(
    const std::shared_ptr<UIViewController>& controller) {
    return controller ? controller->presentedViewController() : nullptr;
}

std::shared_ptr<UIViewController> UIViewController_VuderuExtensions::com_vuderu_ads_presentingViewController(
    const std::shared_ptr<UIViewController>& controller) {
    return controller ? controller->presentingViewController() : nullptr;
}
