#pragma once
// How the ad controllers place an ad's content view inside theirs: quarter turns with the
// offset that keeps a turned content on screen, filling a rectangle under such a turn, and
// centring on whole points.

#include "platform/uikit/UIView.h"

#include <cstdint>

namespace VuderuAdContentGeometry {
// (height − width) / 2 of the rectangle, rounded down.
CGFloat offsetOf(const CGRect& rect);
// A rotation by the angle followed by a translation of (by, by) in the turned coordinates.
CGAffineTransform turn(CGFloat angle, CGFloat by = 0);
// The turn that shows content upright over a screen of those bounds (held in portrait) in the
// interface orientation: none in portrait, a half turn upside down, a quarter turn with the
// screen's offset either way in landscape.
CGAffineTransform screenTurn(std::int64_t interfaceOrientation, const CGRect& screen);
// The content covers the rectangle of its superview under whatever transform it has: a quarter
// turn swaps the sides of its bounds, and the turn's translation is taken up by the centre.
void fillRect(UIView& content, const CGRect& rect);
// Each axis alone: content larger than the container is pinned to 0 and cut to the container's
// size, smaller content keeps its size and is centred on whole points.
CGRect centredFrame(CGSize content, CGSize container);
} // namespace VuderuAdContentGeometry
