#include "platform/uikit/UIViewController.h"

#include "platform/foundation/NSLog.h"
#include "platform/foundation/NSRunLoop.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UITabBarController.h"
#include "platform/uikit/UIWindow.h"

#include <algorithm>

namespace {
// Presentation and dismissal are not animated on the headless screen: their completions run on
// the next pass of the main run loop, as they would right after a transition.
void runCompletion(UIViewController::Completion completion) {
    if (completion) NSRunLoop::mainRunLoop()->performBlock(std::move(completion));
}
} // namespace

UIViewController::~UIViewController() = default;

UIViewPtr UIViewController::view() {
    if (!view_) {
        loadView();
        if (!view_) view_ = std::make_shared<UIView>(UIScreen::mainScreen()->interfaceBounds());
        view_->setViewController(self<UIViewController>());
        viewDidLoad();
    }
    return view_;
}

void UIViewController::setView(const UIViewPtr& view) {
    view_ = view;
    if (view_) view_->setViewController(self<UIViewController>());
}

// A view of the screen's size as the interface stands (568 by 320 when loaded in landscape).
void UIViewController::loadView() { setView(std::make_shared<UIView>(UIScreen::mainScreen()->interfaceBounds())); }

void UIViewController::beginAppearanceTransition(bool isAppearing, bool animated) {
    if (isAppearing) {
        if (appearance_ == Appearance::Appeared || appearance_ == Appearance::Appearing) return;
        appearance_ = Appearance::Appearing;
        // Coming on screen, it stands as the interface stands.
        interfaceOrientation_ = UIInterfaceOrientationUnknown;
        view();
        viewWillAppear(animated);
    } else {
        if (appearance_ == Appearance::Disappeared || appearance_ == Appearance::Disappearing) return;
        appearance_ = Appearance::Disappearing;
        viewWillDisappear(animated);
    }
    if (auto child = childForAppearance()) child->beginAppearanceTransition(isAppearing, animated);
}

void UIViewController::endAppearanceTransition() {
    if (appearance_ == Appearance::Appearing) {
        appearance_ = Appearance::Appeared;
        viewDidAppear(false);
    } else if (appearance_ == Appearance::Disappearing) {
        appearance_ = Appearance::Disappeared;
        viewDidDisappear(false);
    }
    if (auto child = childForAppearance()) child->endAppearanceTransition();
}

void UIViewController::setTitle(const std::string& title) {
    title_ = title;
    navigationItem()->setTitle(title);
}

std::shared_ptr<UINavigationItem> UIViewController::navigationItem() {
    if (!navigationItem_) navigationItem_ = std::make_shared<UINavigationItem>(title_);
    return navigationItem_;
}

std::shared_ptr<UITabBarItem> UIViewController::tabBarItem() {
    if (!tabBarItem_) tabBarItem_ = UITabBarItem::initWithTitleImageTag(title_, nullptr, 0);
    return tabBarItem_;
}

void UIViewController::addChildViewController(const std::shared_ptr<UIViewController>& child) {
    if (!child || child.get() == this) return;
    if (child->parentViewController().get() == this) return;
    child->removeFromParentViewController();
    children_.push_back(child);
    child->parent_ = self<UIViewController>();
}

void UIViewController::removeFromParentViewController() {
    auto parent = parent_.lock();
    if (!parent) return;
    auto keep = self<UIViewController>();
    auto& siblings = parent->children_;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), keep), siblings.end());
    parent_.reset();
}

std::shared_ptr<UINavigationController> UIViewController::navigationController() const {
    for (auto p = parent_.lock(); p; p = p->parent_.lock())
        if (auto nav = std::dynamic_pointer_cast<UINavigationController>(p)) return nav;
    return nullptr;
}

std::shared_ptr<UITabBarController> UIViewController::tabBarController() const {
    for (auto p = parent_.lock(); p; p = p->parent_.lock())
        if (auto tabs = std::dynamic_pointer_cast<UITabBarController>(p)) return tabs;
    return nullptr;
}

void UIViewController::presentViewControllerAnimatedCompletion(const std::shared_ptr<UIViewController>& controller,
                                                               bool animated, Completion completion) {
    if (!controller) return;
    // A child presents through its outermost container, as on the device: the window's root
    // controller, or the presented controller it sits in.
    if (auto parent = parentViewController()) {
        while (auto outer = parent->parentViewController()) parent = outer;
        return parent->presentViewControllerAnimatedCompletion(controller, animated, std::move(completion));
    }
    if (presented_) {
        NSLog("Warning: Attempt to present %@ on %@ which is already presenting %@", controller, self<UIViewController>(),
              presented_);
        return;
    }
    UIViewPtr ownView = isViewLoaded() ? view_ : nullptr;
    auto window = ownView ? ownView->window() : nullptr;
    // Never onto the system's alert window, which goes with the alert.
    if (!window) window = UIApplication::sharedApplication()->keyWindowUnderAlerts();
    if (!window) {
        NSLog("Warning: Attempt to present %@ on %@ whose view is not in the window hierarchy!", controller,
              self<UIViewController>());
        return;
    }
    presented_ = controller;
    controller->presenting_ = self<UIViewController>();
    bool coversPresenter = controller->modalPresentationStyle() != UIModalPresentationOverFullScreen;
    if (coversPresenter) beginAppearanceTransition(false, animated);
    controller->beginAppearanceTransition(true, animated);
    auto presentedView = controller->view();
    window->fitControllerView(presentedView);
    window->addSubview(presentedView);
    if (coversPresenter) endAppearanceTransition();
    controller->endAppearanceTransition();
    runCompletion(std::move(completion));
}

void UIViewController::presentModalViewControllerAnimated(const std::shared_ptr<UIViewController>& controller, bool animated) {
    presentViewControllerAnimatedCompletion(controller, animated, nullptr);
}

void UIViewController::dismissViewControllerAnimatedCompletion(bool animated, Completion completion) {
    // A child's presentations are its outermost container's, so the nearest container presenting
    // one dismisses it.
    for (std::shared_ptr<UIViewController> c = self<UIViewController>(); c; c = c->parentViewController()) {
        if (c->presented_) return c->dismissPresented(animated, std::move(completion));
    }
    // A presented controller (or a child of one) asks its presenter.
    for (std::shared_ptr<UIViewController> c = self<UIViewController>(); c; c = c->parentViewController()) {
        if (auto presenter = c->presentingViewController()) return presenter->dismissPresented(animated, std::move(completion));
    }
}

void UIViewController::dismissPresented(bool animated, Completion completion) {
    auto controller = presented_;
    if (!controller) return;
    if (controller->presented_) controller->dismissPresented(false, nullptr);
    bool coversPresenter = controller->modalPresentationStyle() != UIModalPresentationOverFullScreen;
    controller->beginAppearanceTransition(false, animated);
    if (coversPresenter) beginAppearanceTransition(true, animated);
    if (controller->isViewLoaded()) controller->view()->removeFromSuperview();
    presented_.reset();
    controller->presenting_.reset();
    controller->endAppearanceTransition();
    if (coversPresenter) endAppearanceTransition();
    runCompletion(std::move(completion));
}

void UIViewController::setEditingAnimated(bool editing, bool) {
    editing_ = editing;
    if (editButtonItem_) editButtonItem_->setTitle(editing ? "Done" : "Edit");
}

std::shared_ptr<UIBarButtonItem> UIViewController::editButtonItem() {
    if (!editButtonItem_) {
        editButtonItem_ = UIBarButtonItem::initWithBarButtonSystemItem(
            UIBarButtonSystemItemEdit, self<UIViewController>(), [](UIViewController& controller) {
                controller.setEditingAnimated(!controller.isEditing(), true);
            });
        editButtonItem_->setTitle(editing_ ? "Done" : "Edit");
    }
    return editButtonItem_;
}

std::shared_ptr<UIResponder> UIViewController::nextResponder() const {
    if (view_) {
        if (auto superview = view_->superview()) return superview;
    }
    if (auto parent = parent_.lock()) return parent;
    return presenting_.lock();
}

void UIViewController::describeToScreen(UIScreenDescription& screen) {
    if (isViewLoaded()) screen.describeView(view_);
}
