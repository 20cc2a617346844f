#pragma once
// The stand-in display: what the screen shows, painted into a bitmap.

#include "platform/graphics/CGImage.h"

// Every visible window, lower levels first (the system's alert window, dimming the screen under
// its alert, in front), over black, at the main screen's size and scale, upright in the displayed
// interface orientation (1136 by 640 pixels in landscape at scale 2). There is no status bar.
CGImageRef UIDisplaySnapshot();
