// The disc's layers: where the icons sit on the ring, and how marker, texts and icons follow the finger.

#include "controls/sharecircle/CSShareCircleView.h"

#include "app/support/UIColor+Color.h"
#include "platform/uikit/CATransaction.h"
#include "platform/uikit/UIScreen.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {
constexpr const char* kFontName = "HelveticaNeue-Light";
constexpr CGFloat kIntroFontSize = 14;
constexpr CGFloat kTitleFontSize = 20;
constexpr CGSize kIntroSize{60, 31};
constexpr CGSize kTitleSize{120, 28};
constexpr CGFloat kMarkerLineWidth = 2;
constexpr double kRingDiameter = 2 * CSShareCircleView::kRingRadius;

std::shared_ptr<CATextLayer> textLayer(const std::string& text, CGFloat fontSize, CGSize size) {
    auto layer = CATextLayer::layer();
    layer->setString(text);
    layer->setWrapped(true);
    layer->setAlignmentMode(kCAAlignmentCenter);
    layer->setFont(kFontName);
    layer->setFontSize(fontSize);
    layer->setForegroundColor(UIColor::blackColor());
    layer->setFrame(CGRectMake(0, 0, size.width, size.height));
    layer->setContentsScale(UIScreen::mainScreen()->scale());
    return layer;
}
} // namespace

void CSShareCircleView::setup() {
    setupShareCircleContainerView();
    setupSharers();
    invalidateLayout();
}

void CSShareCircleView::setupShareCircleContainerView() {
    auto disc = std::make_shared<UIView>(bounds());
    disc->setBackgroundColor(UIColor_Color::colorWithR255G255B255A255(91, 165, 230, 255));
    addSubview(disc);
    shareCircleContainerView_ = disc;
}

void CSShareCircleView::setupSharers() {
    sharerLayers_.clear();
    auto discLayer = shareCircleContainerView_->layer();
    std::size_t n = numberOfVisibleSharers();
    for (std::size_t i = 0; i < sharers_.size(); ++i) {
        auto layer = CALayer::layer();
        layer->setFrame(CGRectMake(0, 0, kIconSide, kIconSide));
        // Sharers past the sixth lie hidden on the sixth's place.
        double slot = static_cast<double>(std::min(i, kMaxVisibleSharers - 1));
        auto angle = static_cast<float>(slot / (static_cast<double>(n) * 0.5) * std::numbers::pi);
        float c = std::cos(angle);
        float s = std::sin(angle);
        // The ring's radius is half its 200-point diameter.
        auto x = static_cast<float>(kDiscRadius + (c * kRingDiameter) * 0.5);
        auto y = static_cast<float>(kDiscRadius - (s * kRingDiameter) * 0.5);
        layer->setPosition(CGPointMake(x, y));
        if (auto image = sharers_[i]->image()) layer->setContents(image->CGImage());
        layer->setName(sharers_[i]->name());
        if (i >= kMaxVisibleSharers) layer->setOpacity(0);
        sharerLayers_.push_back(layer);
        discLayer->addSublayer(layer);
    }

    touchLayer_ = CAShapeLayer::layer();
    touchLayer_->setFrame(CGRectMake(0, 0, kMarkerSide, kMarkerSide));
    auto ring = CGPath::create();
    ring->addEllipseInRect(CGRectMake(0, 0, kMarkerSide, kMarkerSide));
    touchLayer_->setPath(ring);
    touchLayer_->setFillColor(UIColor::clearColor());
    touchLayer_->setStrokeColor(UIColor::blackColor());
    touchLayer_->setLineWidth(kMarkerLineWidth);
    discLayer->addSublayer(touchLayer_);

    introTextLayer_ = textLayer("Drag to\nShare", kIntroFontSize, kIntroSize);
    introTextLayer_->setOpacity(1);
    discLayer->addSublayer(introTextLayer_);
    shareTitleLayer_ = textLayer("", kTitleFontSize, kTitleSize);
    discLayer->addSublayer(shareTitleLayer_);
}

void CSShareCircleView::invalidateLayout() {
    layoutDirty_ = true;
    setNeedsLayout();
}

void CSShareCircleView::layoutSubviews() {
    UIView::layoutSubviews();
    validateLayout();
}

CGPoint CSShareCircleView::discCentre() const {
    if (!shareCircleContainerView_) return CGPointZero;
    CGRect b = shareCircleContainerView_->bounds();
    return CGPointMake(CGRectGetMidX(b), CGRectGetMidY(b));
}

void CSShareCircleView::validateLayout() {
    if (!layoutDirty_ || !shareCircleContainerView_) return;
    layoutDirty_ = false;
    CGRect b = bounds();
    auto disc = shareCircleContainerView_;
    disc->setFrame(CGRectMake(CGRectGetMidX(b) - kDiscRadius, CGRectGetMidY(b) - kDiscRadius, kDiscSide, kDiscSide));
    disc->layer()->setCornerRadius(disc->frame().size.width / 2);
    CGPoint c = discCentre();
    introTextLayer_->setPosition(c);
    shareTitleLayer_->setPosition(c);
    std::size_t n = numberOfVisibleSharers();

    if (!dragging_) {
        touchLayer_->setPosition(c);
        introTextLayer_->setOpacity(1);
        touchLayer_->setOpacity(kIdleMarkerOpacity);
        shareTitleLayer_->setString("");
        for (std::size_t i = 0; i < n; ++i) sharerLayers_[i]->setOpacity(1);
        return;
    }
    CGPoint p = touchLocationAtPoint(currentPosition_);
    CGPoint marker = touchLayer_->position();
    if (std::max(std::fabs(p.x - marker.x), std::fabs(p.y - marker.y)) > kMarkerJump) {
        touchLayer_->setPosition(p);
    } else {
        // Close moves follow the finger without lag.
        CATransaction::begin();
        CATransaction::setDisableActions(true);
        touchLayer_->setPosition(p);
        CATransaction::commit();
    }
    introTextLayer_->setOpacity(0);
    touchLayer_->setOpacity(1);
    std::shared_ptr<CALayer> hit;
    for (auto& layer : sharerLayers_)
        if (CGRectContainsPoint(layer->frame(), p)) {
            hit = layer;
            break;
        }
    shareTitleLayer_->setString(hit ? hit->name() : "");
    for (std::size_t i = 0; i < n; ++i)
        sharerLayers_[i]->setOpacity(sharerLayers_[i] == hit ? 1 : static_cast<float>(kOtherIconOpacity));
}

CGPoint CSShareCircleView::touchLocationAtPoint(CGPoint q) const {
    CGPoint c = discCentre();
    CGFloat dx = q.x - c.x;
    CGFloat dy = q.y - c.y;
    if (dx * dx + dy * dy > kDragRadius * kDragRadius) {
        double angle = std::atan2(q.y - c.y, c.x - q.x);
        q = CGPointMake(c.x - kDragRadius * std::cos(angle), c.y + kDragRadius * std::sin(angle));
    }
    for (auto& layer : sharerLayers_) {
        CGPoint icon = layer->position();
        if (std::fabs(icon.x - q.x) < kSnapDistance && std::fabs(icon.y - q.y) < kSnapDistance) return icon;
    }
    CGPoint origin = shareCircleContainerView_ ? shareCircleContainerView_->bounds().origin : CGPointZero;
    return CGPointMake(q.x - origin.x, q.y - origin.y);
}

bool CSShareCircleView::circleEnclosesPoint(CGPoint point) const {
    CGPoint c = discCentre();
    CGFloat dx = point.x - c.x;
    CGFloat dy = point.y - c.y;
    return dx * dx + dy * dy <= kDiscRadius * kDiscRadius;
}

std::shared_ptr<CALayer> CSShareCircleView::touchedSharerLayer() const {
    if (!touchLayer_) return nullptr;
    CGPoint marker = touchLayer_->position();
    for (auto& layer : sharerLayers_)
        if (CGRectContainsPoint(layer->frame(), marker)) return layer;
    return nullptr;
}
