#pragma once
// A round-cornered square button laid over one item of a tab bar. Pressed, it swaps its face,
// darkens what lies behind the tab bar and throws the delegate's options out on a half circle
// above it, each held in place by a spring; a choice, a tap on the overlay, a change of tab or a
// turn of the device closes it again.

#include "controls/optionsbutton/OPOptionItem.h"

#include "platform/foundation/NSKeyValueObserving.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIDynamicAnimator.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UITabBar.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class OPOptionsButton;

enum OPOptionsButtonState : int {
    OPOptionsButtonStateOpen = 0,
    OPOptionsButtonStateClosed = 1,
    OPOptionsButtonStateNormal = 2,
};

class OPOptionButtonDelegate {
public:
    virtual ~OPOptionButtonDelegate() = default;
    // Sent once the close that the choice starts is under way.
    virtual void opOptionsButtonDidSelectItem(OPOptionsButton& button, OPOptionItem& item) = 0;
    // Asked each time the options are thrown out; below 1 none is shown.
    virtual std::int64_t opOptionsButtonNumberOfItems(OPOptionsButton& button) = 0;
    // A new item, before it enters the view tree: the delegate may restyle it.
    virtual void opOptionsButtonWillDisplayButtonItem(OPOptionsButton&, OPOptionItem&) {}
    virtual std::optional<std::string> opOptionsButtonTitleForItemAtIndex(OPOptionsButton&, std::int64_t) {
        return std::nullopt;
    }
    virtual UIImagePtr opOptionsButtonImageForItemAtIndex(OPOptionsButton&, std::int64_t) { return nullptr; }
};

class OPOptionsButton : public UIButton {
public:
    static constexpr CGFloat kSide = 60;
    static constexpr CGFloat kCornerRadius = 6;
    static constexpr double kStepDelay = 0.05;
    static constexpr double kFadeDuration = 0.3;
    static constexpr CGFloat kOverlayAlpha = 0.7;
    static constexpr double kPullBackDuration = 0.2;
    static constexpr double kChoiceDuration = 0.3;
    static constexpr CGFloat kChoiceScale = 5;
    static constexpr CGFloat kFaceDamping = 0.78;
    static constexpr CGFloat kItemDamping = 0.5;
    static constexpr CGFloat kItemFrequency = 4.0;
    static constexpr CGFloat kItemLength = 1.0;
    static constexpr std::int64_t kRadiusPerItem = 20;

    // Installs the button over the tab bar's item at the index (nothing when out of range).
    static std::shared_ptr<OPOptionsButton> initForTabBarForItemIndexDelegate(
        const std::shared_ptr<UITabBar>& tabBar, std::int64_t index, const std::shared_ptr<OPOptionButtonDelegate>& delegate);
    ~OPOptionsButton() override;

    // The face for a state: the resting face for 1 or 2, the open face for 0 (hidden below).
    void setImageForOPOptionsButtonState(const UIImagePtr& image, int state);

    std::shared_ptr<UITabBar> tabBar() const { return tabBar_.lock(); }
    std::int64_t locationIndexInTabBar() const { return locationIndexInTabBar_; }
    void setLocationIndexInTabBar(std::int64_t index) { locationIndexInTabBar_ = index; }
    std::shared_ptr<OPOptionButtonDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<OPOptionButtonDelegate>& delegate) { delegate_ = delegate; }
    int currentState() const { return currentState_; }
    const std::shared_ptr<UIDynamicAnimator>& dynamicsAnimator() const { return dynamicsAnimator_; }
    const std::shared_ptr<UIDynamicAnimator>& dynamicsAnimator2() const { return dynamicsAnimator2_; }
    const std::shared_ptr<UIDynamicItemBehavior>& dynamicItem() const { return dynamicItem_; }
    const std::shared_ptr<UIImageView>& openedStateImage() const { return openedStateImage_; }
    const std::shared_ptr<UIImageView>& closedStateImage() const { return closedStateImage_; }
    const std::vector<std::shared_ptr<OPOptionItem>>& items() const { return items_; }
    const std::shared_ptr<UIView>& blackView() const { return blackView_; }

    void buttonPressed();
    void changeTheButtonStateAnimatedToOpen(bool open);
    void addBlackView();
    void removeBlackView();
    void blackViewPressed();
    void showOptions();
    void hideButtons();
    void removeItems();
    std::shared_ptr<OPOptionItem> createButtonItemAtIndex(std::int64_t index);
    void buttonItemPressed(const std::shared_ptr<OPOptionItem>& item);
    void orientationChanged();
    CGSize screenSize() const;

private:
    OPOptionsButton() = default;
    void installTheButton();
    // The tab bar's superview, where the button, its overlay and its items live.
    std::shared_ptr<UIView> host() const;
    void closeFromOutside();

    std::weak_ptr<UITabBar> tabBar_;
    std::int64_t locationIndexInTabBar_ = 0;
    std::weak_ptr<OPOptionButtonDelegate> delegate_;
    int currentState_ = OPOptionsButtonStateNormal;
    std::shared_ptr<UIDynamicAnimator> dynamicsAnimator2_;
    std::shared_ptr<UIDynamicAnimator> dynamicsAnimator_;
    std::shared_ptr<UIDynamicItemBehavior> dynamicItem_;
    std::shared_ptr<UIImageView> openedStateImage_;
    std::shared_ptr<UIImageView> closedStateImage_;
    std::vector<std::shared_ptr<OPOptionItem>> items_;
    std::shared_ptr<UIView> blackView_;
    NSKeyValueObserving::ObserverToken selectedItemObservation_ = 0;
    bool observingOrientation_ = false;
};
