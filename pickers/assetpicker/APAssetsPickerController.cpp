#include "pickers/assetpicker/APAssetsPickerController.h"

#include "pickers/assetpicker/ALAsset+isEqual.h"
#include "pickers/assetpicker/APAssetsGroupViewController.h"
#include "platform/foundation/NSBundle.h"
#include "platform/foundation/NSNotificationCenter.h"
#include "platform/foundation/NSString.h"
#include "platform/uikit/UIControl.h"

#include <mutex>

namespace {
constexpr char kSelectedAssetsKey[] = "selectedAssets";
constexpr CGSize kPickerContentSize = {320, 480};
} // namespace

std::string APLocalizedString(const std::string& english) {
    return NSBundle::mainBundle()->localizedStringForKey(english, "", "");
}

Value APSelectionValue(const std::vector<ALAssetPtr>& assets) {
    Value::Array array;
    for (auto& asset : assets) array.emplace_back(asset);
    return Value(std::move(array));
}

std::vector<ALAssetPtr> APAssetsOfValue(const Value& selection) {
    std::vector<ALAssetPtr> assets;
    if (!selection.isArray()) return assets;
    for (auto& element : selection.array())
        if (auto asset = element.objectAs<ALAsset>()) assets.push_back(asset);
    return assets;
}

std::shared_ptr<APAssetsPickerController> APAssetsPickerController::init() {
    auto picker = std::make_shared<APAssetsPickerController>();
    picker->assetsLibrary = defaultAssetsLibrary();
    picker->assetsFilter = ALAssetsFilter::allAssets();
    picker->showsCancelButton = true;
    picker->setViewControllersAnimated({APAssetsGroupViewController::init()}, false);
    picker->setPreferredContentSize(kPickerContentSize);
    std::weak_ptr<APAssetsPickerController> weak = picker;
    picker->selectionObserver_ = picker->addObserverForKeyPath(kSelectedAssetsKey, [weak](const std::string&, bool) {
        if (auto self = weak.lock()) self->selectedAssetsChanged();
    });
    return picker;
}

APAssetsPickerController::~APAssetsPickerController() { removeObserver(selectionObserver_); }

std::shared_ptr<ALAssetsLibrary> APAssetsPickerController::defaultAssetsLibrary() {
    static std::once_flag once;
    static std::shared_ptr<ALAssetsLibrary> library;
    std::call_once(once, [] { library = std::make_shared<ALAssetsLibrary>(); });
    return library;
}

void APAssetsPickerController::setDelegate(const std::shared_ptr<APAssetsPickerControllerDelegate>& delegate) {
    delegate_ = delegate;
    UINavigationController::setDelegate(std::dynamic_pointer_cast<UINavigationControllerDelegate>(delegate));
}

void APAssetsPickerController::setSelectedAssets(std::vector<ALAssetPtr> assets) {
    willChangeValueForKey(kSelectedAssetsKey);
    selectedAssets_ = std::move(assets);
    didChangeValueForKey(kSelectedAssetsKey);
}

ALAssetPtr APAssetsPickerController::objectInSelectedAssetsAtIndex(long index) const {
    return index >= 0 && index < countOfSelectedAssets() ? selectedAssets_[static_cast<std::size_t>(index)] : nullptr;
}

void APAssetsPickerController::insertObjectInSelectedAssetsAtIndex(const ALAssetPtr& asset, long index) {
    if (!asset || index < 0 || index > countOfSelectedAssets()) return;
    willChangeValueForKey(kSelectedAssetsKey);
    selectedAssets_.insert(selectedAssets_.begin() + index, asset);
    didChangeValueForKey(kSelectedAssetsKey);
}

void APAssetsPickerController::removeObjectFromSelectedAssetsAtIndex(long index) {
    if (index < 0 || index >= countOfSelectedAssets()) return;
    willChangeValueForKey(kSelectedAssetsKey);
    selectedAssets_.erase(selectedAssets_.begin() + index);
    didChangeValueForKey(kSelectedAssetsKey);
}

void APAssetsPickerController::replaceObjectInSelectedAssetsAtIndexWithObject(long index, const ALAssetPtr& asset) {
    if (!asset || index < 0 || index >= countOfSelectedAssets()) return;
    willChangeValueForKey(kSelectedAssetsKey);
    selectedAssets_[static_cast<std::size_t>(index)] = asset;
    didChangeValueForKey(kSelectedAssetsKey);
}

void APAssetsPickerController::selectAsset(const ALAssetPtr& asset) { insertObjectInSelectedAssetsAtIndex(asset, countOfSelectedAssets()); }

void APAssetsPickerController::deselectAsset(const ALAssetPtr& asset) {
    if (auto index = ALAsset_isEqual::indexOfObject(selectedAssets_, asset)) removeObjectFromSelectedAssetsAtIndex(static_cast<long>(*index));
}

void APAssetsPickerController::selectedAssetsChanged() {
    toggleDoneButton();
    postNotification(APSelectionValue(selectedAssets_));
}

void APAssetsPickerController::toggleDoneButton() {
    for (auto& screen : viewControllers())
        if (auto done = screen->navigationItem()->rightBarButtonItem()) done->setEnabled(!selectedAssets_.empty());
}

void APAssetsPickerController::postNotification(const Value& selection) {
    NSNotificationCenter::defaultCenter()->postNotificationName(APAssetsPickerSelectedAssetsChangedNotification, selection);
}

std::string APAssetsPickerController::toolbarTitle() const {
    if (selectedAssets_.empty()) return {};
    long n = countOfSelectedAssets();
    bool photos = !predicateOfAssetType(ALAssetTypePhoto)->filter(selectedAssets_).empty();
    bool videos = !predicateOfAssetType(ALAssetTypeVideo)->filter(selectedAssets_).empty();
    const char* format = nullptr;
    if (photos && videos) format = "%ld Items Selected";
    else if (photos) format = n == 1 ? "%ld Photo Selected" : "%ld Photos Selected";
    else if (videos) format = n == 1 ? "%ld Video Selected" : "%ld Videos Selected";
    if (!format) return {};
    return NSString::stringWithFormat(APLocalizedString(format), n);
}

std::shared_ptr<UIBarButtonItem> APAssetsPickerController::titleButtonItem() const {
    auto item = UIBarButtonItem::initWithTitle(toolbarTitle(), UIBarButtonItemStylePlain, nullptr, nullptr);
    UITextAttributes black{UIColor::blackColor(), nullptr};
    item->setTitleTextAttributesForState(black, UIControlStateNormal);
    item->setTitleTextAttributesForState(black, UIControlStateDisabled);
    item->setEnabled(false);
    return item;
}

std::shared_ptr<UIBarButtonItem> APAssetsPickerController::spaceButtonItem() {
    return UIBarButtonItem::initWithBarButtonSystemItem(UIBarButtonSystemItemFlexibleSpace, nullptr, nullptr);
}

std::vector<std::shared_ptr<UIBarButtonItem>> APAssetsPickerController::toolbarItems() const {
    return {spaceButtonItem(), titleButtonItem(), spaceButtonItem()};
}

void APAssetsPickerController::updateToolbarOf(UIViewController& screen, const Value& selection) {
    auto items = screen.toolbarItems();
    if (items.size() > 1) items[1]->setTitle(toolbarTitle());
    setToolbarHiddenAnimated(APAssetsOfValue(selection).empty(), true);
}

void APAssetsPickerController::dismiss() {
    if (auto d = delegate()) d->assetsPickerControllerDidCancel(*this);
    if (auto presenting = presentingViewController()) presenting->dismissViewControllerAnimatedCompletion(true, nullptr);
}

void APAssetsPickerController::finishPickingAssets() {
    if (auto d = delegate()) d->assetsPickerControllerDidFinishPickingAssets(*this, selectedAssets_);
}

NSPredicatePtr APAssetsPickerController::predicateOfAssetType(const std::string& type) {
    return NSPredicate::predicateWithBlock([type](const Value& object) {
        auto asset = object.objectAs<ALAsset>();
        return asset && asset->valueForProperty(ALAssetPropertyType) == Value(type);
    });
}
