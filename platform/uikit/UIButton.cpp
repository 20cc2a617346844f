#include "platform/uikit/UIButton.h"

#include "platform/uikit/NSStringDrawing.h"
#include "platform/uikit/UIGraphics.h"

UIButton::UIButton(UIButtonType type) : type_(type), titleLabel_(std::make_shared<UILabel>()) {}

std::shared_ptr<UIButton> UIButton::buttonWithType(UIButtonType type) { return std::make_shared<UIButton>(type); }

template <class T>
T UIButton::lookup(const std::map<unsigned long, T>& values, unsigned long state) {
    auto it = values.find(state);
    if (it != values.end()) return it->second;
    it = values.find(UIControlStateNormal);
    return it != values.end() ? it->second : T{};
}

void UIButton::setTitleForState(const std::string& title, unsigned long state) {
    titles_[state] = title;
    updateTitleLabel();
}
std::string UIButton::titleForState(unsigned long state) const { return lookup(titles_, state); }
void UIButton::setTitleColorForState(UIColorPtr color, unsigned long state) {
    titleColors_[state] = std::move(color);
    updateTitleLabel();
}
UIColorPtr UIButton::titleColorForState(unsigned long state) const { return lookup(titleColors_, state); }
void UIButton::setImageForState(UIImagePtr image, unsigned long state) { images_[state] = std::move(image); }
UIImagePtr UIButton::imageForState(unsigned long state) const { return lookup(images_, state); }
void UIButton::setBackgroundImageForState(UIImagePtr image, unsigned long state) { backgroundImages_[state] = std::move(image); }
UIImagePtr UIButton::backgroundImageForState(unsigned long state) const { return lookup(backgroundImages_, state); }

void UIButton::updateTitleLabel() {
    titleLabel_->setText(currentTitle());
    if (auto color = titleColorForState(state())) titleLabel_->setTextColor(color);
}

CGSize UIButton::sizeThatFits(CGSize size) const {
    if (auto background = currentBackgroundImage()) return background->size();
    if (auto image = currentImage()) return image->size();
    auto label = titleLabel_->sizeThatFits(size);
    return {label.width + 12, std::max<CGFloat>(label.height, 30)};
}

void UIButton::describeToScreen(UIScreenDescription& screen) {
    UIView::describeToScreen(screen);
    // A tap lands at the button's centre: off the screen (a menu parked above the top edge) no
    // finger reaches it.
    if (!UIScreenDescription::centreOnScreen(*this)) return;
    auto touch = [view = self<UIView>()](UIScreenReply& reply) { return UIScreenDescription::touch(view, reply); };
    screen.addTappable(currentTitle(), touch);
    auto image = currentBackgroundImage() ? currentBackgroundImage() : currentImage();
    if (image) screen.addTappable(image->name(), touch);
}

std::optional<UIScreenMention> UIButton::screenMention() const {
    if (!accessibilityLabel().empty()) return UIScreenMention{accessibilityLabel(), true};
    if (!currentTitle().empty()) return UIScreenMention{currentTitle(), true};
    auto image = currentBackgroundImage() ? currentBackgroundImage() : currentImage();
    return UIScreenMention{UIScreenDescription::imageName(image), true};
}

void UIButton::drawRect(const CGRect&) {
    auto b = bounds();
    if (auto background = currentBackgroundImage()) background->drawInRect(b);
    auto image = currentImage();
    std::string title = currentTitle();
    NSStringAttributes attributes{titleLabel_->font(), titleLabel_->textColor(), NSTextAlignmentCenter};
    if (!titleColorForState(state()) && type_ == UIButtonTypeSystem)
        attributes.foregroundColor = UIColor::colorWithRed(0, 122 / 255.0, 1, 1);
    CGSize text = title.empty() ? CGSizeZero : NSStringBoundingRectWithSize(title, b.size, 0, attributes).size;
    CGSize picture = image ? image->size() : CGSizeZero;
    // Image then title, centred together.
    CGFloat x = CGRectGetMidX(b) - (picture.width + text.width) / 2;
    if (image) image->drawInRect(CGRectMake(x, CGRectGetMidY(b) - picture.height / 2, picture.width, picture.height));
    if (!title.empty())
        NSStringDrawInRect(title, CGRectMake(x + picture.width, CGRectGetMidY(b) - text.height / 2, text.width + 1, text.height),
                           attributes);
}
