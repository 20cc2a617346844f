// The onboarding view's pages at work: paging, the page control, Skip, showing and hiding.

#include "controls/introduction/OBIntroductionView.h"

OBIntroductionView::OBIntroductionView(const CGRect& frame) : UIView(frame) {}

std::shared_ptr<OBIntroductionView> OBIntroductionView::make(const CGRect& frame, const Panels& panels, std::int32_t direction,
                                                             bool headerVisible, bool flexible) {
    auto view = std::make_shared<OBIntroductionView>(frame);
    view->initializeClassVariables();
    view->Panels_ = panels;
    view->LanguageDirection_ = direction;
    view->buildUIWithFrameHeaderViewVisible(frame, headerVisible);
    // The view follows its superview's size (all forms but the one with panels alone).
    if (flexible)
        view->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    return view;
}

std::shared_ptr<OBIntroductionView> OBIntroductionView::initWithFrame(const CGRect& frame) { return make(frame, {}, kLeftToRight, true); }

std::shared_ptr<OBIntroductionView> OBIntroductionView::initWithFrameHeaderTextPanels(const CGRect& frame, const std::string& text,
                                                                                      const Panels& panels) {
    return initWithFrameHeaderTextPanelsLanguageDirection(frame, text, panels, kLeftToRight);
}

std::shared_ptr<OBIntroductionView> OBIntroductionView::initWithFrameHeaderImagePanels(const CGRect& frame, const UIImagePtr& image,
                                                                                       const Panels& panels) {
    return initWithFrameHeaderImagePanelsLanguageDirection(frame, image, panels, kLeftToRight);
}

std::shared_ptr<OBIntroductionView> OBIntroductionView::initWithFrameHeaderTextPanelsLanguageDirection(
    const CGRect& frame, const std::string& text, const Panels& panels, std::int32_t direction) {
    auto view = make(frame, panels, direction, true);
    view->setHeaderText(text);
    return view;
}

std::shared_ptr<OBIntroductionView> OBIntroductionView::initWithFrameHeaderImagePanelsLanguageDirection(
    const CGRect& frame, const UIImagePtr& image, const Panels& panels, std::int32_t direction) {
    auto view = make(frame, panels, direction, true);
    view->setHeaderImage(image);
    return view;
}

std::shared_ptr<OBIntroductionView> OBIntroductionView::initWithFramePanels(const CGRect& frame, const Panels& panels) {
    return make(frame, panels, kLeftToRight, false, false);
}

std::shared_ptr<OBIntroductionView> OBIntroductionView::initWithFramePanelsLanguageDirection(const CGRect& frame,
                                                                                             const Panels& panels,
                                                                                             std::int32_t direction) {
    return make(frame, panels, direction, false);
}

void OBIntroductionView::setHeaderText(const std::string& text) {
    if (!HeaderLabel_) return;
    HeaderLabel_->setHidden(false);
    HeaderImageView_->setHidden(true);
    HeaderLabel_->setText(text);
}

void OBIntroductionView::setHeaderImage(const UIImagePtr& image) {
    if (!HeaderImageView_) return;
    HeaderImageView_->setHidden(false);
    HeaderLabel_->setHidden(true);
    HeaderImageView_->setImage(image);
}

void OBIntroductionView::setBackgroundImage(const UIImagePtr& image) {
    BackgroundImageView_->setImage(image);
    BackgroundImageView_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
}

void OBIntroductionView::setBackgroundColor(UIColorPtr color) {
    BackgroundImageView_->setBackgroundColor(std::move(color));
    BackgroundImageView_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
}

void OBIntroductionView::showInViewAnimateDuration(const UIViewPtr& view, double duration) {
    setAlpha(0);
    view->addSubview(self<UIView>());
    auto me = self<OBIntroductionView>();
    UIView::animateWithDuration(duration, [me] { me->setAlpha(1); });
}

void OBIntroductionView::hideWithFadeOutDuration(double duration) {
    auto me = self<OBIntroductionView>();
    UIView::animateWithDuration(duration, [me] { me->setAlpha(0); });
}

void OBIntroductionView::skipIntroduction() {
    if (auto d = delegate()) d->introductionDidFinishWithType(OBIntroductionDelegate::kSkipped);
    hideWithFadeOutDuration(kSkipFadeDuration);
}

void OBIntroductionView::makePanelVisibleAtIndex(std::int64_t index) {
    auto me = self<OBIntroductionView>();
    UIView::animateWithDuration(kPageAnimationDuration, [me, index] {
        for (std::size_t i = 0; i < me->panelViews_.size(); ++i) me->panelViews_[i]->setAlpha(static_cast<std::int64_t>(i) == index ? 1 : 0);
    });
}

void OBIntroductionView::setContentScrollViewHeightForPanelIndexAnimated(std::int64_t index, bool animated) {
    if (index < 0 || index >= static_cast<std::int64_t>(panelViews_.size())) return;
    CGFloat h = panelViews_[index]->frame().size.height;
    auto me = self<OBIntroductionView>();
    auto resize = [me, h] {
        auto s = me->ContentScrollView_->frame();
        s.size.height = h;
        me->ContentScrollView_->setFrame(s);
        CGFloat y = s.origin.y + h + 1;
        for (auto& v : {UIViewPtr(me->PageControl_), UIViewPtr(me->SkipButton_)}) {
            if (!v) continue;
            auto f = v->frame();
            f.origin.y = y;
            v->setFrame(f);
        }
    };
    if (animated) UIView::animateWithDuration(kPageAnimationDuration, resize);
    else resize();
    auto size = ContentScrollView_->contentSize();
    ContentScrollView_->setContentSize(CGSizeMake(size.width, h));
}

std::shared_ptr<OBIntroductionPanel> OBIntroductionView::panelShownAt(std::int64_t page) const {
    auto count = static_cast<std::int64_t>(Panels_.size());
    if (page < 0 || page >= count) return nullptr;
    return Panels_[LanguageDirection_ == kRightToLeft ? count - 1 - page : page];
}

// The delegate hears the panel the page shows: right to left, pages count from the left over
// the panels in reverse.
void OBIntroductionView::notifyChange() {
    if (LastPanelIndex_ == CurrentPanelIndex_) return;
    if (auto d = delegate()) d->introductionDidChangeToPanelWithIndex(panelShownAt(CurrentPanelIndex_), CurrentPanelIndex_);
}

void OBIntroductionView::scrollViewDidEndDecelerating(UIScrollView& scrollView) {
    CGFloat W = scrollView.frame().size.width;
    if (W <= 0) return;
    CGFloat x = scrollView.contentOffset().x;
    auto pages = static_cast<std::int64_t>(panelViews_.size());
    if (LanguageDirection_ == kLeftToRight) {
        CurrentPanelIndex_ = static_cast<std::int64_t>(x / W);
        if (CurrentPanelIndex_ == pages) {
            if (auto d = delegate()) d->introductionDidFinishWithType(OBIntroductionDelegate::kSwipedPastLastPage);
            return;
        }
    } else if (LanguageDirection_ == kRightToLeft) {
        CurrentPanelIndex_ = static_cast<std::int64_t>((x - W) / W);
        if (CurrentPanelIndex_ == -1) {
            if (auto d = delegate()) d->introductionDidFinishWithType(OBIntroductionDelegate::kSwipedPastLastPage);
            return;
        }
    } else {
        return;
    }
    LastPanelIndex_ = PageControl_->currentPage();
    PageControl_->setCurrentPage(static_cast<long>(CurrentPanelIndex_));
    setContentScrollViewHeightForPanelIndexAnimated(CurrentPanelIndex_, true);
    makePanelVisibleAtIndex(CurrentPanelIndex_);
    notifyChange();
}

void OBIntroductionView::scrollViewDidScroll(UIScrollView& scrollView) {
    CGFloat W = scrollView.frame().size.width;
    if (W <= 0) return;
    CGFloat x = scrollView.contentOffset().x;
    auto pages = static_cast<std::int64_t>(panelViews_.size());
    if (LanguageDirection_ == kLeftToRight && CurrentPanelIndex_ == pages - 1)
        setAlpha((W * static_cast<CGFloat>(pages) - x) / W);
    else if (LanguageDirection_ == kRightToLeft && CurrentPanelIndex_ == 0)
        setAlpha(x / W);
}

void OBIntroductionView::showPanelAtPageControl() {
    LastPanelIndex_ = CurrentPanelIndex_;
    CurrentPanelIndex_ = PageControl_->currentPage();
    setContentScrollViewHeightForPanelIndexAnimated(CurrentPanelIndex_, true);
    makePanelVisibleAtIndex(CurrentPanelIndex_);
    CGFloat W = ContentScrollView_->frame().size.width;
    auto page = static_cast<CGFloat>(LanguageDirection_ == kRightToLeft ? CurrentPanelIndex_ + 1 : CurrentPanelIndex_);
    ContentScrollView_->setContentOffsetAnimated({page * W, 0}, true);
    notifyChange();
}

void OBIntroductionView::describeToScreen(UIScreenDescription& screen) {
    UIView::describeToScreen(screen);
    std::string header = HeaderLabel_ && !HeaderLabel_->isHidden() ? " \"" + HeaderLabel_->text() + "\"" : "";
    screen.addLine("introduction:" + header);
    auto panel = panelShownAt(CurrentPanelIndex_);
    if (!panel) return;
    std::string line = "  ";
    if (!panel->Title().empty()) line += "\"" + panel->Title() + "\" ";
    screen.addLine(line + "\"" + panel->Description() + "\"");
}
