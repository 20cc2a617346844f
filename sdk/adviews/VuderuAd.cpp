#include "sdk/adviews/VuderuAd.h"

#include "sdk/ads/VuderuAdSpaceLayout.h"

std::int32_t VuderuAd::getAdType(const VuderuAdFramePtr& frame) {
    const bool takeover = frame && frame->adSpaceLayout() && frame->adSpaceLayout()->isTakeover();
    switch (frame ? frame->binding() : 0) {
    case 1:
    case 2: return takeover ? 2 : 1;
    case 3: return takeover ? 3 : 4;
    case 4: return takeover ? 7 : 6;
    default: return takeover ? 5 : 4;
    }
}
