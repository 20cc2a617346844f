#include "platform/uikit/UITableViewCell.h"

#include "platform/uikit/UIGraphics.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr CGFloat kTableViewCellMargin = 15;
constexpr CGFloat kDefaultRowHeight = 44;
constexpr CGFloat kAccessoryWidth = 20;
constexpr CGFloat kSubtitleBlock = 37;
constexpr CGFloat kChevronGrey = 199 / 255.0;
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
    if (style == UITableViewCellStyleValue1) {
        detailTextLabel_->setTextAlignment(NSTextAlignmentRight);
        detailTextLabel_->setTextColor(UIColor::colorWithWhite(142 / 255.0, 1));
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
        CGFloat x = b.size.width - kTableViewCellMargin - size.width;
        accessoryView_->setFrame(CGRectMake(x, (b.size.height - size.height) / 2, size.width, size.height));
        contentWidth = x;
    }
    contentView_->setFrame(CGRectMake(0, 0, contentWidth, b.size.height));
    CGFloat x = kTableViewCellMargin;
    if (auto image = imageView_->image()) {
        auto size = image->size();
        imageView_->setFrame(CGRectMake(kTableViewCellMargin, (b.size.height - size.height) / 2, size.width, size.height));
        x += size.width + kTableViewCellMargin;
    }
    // A drawn accessory (the chevron, the check mark) takes its room at the right.
    if (!accessoryView_ && accessoryType_ != UITableViewCellAccessoryNone) contentWidth -= kAccessoryWidth;
    CGFloat width = std::max<CGFloat>(0, contentWidth - x - kTableViewCellMargin);
    // A subtitle cell without a subtitle centres its title, as a default cell does; with one, the
    // two lines stand together in the middle of the row.
    if (style_ == UITableViewCellStyleSubtitle && detailTextLabel_ && !detailTextLabel_->text().empty()) {
        CGFloat top = std::max<CGFloat>(4, std::round((b.size.height - kSubtitleBlock) / 2));
        textLabel_->setFrame(CGRectMake(x, top, width, 22));
        detailTextLabel_->setFrame(CGRectMake(x, top + 22, width, 15));
    } else if (style_ == UITableViewCellStyleValue1 && detailTextLabel_) {
        // The detail stands at the right in grey, the title at the left.
        textLabel_->setFrame(CGRectMake(x, 0, width, b.size.height));
        detailTextLabel_->setFrame(CGRectMake(x, 0, width, b.size.height));
    } else {
        textLabel_->setFrame(CGRectMake(x, 0, width, b.size.height));
        if (detailTextLabel_) detailTextLabel_->setFrame(CGRectMake(x, 0, width, b.size.height));
    }
    UIView::layoutSubviews();
}

void UITableViewCell::drawRect(const CGRect&) {
    auto c = UIGraphicsGetCurrentContext();
    if (!c || accessoryView_) return;
    auto b = bounds();
    CGFloat x = b.size.width - kTableViewCellMargin, y = b.size.height / 2;
    if (accessoryType_ == UITableViewCellAccessoryDisclosureIndicator) {
        c->setStrokeColor(kChevronGrey, kChevronGrey, kChevronGrey, 1);
        c->setLineWidth(2);
        c->moveToPoint({x - 7, y - 7});
        c->addLineToPoint({x, y});
        c->addLineToPoint({x - 7, y + 7});
        c->strokePath();
    } else if (accessoryType_ == UITableViewCellAccessoryCheckmark) {
        c->setStrokeColor(0, 122 / 255.0, 1, 1);
        c->setLineWidth(2);
        c->moveToPoint({x - 14, y});
        c->addLineToPoint({x - 9, y + 5});
        c->addLineToPoint({x, y - 6});
        c->strokePath();
    }
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
