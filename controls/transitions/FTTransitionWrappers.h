#pragma once
// What the fold and the flip share around the transition itself: a transition between two
// controllers or views, modal presentation and dismissal, and navigation push, pop and pop to
// root, each finishing the real controller operation without animation. T is the transition
// class, made from (source, destination, duration, style, completion action).

#include "controls/transitions/FTTransition.h"
#include "platform/foundation/NSException.h"
#include "platform/uikit/UIDevice.h"
#include "platform/uikit/UINavigationController.h"

#include <memory>
#include <vector>

template <class T>
struct FTTransitionWrappers {
    using Completion = FTTransition::Completion;

    static void betweenViews(const UIViewPtr& from, const UIViewPtr& to, double duration, std::uint64_t style,
                             std::int32_t action, Completion completion) {
        auto transition = std::make_shared<T>(from, to, duration, style, action);
        transition->perform(std::move(completion));
    }

    static void betweenControllers(const std::shared_ptr<UIViewController>& from, const std::shared_ptr<UIViewController>& to,
                                   double duration, std::uint64_t style, Completion completion) {
        betweenViews(from->view(), to->view(), duration, style, FTCompletionKeepViews, std::move(completion));
    }

    static void present(const std::shared_ptr<UIViewController>& presented, const std::shared_ptr<UIViewController>& presenting,
                        double duration, std::uint64_t style, Completion completion) {
        auto transition = std::make_shared<T>(presenting->view(), presented->view(), duration, style, FTCompletionKeepViews);
        transition->setPresentingController(presenting);
        transition->setPresentedController(presented);
        transition->perform([presented, presenting, completion](bool) {
            auto style = presenting->modalPresentationStyle();
            bool pad = UIDevice::currentDevice()->userInterfaceIdiom() == UIUserInterfaceIdiomPad;
            if (style != UIModalPresentationFullScreen && pad) presenting->setModalPresentationStyle(UIModalPresentationFullScreen);
            presenting->presentViewControllerAnimatedCompletion(presented, false, [presenting, style, pad] {
                if (pad) presenting->setModalPresentationStyle(style);
            });
            if (completion) completion(true);
        });
    }

    static void dismiss(const std::shared_ptr<UIViewController>& presenting, double duration, std::uint64_t style,
                        Completion completion) {
        auto presented = presenting->presentedViewController();
        if (!presented)
            throw NSException(kFTInvalidOperation,
                              "Dismissing requires a view controller that has a presented view controller.");
        auto top = presenting;
        while (auto parent = top->parentViewController()) top = parent;
        auto transition = std::make_shared<T>(presented->view(), top->view(), duration, style, FTCompletionKeepViews);
        transition->setDismissing(true);
        transition->setPresentedController(presented);
        presenting->dismissViewControllerAnimatedCompletion(false, nullptr);
        transition->perform([top, completion](bool) {
            top->view()->setHidden(false);
            if (completion) completion(true);
        });
    }

    static void push(const std::shared_ptr<UINavigationController>& nav, const std::shared_ptr<UIViewController>& controller,
                     std::uint64_t style) {
        betweenControllers(nav->visibleViewController(), controller, FTTransition::defaultDuration(), style,
                           [nav, controller](bool) { nav->pushViewControllerAnimated(controller, false); });
    }

    // Nothing happens, and nil comes back, without a controller to go back to.
    static std::shared_ptr<UIViewController> pop(const std::shared_ptr<UINavigationController>& nav, std::uint64_t style) {
        auto stack = nav->viewControllers();
        if (stack.size() < 2) return nullptr;
        auto revealed = stack[stack.size() - 2];
        betweenControllers(nav->visibleViewController(), revealed, FTTransition::defaultDuration(), style,
                           [nav](bool) { nav->popViewControllerAnimated(false); });
        return revealed;
    }

    static std::vector<std::shared_ptr<UIViewController>> popToRoot(const std::shared_ptr<UINavigationController>& nav,
                                                                    std::uint64_t style) {
        auto stack = nav->viewControllers();
        if (stack.empty()) return {};
        std::vector<std::shared_ptr<UIViewController>> popped(stack.begin() + 1, stack.end());
        betweenControllers(nav->visibleViewController(), stack.front(), FTTransition::defaultDuration(), style,
                           [nav](bool) { nav->popToRootViewControllerAnimated(false); });
        return popped;
    }
};
