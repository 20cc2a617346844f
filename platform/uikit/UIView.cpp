#include "platform/uikit/UIView.h"

#include "platform/foundation/NSRunLoop.h"
#include "platform/uikit/UIViewController.h"
#include "platform/uikit/UIWindow.h"

#include <algorithm>
#include <mutex>

namespace {
std::mutex animationLock;
std::vector<UIViewAnimationRecord>& animationRecords() {
    static std::vector<UIViewAnimationRecord> records;
    return records;
}
} // namespace

UIView::UIView() : UIView(CGRectZero) {}

UIView::UIView(const CGRect& frame) : layer_(std::make_shared<CALayer>()) {
    layer_->setView(this);
    setFrame(frame);
}

UIView::~UIView() { layer_->setView(nullptr); }

CGRect UIView::frame() const { return layer_->frame(); }

void UIView::setFrame(const CGRect& frame) {
    auto before = layer_->bounds().size;
    layer_->setFrame(frame);
    if (layer_->bounds().size != before) needsLayout_ = true;
}

void UIView::setBounds(const CGRect& bounds) {
    if (bounds.size != layer_->bounds().size) needsLayout_ = true;
    layer_->setBounds(bounds);
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
        view->willMoveToSuperview(self<UIView>());
        view->removeFromSuperview();
    }
    index = std::min(index, subviews_.size());
    subviews_.insert(subviews_.begin() + static_cast<std::ptrdiff_t>(index), view);
    view->superview_ = self<UIView>();
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
    auto parent = superview_.lock();
    if (!parent) return;
    auto keep = self<UIView>();
    willMoveToSuperview(nullptr);
    auto& siblings = parent->subviews_;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), keep), siblings.end());
    superview_.reset();
    didMoveToSuperview();
    childrenMovedToWindow();
}

void UIView::bringSubviewToFront(const UIViewPtr& view) {
    auto it = std::find(subviews_.begin(), subviews_.end(), view);
    if (it == subviews_.end()) return;
    std::rotate(it, it + 1, subviews_.end());
}

void UIView::sendSubviewToBack(const UIViewPtr& view) {
    auto it = std::find(subviews_.begin(), subviews_.end(), view);
    if (it == subviews_.end()) return;
    std::rotate(subviews_.begin(), it, it + 1);
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
CGPoint toRoot(const UIView* v, CGPoint p) {
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
    CGPoint root = toRoot(this, point);
    return view ? fromRoot(view.get(), root) : root;
}

CGPoint UIView::convertPointFromView(CGPoint point, const UIViewPtr& view) const {
    CGPoint root = view ? toRoot(view.get(), point) : point;
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
        layoutSubviews();
    }
    // A copy: layout may add or remove subviews.
    auto children = subviews_;
    for (auto& s : children) s->layoutIfNeeded();
}

void UIView::layoutSubviews() {
    if (auto controller = controller_.lock()) {
        controller->viewWillLayoutSubviews();
        controller->viewDidLayoutSubviews();
    }
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

void UIView::animateWithDuration(double duration, const Animations& animations) {
    animateWithDuration(duration, 0, 0, animations, nullptr);
}

void UIView::animateWithDuration(double duration, const Animations& animations, Completion completion) {
    animateWithDuration(duration, 0, 0, animations, completion);
}

namespace {
void runAnimation(const UIViewAnimationRecord& record, const UIView::Animations& animations, const UIView::Completion& completion) {
    {
        std::lock_guard<std::mutex> guard(animationLock);
        animationRecords().push_back(record);
    }
    if (animations) animations();
    if (completion)
        NSRunLoop::mainRunLoop()->performAfterDelay(record.delay + record.duration, [completion] { completion(true); });
}
} // namespace

void UIView::animateWithDuration(double duration, double delay, unsigned long options, const Animations& animations,
                                 Completion completion) {
    runAnimation({duration, delay, options, static_cast<bool>(completion)}, animations, completion);
}

void UIView::animateWithDuration(double duration, double delay, double springDamping, double initialSpringVelocity,
                                 unsigned long options, const Animations& animations, Completion completion) {
    runAnimation({duration, delay, options, static_cast<bool>(completion), true, springDamping, initialSpringVelocity},
                 animations, completion);
}

std::vector<UIViewAnimationRecord> UIView::recordedAnimations() {
    std::lock_guard<std::mutex> guard(animationLock);
    return animationRecords();
}

void UIView::clearRecordedAnimations() {
    std::lock_guard<std::mutex> guard(animationLock);
    animationRecords().clear();
}

void UIView::describeToScreen(UIScreenDescription& screen) {
    if (accessibilityLabel_.empty()) return;
    screen.addTappable(accessibilityLabel_, [view = self<UIView>()](UIScreenReply& reply) {
        return UIScreenDescription::touch(view, reply);
    });
}

UIView::TapOutcome UIView::tapWithEvent(const std::shared_ptr<UIEvent>&, UIScreenReply&) { return TapOutcome::Passed; }
