#include "sdk/ads/VuderuAdSpaceLayout.h"

#include "platform/foundation/NSString.h"

std::string VuderuAdSpaceLayout::description() const {
    return NSString::stringWithFormat("Ad Space Layout:             Width=%d            Height=%d            Fix=%@            "
                                      "Format=%@            Alignment=%@",
                                      adWidth_, adHeight_, fix_, format_, alignment_);
}
