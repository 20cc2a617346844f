#include "platform/uikit/UITabBar.h"

CGRect UITabBar::frameForItemAtIndex(std::size_t index) const {
    if (items_.empty()) return CGRectZero;
    CGFloat width = bounds().size.width / static_cast<CGFloat>(items_.size());
    return CGRectMake(width * static_cast<CGFloat>(index), 0, width, bounds().size.height);
}
