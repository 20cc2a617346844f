#pragma once
// Resized copies of an image: by a geometry string in the style of a command-line image tool
// ("208x208#", "100x", "x100"), by width or height, to fit inside or fill a size, drawn into a
// rectangle or cropped to one. Every result is a new bitmap of scale 1 (one pixel per point),
// whatever the source's scale; the source is not changed. A canvas with a side under one point,
// or one past kMaxCanvasSide or kMaxCanvasPixels, gives no image.

#include "platform/uikit/UIImage.h"

#include <string>

namespace UIImage_ResizeGeometry {

inline constexpr CGFloat kMaxCanvasSide = 16384;
inline constexpr double kMaxCanvasPixels = 64.0 * 1024 * 1024;

// Geometry, the first form that matches deciding:
//   WxH!  exactly W by H (the picture squeezed in)      WxH#  fill W by H, then the centre cropped
//   WxH^  fill W by H (the smaller proportional cover)  W     W wide
//   xH    H high                                         WxH   fit inside W by H
// The sides are whole numbers read as a decimal scan reads them (leading spaces, a sign, digits;
// none gives 0); pieces after the second "x" are ignored. A side of 0 or less in the "!" and "#"
// forms gives no image.
UIImagePtr resizedImageByGeometry(const UIImagePtr& image, const std::string& geometry);
UIImagePtr resizedImageByWidth(const UIImagePtr& image, unsigned long width);
UIImagePtr resizedImageByHeight(const UIImagePtr& image, unsigned long height);
// The smallest proportional size covering the size (fill), and the largest inside it (fit).
UIImagePtr resizedImageWithMinimumSize(const UIImagePtr& image, CGSize size);
UIImagePtr resizedImageWithMaximumSize(const UIImagePtr& image, CGSize size);
// The image drawn into the rectangle (its orientation applied), on a canvas the rectangle's size.
UIImagePtr drawImageInBounds(const UIImagePtr& image, const CGRect& bounds);
// The part of the image under the rectangle, on a canvas the rectangle's size.
UIImagePtr croppedImageWithRect(const UIImagePtr& image, const CGRect& rect);
// The bitmap the scaling reads its source sides from: an image shown upside down gives its own
// bitmap (pixel sides); any other gives a new upright bitmap of its size in points.
CGImageRef CGImageWithCorrectOrientation(const UIImagePtr& image);

} // namespace UIImage_ResizeGeometry
