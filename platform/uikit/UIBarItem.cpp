#include "platform/uikit/UIBarItem.h"

void UIBarItem::setTitleTextAttributesForState(const UITextAttributes& attributes, unsigned long state) {
    attributes_[state] = attributes;
}

UITextAttributes UIBarItem::titleTextAttributesForState(unsigned long state) const {
    auto it = attributes_.find(state);
    return it != attributes_.end() ? it->second : UITextAttributes{};
}
