#include "sdk/ads/VuderuAdCallback.h"

#include "platform/foundation/NSString.h"

namespace {

std::string listText(const std::vector<std::string>& items) {
    std::string text = "(";
    for (std::size_t i = 0; i < items.size(); ++i) text += (i ? ", " : "") + items[i];
    return text + ")";
}

} // namespace

std::string VuderuAdCallback::description() const {
    return NSString::stringWithFormat("Ad Callbacks:             Event=%@             Actions=%@", event_, listText(actions_));
}
