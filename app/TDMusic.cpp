#include "app/TDMusic.h"

#include "app/TDAirDropSheet.h"
#include "app/TDImageScaling.h"
#include "app/TDMusicExporter.h"
#include "controls/flatbutton/UIImageView+Curled.h"
#include "controls/progress/PBProgressIndicator.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/NSTimer.h"
#include "platform/foundation/NSURL.h"
#include "platform/uikit/UIFont.h"
#include "platform/uikit/UITabBarController.h"
#include "sdk/analytics/Vuderu.h"

namespace {
constexpr CGFloat kButtonWidth = 120;
constexpr CGFloat kButtonHeight = 42;
// The buttons stand this far in from the sides, their tops at the height less this share of it.
constexpr CGFloat kButtonInset = 18;
constexpr CGFloat kButtonRise = 3.3;
constexpr CGFloat kAlbumArtTop = 100;
constexpr CGFloat kAlbumArtSide = 200;

CGRect albumArtFrame(const CGRect& bounds) {
    return CGRectMake(bounds.size.width / 2 - kAlbumArtSide / 2, kAlbumArtTop, kAlbumArtSide, kAlbumArtSide);
}
constexpr unsigned long kBrowseMask = 33;
constexpr unsigned long kSendMask = 36;
} // namespace

void TDMusic::viewDidLoad() {
    UIViewController::viewDidLoad();
    if (didLoad_) return;
    songData.clear();
    // The curled picture is drawn for the view's size: it is made at its place.
    albumArt_ = std::make_shared<UIImageView>(albumArtFrame(view()->bounds()));
    UIImageView_Curled::setImageBorderWidthShadowDepthControlPointXOffsetControlPointYOffset(
        *albumArt_, imageWithImageScaledToSize(UIImage::imageNamed("disk"), CGSizeMake(180, 180)), 5, 10, 30, 70);
    albumArt_->layer()->setBorderWidth(3);
    albumArt_->setContentMode(UIViewContentModeScaleAspectFit);
    albumArt_->setBackgroundColor(UIColor::clearColor());

    browseBtn_ = makeButton(CGRectZero, UIColor::grayColor(), "Browse", &TDMusic::browseForMusic, kBrowseMask);
    sendMusicBtn_ = makeButton(CGRectZero, UIColor::greenColor(), "Send", &TDMusic::sendBtnPressed, kSendMask);
    layoutControls();

    view()->addSubview(sendMusicBtn_);
    view()->addSubview(albumArt_);
    view()->addSubview(browseBtn_);
    didLoad_ = true;
}

void TDMusic::viewWillLayoutSubviews() {
    UIViewController::viewWillLayoutSubviews();
    if (didLoad_) layoutControls();
}

void TDMusic::layoutControls() {
    const CGRect bounds = view()->bounds();
    const CGFloat w = bounds.size.width, h = bounds.size.height;
    albumArt_->setFrame(albumArtFrame(bounds));
    browseBtn_->setFrame(CGRectMake(kButtonInset, h - h / kButtonRise, kButtonWidth, kButtonHeight));
    sendMusicBtn_->setFrame(CGRectMake(w - kButtonInset - kButtonWidth, h - h / kButtonRise, kButtonWidth, kButtonHeight));
}

std::shared_ptr<FlatButton> TDMusic::makeButton(const CGRect& frame, UIColorPtr color, const std::string& title,
                                                void (TDMusic::*action)(), unsigned long mask) {
    auto button = FlatButton::initWithFrameWithBackgroundColor(frame, std::move(color));
    button->setTitleForState(title, UIControlStateNormal);
    button->addTargetActionForControlEvents(
        self<TDMusic>(), action,
        UIControlEventTouchUpInside);
    button->titleLabel()->setTextColor(UIColor::whiteColor());
    button->titleLabel()->setFont(UIFont::fontWithNameSize("Avenir-Black", 20));
    button->layer()->setCornerRadius(2);
    button->setAutoresizingMask(mask);
    return button;
}

UIImagePtr TDMusic::imageWithImageScaledToSize(const UIImagePtr& image, CGSize size) const {
    return TDImageWithImageScaledToSize(image, size);
}

void TDMusic::browseForMusic() {
    NSLog("%@", songTitle_);
    mediaPicker_ = MPMediaPickerController::initWithMediaTypes(MPMediaTypeMusic);
    mediaPicker_->setDelegate(self<TDMusic>());
    mediaPicker_->setAllowsPickingMultipleItems(false);
    presentViewControllerAnimatedCompletion(mediaPicker_, true, nullptr);
}

void TDMusic::mediaPickerDidPickMediaItems(MPMediaPickerController&, const std::vector<MPMediaItemPtr>& items) {
    dismissModalViewControllerAnimated(true);
    // A new pick replaces the song on offer: Send waits for this export.
    songData.clear();
    auto exporter = std::make_shared<TDMusicExporter>();
    std::weak_ptr<TDMusic> weakSelf = self<TDMusic>();
    NSTimer::scheduledTimerWithTimeInterval(1.0, false, [weakSelf](const std::shared_ptr<NSTimer>&) {
        if (auto strongSelf = weakSelf.lock()) strongSelf->showProgressInNavigationBar();
    });
    for (const auto& item : items) {
        songTitle_ = item->title();
        songURL_ = AVURLAsset::URLAssetWithURL(item->assetURL());
        if (exporter->exportMusicItemWithTitle(item, songTitle_)) {
            if (auto artwork = item->artwork()) albumArt_->setImage(artwork->imageWithSize(CGSizeMake(200, 200)));
        }
    }
}

void TDMusic::mediaPickerDidCancel(MPMediaPickerController&) { dismissModalViewControllerAnimated(true); }

void TDMusic::showProgressInNavigationBar() {
    // An export that already finished has shown its own message; a late bar would hide it.
    if (!TDMusicExporter::isExporting()) return;
    PBProgressIndicator::show();
    PBProgressIndicator::updateMessage("Exporting Song...");
}

void TDMusic::airDropSongAtPath(const std::string& path) {
    songData = path;
    NSLog("AirDrop requests %@", NSURL::fileURLWithPath(path));
    PBProgressIndicator::dismiss();
    PBProgressIndicator::showSuccessMessage("Exported Successfully");
}

void TDMusic::sendBtnPressed() {
    if (songData.empty()) {
        NSLog("Provided invalid file path");
        UIAlertView::initWithTitle("Error", "You have to browse for a song first!", self<TDMusic>(), "Dismiss")->show();
        return;
    }
    NSLog("AirDropping %@", songData);
    auto sheet = TDAirDropSheet::sheetForFileAtPath(songData);
    if (auto tabs = tabBarController())
        tabs->presentViewControllerAnimatedCompletion(sheet, true, [] { Vuderu::logEvent(Value("Song sent through AirDrop")); });
}
