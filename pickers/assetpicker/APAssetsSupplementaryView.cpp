#include "pickers/assetpicker/APAssetsSupplementaryView.h"

#include "pickers/assetpicker/APAssetsPickerController.h"
#include "platform/foundation/NSString.h"

namespace {
constexpr CGFloat kLabelInset = 8;
constexpr CGFloat kLabelFontSize = 18;
} // namespace

std::shared_ptr<APAssetsSupplementaryView> APAssetsSupplementaryView::initWithFrame(const CGRect& frame) {
    auto view = std::make_shared<APAssetsSupplementaryView>(frame);
    view->label = view->supplementaryLabel();
    view->addSubview(view->label);
    view->addConstraint(APAssetsPickerController::horizontallyAlignedConstraintWithItemToItem(view->label, view));
    view->setTranslatesAutoresizingMaskIntoConstraints(false);
    return view;
}

std::shared_ptr<UILabel> APAssetsSupplementaryView::supplementaryLabel() const {
    auto b = bounds();
    auto footerLabel = std::make_shared<UILabel>(CGRectInset(b, kLabelInset, kLabelInset));
    footerLabel->setFont(UIFont::systemFontOfSize(kLabelFontSize));
    footerLabel->setTextAlignment(NSTextAlignmentCenter);
    footerLabel->setTranslatesAutoresizingMaskIntoConstraints(false);
    return footerLabel;
}

void APAssetsSupplementaryView::bind(const std::vector<ALAssetPtr>& assets) {
    long photos = static_cast<long>(predicateOfAssetType(ALAssetTypePhoto)->filter(assets).size());
    long videos = static_cast<long>(predicateOfAssetType(ALAssetTypeVideo)->filter(assets).size());
    if (videos > 0 && photos > 0) label->setText(NSString::stringWithFormat(APLocalizedString("%ld Photos, %ld Videos"), photos, videos));
    else if (videos > 0) label->setText(NSString::stringWithFormat(APLocalizedString("%ld Videos"), videos));
    else label->setText(NSString::stringWithFormat(APLocalizedString("%ld Photos"), photos));
}

NSPredicatePtr APAssetsSupplementaryView::predicateOfAssetType(const std::string& type) {
    return APAssetsPickerController::predicateOfAssetType(type);
}
