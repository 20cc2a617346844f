#pragma once
// Image contexts: a stack of bitmap contexts per thread, drawn into in points.

#include "platform/graphics/CGContext.h"
#include "platform/graphics/CGGeometry.h"
#include "platform/uikit/UIImage.h"

#include <string>

// A scale of 0 means the main screen's scale. The bitmap has size times scale pixels.
void UIGraphicsBeginImageContextWithOptions(CGSize size, bool opaque, CGFloat scale);
void UIGraphicsBeginImageContext(CGSize size);
CGContextRef UIGraphicsGetCurrentContext();
// A new image of what was drawn so far, or nil without a current context.
UIImagePtr UIGraphicsGetImageFromCurrentImageContext();
void UIGraphicsEndImageContext();

// Makes a context the current one (for drawing code that asks for it) until the matching pop.
void UIGraphicsPushContext(const CGContextRef& context);
void UIGraphicsPopContext();

// Notes a named image drawn into the current context (what the image it makes will be called).
void UIGraphicsNoteDrawnImageName(const std::string& name);
