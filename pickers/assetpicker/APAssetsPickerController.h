#pragma once
// A multi-select picker of photos and videos from the photo library, presented modally as a
// navigation stack: the album list first, an album's grid of assets pushed from it. The picker
// owns the selection (assets in the order chosen, kept across albums), the filter, the texts and
// the special views its screens share; its delegate learns the result and may veto albums and
// assets. Done hands the selection to the delegate; the host dismisses the picker.

#include "platform/foundation/NSPredicate.h"
#include "platform/media/ALAssetsFilter.h"
#include "platform/media/ALAssetsLibrary.h"
#include "platform/uikit/UIFont.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/NSLayoutConstraint.h"
#include "platform/uikit/UINavigationController.h"

#include <memory>
#include <string>
#include <vector>

class APAssetsPickerController;

// Posted by the picker at every change of its selection, with the selection (a Value array of
// the assets) as the object.
inline constexpr char APAssetsPickerSelectedAssetsChangedNotification[] = "APAssetsPickerSelectedAssetsChangedNotification";

// The side of a thumbnail in the grid and of a poster in the album list, in points.
inline constexpr CGFloat kThumbnailLength = 78.0;
inline constexpr CGSize kThumbnailSize = {78, 78};

// What the host answers. Methods it does not override answer YES and notice nothing.
class APAssetsPickerControllerDelegate {
public:
    virtual ~APAssetsPickerControllerDelegate() = default;
    virtual void assetsPickerControllerDidFinishPickingAssets(APAssetsPickerController& picker, const std::vector<ALAssetPtr>& assets) = 0;
    virtual void assetsPickerControllerDidCancel(APAssetsPickerController&) {}
    // Asked for each album the album list enumerates.
    virtual bool assetsPickerControllerShouldShowAssetsGroup(APAssetsPickerController&, const ALAssetsGroupPtr&) { return true; }
    virtual bool assetsPickerControllerShouldEnableAsset(APAssetsPickerController&, const ALAssetPtr&) { return true; }
    virtual bool assetsPickerControllerShouldSelectAsset(APAssetsPickerController&, const ALAssetPtr&) { return true; }
    virtual void assetsPickerControllerDidSelectAsset(APAssetsPickerController&, const ALAssetPtr&) {}
    virtual bool assetsPickerControllerShouldDeselectAsset(APAssetsPickerController&, const ALAssetPtr&) { return true; }
    virtual void assetsPickerControllerDidDeselectAsset(APAssetsPickerController&, const ALAssetPtr&) {}
    virtual bool assetsPickerControllerShouldHighlightAsset(APAssetsPickerController&, const ALAssetPtr&) { return true; }
    virtual void assetsPickerControllerDidHighlightAsset(APAssetsPickerController&, const ALAssetPtr&) {}
    virtual void assetsPickerControllerDidUnhighlightAsset(APAssetsPickerController&, const ALAssetPtr&) {}
};

// A visible text of the picker through the main bundle's string table; the English text is the key.
std::string APLocalizedString(const std::string& english);

class APAssetsPickerController : public UINavigationController {
public:
    // The album list as root, the process's library, all assets, an empty selection, a Cancel
    // button, 320 by 480 points, and the watch on its own selection.
    static std::shared_ptr<APAssetsPickerController> init();
    ~APAssetsPickerController() override;

    static std::shared_ptr<ALAssetsLibrary> defaultAssetsLibrary();

    std::shared_ptr<APAssetsPickerControllerDelegate> delegate() const { return delegate_.lock(); }
    // Also the navigation controller's delegate when the object is one.
    void setDelegate(const std::shared_ptr<APAssetsPickerControllerDelegate>& delegate);

    std::shared_ptr<ALAssetsLibrary> assetsLibrary;
    ALAssetsFilterPtr assetsFilter;
    bool showsCancelButton = true;

    // The selection; every change through these (or setSelectedAssets) is announced.
    const std::vector<ALAssetPtr>& selectedAssets() const { return selectedAssets_; }
    void setSelectedAssets(std::vector<ALAssetPtr> assets);
    long countOfSelectedAssets() const { return static_cast<long>(selectedAssets_.size()); }
    ALAssetPtr objectInSelectedAssetsAtIndex(long index) const;
    void insertObjectInSelectedAssetsAtIndex(const ALAssetPtr& asset, long index);
    void removeObjectFromSelectedAssetsAtIndex(long index);
    void replaceObjectInSelectedAssetsAtIndexWithObject(long index, const ALAssetPtr& asset);
    void selectAsset(const ALAssetPtr& asset);
    // Removes the first element equal (by URL) to the asset; nothing for an asset not selected.
    void deselectAsset(const ALAssetPtr& asset);

    // "%ld Photos Selected" and the like; empty for an empty selection or one of neither kind.
    std::string toolbarTitle() const;
    // A flexible space, the title item (a disabled caption), a flexible space; new each time.
    std::vector<std::shared_ptr<UIBarButtonItem>> toolbarItems() const;
    std::shared_ptr<UIBarButtonItem> titleButtonItem() const;
    static std::shared_ptr<UIBarButtonItem> spaceButtonItem();
    // The toolbar of a screen: its caption the summary, the toolbar shown while anything is selected.
    void updateToolbarOf(UIViewController& screen, const Value& selection);

    // Cancel and Done.
    void dismiss();
    void finishPickingAssets();

    // The no-access and empty-library messages, as table or grid backgrounds.
    UIViewPtr notAllowedView() const;
    UIViewPtr noAssetsView() const;
    std::string noAssetsMessage() const;
    static std::string deviceModel();
    static bool isCameraDeviceAvailable();
    static NSPredicatePtr predicateOfAssetType(const std::string& type);

    // Building blocks of the special views.
    static std::shared_ptr<UIImageView> padlockImageView();
    static std::shared_ptr<UILabel> specialViewLabelWithFontColorText(const UIFontPtr& font, const UIColorPtr& color, const std::string& text);
    static UIViewPtr centerViewWithViews(const std::vector<UIViewPtr>& views);
    static UIViewPtr specialViewWithCenterView(const UIViewPtr& centerView);
    static std::shared_ptr<NSLayoutConstraint> horizontallyAlignedConstraintWithItemToItem(const UIViewPtr& item, const UIViewPtr& toItem);
    static std::shared_ptr<NSLayoutConstraint> verticallyAlignedConstraintWithItemToItem(const UIViewPtr& item, const UIViewPtr& toItem);

private:
    void selectedAssetsChanged();
    void toggleDoneButton();
    void postNotification(const Value& selection);

    std::weak_ptr<APAssetsPickerControllerDelegate> delegate_;
    std::vector<ALAssetPtr> selectedAssets_;
    NSKeyValueObserving::ObserverToken selectionObserver_ = 0;
};

// The selection as the notification carries it.
Value APSelectionValue(const std::vector<ALAssetPtr>& assets);
std::vector<ALAssetPtr> APAssetsOfValue(const Value& selection);
