#pragma once
// The flow layout of a collection view's one section, scrolling vertically: items of one size in
// rows from the section inset's top left, as many to a row as fit with at least the inter-item
// spacing (the spare width spread between them), rows apart by the line spacing, then the footer
// across the full width.
#include "platform/graphics/CGGeometry.h"
#include "platform/uikit/UIGeometry.h"

#include <memory>

class UICollectionViewFlowLayout {
public:
    CGSize itemSize = CGSizeMake(50, 50);
    CGFloat minimumInteritemSpacing = 10;
    CGFloat minimumLineSpacing = 10;
    UIEdgeInsets sectionInset = UIEdgeInsetsZero;
    CGSize footerReferenceSize = CGSizeZero;

    // For a view of the width holding the count of items.
    long columnsForWidth(CGFloat width) const;
    CGRect frameForItem(long item, CGFloat width) const;
    CGRect footerFrame(long count, CGFloat width) const;
    CGSize contentSize(long count, CGFloat width) const;

private:
    CGFloat itemsHeight(long count, CGFloat width) const;
};
using UICollectionViewFlowLayoutPtr = std::shared_ptr<UICollectionViewFlowLayout>;
