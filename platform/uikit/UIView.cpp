#include "platform/uikit/UIView.h"

#include "platform/foundation/NSRunLoop.h"
#include "platform/uikit/NSLayoutConstraint.h"
#include "platform/uikit/UIViewController.h"
#include "platform/uikit/UIWindow.h"

#include <algorithm>

// Block animations (UIViewAnimations.cpp) learn which properties of which views a block changed.
void UIViewAnimationNoteChange(const UIView* view, const char* property);

UIView::UIView() : UIView(CGRectZero) {}

UIView::UIView(const CGRect& frame) : layer_(std::make_shared<CALayer>()) {
    layer_->setView(this);
    setFrame(frame);
}

UIView::~UIView() { layer_->setView(nullptr); }

CGRect UIView::frame() const { return layer_->frame(); }

void UIView::setFrame(const CGRect& frame) {
    auto before = layer_->bounds().size;
    UIViewAnimationNoteChange(this, "frame");
    layer_->setFrame(frame);
    boundsSizeChanged(before);
}

void UIView::setBounds(const CGRect& bounds) {
    auto before = layer_->bounds().size;
    UIViewAnimationNoteChange(this, "bounds");
    layer_->setBounds(bounds);
    boundsSizeChanged(before);
}

void UIView::setCenter(CGPoint center) {
    UIViewAnimationNoteChange(this, "frame");
    layer_->setPosition(center);
}

void UIView::setTransform(const CGAffineTransform& transform) {
    UIViewAnimationNoteChange(this, "transform");
    layer_->setAffineTransform(transform);
}

void UIView::setAlpha(CGFloat alpha) {
    UIViewAnimationNoteChange(this, "alpha");
    alpha_ = alpha;
    layer_->setOpacity(static_cast<float>(alpha));
}

void UIView::setHidden(bool hidden) {
    hidden_ = hidden;
    layer_->setHidden(hidden);
    if (auto window = dynamic_cast<UIWindow*>(this); window && !hidden) window->didUnhide();
}

void UIView::setBackgroundColor(UIColorPtr color) {
    UIViewAnimationNoteChange(this, "backgroundColor");
    backgroundColor_ = color;
    layer_->setBackgroundColor(std::move(color));
}

void UIView::boundsSizeChanged(CGSize before) {
    auto after = layer_->bounds().size;
    if (after == before) return;
    needsLayout_ = true;
    if (!autoresizesSubviews_) return;
    auto children = subviews_;
    for (auto& child : children) child->autoresize(before, after);
}

namespace {
// Shares a change of the superview's length among the flexible parts, each by its current length
// (evenly when they are all empty).
void share(CGFloat delta, bool flexLead, bool flexSize, bool flexTrail, CGFloat& lead, CGFloat& size, CGFloat trail) {
    int count = flexLead + flexSize + flexTrail;
    if (count == 0 || delta == 0) return;
    CGFloat total = (flexLead ? lead : 0) + (flexSize ? size : 0) + (flexTrail ? trail : 0);
    auto part = [&](bool flexible, CGFloat length) {
        if (!flexible) return 0.0;
        return total > 0 ? delta * length / total : delta / count;
    };
    CGFloat dLead = part(flexLead, lead), dSize = part(flexSize, size);
    lead += dLead;
    size += dSize;
}
} // namespace

void UIView::autoresize(CGSize superBefore, CGSize superAfter) {
    auto m = autoresizingMask_;
    if (m == UIViewAutoresizingNone) return;
    auto f = frame();
    CGFloat right = superBefore.width - f.origin.x - f.size.width;
    CGFloat bottom = superBefore.height - f.origin.y - f.size.height;
    share(superAfter.width - superBefore.width, m & UIViewAutoresizingFlexibleLeftMargin, m & UIViewAutoresizingFlexibleWidth,
          m & UIViewAutoresizingFlexibleRightMargin, f.origin.x, f.size.width, right);
    share(superAfter.height - superBefore.height, m & UIViewAutoresizingFlexibleTopMargin,
          m & UIViewAutoresizingFlexibleHeight, m & UIViewAutoresizingFlexibleBottomMargin, f.origin.y, f.size.height, bottom);
    if (f == frame()) return;
    // Under a transform only the size of the bounds and the centre follow.
    if (CGAffineTransformIsIdentity(transform())) return setFrame(f);
    auto b = bounds();
    auto old = frame();
    b.size.width += f.size.width - old.size.width;
    b.size.height += f.size.height - old.size.height;
    setBounds(b);
    auto c = center();
    setCenter({c.x + f.origin.x - old.origin.x + (f.size.width - old.size.width) / 2,
               c.y + f.origin.y - old.origin.y + (f.size.height - old.size.height) / 2});
}

std::shared_ptr<UIWindow> UIView::window() const {
    const UIView* v = this;
    while (v) {
        if (auto w = dynamic_cast<const UIWindow*>(v)) return std::const_pointer_cast<UIWindow>(w->self<UIWindow>());
        auto parent = v->superview_.lock();
        v = parent.get();
    }
    return nullptr;
}

void UIView::addSubview(const UIViewPtr& view) { insertSubviewAtIndex(view, subviews_.size()); }

void UIView::insertSubviewAtIndex(const UIViewPtr& view, std::size_t index) {
    if (!view || view.get() == this) return;
    auto keep = view;
    if (view->superview().get() == this) {
        subviews_.erase(std::find(subviews_.begin(), subviews_.end(), view));
    } else {
        // A move tells the view of its new superview only, as one change.
        view->willMoveToSuperview(self<UIView>());
        view->detachFromSuperview();
    }
    index = std::min(index, subviews_.size());
    subviews_.insert(subviews_.begin() + static_cast<std::ptrdiff_t>(index), view);
    view->superview_ = self<UIView>();
    placeLayerOf(view);
    view->needsLayout_ = true;
    view->didMoveToSuperview();
    view->childrenMovedToWindow();
}

void UIView::insertSubviewBelowSubview(const UIViewPtr& view, const UIViewPtr& sibling) {
    auto it = std::find(subviews_.begin(), subviews_.end(), sibling);
    if (it == subviews_.end()) return addSubview(view);
    std::size_t index = static_cast<std::size_t>(it - subviews_.begin());
    if (view && view->superview().get() == this) {
        auto current = std::find(subviews_.begin(), subviews_.end(), view);
        if (current < it) --index;
    }
    insertSubviewAtIndex(view, index);
}

void UIView::insertSubviewAboveSubview(const UIViewPtr& view, const UIViewPtr& sibling) {
    auto it = std::find(subviews_.begin(), subviews_.end(), sibling);
    if (it == subviews_.end()) return addSubview(view);
    std::size_t index = static_cast<std::size_t>(it - subviews_.begin()) + 1;
    if (view && view->superview().get() == this) {
        auto current = std::find(subviews_.begin(), subviews_.end(), view);
        if (current < it) --index;
    }
    insertSubviewAtIndex(view, index);
}

void UIView::removeFromSuperview() {
    if (!superview_.lock()) return;
    auto keep = self<UIView>();
    willMoveToSuperview(nullptr);
    if (!detachFromSuperview()) return;
    didMoveToSuperview();
    childrenMovedToWindow();
}

bool UIView::detachFromSuperview() {
    auto parent = superview_.lock();
    if (!parent) return false;
    auto keep = self<UIView>();
    auto& siblings = parent->subviews_;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), keep), siblings.end());
    layer_->removeFromSuperlayer();
    superview_.reset();
    return true;
}

void UIView::bringSubviewToFront(const UIViewPtr& view) {
    auto it = std::find(subviews_.begin(), subviews_.end(), view);
    if (it == subviews_.end()) return;
    std::rotate(it, it + 1, subviews_.end());
    placeLayerOf(view);
}

void UIView::sendSubviewToBack(const UIViewPtr& view) {
    auto it = std::find(subviews_.begin(), subviews_.end(), view);
    if (it == subviews_.end()) return;
    std::rotate(subviews_.begin(), it, it + 1);
    placeLayerOf(view);
}

void UIView::placeLayerOf(const UIViewPtr& view) {
    auto it = std::find(subviews_.begin(), subviews_.end(), view);
    if (it == subviews_.end()) return;
    if (it + 1 != subviews_.end()) layer_->insertSublayerBelow(view->layer(), (*(it + 1))->layer());
    else if (it != subviews_.begin()) layer_->insertSublayerAbove(view->layer(), (*(it - 1))->layer());
    else layer_->addSublayer(view->layer());
}

bool UIView::isDescendantOfView(const UIView* view) const {
    for (const UIView* v = this; v;) {
        if (v == view) return true;
        auto parent = v->superview_.lock();
        v = parent.get();
    }
    return false;
}

UIViewPtr UIView::viewWithTag(long tag) {
    if (tag_ == tag) return self<UIView>();
    for (auto& s : subviews_)
        if (auto found = s->viewWithTag(tag)) return found;
    return nullptr;
}

void UIView::childrenMovedToWindow() {
    didMoveToWindow();
    for (auto& s : subviews_) s->childrenMovedToWindow();
}

UIViewPtr UIView::hitTestWithEvent(CGPoint point, const std::shared_ptr<UIEvent>& event) {
    if (hidden_ || !userInteractionEnabled_ || alpha_ < 0.01 || !pointInsideWithEvent(point, event)) return nullptr;
    for (auto it = subviews_.rbegin(); it != subviews_.rend(); ++it) {
        auto& child = *it;
        CGPoint local = child->convertPointFromView(point, self<UIView>());
        if (auto hit = child->hitTestWithEvent(local, event)) return hit;
    }
    return self<UIView>();
}

bool UIView::pointInsideWithEvent(CGPoint point, const std::shared_ptr<UIEvent>&) const {
    return CGRectContainsPoint(bounds(), point);
}

namespace {
// The point of the view's coordinates that its layer's anchor point names.
CGPoint anchorInBounds(const UIView& v) {
    auto b = v.bounds();
    auto a = v.layer()->anchorPoint();
    return {b.origin.x + b.size.width * a.x, b.origin.y + b.size.height * a.y};
}

// A point of the view's coordinates in its superview's.
CGPoint toSuperview(const UIView& v, CGPoint p) {
    auto anchor = anchorInBounds(v);
    auto t = CGPointApplyAffineTransform({p.x - anchor.x, p.y - anchor.y}, v.transform());
    return {t.x + v.center().x, t.y + v.center().y};
}

CGPoint fromSuperview(const UIView& v, CGPoint p) {
    auto anchor = anchorInBounds(v);
    CGPoint rel{p.x - v.center().x, p.y - v.center().y};
    auto t = CGPointApplyAffineTransform(rel, CGAffineTransformInvert(v.transform()));
    return {t.x + anchor.x, t.y + anchor.y};
}

// A point of the view's coordinates in the coordinates of its topmost ancestor.
CGPoint viewToRoot(const UIView* v, CGPoint p) {
    while (auto parent = v->superview()) {
        p = toSuperview(*v, p);
        v = parent.get();
    }
    return p;
}

CGPoint fromRoot(const UIView* v, CGPoint p) {
    std::vector<const UIView*> chain;
    for (const UIView* c = v; c->superview(); c = c->superview().get()) chain.push_back(c);
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) p = fromSuperview(**it, p);
    return p;
}
} // namespace

CGPoint UIView::convertPointToView(CGPoint point, const UIViewPtr& view) const {
    CGPoint root = viewToRoot(this, point);
    return view ? fromRoot(view.get(), root) : root;
}

CGPoint UIView::convertPointFromView(CGPoint point, const UIViewPtr& view) const {
    CGPoint root = view ? viewToRoot(view.get(), point) : point;
    return fromRoot(this, root);
}

CGRect UIView::convertRectToView(const CGRect& rect, const UIViewPtr& view) const {
    auto a = convertPointToView(rect.origin, view);
    auto b = convertPointToView({rect.origin.x + rect.size.width, rect.origin.y + rect.size.height}, view);
    return CGRectStandardize(CGRectMake(a.x, a.y, b.x - a.x, b.y - a.y));
}

CGRect UIView::convertRectFromView(const CGRect& rect, const UIViewPtr& view) const {
    auto a = convertPointFromView(rect.origin, view);
    auto b = convertPointFromView({rect.origin.x + rect.size.width, rect.origin.y + rect.size.height}, view);
    return CGRectStandardize(CGRectMake(a.x, a.y, b.x - a.x, b.y - a.y));
}

void UIView::layoutIfNeeded() {
    if (needsLayout_) {
        needsLayout_ = false;
        // A controller hears of its view's layout before and after the view lays out its subviews.
        auto controller = controller_.lock();
        if (controller) controller->viewWillLayoutSubviews();
        layoutSubviews();
        if (controller) controller->viewDidLayoutSubviews();
    }
    // A copy: layout may add or remove subviews.
    auto children = subviews_;
    for (auto& s : children) s->layoutIfNeeded();
}

void UIView::addConstraint(const std::shared_ptr<NSLayoutConstraint>& constraint) {
    if (constraint) constraints_.push_back(constraint);
    setNeedsLayout();
}

void UIView::addConstraints(const std::vector<std::shared_ptr<NSLayoutConstraint>>& constraints) {
    for (auto& c : constraints) addConstraint(c);
}

void UIView::layoutSubviews() {
    if (!constraints_.empty()) NSLayoutConstraintLayOut(*this);
}

CGSize UIView::sizeThatFits(CGSize) const { return bounds().size; }

void UIView::sizeToFit() {
    auto f = frame();
    f.size = sizeThatFits(f.size);
    setFrame(f);
}

std::shared_ptr<UIResponder> UIView::nextResponder() const {
    if (auto controller = controller_.lock()) return controller;
    return superview_.lock();
}

void UIView::describeToScreen(UIScreenDescription& screen) {
    if (accessibilityLabel_.empty()) return;
    screen.addTappable(accessibilityLabel_, [view = self<UIView>()](UIScreenReply& reply) {
        return UIScreenDescription::touch(view, reply);
    });
}

UIView::TapOutcome UIView::tapWithEvent(const std::shared_ptr<UIEvent>&, UIScreenReply&) { return TapOutcome::Passed; }
