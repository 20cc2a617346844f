// Building the onboarding view: backdrop, header, pages and footer.

#include "controls/introduction/OBIntroductionView.h"

#include "platform/foundation/NSBundle.h"
#include "platform/foundation/NSLog.h"
#include "platform/uikit/NSStringDrawing.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIDevice.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {
constexpr double kBackdropAlpha = 0.9;
constexpr CGFloat kHeaderHeight = 45;
constexpr CGFloat kHeaderTopIOS7 = 25, kHeaderTopEarlier = 5;
constexpr CGFloat kHeaderFontSize = 25;
constexpr CGFloat kPadGap = 10, kLandscapePhoneGap = -45;
constexpr CGFloat kTextLimit = 100;
constexpr CGFloat kFooterRoom = 37;
constexpr CGFloat kCloseViewHeight = 400;
constexpr CGFloat kPageControlWidth = 185, kPageControlHeight = 36;
constexpr CGFloat kSkipWidth = 80;

// The height text takes at the width, at most the text limit, up to the next whole point.
CGFloat textHeight(const std::string& text, const UIFontPtr& font, CGFloat width) {
    NSStringAttributes attributes;
    attributes.font = font;
    auto rect = NSStringBoundingRectWithSize(text, CGSizeMake(width, kTextLimit), NSStringDrawingUsesLineFragmentOrigin, attributes);
    return std::min<CGFloat>(kTextLimit, std::ceil(static_cast<float>(rect.size.height)));
}
} // namespace

void OBIntroductionView::initializeClassVariables() {
    panelViews_.clear();
    device_ = UIDevice::currentDevice()->userInterfaceIdiom() != UIUserInterfaceIdiomPhone;
    auto o = UIApplication::sharedApplication()->statusBarOrientation();
    device_orientation_ = o == UIInterfaceOrientationLandscapeLeft || o == UIInterfaceOrientationLandscapeRight;
}

bool OBIntroductionView::runningiOS7() { return std::strtof(UIDevice::currentDevice()->systemVersion().c_str(), nullptr) >= 7.0f; }

void OBIntroductionView::buildUIWithFrameHeaderViewVisible(const CGRect& frame, bool visible) {
    buildBackgroundImage();
    buildHeaderViewWithFrameVisible(frame, visible);
    buildContentScrollViewWithFrame(frame);
    buildFooterView();
    // What follows the view's size when it turns: the backdrop in both directions, the header
    // and the footer across.
    BackgroundImageView_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    for (const UIViewPtr& part : std::vector<UIViewPtr>{HeaderImageView_, HeaderLabel_, HeaderView_, PageControl_, SkipButton_})
        if (part) part->setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
}

void OBIntroductionView::buildBackgroundImage() {
    BackgroundImageView_ = std::make_shared<UIImageView>(frame());
    BackgroundImageView_->setBackgroundColor(UIColor::clearColor());
    BackgroundImageView_->setContentMode(UIViewContentModeScaleToFill);
    insertSubviewAtIndex(BackgroundImageView_, 0);
    // A dark backdrop until a background picture covers it, so the screen beneath does not show
    // through the pages' white text.
    setBackgroundColor(UIColor::colorWithWhite(0, kBackdropAlpha));
}

void OBIntroductionView::buildHeaderViewWithFrameVisible(const CGRect& f, bool visible) {
    if (!visible) {
        HeaderView_ = std::make_shared<UIView>(CGRectZero);
        return;
    }
    CGFloat top = runningiOS7() ? kHeaderTopIOS7 : kHeaderTopEarlier;
    HeaderView_ = std::make_shared<UIView>(CGRectMake(5, top, f.size.width - 10, kHeaderHeight));
    HeaderView_->setBackgroundColor(UIColor::clearColor());
    HeaderView_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleBottomMargin);
    CGRect inside = HeaderView_->bounds();
    HeaderImageView_ = std::make_shared<UIImageView>(inside);
    HeaderImageView_->setBackgroundColor(UIColor::clearColor());
    HeaderImageView_->setContentMode(UIViewContentModeScaleAspectFit);
    HeaderImageView_->setHidden(true);
    HeaderView_->addSubview(HeaderImageView_);
    HeaderLabel_ = std::make_shared<UILabel>(inside);
    HeaderLabel_->setFont(UIFont::fontWithNameSize("HelveticaNeue-Light", kHeaderFontSize));
    HeaderLabel_->setTextColor(UIColor::whiteColor());
    HeaderLabel_->setBackgroundColor(UIColor::clearColor());
    HeaderLabel_->setTextAlignment(NSTextAlignmentCenter);
    HeaderLabel_->setHidden(true);
    HeaderView_->addSubview(HeaderLabel_);
    addSubview(HeaderView_);
}

void OBIntroductionView::buildContentScrollViewWithFrame(const CGRect& f) {
    auto header = HeaderView_->frame();
    CGFloat y = header.origin.y + header.size.height;
    if (device_) y += kPadGap;
    else if (device_orientation_) y += kLandscapePhoneGap;
    CGFloat x = 0, width = f.size.width;
    if (device_ && device_orientation_) {
        auto v = frame();
        width = static_cast<float>(v.size.height);
        x = static_cast<float>((v.size.width - v.size.height) / 2);
        NSLog("C:%f, O:%f", width, x);
    }
    ContentScrollView_ = std::make_shared<UIScrollView>(CGRectMake(x, y, width, 0));
    ContentScrollView_->setPagingEnabled(true);
    ContentScrollView_->setAutoresizingMask(UIViewAutoresizingFlexibleLeftMargin | UIViewAutoresizingFlexibleRightMargin);
    ContentScrollView_->setShowsHorizontalScrollIndicator(false);
    ContentScrollView_->setShowsVerticalScrollIndicator(false);
    ContentScrollView_->setDelegate(std::static_pointer_cast<UIScrollViewDelegate>(self<OBIntroductionView>()));
    if (Panels_.empty()) return;
    if (LanguageDirection_ == kLeftToRight) buildContentScrollViewLeftToRight();
    else if (LanguageDirection_ == kRightToLeft) buildContentScrollViewRightToLeft();
}

UIViewPtr OBIntroductionView::PanelViewForPanelAtXIndex(const std::shared_ptr<OBIntroductionPanel>& panel, CGFloat& x) {
    CGFloat W = ContentScrollView_->frame().size.width;
    auto v = frame();
    auto page = std::make_shared<UIView>(CGRectMake(x, 0, W, 0));
    auto content = panel->PanelContentView();
    CGSize contentSize = content ? content->frame().size : CGSizeZero;
    CGFloat t = std::min(contentSize.height, v.size.width - 10);
    CGFloat w = std::min(contentSize.width, W);

    auto title = std::make_shared<UILabel>(CGRectMake(10, t + 5, W - 20, 0));
    CGFloat Th = 0;
    if (!panel->Title().empty()) {
        auto font = UIFont::fontWithNameSize("HelveticaNeue-Bold", 16);
        Th = textHeight(panel->Title(), font, W - 20);
        title->setFrame(CGRectMake(10, t + 5, W - 20, Th));
        title->setText(panel->Title());
        title->setNumberOfLines(0);
        title->setFont(font);
        title->setTextColor(UIColor::whiteColor());
        title->setBackgroundColor(UIColor::clearColor());
        title->setTextAlignment(NSTextAlignmentCenter);
        page->addSubview(title);
    }

    auto description = std::make_shared<UILabel>(CGRectMake(0, 0, W, 0));
    auto font = UIFont::fontWithNameSize("HelveticaNeue-Light", 13);
    description->setBackgroundColor(UIColor::clearColor());
    description->setTextAlignment(NSTextAlignmentCenter);
    description->setTextColor(UIColor::whiteColor());
    description->setFont(font);
    description->setNumberOfLines(0);
    description->setAutoresizingMask(UIViewAutoresizingFlexibleLeftMargin | UIViewAutoresizingFlexibleRightMargin);
    description->setText(panel->Description());
    page->addSubview(description);
    CGFloat D = textHeight(panel->Description(), font, W - 20) + 10;

    CGFloat room = v.size.height - ContentScrollView_->frame().origin.y - kFooterRoom;
    CGFloat needed = t + Th + D;
    CGFloat height = std::floor(needed <= room ? needed : room);
    if (needed > room) t = height - D - Th - 10;

    page->setFrame(CGRectMake(x, 0, W, height));
    if (content) {
        content->setFrame(CGRectMake(W / 2 + 5 - w / 2, 0, w, t));
        page->addSubview(content);
    }
    auto tf = title->frame();
    title->setFrame(CGRectMake(10, t + 5, tf.size.width, tf.size.height));
    description->setFrame(CGRectMake(0, t + 5 + Th + 5, W, D));
    x += W;
    return page;
}

void OBIntroductionView::appendCloseViewAtXIndex(CGFloat& x) {
    ContentScrollView_->addSubview(std::make_shared<UIView>(CGRectMake(x, 0, frame().size.width, kCloseViewHeight)));
    x += ContentScrollView_->frame().size.width;
}

void OBIntroductionView::buildContentScrollViewLeftToRight() {
    CGFloat x = 0;
    for (auto& panel : Panels_) {
        auto page = PanelViewForPanelAtXIndex(panel, x);
        panelViews_.push_back(page);
        ContentScrollView_->addSubview(page);
    }
    makePanelVisibleAtIndex(0);
    setContentScrollViewHeightForPanelIndexAnimated(0, false);
    appendCloseViewAtXIndex(x);
    ContentScrollView_->setContentSize(CGSizeMake(x, ContentScrollView_->frame().size.height));
    addSubview(ContentScrollView_);
}

void OBIntroductionView::buildContentScrollViewRightToLeft() {
    CGFloat x = 0;
    appendCloseViewAtXIndex(x);
    for (auto it = Panels_.rbegin(); it != Panels_.rend(); ++it) {
        auto page = PanelViewForPanelAtXIndex(*it, x);
        panelViews_.push_back(page);
        ContentScrollView_->addSubview(page);
    }
    auto last = static_cast<std::int64_t>(Panels_.size()) - 1;
    makePanelVisibleAtIndex(last);
    CurrentPanelIndex_ = last;
    setContentScrollViewHeightForPanelIndexAnimated(last, false);
    ContentScrollView_->setContentSize(CGSizeMake(x, ContentScrollView_->frame().size.height));
    ContentScrollView_->setContentOffset({x - ContentScrollView_->frame().size.width, 0});
    addSubview(ContentScrollView_);
}

void OBIntroductionView::buildFooterView() {
    auto v = frame();
    auto s = ContentScrollView_->frame();
    CGFloat y = s.origin.y + s.size.height + 1;
    PageControl_ = std::make_shared<UIPageControl>(device_ ? CGRectMake(0, y, v.size.width, kPageControlHeight)
                                                           : CGRectMake((v.size.width - kPageControlWidth) / 2, y, kPageControlWidth,
                                                                        kPageControlHeight));
    PageControl_->addTargetActionForControlEvents(
        self<NSObject>(), [](NSObject& me, UIControl&, UIEvent*) { static_cast<OBIntroductionView&>(me).showPanelAtPageControl(); },
        UIControlEventValueChanged);
    PageControl_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
    PageControl_->setNumberOfPages(static_cast<long>(Panels_.size()));
    addSubview(PageControl_);

    auto pc = PageControl_->frame();
    SkipButton_ = UIButton::buttonWithType(UIButtonTypeSystem);
    if (LanguageDirection_ == kRightToLeft) {
        SkipButton_->setFrame(CGRectMake(0, pc.origin.y, kSkipWidth, pc.size.height));
        PageControl_->setCurrentPage(PageControl_->numberOfPages() - 1);
    } else {
        SkipButton_->setFrame(CGRectMake(s.size.width - kSkipWidth, pc.origin.y, kSkipWidth, pc.size.height));
    }
    SkipButton_->setAutoresizingMask(UIViewAutoresizingFlexibleLeftMargin | UIViewAutoresizingFlexibleRightMargin);
    SkipButton_->setTitleForState(NSBundle::mainBundle()->localizedStringForKey("Skip", "", ""), UIControlStateNormal);
    SkipButton_->addTargetActionForControlEvents(
        self<NSObject>(), [](NSObject& me, UIControl&, UIEvent*) { static_cast<OBIntroductionView&>(me).skipIntroduction(); },
        UIControlEventTouchUpInside);
    addSubview(SkipButton_);
}
