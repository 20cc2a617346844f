#include "app/TDYouTube.h"

#include "app/support/TDSites.h"
#include "app/support/UIColor+Color.h"
#include "controls/flatbutton/FlatButton.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/NSTimer.h"
#include "platform/uikit/UIScreenDescription.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIBarButtonItem.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/NSStringDrawing.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UINavigationController.h"

#include <algorithm>
#include <vector>

namespace {
constexpr const char* kScreenTitle = "Clipvane";
constexpr std::int64_t kBarTint[] = {91, 165, 255, 255};
constexpr const char* kExplanation =
    "Congratulations, you unlocked Clipvane!\n"
    "Download YouTube videos using Safari on your iOS device with simple steps.\n"
    "You can even share downloaded videos using Tandrel afterward!";
// Room enough for any message's height.
constexpr CGFloat kClipvaneMessageMaxHeight = 100000;
} // namespace

void TDYouTube::viewDidLoad() {
    UIViewController::viewDidLoad();
    const CGFloat W = view()->bounds().size.width;
    const CGFloat H = view()->bounds().size.height;

    setTitle(kScreenTitle);
    if (auto nav = navigationController()) {
        nav->navigationBar()->setBarTintColor(
            UIColor_Color::colorWithR255G255B255A255(kBarTint[0], kBarTint[1], kBarTint[2], kBarTint[3]));
        nav->navigationBar()->setTintColor(UIColor::blackColor());
    }
    view()->setBackgroundColor(UIColor::whiteColor());

    auto logo = std::make_shared<UIImageView>(UIImage::imageNamed("youtube-logo"));
    logo->setFrame(CGRectMake(0, 0, W, kLogoHeight));

    auto label = std::make_shared<UILabel>(CGRectMake(0, H / 2, kLabelWidth, kLabelHeight));
    label->setNumberOfLines(0);
    label->setFont(UIFont::systemFontOfSize(kLabelFontSize));
    label->setTextAlignment(NSTextAlignmentCenter);
    label->setText(kExplanation);

    const CGRect setupFrame = CGRectMake(W / 2 - kButtonWidth / 2, H - kButtonBottomInset, kButtonWidth, kButtonHeight);
    auto setup = FlatButton::initWithFrameWithBackgroundColor(setupFrame, UIColor::redColor());
    setup->setTitleForState("Setup", UIControlStateNormal);
    setup->setTitleColorForState(UIColor::whiteColor(), UIControlStateNormal);
    setup->layer()->setCornerRadius(kButtonCornerRadius);
    setup->addTargetActionForControlEvents(
        self<TDYouTube>(), &TDYouTube::setBtnPressed,
        UIControlEventTouchUpInside);

    navigationItem()->setRightBarButtonItem(UIBarButtonItem::initWithTitle(
        "Done", UIBarButtonItemStyleBordered, self<TDYouTube>(),
        &TDYouTube::popEasterEggView));

    view()->addSubview(label);
    view()->addSubview(setup);
    view()->addSubview(logo);
}

void TDYouTube::setBtnPressed() {
    dismissViewControllerAnimatedCompletion(true, nullptr);
    // The timer holds the screen until it has opened the page.
    auto me = self<TDYouTube>();
    NSTimer::scheduledTimerWithTimeInterval(kInstallerDelay, false, [me](const std::shared_ptr<NSTimer>&) { me->openEggURL(); });
}

void TDYouTube::openEggURL() {
    UIApplication::sharedApplication()->openURL(NSURL::URLWithString(TDSites::bookmarkletInstallerURL()));
}

void TDYouTube::popEasterEggView() { dismissViewControllerAnimatedCompletion(true, nullptr); }

void TDYouTube::describeToScreen(UIScreenDescription& screen) {
    // The message's lines as an eye finds them: the logo, laid over everything, hides those it
    // covers when the screen is short (turned sideways), and a line off the screen shows nothing.
    std::shared_ptr<UILabel> label;
    if (isViewLoaded())
        for (const auto& subview : view()->subviews())
            if (auto found = std::dynamic_pointer_cast<UILabel>(subview); found && found->text() == kExplanation) label = found;
    const auto parts = NSString::componentsSeparatedByString(kExplanation, "\n");
    std::vector<CGRect> places;
    if (label) {
        // Centred in the label, one part after the other, each broken to the label's width.
        const CGRect b = label->bounds();
        const NSStringAttributes attributes{label->font(), nullptr, NSTextAlignmentCenter};
        CGFloat total = 0;
        for (const auto& part : parts) {
            places.push_back(CGRectMake(0, total, b.size.width,
                                        NSStringBoundingRectWithSize(part, CGSizeMake(b.size.width, kClipvaneMessageMaxHeight),
                                                                     NSStringDrawingUsesLineFragmentOrigin, attributes).size.height));
            total += places.back().size.height;
        }
        const CGFloat top = std::max<CGFloat>(0, (b.size.height - total) / 2);
        for (auto& place : places) place.origin.y += top;
    }
    std::string line = "message:";
    for (std::size_t i = 0; i < parts.size(); ++i)
        if (!label || UIScreenDescription::seen(label, places[i])) line += " " + UIScreenDescription::quoted(parts[i]);
    if (line != "message:") screen.addLine(line);
    UIViewController::describeToScreen(screen);
}
