#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIDevice.h"
#include "platform/uikit/UIViewController.h"
#include "platform/uikit/UIWindow.h"

namespace {
// The length the system gives a rotation's animation.
constexpr double kRotationDuration = 0.4;

// The controllers on screen: each visible window's root controller and the chain it presents,
// each followed by the children its containers show.
std::vector<std::shared_ptr<UIViewController>> controllersOnScreen() {
    std::vector<std::shared_ptr<UIViewController>> out;
    for (auto& window : UIApplication::sharedApplication()->windows()) {
        if (!window->isVisible() || window->isHidden()) continue;
        for (auto c = window->rootViewController(); c; c = c->presentedViewController())
            for (auto shown = c; shown; shown = shown->childForAppearance()) out.push_back(shown);
    }
    return out;
}
} // namespace

UIInterfaceOrientation UIViewController::interfaceOrientation() const {
    if (interfaceOrientation_ != UIInterfaceOrientationUnknown) return interfaceOrientation_;
    return UIApplication::sharedApplication()->statusBarOrientation();
}

unsigned long UIViewController::supportedInterfaceOrientations() const {
    return UIDevice::currentDevice()->userInterfaceIdiom() == UIUserInterfaceIdiomPad ? UIInterfaceOrientationMaskAll
                                                                                       : UIInterfaceOrientationMaskAllButUpsideDown;
}

bool UIViewController::turnsToInterfaceOrientation(UIInterfaceOrientation orientation) {
    return shouldAutorotate() && (supportedInterfaceOrientations() & (1ul << orientation)) != 0 &&
           shouldAutorotateToInterfaceOrientation(orientation);
}

std::shared_ptr<UIViewController> UIViewController::decidingOrientationOfWindow(const UIWindow& window) {
    auto c = window.rootViewController();
    if (!c) return nullptr;
    while (c->presentedViewController()) c = c->presentedViewController();
    while (auto shown = c->childForAppearance()) c = shown;
    return c;
}

void UIViewController::deviceWillTurn(UIInterfaceOrientation from, UIInterfaceOrientation to) {
    std::vector<std::shared_ptr<UIViewController>> turning;
    for (auto& c : controllersOnScreen()) {
        if (!c->shouldAutorotate() || !c->shouldAutorotateToInterfaceOrientation(to)) {
            if (c->interfaceOrientation_ == UIInterfaceOrientationUnknown) c->interfaceOrientation_ = from;
            continue;
        }
        c->turning_ = true;
        c->willRotateToInterfaceOrientationDuration(to, kRotationDuration);
        turning.push_back(c);
    }
    // A window turns the views of its controllers when the controller in front allows it; a
    // window without controllers stays as it was drawn.
    for (auto& window : UIApplication::sharedApplication()->windows()) {
        if (!window->isVisible() || window->isHidden()) continue;
        auto decider = decidingOrientationOfWindow(*window);
        if (decider && decider->turnsToInterfaceOrientation(to)) window->turnToInterfaceOrientation(to);
    }
    for (auto& c : turning) {
        c->interfaceOrientation_ = to;
        c->willAnimateRotationToInterfaceOrientationDuration(to, kRotationDuration);
    }
}

void UIViewController::deviceDidTurn(UIInterfaceOrientation from, UIInterfaceOrientation) {
    for (auto& c : controllersOnScreen()) {
        if (!c->turning_) continue;
        c->turning_ = false;
        c->didRotateFromInterfaceOrientation(from);
    }
}
