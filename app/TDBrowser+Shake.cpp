// The Files screen's shake: the hidden Clipvane screen, then the egg.

#include "app/TDBrowser.h"
#include "app/TDYouTube.h"
#include "controls/transitions/UIViewController+FTFoldTransition.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/NSRunLoop.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UINavigationController.h"

void TDBrowser::motionEndedWithEvent(UIEventSubtype motion, const std::shared_ptr<UIEvent>&) {
    if (motion != UIEventSubtypeMotionShake) return;
    auto clipvane = UINavigationController::initWithRootViewController(std::make_shared<TDYouTube>());
    std::weak_ptr<TDBrowser> weakSelf = self<TDBrowser>();
    UIViewController_FTFoldTransition::presentViewControllerFoldStyleCompletion(self<TDBrowser>(), clipvane, FTFoldStyleReverse,
                                                                               [weakSelf](bool) {
                                                                                   if (auto strongSelf = weakSelf.lock())
                                                                                       strongSelf->showEasterEggAlert();
                                                                               });
}

void TDBrowser::showEasterEggAlert() {
    NSLog("Finished showing easter egg's view xD");
    auto alert = UIAlertView::initWithTitle("", "", self<TDBrowser>(), "");
    auto egg = std::make_shared<UIImageView>(UIImage::imageNamed("egg"));
    egg->setFrame(CGRectMake(0, 0, kEggWidth, kEggHeight));
    alert->setAccessoryView(egg);
    alert->show();
    // The delayed perform holds the browser and the alert until it has run.
    auto me = self<TDBrowser>();
    NSRunLoop::mainRunLoop()->performAfterDelay(kEggAlertSeconds, this, "dismissAlert:", [me, alert] { me->dismissAlert(alert); });
}

void TDBrowser::dismissAlert(const std::shared_ptr<UIAlertView>& alertView) {
    // -1: no button was clicked.
    alertView->dismissWithClickedButtonIndexAnimated(-1, true);
}
