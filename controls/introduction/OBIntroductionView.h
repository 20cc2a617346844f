#pragma once
// The onboarding overlay: an optional header line (text or picture), a paged scroll view with a
// page per panel, a page control and a "Skip" button. Swiping past the last page fades the view
// out and finishes (type 0); Skip finishes too (type 1). Pages run left to right (direction 0)
// or right to left (direction 1). The view never removes itself: its delegate does.

#include "controls/introduction/OBIntroductionPanel.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UIPageControl.h"
#include "platform/uikit/UIScrollView.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class OBIntroductionDelegate {
public:
    virtual ~OBIntroductionDelegate() = default;
    enum FinishType : std::int32_t { kSwipedPastLastPage = 0, kSkipped = 1 };
    virtual void introductionDidFinishWithType(std::int32_t) {}
    // The panel shown now and its page index (CurrentPanelIndex).
    virtual void introductionDidChangeToPanelWithIndex(const std::shared_ptr<OBIntroductionPanel>&, std::int64_t) {}
};

class OBIntroductionView : public UIView, public UIScrollViewDelegate {
public:
    using Panels = std::vector<std::shared_ptr<OBIntroductionPanel>>;
    static constexpr std::int32_t kLeftToRight = 0;
    static constexpr std::int32_t kRightToLeft = 1;
    static constexpr double kPageAnimationDuration = 0.3;
    static constexpr double kSkipFadeDuration = 0.3;

    static std::shared_ptr<OBIntroductionView> initWithFrame(const CGRect& frame);
    static std::shared_ptr<OBIntroductionView> initWithFrameHeaderTextPanels(const CGRect& frame, const std::string& text,
                                                                             const Panels& panels);
    static std::shared_ptr<OBIntroductionView> initWithFrameHeaderImagePanels(const CGRect& frame, const UIImagePtr& image,
                                                                              const Panels& panels);
    static std::shared_ptr<OBIntroductionView> initWithFrameHeaderTextPanelsLanguageDirection(
        const CGRect& frame, const std::string& text, const Panels& panels, std::int32_t direction);
    static std::shared_ptr<OBIntroductionView> initWithFrameHeaderImagePanelsLanguageDirection(
        const CGRect& frame, const UIImagePtr& image, const Panels& panels, std::int32_t direction);
    static std::shared_ptr<OBIntroductionView> initWithFramePanels(const CGRect& frame, const Panels& panels);
    static std::shared_ptr<OBIntroductionView> initWithFramePanelsLanguageDirection(const CGRect& frame, const Panels& panels,
                                                                                    std::int32_t direction);
    explicit OBIntroductionView(const CGRect& frame);

    void setHeaderText(const std::string& text);
    void setHeaderImage(const UIImagePtr& image);
    void setBackgroundImage(const UIImagePtr& image);
    // Colours the background image view (the backdrop), not the view itself.
    void setBackgroundColor(UIColorPtr color);

    void showInViewAnimateDuration(const UIViewPtr& view, double duration);
    void hideWithFadeOutDuration(double duration);
    void skipIntroduction();
    void showPanelAtPageControl();
    void makePanelVisibleAtIndex(std::int64_t index);
    void setContentScrollViewHeightForPanelIndexAnimated(std::int64_t index, bool animated);
    static bool runningiOS7();

    std::shared_ptr<OBIntroductionDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<OBIntroductionDelegate>& delegate) { delegate_ = delegate; }
    std::int64_t CurrentPanelIndex() const { return CurrentPanelIndex_; }
    void setCurrentPanelIndex(std::int64_t index) { CurrentPanelIndex_ = index; }
    std::int64_t LastPanelIndex() const { return LastPanelIndex_; }
    bool device() const { return device_; }
    bool device_orientation() const { return device_orientation_; }
    const Panels& panels() const { return Panels_; }
    const std::vector<UIViewPtr>& panelViews() const { return panelViews_; }
    const std::shared_ptr<UIImageView>& BackgroundImageView() const { return BackgroundImageView_; }
    const UIViewPtr& HeaderView() const { return HeaderView_; }
    const std::shared_ptr<UILabel>& HeaderLabel() const { return HeaderLabel_; }
    const std::shared_ptr<UIImageView>& HeaderImageView() const { return HeaderImageView_; }
    const std::shared_ptr<UIScrollView>& ContentScrollView() const { return ContentScrollView_; }
    const std::shared_ptr<UIPageControl>& PageControl() const { return PageControl_; }
    const std::shared_ptr<UIButton>& SkipButton() const { return SkipButton_; }

    // Lines for the driver: the header and the shown panel's title and text.
    void describeToScreen(UIScreenDescription& screen) override;
    void scrollViewDidScroll(UIScrollView& scrollView) override;
    void scrollViewDidEndDecelerating(UIScrollView& scrollView) override;

private:
    // `flexible`: the view follows its superview's width and height.
    static std::shared_ptr<OBIntroductionView> make(const CGRect& frame, const Panels& panels, std::int32_t direction,
                                                    bool headerVisible, bool flexible = true);
    void initializeClassVariables();
    void buildUIWithFrameHeaderViewVisible(const CGRect& frame, bool visible);
    void buildBackgroundImage();
    void buildHeaderViewWithFrameVisible(const CGRect& frame, bool visible);
    void buildContentScrollViewWithFrame(const CGRect& frame);
    void buildContentScrollViewLeftToRight();
    void buildContentScrollViewRightToLeft();
    void buildFooterView();
    UIViewPtr PanelViewForPanelAtXIndex(const std::shared_ptr<OBIntroductionPanel>& panel, CGFloat& x);
    void appendCloseViewAtXIndex(CGFloat& x);
    // The panel a page shows: pages run in reverse reading order right to left.
    std::shared_ptr<OBIntroductionPanel> panelShownAt(std::int64_t page) const;
    void notifyChange();

    Panels Panels_;
    std::vector<UIViewPtr> panelViews_;
    std::int64_t LastPanelIndex_ = 0;
    std::int64_t CurrentPanelIndex_ = 0;
    std::int32_t LanguageDirection_ = kLeftToRight;
    bool device_ = false;
    bool device_orientation_ = false;
    std::weak_ptr<OBIntroductionDelegate> delegate_;
    std::shared_ptr<UIImageView> BackgroundImageView_;
    UIViewPtr HeaderView_;
    std::shared_ptr<UILabel> HeaderLabel_;
    std::shared_ptr<UIImageView> HeaderImageView_;
    std::shared_ptr<UIScrollView> ContentScrollView_;
    std::shared_ptr<UIPageControl> PageControl_;
    std::shared_ptr<UIButton> SkipButton_;
};
