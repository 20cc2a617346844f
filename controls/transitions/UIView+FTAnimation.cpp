#include "controls/transitions/UIView+FTAnimation.h"

#include <algorithm>
#include <limits>

namespace {
// The index among the siblings; a view that is not among them is "not found", past every index.
std::size_t indexAmong(const std::vector<UIViewPtr>& siblings, const UIViewPtr& view) {
    auto it = std::find(siblings.begin(), siblings.end(), view);
    return it == siblings.end() ? std::numeric_limits<std::size_t>::max() : static_cast<std::size_t>(it - siblings.begin());
}
} // namespace

namespace UIView_FTAnimation {
bool subViewIsAboveSubView(const UIViewPtr& a, const UIViewPtr& b) {
    auto parent = a ? a->superview() : nullptr;
    if (!parent) return false;
    const auto& siblings = parent->subviews();
    return indexAmong(siblings, a) > indexAmong(siblings, b);
}

bool subViewIsBelowSubView(const UIViewPtr& a, const UIViewPtr& b) { return subViewIsAboveSubView(b, a); }

bool isAboveSiblingView(const UIViewPtr& self, const UIViewPtr& view) { return subViewIsAboveSubView(self, view); }

bool isBelowSiblingView(const UIViewPtr& self, const UIViewPtr& view) { return subViewIsAboveSubView(view, self); }
} // namespace UIView_FTAnimation
