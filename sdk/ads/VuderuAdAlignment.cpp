#include "sdk/ads/VuderuAdAlignment.h"

#include "sdk/ads/VuderuAdVocabulary.h"

namespace {

const VuderuVocabulary& alignments() {
    static const VuderuVocabulary table{{"t", "m", "b", "l", "c", "r", "unknown"}};
    return table;
}

} // namespace

const std::vector<std::string>& VuderuAdAlignment::adAlignmentArrayInstance() { return alignments().names; }

const std::string& VuderuAdAlignment::adAlignmentEnumToString(std::int32_t alignment) { return alignments().names.at(alignment); }

std::int32_t VuderuAdAlignment::adAlignmentStringToEnum(const std::optional<std::string>& letter) {
    return letter ? alignments().indexOf(std::string_view(*letter)) : alignments().unknownIndex();
}

CGRect VuderuAdAlignment::getBoundsForAdVerticalHorizontalAdFrameViewContainerFrame(const std::optional<std::string>& vertical,
                                                                                    const std::optional<std::string>& horizontal,
                                                                                    const CGRect& adFrame, const CGRect& container) {
    return getBoundsForAdTypeVerticalHorizontalAdFrameViewContainerFrame(adAlignmentStringToEnum(vertical), adAlignmentStringToEnum(horizontal),
                                                                         adFrame, container);
}

CGRect VuderuAdAlignment::getBoundsForAdTypeVerticalHorizontalAdFrameViewContainerFrame(std::int32_t vertical, std::int32_t horizontal,
                                                                                        const CGRect& adFrame, const CGRect& container) {
    const double w = adFrame.size.width, h = adFrame.size.height;
    const double W = container.size.width, H = container.size.height;
    double y = vertical == kTop ? 0 : vertical == kBottom ? H - h : (H - h) / 2;
    double x = horizontal == kLeft ? 0 : horizontal == kRight ? W - w : (W - w) / 2;
    return CGRectMake(x, y, w, h);
}
