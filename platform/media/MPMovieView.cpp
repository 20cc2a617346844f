#include "platform/media/MPMovieView.h"

#include "platform/foundation/NSString.h"
#include "platform/media/MPMoviePlayerController.h"
#include "platform/system/DeviceProfile.h"
#include "platform/uikit/UIGraphics.h"

#include <algorithm>
#include <cmath>

namespace {
UIViewContentMode contentModeFor(MPMovieScalingMode mode) {
    switch (mode) {
    case MPMovieScalingModeNone: return UIViewContentModeCenter;
    case MPMovieScalingModeAspectFill: return UIViewContentModeScaleAspectFill;
    case MPMovieScalingModeFill: return UIViewContentModeScaleToFill;
    default: return UIViewContentModeScaleAspectFit;
    }
}
} // namespace

MPMovieView::MPMovieView(const std::shared_ptr<MPMoviePlayerController>& player) : player_(player) {
    setBackgroundColor(UIColor::blackColor());
    setClipsToBounds(true);
}

void MPMovieView::drawRect(const CGRect&) {
    auto player = player_.lock();
    if (!player) return;
    // Decoded no larger than the view's pixels (the whole frame for a frame drawn at its own size).
    const CGSize size = bounds().size;
    const double scale = DeviceProfile::current().screenScale;
    const int side = player->scalingMode() == MPMovieScalingModeNone
                         ? 0
                         : static_cast<int>(std::ceil(std::max(size.width, size.height) * scale));
    auto frame = player->currentFrame(side);
    if (!frame) return;
    auto image = UIImage::imageWithCGImage(frame);
    CGSize shown = image->size();
    if (player->scalingMode() == MPMovieScalingModeNone && scale > 0) shown = CGSizeMake(shown.width / scale, shown.height / scale);
    image->drawInRect(UIViewContentModeRect(contentModeFor(player->scalingMode()), shown, bounds()));
}

void MPMovieView::describeToScreen(UIScreenDescription& screen) {
    UIView::describeToScreen(screen);
    auto player = player_.lock();
    if (!player) return;
    screen.addLine(player->screenDescription());
    std::weak_ptr<MPMoviePlayerController> weak = player;
    screen.addCommand("seek", [weak](const std::string& argument, UIScreenReply& reply) {
        auto p = weak.lock();
        if (!p) return reply.refuse("the movie is gone");
        char* end = nullptr;
        const double seconds = std::strtod(argument.c_str(), &end);
        if (end == argument.c_str() || *end || !std::isfinite(seconds) || seconds < 0)
            return reply.refuse("seek takes a number of seconds");
        std::string error;
        return p->scrubToTime(seconds, error) || reply.refuse(error);
    });
}
