#pragma once
// An action sheet of our own: a dimmed full-screen view in a window of its own at alert level,
// with a coloured panel that holds an optional title, an optional picture or map, a scrolling
// column of buttons and an optional cancel button. The chosen button's index reaches the result
// block (kCancelIndex for cancel or a touch outside the panel) once per showing; the sheet then
// animates away, releases its window and gives key status back to the window that had it.

#include "platform/uikit/MKMapView.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UIScrollView.h"
#include "platform/uikit/UIViewController.h"
#include "platform/uikit/UIWindow.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class PSActionSheet;

// The root controller of the sheet's window; the sheet is its view.
class PSActionSheetController : public UIViewController {
public:
    std::shared_ptr<PSActionSheet> actionSheet() const { return actionSheet_; }
    void setActionSheet(const std::shared_ptr<PSActionSheet>& sheet) { actionSheet_ = sheet; }
    void viewDidLoad() override;
    // The sheet leaves the status bar as the app has it.
    UIStatusBarStyle preferredStatusBarStyle() const;

private:
    std::shared_ptr<PSActionSheet> actionSheet_;
};

// The map content: latitude and longitude in degrees, altitude in metres.
struct PSActionSheetLocation {
    double latitude = 0;
    double longitude = 0;
    double altitude = 0;
};

class PSActionSheet : public UIView, public MKMapViewDelegate {
public:
    using Result = std::function<void(int index)>;
    static constexpr int kCancelIndex = -100;
    enum AnimationType : std::int32_t { kSlide = 0, kFade = 1, kSlideBounce = 2 };
    enum ContentMode : std::int32_t { kContentImage = 1, kContentMap = 2 };
    // Layout, in points: the panel's width, the button column's visible height, a button's height
    // and the step from one button to the next.
    static constexpr CGFloat kPanelWidth = 320;
    static constexpr CGFloat kColumnHeight = 370;
    static constexpr CGFloat kButtonHeight = 40;
    static constexpr CGFloat kButtonStep = 45;
    static constexpr double kAnimationDuration = 0.2;
    static constexpr double kAnimationDelay = 0.1;
    static constexpr double kBounceDuration = 0.1;

    // initWithFrame: (and init, with a zero frame): observes the device's rotations.
    static std::shared_ptr<PSActionSheet> initWithFrame(const CGRect& frame);
    static std::shared_ptr<PSActionSheet> init() { return initWithFrame(CGRectZero); }
    explicit PSActionSheet(const CGRect& frame);
    ~PSActionSheet() override;

    // The show methods: each stores the texts and the block (replacing earlier ones), lays the
    // sheet out and shows it.
    void showCCancelButtonsResult(const std::string& title, const std::string& cancel, const std::vector<std::string>& buttons,
                                  Result result);
    void showCButtonsResult(const std::string& cancel, const std::vector<std::string>& buttons, Result result);
    void showButtonsResult(const std::string& title, const std::vector<std::string>& buttons, Result result);
    void showResult(const std::vector<std::string>& buttons, Result result);

    // Style, set before showing.
    std::int32_t nAnimationType() const { return nAnimationType_; }
    void setNAnimationType(std::int32_t type) { nAnimationType_ = type; }
    std::int32_t nContentMode() const { return nContentMode_; }
    void setNContentMode(std::int32_t mode) { nContentMode_ = mode; }
    std::int32_t nDestructiveIndex() const { return nDestructiveIndex_; }
    void setNDestructiveIndex(std::int32_t index) { nDestructiveIndex_ = index; }
    std::int32_t nTag() const { return nTag_; }
    double dRound() const { return dRound_; }
    void setDRound(double radius) { dRound_ = radius; }
    double dButtonRound() const { return dButtonRound_; }
    void setDButtonRound(double radius) { dButtonRound_ = radius; }
    const std::vector<std::string>& aButtons() const { return aButtons_; }
    void setAButtons(std::vector<std::string> buttons) { aButtons_ = std::move(buttons); }
    UIImagePtr iImage() const { return iImage_; }
    void setIImage(UIImagePtr image) { iImage_ = std::move(image); }
    const std::optional<PSActionSheetLocation>& dLocation() const { return dLocation_; }
    void setDLocation(std::optional<PSActionSheetLocation> location) { dLocation_ = location; }
    bool bDestructive() const { return bDestructive_; }
    void setBDestructive(bool destructive) { bDestructive_ = destructive; }

    // What is shown: the panel, its button column and the sheet's window (nil once closed).
    const UIViewPtr& panel() const { return vActionSheet_; }
    const std::shared_ptr<UIScrollView>& buttonColumn() const { return column_; }
    const std::shared_ptr<UIWindow>& actionWindow() const { return actionWindow_; }

    // A touch that ends outside the panel cancels.
    void touchesEndedWithEvent(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event) override;
    // The driver sees the sheet as a layer of its own: its buttons and a touch outside reach it.
    void describeToScreen(UIScreenDescription& screen) override;

private:
    void showActionSheet();
    void setLabelAttributes(UILabel& label);
    CGFloat getTextHeight(const UILabel& label);
    CGFloat addContent(const std::shared_ptr<UIScrollView>& container);
    void setButtonAttributesCancel(UIButton& button, bool cancel);
    void showAnimation();
    void buttonTarget(UIControl& sender);
    void choose(int index);
    void hideAnimation();
    void hideActionSheet();
    void receivedRotate();
    void placeWindow(const std::shared_ptr<PSActionSheetController>& controller);

    std::string strTitle_;
    std::string strCancel_;
    std::shared_ptr<UIWindow> actionWindow_;
    UIViewPtr vActionSheet_;
    std::shared_ptr<UIScrollView> column_;
    std::weak_ptr<UILabel> titleLabel_;
    Result result_;
    bool bDestructive_ = false;
    std::int32_t nAnimationType_ = kSlide;
    std::int32_t nContentMode_ = 0;
    std::int32_t nDestructiveIndex_ = -1;
    std::int32_t nTag_ = 0;
    double dRound_ = 0;
    double dButtonRound_ = 0;
    std::vector<std::string> aButtons_;
    UIImagePtr iImage_;
    std::optional<PSActionSheetLocation> dLocation_;
    // A showing takes one choice; later ones (a second tap while the sheet fades) are ignored.
    bool awaitingChoice_ = false;
    // The window that was key when the sheet showed, given key status back on closing.
    std::weak_ptr<UIWindow> previousKeyWindow_;
};
