#include "platform/uikit/UITableViewCell.h"

namespace {
constexpr CGFloat kMargin = 15;
constexpr CGFloat kDefaultRowHeight = 44;
} // namespace

UITableViewCell::UITableViewCell(UITableViewCellStyle style, std::string reuseIdentifier)
    : UIView(CGRectMake(0, 0, 320, kDefaultRowHeight)),
      style_(style),
      reuseIdentifier_(std::move(reuseIdentifier)),
      contentView_(std::make_shared<UIView>()),
      textLabel_(std::make_shared<UILabel>()),
      imageView_(std::make_shared<UIImageView>()) {
    if (style != UITableViewCellStyleDefault) {
        detailTextLabel_ = std::make_shared<UILabel>();
        detailTextLabel_->setFont(UIFont::systemFontOfSize(style == UITableViewCellStyleSubtitle ? 12 : 17));
    }
}

std::shared_ptr<UITableViewCell> UITableViewCell::initWithStyleReuseIdentifier(UITableViewCellStyle style,
                                                                               const std::string& reuseIdentifier) {
    auto cell = std::make_shared<UITableViewCell>(style, reuseIdentifier);
    cell->attachParts();
    return cell;
}

// A subclass made with its constructor gets its parts at its first layout, before it is painted.
void UITableViewCell::attachParts() {
    if (contentView_->superview()) return;
    insertSubviewAtIndex(contentView_, 0);
    contentView_->addSubview(imageView_);
    contentView_->addSubview(textLabel_);
    if (detailTextLabel_) contentView_->addSubview(detailTextLabel_);
}

void UITableViewCell::setAccessoryView(const UIViewPtr& view) {
    if (accessoryView_ == view) return;
    if (accessoryView_) accessoryView_->removeFromSuperview();
    accessoryView_ = view;
    if (view) addSubview(view);
    setNeedsLayout();
}

void UITableViewCell::prepareForReuse() {
    selected_ = false;
    highlighted_ = false;
}

void UITableViewCell::layoutSubviews() {
    attachParts();
    auto b = bounds();
    CGFloat contentWidth = b.size.width;
    if (accessoryView_) {
        auto size = accessoryView_->frame().size;
        CGFloat x = b.size.width - kMargin - size.width;
        accessoryView_->setFrame(CGRectMake(x, (b.size.height - size.height) / 2, size.width, size.height));
        contentWidth = x;
    }
    contentView_->setFrame(CGRectMake(0, 0, contentWidth, b.size.height));
    CGFloat x = kMargin;
    if (auto image = imageView_->image()) {
        auto size = image->size();
        imageView_->setFrame(CGRectMake(kMargin, (b.size.height - size.height) / 2, size.width, size.height));
        x += size.width + kMargin;
    }
    CGFloat width = std::max<CGFloat>(0, contentWidth - x - kMargin);
    // A subtitle cell without a subtitle centres its title, as a default cell does.
    if (style_ == UITableViewCellStyleSubtitle && detailTextLabel_ && !detailTextLabel_->text().empty()) {
        textLabel_->setFrame(CGRectMake(x, 4, width, 22));
        detailTextLabel_->setFrame(CGRectMake(x, 26, width, 15));
    } else {
        textLabel_->setFrame(CGRectMake(x, 0, width, b.size.height));
        if (detailTextLabel_) detailTextLabel_->setFrame(CGRectMake(x, 0, width, b.size.height));
    }
    UIView::layoutSubviews();
}

std::string UITableViewCell::screenText() const {
    std::string text = textLabel_->text();
    if (detailTextLabel_ && !detailTextLabel_->text().empty()) text += " — " + detailTextLabel_->text();
    std::string accessory;
    if (accessoryView_) {
        auto mention = accessoryView_->screenMention();
        accessory = mention ? mention->bracketed() : "[accessory]";
    } else {
        switch (accessoryType_) {
        case UITableViewCellAccessoryDisclosureIndicator: accessory = ">"; break;
        case UITableViewCellAccessoryDetailDisclosureButton: accessory = "[i] >"; break;
        case UITableViewCellAccessoryCheckmark: accessory = "(checked)"; break;
        case UITableViewCellAccessoryDetailButton: accessory = "[i]"; break;
        case UITableViewCellAccessoryNone: break;
        }
    }
    return accessory.empty() ? text : text + "  " + accessory;
}
