#pragma once
// A controller whose view is a collection view with its layout, served by the controller as data
// source and delegate.

#include "platform/uikit/UICollectionView.h"
#include "platform/uikit/UIViewController.h"

class UICollectionViewController : public UIViewController, public UICollectionViewDataSource, public UICollectionViewDelegate {
public:
    explicit UICollectionViewController(UICollectionViewFlowLayoutPtr layout) : layout_(std::move(layout)) {}

    std::shared_ptr<UICollectionView> collectionView();
    // The layout the view is made with, and the view's own once it exists.
    UICollectionViewFlowLayoutPtr collectionViewLayout() const { return collectionView_ ? collectionView_->collectionViewLayout() : layout_; }

    void loadView() override;

    long collectionViewNumberOfItemsInSection(UICollectionView&, long) override { return 0; }
    UICollectionViewCellPtr collectionViewCellForItemAtIndexPath(UICollectionView&, const NSIndexPath&) override { return nullptr; }

private:
    UICollectionViewFlowLayoutPtr layout_;
    std::shared_ptr<UICollectionView> collectionView_;
};
