#pragma once
// A full-screen chooser of photos from one album at a time: a grid of the album's photos, a bottom
// bar with the album button, a selection counter and OK, the album list sliding up from behind the
// bar over a dimmed backdrop, two round buttons jumping to the first and the last photo, and a
// full-size preview opened by a long press and closed by dragging it away. It reads the library
// only through the asset helper and hands the choice to its delegate in selection order; the owner
// dismisses it.
#include "pickers/assethelper/AssetHelper.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UICollectionView.h"
#include "platform/uikit/UIGestureRecognizer.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UITableView.h"
#include "platform/uikit/UIViewController.h"

#include <map>
#include <memory>
#include <optional>
#include <vector>

class PSImagePickerController;
class UIPanGestureRecognizer;

class PSImagePickerControllerDelegate {
public:
    virtual ~PSImagePickerControllerDelegate() = default;
    virtual void didCancelPSImagePickerController() = 0;
    // UIImage objects (result type 0) or ALAsset objects (result type 1), in selection order.
    virtual void didSelectPhotosFromPSImagePickerController(PSImagePickerController& picker, const std::vector<Value>& result) = 0;
};

class PSImagePickerController : public UIViewController,
                                public UICollectionViewDataSource,
                                public UICollectionViewDelegate,
                                public UITableViewDataSource,
                                public UITableViewDelegate,
                                public UIGestureRecognizerDelegate {
public:
    // The user defaults key of the album shown last.
    static constexpr char kSelectedAlbumKey[] = "PS_SELECTED_ALBUM";
    // The picker blue, on the 0-255 scale.
    static UIColorPtr pickerBlue(double alpha);

    std::weak_ptr<PSImagePickerControllerDelegate> delegate;
    long nResultType = 0;   // 0: images, 1: assets
    long nMaxCount = 1;     // -1: any number; above 1: at most that many; otherwise a single pick
    long nColumnCount = 2;  // 2, 3 or 4

    std::shared_ptr<UICollectionView> cvPhotoList;
    std::shared_ptr<UITableView> tvAlbumList;
    std::shared_ptr<UIView> vDimmed;
    std::shared_ptr<UIView> vBottomMenu;
    std::shared_ptr<UIButton> btSelectAlbum;
    std::shared_ptr<UIButton> btOK;
    std::shared_ptr<UIButton> btCancel;
    std::shared_ptr<UIImageView> ivLine1, ivLine2;
    std::shared_ptr<UILabel> lbSelectCount;
    std::shared_ptr<UIImageView> ivShowMark;
    std::shared_ptr<UIButton> btUp, btDown;

    // Photo index in the album to its order number; nil in single-pick mode.
    std::shared_ptr<std::map<long, unsigned long>> dSelected;
    // The grid cell the running selection pan toggled last.
    std::optional<NSIndexPath> lastAccessed;
    // The preview while it is open.
    std::shared_ptr<UIImageView> ivPreview;

    ~PSImagePickerController() override;

    void loadView() override;
    void viewDidLoad() override;
    void viewDidDisappear(bool animated) override;
    bool prefersStatusBarHidden() const override { return true; }

    void handleEnterForeground();
    void readAlbumList(bool atLoad);
    void showPhotosInGroup(long index);
    void onSelectPhoto();
    void onCancel();
    void onSelectAlbum();
    void onUp();
    void onDown();
    void hideBottomMenu();
    bool isAlbumListOpen() const;
    bool isMultiSelect() const { return nMaxCount == -1 || nMaxCount > 1; }
    // The remembered album's index among the albums, or -1.
    long getSelectedGroupIndex(const std::vector<ALAssetsGroupPtr>& groups) const;

    // Gestures and the preview.
    void onTapOnDimmedView(UIGestureRecognizer& tap);
    void onPanForSelection(UIGestureRecognizer& pan);
    void onLongTapForPreview(UIGestureRecognizer& press);
    void showPreview(long index);
    void onPanToClosePreview(UIPanGestureRecognizer& pan);
    void hidePreview();

    long collectionViewNumberOfItemsInSection(UICollectionView&, long) override;
    UICollectionViewCellPtr collectionViewCellForItemAtIndexPath(UICollectionView& view, const NSIndexPath& indexPath) override;
    void collectionViewDidSelectItemAtIndexPath(UICollectionView& view, const NSIndexPath& indexPath) override;
    void scrollViewDidScroll(UIScrollView& scrollView) override;

    long tableViewNumberOfRowsInSection(UITableView&, long) override;
    std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(UITableView& tableView, const NSIndexPath& indexPath) override;
    void tableViewDidSelectRowAtIndexPath(UITableView& tableView, const NSIndexPath& indexPath) override;

    // The selection pan takes sideways drags and runs beside the grid's own scrolling.
    bool gestureRecognizerShouldBegin(UIGestureRecognizer& recognizer) override;
    bool gestureRecognizerShouldRecognizeSimultaneouslyWith(UIGestureRecognizer& recognizer, UIGestureRecognizer& other) override;

    // The driver: the bar, the jump buttons on screen and the open preview.
    void describeToScreen(UIScreenDescription& screen) override;

private:
    void buildBottomMenu(const CGRect& bounds);
    void initBottomMenu();
    void initControls();
    void updateCounter();
    // The tap handling of a photo: a toggle in multi-select, the answer in single pick.
    void toggleItem(const NSIndexPath& indexPath);
    void showJumpButtons();
    void saveSelectedGroup(long index);
    std::optional<std::string> loadSelectedGroup() const;
    std::shared_ptr<PSImagePickerController> me() { return self<PSImagePickerController>(); }

    std::shared_ptr<UIPanGestureRecognizer> selectionPan_;
    // Order numbers come from here: it only grows while an album is shown, so the order of the
    // result is the order in which the photos were chosen even after some were deselected.
    unsigned long nextOrder_ = 0;
};
