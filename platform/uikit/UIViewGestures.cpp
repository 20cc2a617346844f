#include "platform/uikit/UIGestureRecognizer.h"
#include "platform/uikit/UIView.h"

#include <algorithm>

void UIView::addGestureRecognizer(const std::shared_ptr<UIGestureRecognizer>& recognizer) {
    if (!recognizer) return;
    if (auto old = recognizer->view(); old && old.get() != this) old->removeGestureRecognizer(recognizer);
    if (std::find(gestureRecognizers_.begin(), gestureRecognizers_.end(), recognizer) == gestureRecognizers_.end())
        gestureRecognizers_.push_back(recognizer);
    recognizer->setView(self<UIView>());
}

void UIView::removeGestureRecognizer(const std::shared_ptr<UIGestureRecognizer>& recognizer) {
    auto it = std::find(gestureRecognizers_.begin(), gestureRecognizers_.end(), recognizer);
    if (it == gestureRecognizers_.end()) return;
    gestureRecognizers_.erase(it);
    recognizer->setView(nullptr);
}
