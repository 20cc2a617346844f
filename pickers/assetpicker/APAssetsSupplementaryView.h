#pragma once
// The asset grid's footer: how many photos and videos the album shows.

#include "platform/foundation/NSPredicate.h"
#include "platform/media/ALAsset.h"
#include "platform/uikit/UILabel.h"

#include <memory>
#include <vector>

class APAssetsSupplementaryView : public UIView {
public:
    static constexpr char kReuseIdentifier[] = "APAssetsSupplementaryViewIdentifier";

    explicit APAssetsSupplementaryView(const CGRect& frame) : UIView(frame) {}
    // The label centred on the view, both laid out by constraints.
    static std::shared_ptr<APAssetsSupplementaryView> initWithFrame(const CGRect& frame);

    std::shared_ptr<UILabel> label;
    void bind(const std::vector<ALAssetPtr>& assets);
    static NSPredicatePtr predicateOfAssetType(const std::string& type);

private:
    std::shared_ptr<UILabel> supplementaryLabel() const;
};
