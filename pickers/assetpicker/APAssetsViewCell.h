#pragma once
// A thumbnail of the asset grid, drawn in one pass without subviews: the picture, for a video a
// dark band with its icon and length, and the disabled or selected overlay.

#include "platform/media/ALAsset.h"
#include "platform/uikit/UICollectionViewCell.h"
#include "platform/uikit/UIFont.h"
#include "platform/uikit/UIImage.h"

#include <string>

class APAssetsViewCell : public UICollectionViewCell {
public:
    static constexpr char kReuseIdentifier[] = "APAssetsViewCellIdentifier";
    static constexpr CGFloat kTitleHeight = 20;

    explicit APAssetsViewCell(const CGRect& frame);

    // Disabled cells cannot be selected and show only the disabled overlay.
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled);
    ALAssetPtr asset;
    UIImagePtr image;
    std::string type;
    std::string title;

    void bind(const ALAssetPtr& asset);
    // The same with the asset's thumbnail already decoded (null: decode it here).
    void bind(const ALAssetPtr& asset, CGImageRef thumbnail);
    void setSelected(bool selected) override;

    void drawRect(const CGRect& rect) override;
    void drawThumbnailInRect(const CGRect& rect);
    void drawVideoMetaInRect(const CGRect& rect);
    void drawDisabledViewInRect(const CGRect& rect);
    void drawSelectedViewInRect(const CGRect& rect);

    // "Photo"/"Video", "Portrait"/"Landscape" and the date, joined by ", ".
    std::string accessibilityText() const;
    std::string typeLabel() const;
    std::string orientationLabel() const;
    std::string dateLabel() const;

private:
    bool enabled_ = true;
};
