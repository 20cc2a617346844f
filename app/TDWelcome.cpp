#include "app/TDWelcome.h"

#include "app/TDImageScaling.h"
#include "sdk/analytics/Vuderu.h"

namespace {
struct PanelText {
    const char* image;
    const char* title;
    const char* description;
};
constexpr PanelText kPanels[] = {
    {"Drop", "Thanks for purchasing Tandrel!",
     "Tandrel lets you share any file available on your iOS device using AirDrop capability."},
    {"MediaDraw", "Media Sharing!",
     "You can even share any type of media (Videos, Photos, Songs) from your native iOS libraries!"},
};
constexpr const char* kHeaderText = "Tandrel";
constexpr const char* kBackgroundImage = "IntroBackground";
} // namespace

void TDWelcome::viewDidLoad() {
    UIViewController::viewDidLoad();
    Vuderu::logEvent(Value(kShownEvent));

    OBIntroductionView::Panels panels;
    for (const auto& text : kPanels) {
        auto image = imageWithImageScaledToSize(UIImage::imageNamed(text.image), CGSizeMake(kPanelImageSide, kPanelImageSide));
        panels.push_back(OBIntroductionPanel::initWithimageTitleDescription(image, text.title, text.description));
    }
    CGRect frame = view()->frame();
    auto introduction = OBIntroductionView::initWithFrameHeaderTextPanelsLanguageDirection(
        CGRectMake(0, 0, frame.size.width, frame.size.height), kHeaderText, panels, OBIntroductionView::kLeftToRight);
    introduction->setBackgroundImage(UIImage::imageNamed(kBackgroundImage));
    // On rotation the backdrop follows the view's size, the rest its width only.
    introduction->BackgroundImageView()->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    for (const UIViewPtr& part : {UIViewPtr(introduction->HeaderImageView()), UIViewPtr(introduction->HeaderLabel()), introduction->HeaderView(),
                                  UIViewPtr(introduction->PageControl()), UIViewPtr(introduction->SkipButton())}) {
        if (part) part->setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
    }
    introduction->setDelegate(self<TDWelcome>());
    introduction->showInViewAnimateDuration(view(), 0);
    introductionView_ = introduction;
}

void TDWelcome::introductionDidFinishWithType(std::int32_t) { dismissModalViewControllerAnimated(true); }

UIImagePtr TDWelcome::imageWithImageScaledToSize(const UIImagePtr& image, CGSize newSize) const {
    return TDImageWithImageScaledToSize(image, newSize);
}
