#pragma once
// Sibling order of two views of one superview.

#include "platform/uikit/UIView.h"

namespace UIView_FTAnimation {
// True when a lies above b among the subviews of a's superview.
bool subViewIsAboveSubView(const UIViewPtr& a, const UIViewPtr& b);
bool subViewIsBelowSubView(const UIViewPtr& a, const UIViewPtr& b);
bool isAboveSiblingView(const UIViewPtr& self, const UIViewPtr& view);
bool isBelowSiblingView(const UIViewPtr& self, const UIViewPtr& view);
} // namespace UIView_FTAnimation
