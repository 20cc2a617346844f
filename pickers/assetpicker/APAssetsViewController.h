#pragma once
// The picker's second screen: one album's assets as 78-point thumbnails with a footer counting
// them. Taps select into and deselect from the picker's shared selection, the delegate asked at
// each step; the list is read again at every appearance and when the library changes the album.

#include "platform/media/ALAssetsGroup.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UICollectionViewController.h"

#include <memory>
#include <map>
#include <vector>

class APAssetsPickerController;
class NSNotification;

class APAssetsViewController : public UICollectionViewController {
public:
    // The layout for the current orientation, multiple selection, the cell and footer makers,
    // 320 by 480 points, and the notification observers.
    static std::shared_ptr<APAssetsViewController> init();
    explicit APAssetsViewController(UICollectionViewFlowLayoutPtr layout) : UICollectionViewController(std::move(layout)) {}
    ~APAssetsViewController() override;

    std::shared_ptr<APAssetsPickerController> picker() const;
    ALAssetsGroupPtr assetsGroup;
    std::vector<ALAssetPtr> assets;

    static UICollectionViewFlowLayoutPtr collectionViewFlowLayoutOfOrientation(UIInterfaceOrientation orientation);

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewWillLayoutSubviews() override;
    void willAnimateRotationToInterfaceOrientationDuration(UIInterfaceOrientation orientation, double duration) override;

    void setupAssets();
    void reloadData();
    void assetsLibraryChanged(const std::shared_ptr<NSNotification>& notification);
    void selectedAssetsChanged(const std::shared_ptr<NSNotification>& notification);

    long collectionViewNumberOfItemsInSection(UICollectionView&, long) override { return static_cast<long>(assets.size()); }
    UICollectionViewCellPtr collectionViewCellForItemAtIndexPath(UICollectionView& view, const NSIndexPath& indexPath) override;
    UIViewPtr collectionViewViewForSupplementaryElementOfKindAtIndexPath(UICollectionView& view, const std::string& kind,
                                                                         const NSIndexPath& indexPath) override;
    bool collectionViewShouldSelectItemAtIndexPath(UICollectionView& view, const NSIndexPath& indexPath) override;
    void collectionViewDidSelectItemAtIndexPath(UICollectionView& view, const NSIndexPath& indexPath) override;
    bool collectionViewShouldDeselectItemAtIndexPath(UICollectionView& view, const NSIndexPath& indexPath) override;
    void collectionViewDidDeselectItemAtIndexPath(UICollectionView& view, const NSIndexPath& indexPath) override;
    bool collectionViewShouldHighlightItemAtIndexPath(UICollectionView& view, const NSIndexPath& indexPath) override;
    void collectionViewDidHighlightItemAtIndexPath(UICollectionView& view, const NSIndexPath& indexPath) override;
    void collectionViewDidUnhighlightItemAtIndexPath(UICollectionView& view, const NSIndexPath& indexPath) override;

private:
    void setupButtons();
    void setupToolbar();
    ALAssetPtr assetAt(const NSIndexPath& indexPath) const;

    bool scrollToEndPending_ = false;
    // Thumbnails of the first screen's assets, decoded together on every core before its cells
    // are made; each is taken by its cell.
    std::map<const ALAsset*, CGImageRef> prefetched_;
    void prefetchThumbnailsOfVisibleItems();
};
