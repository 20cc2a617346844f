#pragma once
// The first-launch welcome: two onboarding panels about file and media sharing. Swiping past the
// last panel or pressing Skip dismisses it.

#include "controls/introduction/OBIntroductionView.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIViewController.h"

class TDWelcome : public UIViewController, public OBIntroductionDelegate {
public:
    // The panels' pictures are redrawn at this side, in points, before the onboarding view fits them.
    static constexpr CGFloat kPanelImageSide = 700;
    static constexpr const char* kShownEvent = "Welcome screen did show";

    void viewDidLoad() override;
    void didReceiveMemoryWarning() override { UIViewController::didReceiveMemoryWarning(); }
    // Skip (1) or a swipe past the last panel (0): either way the welcome goes.
    void introductionDidFinishWithType(std::int32_t type) override;

    UIImagePtr imageWithImageScaledToSize(const UIImagePtr& image, CGSize newSize) const;

    // The onboarding view shown, once the view has loaded.
    std::shared_ptr<OBIntroductionView> introductionView() const { return introductionView_.lock(); }

private:
    std::weak_ptr<OBIntroductionView> introductionView_;
};
