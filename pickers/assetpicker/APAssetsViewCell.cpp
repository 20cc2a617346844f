#include "pickers/assetpicker/APAssetsViewCell.h"

#include "pickers/assetpicker/APAssetsPickerController.h"
#include "pickers/assetpicker/NSDate+timeDescription.h"
#include "platform/foundation/NSDateFormatter.h"
#include "platform/graphics/CGContext.h"
#include "platform/uikit/NSStringDrawing.h"
#include "platform/uikit/UIGraphics.h"

namespace {
// Made once, when the first cell is, and shared by every cell.
struct CellResources {
    UIFontPtr titleFont = UIFont::systemFontOfSize(12);
    UIColorPtr titleColor = UIColor::whiteColor();
    UIImagePtr videoIcon = UIImage::imageNamed("APAssetsPickerVideo");
    UIImagePtr checkedIcon = UIImage::imageNamed("APAssetsPickerChecked");
    UIColorPtr selectedColor = UIColor::colorWithWhite(1, 0.3);
    UIColorPtr disabledColor = UIColor::colorWithWhite(1, 0.9);
};

const CellResources& resources() {
    static const CellResources shared;
    return shared;
}

constexpr CGFloat kTitleFontSize = 12;
constexpr CGFloat kBandMargin = 2;
} // namespace

APAssetsViewCell::APAssetsViewCell(const CGRect& frame) : UICollectionViewCell(frame) {
    resources();
}

void APAssetsViewCell::setEnabled(bool enabled) {
    enabled_ = enabled;
    // A disabled cell takes no touches: the grid refuses it without asking anyone.
    setUserInteractionEnabled(enabled);
    setNeedsDisplay();
}

void APAssetsViewCell::bind(const ALAssetPtr& newAsset) { bind(newAsset, nullptr); }

void APAssetsViewCell::bind(const ALAssetPtr& newAsset, CGImageRef decoded) {
    asset = newAsset;
    type = asset ? asset->valueForProperty(ALAssetPropertyType).stringValue() : std::string();
    auto thumbnail = decoded ? decoded : asset ? asset->thumbnail() : nullptr;
    image = thumbnail ? UIImage::imageWithCGImage(thumbnail) : UIImage::imageNamed("APAssetsPickerEmpty");
    title.clear();
    if (type == ALAssetTypeVideo)
        title = NSDate_timeDescription::timeDescriptionOfTimeInterval(asset->valueForProperty(ALAssetPropertyDuration).doubleValue());
    setAccessibilityLabel(accessibilityText());
    setNeedsDisplay();
}

void APAssetsViewCell::setSelected(bool selected) {
    UICollectionViewCell::setSelected(selected);
    setNeedsDisplay();
}

void APAssetsViewCell::drawRect(const CGRect& rect) {
    UICollectionViewCell::drawRect(rect);
    auto r = bounds();
    drawThumbnailInRect(r);
    if (type == ALAssetTypeVideo) drawVideoMetaInRect(r);
    if (!enabled_) drawDisabledViewInRect(r);
    else if (isSelected()) drawSelectedViewInRect(r);
}

void APAssetsViewCell::drawThumbnailInRect(const CGRect& rect) {
    if (image) image->drawInRect(rect);
}

void APAssetsViewCell::drawVideoMetaInRect(const CGRect& rect) {
    auto context = UIGraphicsGetCurrentContext();
    const CGFloat w = rect.size.width, h = rect.size.height;
    auto gradient = CGGradient::createWithColorComponents({0, 0, 0, 0, 0, 0, 0, 0.8}, {0, 0.75}, 2);
    if (context && gradient)
        context->drawLinearGradient(*gradient, CGPointMake(CGRectGetMidX(rect), h - kTitleHeight), CGPointMake(CGRectGetMidX(rect), CGRectGetMaxY(rect)),
                                    kCGGradientDrawsBeforeStartLocation);
    const auto& shared = resources();
    NSStringAttributes attributes{shared.titleFont, shared.titleColor, NSTextAlignmentLeft};
    CGFloat titleWidth = NSStringBoundingRectWithSize(title, CGSizeMake(w, kTitleHeight), 0, attributes).size.width;
    NSStringDrawInRect(title, CGRectMake(w - titleWidth - kBandMargin, h - kTitleHeight + (kTitleHeight - kTitleFontSize) * 0.5, titleWidth, kTitleHeight),
                       attributes);
    if (shared.videoIcon)
        shared.videoIcon->drawAtPoint(CGPointMake(kBandMargin, h - kTitleHeight + (kTitleHeight - shared.videoIcon->size().height) * 0.5));
}

void APAssetsViewCell::drawDisabledViewInRect(const CGRect& rect) {
    auto context = UIGraphicsGetCurrentContext();
    if (!context) return;
    resources().disabledColor->setFill();
    context->fillRect(rect);
}

void APAssetsViewCell::drawSelectedViewInRect(const CGRect& rect) {
    auto context = UIGraphicsGetCurrentContext();
    if (!context) return;
    const auto& shared = resources();
    shared.selectedColor->setFill();
    context->fillRect(rect);
    if (shared.checkedIcon) shared.checkedIcon->drawAtPoint(CGPointMake(CGRectGetMaxX(rect) - shared.checkedIcon->size().width, rect.origin.y));
}

std::string APAssetsViewCell::typeLabel() const { return APLocalizedString(type == ALAssetTypeVideo ? "Video" : "Photo"); }

std::string APAssetsViewCell::orientationLabel() const {
    auto representation = asset ? asset->defaultRepresentation() : nullptr;
    auto size = representation ? representation->dimensions() : CGSizeZero;
    return APLocalizedString(size.height >= size.width ? "Portrait" : "Landscape");
}

std::string APAssetsViewCell::dateLabel() const {
    auto date = asset ? asset->valueForProperty(ALAssetPropertyDate) : Value();
    if (!date.isDate()) return {};
    NSDateFormatter formatter;
    formatter.setDateStyle(NSDateFormatterMediumStyle);
    formatter.setTimeStyle(NSDateFormatterShortStyle);
    formatter.setDoesRelativeDateFormatting(true);
    return formatter.stringFromDate(NSDate::dateWithTimeIntervalSince1970(date.date().secondsSince1970));
}

std::string APAssetsViewCell::accessibilityText() const { return typeLabel() + ", " + orientationLabel() + ", " + dateLabel(); }
