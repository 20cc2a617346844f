// Showing, choosing and closing the sheet.

#include "controls/actionsheet/PSActionSheet.h"

#include "platform/dispatch/dispatch.h"
#include "platform/foundation/NSNotificationCenter.h"
#include "platform/uikit/UIDevice.h"

void PSActionSheetController::viewDidLoad() {
    UIViewController::viewDidLoad();
    setView(actionSheet_);
}

UIStatusBarStyle PSActionSheetController::preferredStatusBarStyle() const {
    return UIApplication::sharedApplication()->statusBarStyle();
}

PSActionSheet::PSActionSheet(const CGRect& frame) : UIView(frame) {}

PSActionSheet::~PSActionSheet() { NSNotificationCenter::defaultCenter()->removeObserver(this); }

std::shared_ptr<PSActionSheet> PSActionSheet::initWithFrame(const CGRect& frame) {
    auto sheet = std::make_shared<PSActionSheet>(frame);
    NSNotificationCenter::defaultCenter()->addObserver(sheet, UIDeviceOrientationDidChangeNotification, nullptr,
                                                       [weak = sheet->weakSelf<PSActionSheet>()](const auto&) {
                                                           if (auto me = weak.lock()) me->receivedRotate();
                                                       });
    sheet->setNDestructiveIndex(-1);
    return sheet;
}

void PSActionSheet::showCCancelButtonsResult(const std::string& title, const std::string& cancel,
                                             const std::vector<std::string>& buttons, Result result) {
    strTitle_ = title;
    strCancel_ = cancel;
    aButtons_ = buttons;
    result_ = std::move(result);
    showActionSheet();
}

void PSActionSheet::showCButtonsResult(const std::string& cancel, const std::vector<std::string>& buttons, Result result) {
    showCCancelButtonsResult("", cancel, buttons, std::move(result));
}

void PSActionSheet::showButtonsResult(const std::string& title, const std::vector<std::string>& buttons, Result result) {
    showCCancelButtonsResult(title, "", buttons, std::move(result));
}

void PSActionSheet::showResult(const std::vector<std::string>& buttons, Result result) {
    showCCancelButtonsResult("", "", buttons, std::move(result));
}

void PSActionSheet::showAnimation() {
    awaitingChoice_ = true;
    CGFloat H = bounds().size.height, W = bounds().size.width;
    auto f = vActionSheet_->frame();
    CGFloat h = f.size.height;
    setAlpha(0);
    if (nAnimationType_ == kSlide || nAnimationType_ == kSlideBounce) {
        vActionSheet_->setFrame(CGRectMake(0, H, W, h + dRound_ + 5));
    } else if (nAnimationType_ == kFade) {
        vActionSheet_->setAlpha(0);
        vActionSheet_->setFrame(CGRectMake(0, H - h + 5, W, h + dRound_ + 5));
    }
    auto me = self<PSActionSheet>();
    auto rest = [me, H](CGFloat lift) {
        auto p = me->vActionSheet_->frame();
        p.origin.y = H - p.size.height + lift;
        me->vActionSheet_->setFrame(p);
    };
    UIView::Completion bounce;
    if (nAnimationType_ == kSlideBounce)
        bounce = [rest](bool) {
            UIView::animateWithDuration(kBounceDuration, [rest] { rest(18); },
                                        [rest](bool) { UIView::animateWithDuration(kBounceDuration, [rest] { rest(15); }); });
        };
    // The delay stands for the one the block sets for itself.
    UIView::animateWithDuration(
        kAnimationDuration, kAnimationDelay, 0,
        [me, rest] {
            me->setAlpha(1);
            if (me->nAnimationType_ == kSlide) rest(15);
            else if (me->nAnimationType_ == kFade) me->vActionSheet_->setAlpha(1);
            else if (me->nAnimationType_ == kSlideBounce) rest(10);
        },
        bounce);
}

void PSActionSheet::buttonTarget(UIControl& sender) { choose(static_cast<int>(sender.tag())); }

void PSActionSheet::touchesEndedWithEvent(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event) {
    if (touches.empty() || !vActionSheet_) return UIView::touchesEndedWithEvent(touches, event);
    auto p = touches.front()->locationInView(self<UIView>());
    if (!CGRectContainsPoint(vActionSheet_->frame(), p)) choose(kCancelIndex);
}

// The block hears the choice before the sheet starts to close, once per showing: a second tap
// while the sheet fades would otherwise choose again.
void PSActionSheet::choose(int index) {
    if (!awaitingChoice_) return;
    awaitingChoice_ = false;
    auto keep = self<PSActionSheet>();
    if (result_) result_(index);
    hideAnimation();
}

void PSActionSheet::hideAnimation() {
    NSNotificationCenter::defaultCenter()->removeObserver(this, UIDeviceOrientationDidChangeNotification, nullptr);
    CGFloat H = bounds().size.height;
    auto me = self<PSActionSheet>();
    auto moveTo = [me](CGFloat y) {
        auto p = me->vActionSheet_->frame();
        p.origin.y = y;
        me->vActionSheet_->setFrame(p);
    };
    UIView::animateWithDuration(
        kAnimationDuration, kAnimationDelay, 0,
        [me, moveTo, H] {
            auto h = me->vActionSheet_->frame().size.height;
            if (me->nAnimationType_ == kFade) me->vActionSheet_->setAlpha(0);
            else if (me->nAnimationType_ == kSlideBounce) moveTo(H - h + 10);
            else if (me->nAnimationType_ == kSlide) moveTo(H);
            if (me->nAnimationType_ != kSlideBounce) {
                me->vActionSheet_->setAlpha(0);
                me->setAlpha(0);
            }
        },
        [me, moveTo, H](bool) {
            if (me->nAnimationType_ != kSlideBounce) return me->hideActionSheet();
            UIView::animateWithDuration(kBounceDuration, kAnimationDelay, 0, [moveTo, H] { moveTo(H); }, [me](bool) {
                UIView::animateWithDuration(kBounceDuration, kAnimationDelay, 0, [me] { me->setAlpha(0); },
                                            [me](bool) { me->hideActionSheet(); });
            });
        });
}

void PSActionSheet::hideActionSheet() {
    auto keep = self<PSActionSheet>();
    removeFromSuperview();
    auto window = std::move(actionWindow_);
    actionWindow_.reset();
    if (!window) return;
    bool wasKey = window->isKeyWindow();
    window->removeFromSuperview();
    window->setHidden(true);
    // Key status goes back to the window that had it (the app's, which carries the progress bar),
    // unless another window took it meanwhile.
    auto app = UIApplication::sharedApplication();
    if (auto previous = previousKeyWindow_.lock(); previous && (wasKey || !app->keyWindow())) previous->makeKeyWindow();
    // The window holds its controller, which holds the sheet: dropping the root ends that chain.
    window->setRootViewController(nullptr);
}

void PSActionSheet::receivedRotate() {
    auto weak = weakSelf<PSActionSheet>();
    dispatch_async(dispatch_get_main_queue(), [weak] {
        auto me = weak.lock();
        if (!me || !me->vActionSheet_) return;
        UIView::animateWithDuration(kAnimationDuration, [me] {
            auto b = me->bounds();
            auto h = me->vActionSheet_->frame().size.height;
            me->vActionSheet_->setFrame(CGRectMake(0, b.size.height - h + 15, b.size.width, h));
        });
    });
}

void PSActionSheet::describeToScreen(UIScreenDescription& screen) {
    screen.beginLayer("an action sheet", "tap one of its buttons, or touch outside it to cancel");
    UIView::describeToScreen(screen);
    // A panel taller than the screen (a phone held sideways) is listed as it shows: its title only
    // where it is in sight.
    auto title = titleLabel_.lock();
    const bool titleShown = !strTitle_.empty() && title && UIScreenDescription::seen(title);
    std::string line = titleShown ? "action sheet: \"" + strTitle_ + "\"" : std::string("action sheet:");
    for (auto& title : aButtons_) line += " [" + title + "]";
    if (!strCancel_.empty()) line += " [" + strCancel_ + "]";
    screen.addLine(line);
}
