#pragma once
// The app's image redraw: a new image of the given size in points, at the main screen's scale.
// The app delegate and the Files screen expose it as their imageWithImage:scaledToSize:.

#include "platform/uikit/UIImage.h"

UIImagePtr TDImageWithImageScaledToSize(const UIImagePtr& image, CGSize newSize);
