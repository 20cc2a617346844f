#pragma once
// A collection view's cell: a content view for the cell's own subviews, an optional background
// view behind it, the selected state and the identifier it is reused under.
#include "platform/uikit/UIView.h"

#include <memory>
#include <string>

class UICollectionViewCell : public UIView {
public:
    explicit UICollectionViewCell(const CGRect& frame);

    // Added to the cell on first use.
    const UIViewPtr& contentView();
    UIViewPtr backgroundView() const { return backgroundView_; }
    void setBackgroundView(const UIViewPtr& view);

    bool isSelected() const { return selected_; }
    virtual void setSelected(bool selected) { selected_ = selected; }

    const std::string& reuseIdentifier() const { return reuseIdentifier_; }
    void setReuseIdentifier(std::string identifier) { reuseIdentifier_ = std::move(identifier); }
    // Called before the cell is handed out again.
    virtual void prepareForReuse() {}

    void layoutSubviews() override;

private:
    UIViewPtr contentView_;
    UIViewPtr backgroundView_;
    bool selected_ = false;
    std::string reuseIdentifier_;
};
using UICollectionViewCellPtr = std::shared_ptr<UICollectionViewCell>;
