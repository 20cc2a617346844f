#include "controls/flatbutton/UIImageView+Curled.h"

#include "controls/flatbutton/CurledViewBase.h"

void UIImageView_Curled::configureBorderShadowDepthControlPointXOffsetControlPointYOffset(UIImageView& view,
                                                                                          double borderWidth, double depth,
                                                                                          double xOffset, double yOffset) {
    CurledViewBase::configureBorderShadowDepthControlPointXOffsetControlPointYOffset(view, borderWidth, depth, xOffset,
                                                                                    yOffset);
}

void UIImageView_Curled::setImageBorderWidthShadowDepthControlPointXOffsetControlPointYOffset(
    UIImageView& view, const UIImagePtr& image, double borderWidth, double depth, double xOffset, double yOffset) {
    view.setBackgroundColor(UIColor::lightGrayColor());
    configureBorderShadowDepthControlPointXOffsetControlPointYOffset(view, borderWidth, depth, xOffset, yOffset);
    view.setImage(CurledViewBase::rescaleImageForView(image, view));
}
