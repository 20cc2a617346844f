#include "platform/uikit/UIViewController.h"

#include <mutex>

namespace {
struct ViewControllerContentSizeHooks {
    std::mutex lock;
    std::vector<UIViewController::ContentSizeHook> preferred;
    std::vector<UIViewController::ContentSizeHook> popover;
};
ViewControllerContentSizeHooks& viewControllerContentSizeHooks() {
    static ViewControllerContentSizeHooks h;
    return h;
}

// The setter through every hook, the last registered outermost, down to the plain setter.
void throughHooks(std::vector<UIViewController::ContentSizeHook> chain, UIViewController& controller, CGSize size,
                  const std::function<void(CGSize)>& plain) {
    std::function<void(CGSize)> call = plain;
    for (auto& hook : chain)
        call = [hook, inner = call, &controller](CGSize s) { hook(controller, s, inner); };
    call(size);
}

std::vector<UIViewController::ContentSizeHook> copyOf(std::vector<UIViewController::ContentSizeHook> ViewControllerContentSizeHooks::*which) {
    std::lock_guard<std::mutex> guard(viewControllerContentSizeHooks().lock);
    return viewControllerContentSizeHooks().*which;
}
} // namespace

void UIViewController::setPreferredContentSize(CGSize size) {
    auto keep = self<UIViewController>();
    throughHooks(copyOf(&ViewControllerContentSizeHooks::preferred), *this, size, [this](CGSize s) {
        willChangeValueForKey("preferredContentSize");
        preferredContentSize_ = s;
        didChangeValueForKey("preferredContentSize");
    });
}

void UIViewController::setContentSizeForViewInPopover(CGSize size) {
    auto keep = self<UIViewController>();
    throughHooks(copyOf(&ViewControllerContentSizeHooks::popover), *this, size, [this](CGSize s) {
        willChangeValueForKey("contentSizeForViewInPopover");
        contentSizeForViewInPopover_ = s;
        didChangeValueForKey("contentSizeForViewInPopover");
    });
}

void UIViewController::addPreferredContentSizeHook(ContentSizeHook hook) {
    std::lock_guard<std::mutex> guard(viewControllerContentSizeHooks().lock);
    if (hook) viewControllerContentSizeHooks().preferred.push_back(std::move(hook));
}

void UIViewController::addContentSizeForViewInPopoverHook(ContentSizeHook hook) {
    std::lock_guard<std::mutex> guard(viewControllerContentSizeHooks().lock);
    if (hook) viewControllerContentSizeHooks().popover.push_back(std::move(hook));
}

void UIViewController::removeContentSizeHooks() {
    std::lock_guard<std::mutex> guard(viewControllerContentSizeHooks().lock);
    viewControllerContentSizeHooks().preferred.clear();
    viewControllerContentSizeHooks().popover.clear();
}
