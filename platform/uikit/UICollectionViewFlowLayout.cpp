#include "platform/uikit/UICollectionViewFlowLayout.h"

#include <algorithm>
#include <cmath>

long UICollectionViewFlowLayout::columnsForWidth(CGFloat width) const {
    CGFloat available = width - sectionInset.left - sectionInset.right;
    if (itemSize.width <= 0) return 1;
    auto columns = static_cast<long>(std::floor((available + minimumInteritemSpacing) / (itemSize.width + minimumInteritemSpacing)));
    return std::max(1L, columns);
}

CGRect UICollectionViewFlowLayout::frameForItem(long item, CGFloat width) const {
    long columns = columnsForWidth(width);
    long row = item / columns;
    long column = item % columns;
    CGFloat available = width - sectionInset.left - sectionInset.right;
    CGFloat spacing = columns > 1 ? (available - static_cast<CGFloat>(columns) * itemSize.width) / static_cast<CGFloat>(columns - 1) : 0;
    spacing = std::max(spacing, minimumInteritemSpacing);
    return CGRectMake(sectionInset.left + static_cast<CGFloat>(column) * (itemSize.width + spacing),
                      sectionInset.top + static_cast<CGFloat>(row) * (itemSize.height + minimumLineSpacing), itemSize.width,
                      itemSize.height);
}

CGFloat UICollectionViewFlowLayout::itemsHeight(long count, CGFloat width) const {
    long columns = columnsForWidth(width);
    long rows = (count + columns - 1) / columns;
    CGFloat height = sectionInset.top + sectionInset.bottom;
    if (rows > 0) height += static_cast<CGFloat>(rows) * itemSize.height + static_cast<CGFloat>(rows - 1) * minimumLineSpacing;
    return height;
}

CGRect UICollectionViewFlowLayout::footerFrame(long count, CGFloat width) const {
    return CGRectMake(0, itemsHeight(count, width), width, footerReferenceSize.height);
}

CGSize UICollectionViewFlowLayout::contentSize(long count, CGFloat width) const {
    return CGSizeMake(width, itemsHeight(count, width) + footerReferenceSize.height);
}
