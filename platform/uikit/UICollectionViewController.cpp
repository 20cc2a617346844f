#include "platform/uikit/UICollectionViewController.h"

#include "platform/uikit/UIScreen.h"

std::shared_ptr<UICollectionView> UICollectionViewController::collectionView() {
    view();
    return collectionView_;
}

void UICollectionViewController::loadView() {
    if (collectionView_) return setView(collectionView_);
    collectionView_ = std::make_shared<UICollectionView>(UIScreen::mainScreen()->bounds(), layout_);
    collectionView_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    setView(collectionView_);
    auto me = self<UICollectionViewController>();
    collectionView_->setDataSource(me);
    collectionView_->setDelegate(me);
}
