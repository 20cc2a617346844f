#include "sdk/adviews/VuderuAdTakeoverSetUp.h"

#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIViewController.h"
#include "sdk/analytics/VuderuUtil.h"

namespace {
// Systems before 7.0 lay a view out under the status bar only when asked.
constexpr int kLastBefore7 = 69999;
} // namespace

bool VuderuAdTakeoverSetUp::hideStatusBar(UIViewController& controller) {
    auto application = UIApplication::sharedApplication();
    bool wasHidden = application->isStatusBarHidden();
    application->setStatusBarHidden(true);
    if (VuderuUtil::getSystemVersionAsAnInteger() <= kLastBefore7) controller.setWantsFullScreenLayout(true);
    return wasHidden;
}

void VuderuAdTakeoverSetUp::restoreStatusBar(bool wasHidden) { UIApplication::sharedApplication()->setStatusBarHidden(wasHidden); }

bool VuderuAdTakeoverSetUp::commonSetUp(UIViewController& controller) {
    bool wasHidden = hideStatusBar(controller);
    auto view = controller.view();
    view->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    view->setAutoresizesSubviews(true);
    return wasHidden;
}
