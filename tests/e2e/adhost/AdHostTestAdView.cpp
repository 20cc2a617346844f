#include "tests/e2e/adhost/AdHostTestAdView.h"

#include "tests/e2e/adhost/AdHost.h"

#include "platform/dispatch/dispatch.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIColor.h"
#include "platform/uikit/UIScreenDescription.h"
#include "sdk/adviews/VuderuAd.h"
#include "sdk/ads/VuderuAdManager.h"
#include "sdk/ads/VuderuEventController.h"

#include <algorithm>

namespace {
constexpr CGFloat kLabelHeight = 20;

// The view the test ad draws in: its label's text is its line of the screen.
class TestAdContent : public UIView {
public:
    explicit TestAdContent(const CGRect& frame) : UIView(frame) {}
    void describeToScreen(UIScreenDescription& screen) override {
        UIView::describeToScreen(screen);
        if (label && !label->text().empty()) screen.addLine(label->text());
    }
    std::shared_ptr<UILabel> label;
};
} // namespace

AdHostTestAdView::AdHostTestAdView(std::shared_ptr<NSObject> container, std::string space)
    : container_(std::move(container)), space_(std::move(space)) {}

void AdHostTestAdView::registerMaker() {
    VuderuAdManager::registerAdViewMaker(
        [](const std::shared_ptr<NSObject>& container, const std::string& space) {
            return std::make_shared<AdHostTestAdView>(container, space);
        },
        [](const VuderuAdFramePtr& frame) { return VuderuAd::getAdType(frame); });
}

void AdHostTestAdView::note(const std::string& what) const { AdHost::shared().record("view " + space_ + ": " + what); }

VuderuAdUnitPtr AdHostTestAdView::activeAdUnit() const { return units_.empty() ? nullptr : units_.front(); }

bool AdHostTestAdView::isGuidActive(const std::string& guid) const {
    return std::any_of(units_.begin(), units_.end(), [&](const VuderuAdUnitPtr& unit) {
        auto frame = unit->curAdFrame();
        return frame && frame->adLogGUID() == guid;
    });
}

bool AdHostTestAdView::prepareAdForDisplay(NSErrorPtr*) {
    ready_ = true;
    auto self = shared_from_this();
    dispatch_async(dispatch_get_main_queue(), [self] { VuderuAdManager::instance()->adReadyForDisplay(self); });
    return true;
}

std::string AdHostTestAdView::label() const {
    auto frame = adFrame();
    if (!frame) return "test ad " + space_ + ": no frame";
    return "test ad " + space_ + ": binding " + std::to_string(frame->binding()) + " guid " + frame->adLogGUID();
}

void AdHostTestAdView::renderView() {
    auto parent = parentView();
    CGRect bounds = parent ? parent->bounds() : CGRect{{0, 0}, {320, 50}};
    if (!view_) {
        auto content = std::make_shared<TestAdContent>(CGRect{{0, 0}, bounds.size});
        content->setBackgroundColor(UIColor::lightGrayColor());
        label_ = std::make_shared<UILabel>(CGRect{{0, 0}, {bounds.size.width, kLabelHeight}});
        content->label = label_;
        content->addSubview(label_);
        view_ = content;
    }
    label_->setText(label());
    rendered_ = true;
}

void AdHostTestAdView::removeAd() {
    if (view_) view_->removeFromSuperview();
    note("removed");
}

std::shared_ptr<UIView> AdHostTestAdView::parentView() const {
    if (auto view = std::dynamic_pointer_cast<UIView>(container_)) return view;
    auto controller = std::dynamic_pointer_cast<UIViewController>(container_);
    return controller ? controller->view() : nullptr;
}

std::shared_ptr<UIView> AdHostTestAdView::parentViewContainersView() const { return parentView(); }

int AdHostTestAdView::raiseEvent(const std::string& event) {
    auto controller = std::make_shared<VuderuEventController>();
    auto self = shared_from_this();
    auto frame = adFrame();
    std::int32_t resultAction = 0;
    Value::Dictionary params;
    int actions = 0;
    while (controller->processEventForEventHandlerCurrentFrameWithResultActionParams(event, self, frame, &resultAction, params)) ++actions;
    return actions;
}

bool AdHostTestAdView::loadAdFrameError(const VuderuAdFramePtr& frame, NSErrorPtr*) {
    auto unit = activeAdUnit();
    if (unit && frame) {
        auto& frames = unit->adFrames();
        auto at = std::find(frames.begin(), frames.end(), frame);
        if (at != frames.end()) unit->setCurAdFrameIndex(static_cast<std::int32_t>(at - frames.begin()));
    }
    note("loadAdFrame " + (frame ? frame->adLogGUID() : std::string("nil")));
    if (rendered_) renderView();
    return true;
}

void AdHostTestAdView::loadAdFrameWithDelayFrameOffset(std::int64_t delay, std::string& offset) {
    note("loadAdFrame after " + std::to_string(delay) + " s, offset " + offset);
}

void AdHostTestAdView::resumeFrame() { note("resumeFrame"); }

void AdHostTestAdView::linkProcessedForAdAction(const std::optional<std::string>& url, const std::string& adAction) {
    note("link " + url.value_or("nil") + " for " + adAction);
}

void AdHostTestAdView::linkNotProcessedForAdAction(const NSErrorPtr& error, const std::string& adAction) {
    note("link failed " + (error ? std::to_string(error->code()) : std::string("nil")) + " for " + adAction);
}

bool AdHostTestAdView::openUrlInNativeBrowserParams(const NSURLPtr& url, Value::Dictionary&) {
    note("open " + (url ? url->absoluteString() : std::string("nil")));
    return url && UIApplication::sharedApplication()->openURL(url);
}

void AdHostTestAdView::alertViewClickedButtonAtIndex(UIAlertView& alertView, long index) {
    note("alert button " + alertView.buttonTitleAtIndex(index));
}
