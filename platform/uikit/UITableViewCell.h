#pragma once
// A row of a table: labels by style, an accessory, a selection style.

#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UIView.h"

#include <memory>
#include <string>

enum UITableViewCellStyle : long {
    UITableViewCellStyleDefault = 0,
    UITableViewCellStyleValue1 = 1,
    UITableViewCellStyleValue2 = 2,
    UITableViewCellStyleSubtitle = 3,
};

enum UITableViewCellSelectionStyle : long {
    UITableViewCellSelectionStyleNone = 0,
    UITableViewCellSelectionStyleBlue = 1,
    UITableViewCellSelectionStyleGray = 2,
    UITableViewCellSelectionStyleDefault = 3,
};

enum UITableViewCellAccessoryType : long {
    UITableViewCellAccessoryNone = 0,
    UITableViewCellAccessoryDisclosureIndicator = 1,
    UITableViewCellAccessoryDetailDisclosureButton = 2,
    UITableViewCellAccessoryCheckmark = 3,
    UITableViewCellAccessoryDetailButton = 4,
};

enum UITableViewCellEditingStyle : long {
    UITableViewCellEditingStyleNone = 0,
    UITableViewCellEditingStyleDelete = 1,
    UITableViewCellEditingStyleInsert = 2,
};

class UITableViewCell : public UIView {
public:
    UITableViewCell(UITableViewCellStyle style, std::string reuseIdentifier);
    static std::shared_ptr<UITableViewCell> initWithStyleReuseIdentifier(UITableViewCellStyle style,
                                                                         const std::string& reuseIdentifier);

    UITableViewCellStyle style() const { return style_; }
    const std::string& reuseIdentifier() const { return reuseIdentifier_; }
    const std::shared_ptr<UIView>& contentView() const { return contentView_; }
    const std::shared_ptr<UILabel>& textLabel() const { return textLabel_; }
    // Nil for the default style, which has one label.
    const std::shared_ptr<UILabel>& detailTextLabel() const { return detailTextLabel_; }
    const std::shared_ptr<UIImageView>& imageView() const { return imageView_; }

    UIViewPtr accessoryView() const { return accessoryView_; }
    void setAccessoryView(const UIViewPtr& view);
    UITableViewCellAccessoryType accessoryType() const { return accessoryType_; }
    void setAccessoryType(UITableViewCellAccessoryType type) { accessoryType_ = type; }
    UITableViewCellSelectionStyle selectionStyle() const { return selectionStyle_; }
    void setSelectionStyle(UITableViewCellSelectionStyle style) { selectionStyle_ = style; }
    bool isSelected() const { return selected_; }
    // A subclass may restyle itself; it lets the base record the state first.
    virtual void setSelectedAnimated(bool selected, bool) { selected_ = selected; }
    bool isHighlighted() const { return highlighted_; }
    void setHighlighted(bool highlighted) { highlighted_ = highlighted; }

    virtual void prepareForReuse();
    // What the table's line for this row shows after the row number: the text, the detail text
    // and the accessory (">", "[i]", "(checked)", or the accessory view as its line names it).
    virtual std::string screenText() const;
    void layoutSubviews() override;
    // The accessory the cell draws itself: the chevron or the check mark.
    void drawRect(const CGRect& rect) override;
    bool keepsDrawing() const override { return false; }

private:
    void attachParts();

    UITableViewCellStyle style_;
    std::string reuseIdentifier_;
    std::shared_ptr<UIView> contentView_;
    std::shared_ptr<UILabel> textLabel_;
    std::shared_ptr<UILabel> detailTextLabel_;
    std::shared_ptr<UIImageView> imageView_;
    UIViewPtr accessoryView_;
    UITableViewCellAccessoryType accessoryType_ = UITableViewCellAccessoryNone;
    UITableViewCellSelectionStyle selectionStyle_ = UITableViewCellSelectionStyleBlue;
    bool selected_ = false;
    bool highlighted_ = false;
};
