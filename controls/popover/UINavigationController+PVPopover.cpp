#include "controls/popover/UINavigationController+PVPopover.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace {
// The flag kept beside each navigation controller, dropped with the controller.
struct EmbedTags {
    std::mutex lock;
    std::vector<std::weak_ptr<NSObject>> embedded;
};
EmbedTags& tags() {
    static EmbedTags t;
    return t;
}
} // namespace

namespace UINavigationController_PVPopover {

bool isEmbedInPopover(const UINavigationController& navigation) {
    std::lock_guard<std::mutex> guard(tags().lock);
    return std::any_of(tags().embedded.begin(), tags().embedded.end(),
                       [&](const std::weak_ptr<NSObject>& tag) { return tag.lock().get() == &navigation; });
}

void setEmbedInPopover(UINavigationController& navigation, bool embedded) {
    std::lock_guard<std::mutex> guard(tags().lock);
    auto& list = tags().embedded;
    list.erase(std::remove_if(list.begin(), list.end(),
                              [&](const std::weak_ptr<NSObject>& tag) {
                                  auto object = tag.lock();
                                  return !object || object.get() == &navigation;
                              }),
               list.end());
    if (embedded) list.push_back(navigation.weak_from_this());
}

CGSize contentSize(const UIViewController& child) {
    // Every controller here answers preferredContentSize, which takes the place of the older size.
    return child.preferredContentSize();
}

void setContentSize(UINavigationController& navigation, CGSize size) {
    navigation.setContentSizeForViewInPopover(size);
    navigation.setPreferredContentSize(size);
}

void load() {
    UINavigationController::addPushHook([](UINavigationController& nav, const std::shared_ptr<UIViewController>& pushed,
                                           bool, const std::function<void()>& original) {
        if (isEmbedInPopover(nav) && pushed) {
            pushed->setEdgesForExtendedLayout(UIRectEdgeNone);
            setContentSize(nav, contentSize(*pushed));
        }
        original();
        if (isEmbedInPopover(nav) && pushed) setContentSize(nav, contentSize(*pushed));
    });
    UINavigationController::addSetViewControllersHook(
        [](UINavigationController& nav, const std::vector<std::shared_ptr<UIViewController>>& controllers, bool,
           const std::function<void()>& original) {
            // A copy: the platform's replacement may change the vector the caller handed in.
            const auto list = controllers;
            if (isEmbedInPopover(nav) && !list.empty())
                for (const auto& controller : list)
                    if (controller) controller->setEdgesForExtendedLayout(UIRectEdgeNone);
            original();
            if (isEmbedInPopover(nav) && !list.empty() && list.back()) setContentSize(nav, contentSize(*list.back()));
        });
}

} // namespace UINavigationController_PVPopover

namespace UIViewController_PVPopover {

namespace {
bool popoverIsNavigation(const UIViewController& controller) {
    return dynamic_cast<const UINavigationController*>(&controller) != nullptr;
}
} // namespace

void load() {
    UIViewController::addContentSizeForViewInPopoverHook(
        [](UIViewController& controller, CGSize size, const std::function<void(CGSize)>& original) {
            original(size);
            if (popoverIsNavigation(controller)) return;
            if (auto nav = controller.navigationController()) nav->setContentSizeForViewInPopover(size);
        });
    UIViewController::addPreferredContentSizeHook(
        [](UIViewController& controller, CGSize size, const std::function<void(CGSize)>& original) {
            original(size);
            if (popoverIsNavigation(controller)) return;
            if (auto nav = controller.navigationController()) nav->setPreferredContentSize(size);
        });
}

} // namespace UIViewController_PVPopover
