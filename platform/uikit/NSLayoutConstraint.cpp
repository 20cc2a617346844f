#include "platform/uikit/NSLayoutConstraint.h"

#include "platform/foundation/NSException.h"
#include "platform/uikit/UIView.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <set>

NSLayoutConstraintPtr NSLayoutConstraint::constraintWithItem(const std::shared_ptr<UIView>& item, NSLayoutAttribute attribute,
                                                             NSLayoutRelation relation, const std::shared_ptr<UIView>& toItem,
                                                             NSLayoutAttribute toAttribute, CGFloat multiplier, CGFloat constant) {
    auto constraint = std::make_shared<NSLayoutConstraint>();
    constraint->first_ = item;
    constraint->firstAttribute_ = attribute;
    constraint->relation_ = relation;
    constraint->second_ = toItem;
    constraint->secondAttribute_ = toAttribute;
    constraint->multiplier_ = multiplier;
    constraint->constant_ = constant;
    return constraint;
}

namespace {
[[noreturn]] void unreadable(const std::string& format, const std::string& why) {
    throw NSException("NSInternalInconsistencyException", "Unable to parse constraint format: " + why + "\n" + format);
}

// One element of a visual format: a view, or the superview (nil).
struct FormatElement {
    std::shared_ptr<UIView> view;
    // The space before it; nullopt: "-" (standard), absent: 0.
    std::optional<CGFloat> gapBefore = 0;
};

CGFloat metricValue(const std::string& text, const std::map<std::string, CGFloat>& metrics, const std::string& format) {
    if (auto it = metrics.find(text); it != metrics.end()) return it->second;
    try {
        std::size_t used = 0;
        double value = std::stod(text, &used);
        if (used == text.size()) return value;
    } catch (const std::exception&) {
    }
    unreadable(format, "unknown metric " + text);
}

std::vector<FormatElement> readFormat(const std::string& format, std::size_t start, const std::map<std::string, CGFloat>& metrics,
                                      const std::map<std::string, std::shared_ptr<UIView>>& views) {
    std::vector<FormatElement> elements;
    std::optional<CGFloat> gap = 0;
    for (std::size_t i = start; i < format.size();) {
        char c = format[i];
        if (c == '|' || c == '[') {
            FormatElement element{nullptr, gap};
            if (c == '[') {
                auto close = format.find(']', i);
                if (close == std::string::npos) unreadable(format, "expected ']'");
                auto name = format.substr(i + 1, close - i - 1);
                auto it = views.find(name);
                if (it == views.end() || !it->second) unreadable(format, name + " is not a key in the views dictionary");
                element.view = it->second;
                i = close + 1;
            } else {
                ++i;
            }
            elements.push_back(element);
            gap = 0;
        } else if (c == '-') {
            auto next = format.find('-', i + 1);
            auto bracket = format.find_first_of("[|", i + 1);
            if (next != std::string::npos && next < bracket) {
                gap = metricValue(format.substr(i + 1, next - i - 1), metrics, format);
                i = next + 1;
            } else {
                gap = std::nullopt;
                ++i;
            }
        } else if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
        } else {
            unreadable(format, std::string("unexpected '") + c + "'");
        }
    }
    return elements;
}
} // namespace

std::vector<NSLayoutConstraintPtr> NSLayoutConstraint::constraintsWithVisualFormat(
    const std::string& format, unsigned long, const std::map<std::string, CGFloat>& metrics,
    const std::map<std::string, std::shared_ptr<UIView>>& views) {
    bool vertical = format.rfind("V:", 0) == 0;
    std::size_t start = vertical || format.rfind("H:", 0) == 0 ? 2 : 0;
    auto elements = readFormat(format, start, metrics, views);
    auto leading = vertical ? NSLayoutAttributeTop : NSLayoutAttributeLeading;
    auto trailing = vertical ? NSLayoutAttributeBottom : NSLayoutAttributeTrailing;

    std::shared_ptr<UIView> superview;
    for (auto& element : elements)
        if (element.view && !superview) superview = element.view->superview();
    std::vector<NSLayoutConstraintPtr> constraints;
    for (std::size_t i = 1; i < elements.size(); ++i) {
        const auto& before = elements[i - 1];
        const auto& after = elements[i];
        if (!before.view && !after.view) unreadable(format, "two superview edges in a row");
        bool toEdge = !before.view || !after.view;
        CGFloat gap = after.gapBefore.value_or(toEdge ? kStandardEdgeSpacing : kStandardSpacing);
        if (!before.view) constraints.push_back(constraintWithItem(after.view, leading, NSLayoutRelationEqual, superview, leading, 1, gap));
        else if (!after.view) constraints.push_back(constraintWithItem(superview, trailing, NSLayoutRelationEqual, before.view, trailing, 1, gap));
        else constraints.push_back(constraintWithItem(after.view, leading, NSLayoutRelationEqual, before.view, trailing, 1, gap));
    }
    return constraints;
}

namespace {
bool isVertical(NSLayoutAttribute a) {
    return a == NSLayoutAttributeTop || a == NSLayoutAttributeBottom || a == NSLayoutAttributeCenterY || a == NSLayoutAttributeHeight;
}
bool isLeadingEdge(NSLayoutAttribute a) {
    return a == NSLayoutAttributeTop || a == NSLayoutAttributeLeft || a == NSLayoutAttributeLeading;
}
bool isTrailingEdge(NSLayoutAttribute a) {
    return a == NSLayoutAttributeBottom || a == NSLayoutAttributeRight || a == NSLayoutAttributeTrailing;
}
bool isCentre(NSLayoutAttribute a) { return a == NSLayoutAttributeCenterX || a == NSLayoutAttributeCenterY; }

// Places the container's constrained subviews along one axis from their sizes.
class AxisSolver {
public:
    AxisSolver(const UIView& container, bool vertical, std::optional<CGFloat> extent)
        : container_(container), vertical_(vertical), extent_(extent) {}

    CGFloat size(const UIView* view) const {
        auto fitting = NSLayoutConstraintFittingSize(*view);
        return vertical_ ? fitting.height : fitting.width;
    }

    // The origin of the view along the axis, or nullopt when no constraint places it.
    std::optional<CGFloat> origin(const UIView* view) {
        if (auto known = origins_.find(view); known != origins_.end()) return known->second;
        if (!visiting_.insert(view).second) return std::nullopt;
        std::optional<CGFloat> found;
        for (auto& c : container_.constraints()) {
            auto first = c->firstItem();
            if (first.get() != view || isVertical(c->firstAttribute()) != vertical_) continue;
            auto second = c->secondItem();
            bool toContainer = second.get() == &container_;
            if (isLeadingEdge(c->firstAttribute()) && toContainer) found = c->constant();
            else if (isLeadingEdge(c->firstAttribute()) && second && isTrailingEdge(c->secondAttribute())) {
                if (auto before = origin(second.get())) found = *before + size(second.get()) + c->constant();
            } else if (isCentre(c->firstAttribute()) && toContainer && extent_) {
                found = *extent_ / 2 * c->multiplier() + c->constant() - size(view) / 2;
            }
            if (found) break;
        }
        visiting_.erase(view);
        origins_[view] = found;
        return found;
    }

    // The container's extent its stack gives it: to the trailing edge of the view pinned to it,
    // else to the farthest placed view's end, else the largest view.
    CGFloat fittingExtent(const std::vector<UIView*>& managed) {
        CGFloat largest = 0, farthest = 0;
        for (auto* view : managed) {
            largest = std::max(largest, size(view));
            if (auto o = origin(view)) farthest = std::max(farthest, *o + size(view));
        }
        for (auto& c : container_.constraints()) {
            auto last = c->secondItem();
            if (c->firstItem().get() != &container_ || !isTrailingEdge(c->firstAttribute()) || isVertical(c->firstAttribute()) != vertical_ || !last)
                continue;
            if (auto o = origin(last.get())) return *o + size(last.get()) + c->constant();
        }
        return std::max(largest, farthest);
    }

private:
    const UIView& container_;
    bool vertical_;
    std::optional<CGFloat> extent_;
    std::map<const UIView*, std::optional<CGFloat>> origins_;
    std::set<const UIView*> visiting_;
};

std::vector<UIView*> managedSubviews(const UIView& container) {
    std::vector<UIView*> managed;
    for (auto& c : container.constraints())
        for (auto& item : {c->firstItem(), c->secondItem()})
            if (item && item.get() != &container && item->superview().get() == &container &&
                std::find(managed.begin(), managed.end(), item.get()) == managed.end())
                managed.push_back(item.get());
    return managed;
}
} // namespace

CGSize NSLayoutConstraintFittingSize(const UIView& view) {
    auto managed = managedSubviews(view);
    if (view.translatesAutoresizingMaskIntoConstraints() || managed.empty()) return view.bounds().size;
    AxisSolver horizontal(view, false, std::nullopt), vertical(view, true, std::nullopt);
    return CGSizeMake(horizontal.fittingExtent(managed), vertical.fittingExtent(managed));
}

void NSLayoutConstraintLayOut(UIView& container) {
    auto b = container.bounds();
    AxisSolver horizontal(container, false, b.size.width), vertical(container, true, b.size.height);
    for (UIView* view : managedSubviews(container)) {
        auto frame = view->frame();
        CGSize fitting = NSLayoutConstraintFittingSize(*view);
        frame.size = fitting;
        if (auto x = horizontal.origin(view)) frame.origin.x = *x;
        if (auto y = vertical.origin(view)) frame.origin.y = *y;
        view->setFrame(frame);
    }
}
