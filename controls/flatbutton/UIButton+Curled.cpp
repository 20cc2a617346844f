#include "controls/flatbutton/UIButton+Curled.h"

#include "controls/flatbutton/CurledViewBase.h"

void UIButton_Curled::configureBorderShadowDepthControlPointXOffsetControlPointYOffset(UIButton& button, double borderWidth,
                                                                                       double depth, double xOffset,
                                                                                       double yOffset) {
    CurledViewBase::configureBorderShadowDepthControlPointXOffsetControlPointYOffset(button, borderWidth, depth, xOffset,
                                                                                    yOffset);
}

void UIButton_Curled::setImageBorderWidthShadowDepthControlPointXOffsetControlPointYOffsetForState(
    UIButton& button, const UIImagePtr& image, double borderWidth, double depth, double xOffset, double yOffset,
    unsigned long state) {
    button.setBackgroundColor(UIColor::lightGrayColor());
    configureBorderShadowDepthControlPointXOffsetControlPointYOffset(button, borderWidth, depth, xOffset, yOffset);
    button.setImageForState(CurledViewBase::rescaleImageForView(image, button), state);
}
