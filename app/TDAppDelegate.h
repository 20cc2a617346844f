#pragma once
// The application delegate: builds the interface when the app has finished launching and owns it
// for the life of the process.

#include "app/support/VTVersion.h"
#include "controls/optionsbutton/OPOptionsButton.h"
#include "controls/sharecircle/CSShareCircleView.h"
#include "platform/uikit/MFMailComposeViewController.h"
#include "platform/uikit/MFMessageComposeViewController.h"
#include "controls/actionsheet/PSActionSheet.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/CLLocationManager.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UITabBarController.h"
#include "platform/uikit/UIWindow.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// The folder the first Files screen shows.
extern const std::string startingPath; // "/"
// The app's own folder for received, exported and downloaded files.
extern const std::string TDAppFolderPath; // "/var/mobile/Tandrel"
// The key the analytics service issued for the app.
extern const std::string TDAnalyticsApplicationKey;
// Where the system puts the files it hands to the app.
extern const std::string TDInboxPath; // "/var/mobile/Documents/Inbox"
// The outside audio-import library; with it a received song may be passed on.
extern const std::string TDBridgeImportLibraryPath;

// The texts that recommend the app in the share sheets.
extern const std::string TDShareFacebookText;
extern const std::string TDShareTweetText;
extern const std::string TDShareMailSubject;
extern const std::string TDShareMessageText;
// The mail's HTML body: the maker's Twitter profile and the app's package page as links.
std::string TDShareMailBody();

class TDAppDelegate : public UIResponder,
                      public UIApplicationDelegate,
                      public UIAlertViewDelegate,
                      public CLLocationManagerDelegate,
                      public OPOptionButtonDelegate,
                      public CSShareCircleViewDelegate,
                      public MFMailComposeViewControllerDelegate,
                      public MFMessageComposeViewControllerDelegate {
public:
    // The update tracker's channel and seconds between checks.
    static constexpr const char* kUpdateChannel = "release";
    static constexpr std::uint64_t kUpdateCheckInterval = 1800;

    TDAppDelegate() = default;
    // Stops observing the application's end (a download under way was observing it).
    ~TDAppDelegate() override;

    // The user-defaults key that is set once the first-launch welcome has been shown.
    static constexpr const char* kIntroShowKey = "introShow";

    // The tab icons' side, in points.
    static constexpr CGFloat kTabIconSide = 30;

    // Registers the class with the application's delegate registry and returns its name, for
    // UIApplicationMain.
    static std::string registeredClassName();

    bool applicationDidFinishLaunchingWithOptions(UIApplication& application, const Value& launchOptions) override;

    // Every update reports the manager's current location to analytics, whatever it was given.
    void locationManagerDidUpdateLocations(CLLocationManager& manager, const std::vector<std::shared_ptr<CLLocation>>& locations) override;

    UIImagePtr imageWithImageScaledToSize(const UIImagePtr& image, CGSize newSize) const;

    // The update tracker's handler, called on the tracker's thread: it waits until the main queue
    // has offered the update (state 2) or installed it (state 3).
    void handleUpdateStateVersion(std::int32_t state, const VTVersionPtr& version);

    // A URL the system hands over: a file (AirDrop, another app's document) is saved into the app
    // folder; a video page's address is a Clipvane request. True when the URL was handled.
    std::optional<bool> applicationOpenURLSourceApplicationAnnotation(UIApplication& application, const NSURLPtr& url,
                                                                      const std::string& sourceApplication,
                                                                      const Value& annotation) override;
    const std::string& musicFilePath() const { return musicFilePath_; }

    // The options menu's items, by index.
    enum : std::int64_t { kOptionClean = 0, kOptionWebSite, kOptionAbout, kOptionTwitter, kOptionShare, kOptionCount };
    // An item chosen: Clean's confirmation, the maker's home page, About, the maker's profile or
    // the share circle. Any other index does nothing.
    void optionChosenAtIndex(std::int64_t index);
    // The maker's profile in Tweetbot, else in Twitter, else on Twitter's mobile web site.
    void openMakerProfile();
    void showShareCircle();

    // The options button over the middle tab.
    std::int64_t opOptionsButtonNumberOfItems(OPOptionsButton& button) override;
    UIImagePtr opOptionsButtonImageForItemAtIndex(OPOptionsButton& button, std::int64_t index) override;
    void opOptionsButtonWillDisplayButtonItem(OPOptionsButton& button, OPOptionItem& item) override;
    void opOptionsButtonDidSelectItem(OPOptionsButton& button, OPOptionItem& item) override;

    // The share circle: a sharer chosen opens its compose sheet, or its error when the device
    // cannot send that way. The circle does not report a cancel; this only logs.
    void shareCircleViewDidSelectSharer(CSShareCircleView& view, const std::shared_ptr<CSSharer>& sharer) override;
    void shareCircleCanceled(CSShareCircleView& view);
    void mailComposeControllerDidFinishWithResultError(MFMailComposeViewController& controller, MFMailComposeResult result,
                                                       const std::shared_ptr<NSError>& error) override;
    void messageComposeViewControllerDidFinishWithResult(MFMessageComposeViewController& controller,
                                                         MessageComposeResult result) override;
    // Clipvane: the bookmarklet hands over a video page's address; the video's streams are looked
    // up, a sheet offers their qualities and the chosen one is downloaded into the app folder.
    void requestClipvaneVideo(const NSURLPtr& url);
    // The choice's timer: downloads the oldest choice not yet started.
    void downloadEasterEggVid();
    // Downloads into a hidden file beside the destination that replaces it only once complete:
    // only a 200, or a 206 that holds the whole resource, is the whole video; anything else fails
    // and leaves what stood at the destination as it was. The bar shows the progress and the
    // outcome; a quit while the download runs takes its hidden file with it.
    void downloadVideoFromURLToPath(const std::string& address, const std::string& path);
    // The bookmarklet installer page on the maker's site, in the browser.
    void installBookmark();
    // The file a video's download goes to: its title made safe as one name in the app folder
    // ("/" and NUL replaced, leading dots dropped), the video id when no title is left, ".mov".
    static std::string videoDestinationPath(const std::string& title, const std::string& videoID);

    const Value::Dictionary& availableVideos() const { return availableVideos_; }
    const std::vector<std::string>& videoQualities() const { return videoQualities_; }
    const std::vector<std::string>& videoURLS() const { return videoURLS_; }
    const std::shared_ptr<PSActionSheet>& videoDLSheet() const { return videoDLSheet_; }
    std::int64_t clickedInt() const { return clickedInt_; }

    // The alerts the delegate shows are told apart by the clicked button's title.
    void alertViewClickedButtonAtIndex(UIAlertView& alertView, long buttonIndex) override;
    // "Clean": empties the app folder, keeping the folder.
    void cleanAppFolder();
    // The "Update" button of any of them: the package manager's page of the app.
    void updateThroughCydia();
    const std::string& alertBtnTitle() const { return alertBtnTitle_; }

    // The "Error" alerts shown instead of a share sheet the device cannot send, and their
    // scheduling half a second after the choice.
    void showSMSErr();
    void showMailErr();
    void showTwitterErr();
    void showFacebookErr();
    void showErrorLater(void (TDAppDelegate::*show)());
    // A synchronous fetch of a public page (at most 5 seconds): whether the device is online.
    bool twitterIsReachable() const;
    const std::string& initialTweetText() const { return initialTweetText_; }

    std::shared_ptr<UIWindow> window() const { return window_; }
    void setWindow(std::shared_ptr<UIWindow> window) { window_ = std::move(window); }
    std::shared_ptr<UITabBarController> tabBarController() const { return tabBarController_; }
    std::shared_ptr<CSShareCircleView> shareCircleView() const { return shareCircleView_; }
    void setShareCircleView(std::shared_ptr<CSShareCircleView> view) { shareCircleView_ = std::move(view); }

private:
    std::shared_ptr<UINavigationController> makeFilesTab();
    void showWelcomeOnFirstLaunch();
    void buildShareCircle();
    void installOptionsButton();
    void shareOnFacebook();
    void shareOnTwitter();
    void shareByMail();
    void shareByMessage();

    std::shared_ptr<UIWindow> window_;
    std::shared_ptr<UITabBarController> tabBarController_;
    std::shared_ptr<CSShareCircleView> shareCircleView_;
    bool saveReceivedFile(const NSURLPtr& url);
    void offerImportOfSong(const std::string& path);

    // The request's state, replaced by each request; a choice takes its address and path at once.
    struct ClipvaneDownload {
        std::string address;
        std::string path;
    };
    void chooseVideoQuality(int index);
    Value::Dictionary availableVideos_;
    std::vector<std::string> videoQualities_;
    std::vector<std::string> videoURLS_;
    std::shared_ptr<PSActionSheet> videoDLSheet_;
    std::int64_t clickedInt_ = 0;
    std::string videoID_;
    std::deque<ClipvaneDownload> chosenDownloads_;
    // The downloads under way, which a quit takes down (TDAppDelegate+Clipvane.cpp).
    struct VideoDownload;
    void abandonVideoDownloads();
    std::vector<std::shared_ptr<VideoDownload>> videoDownloads_;
    std::shared_ptr<NSObject> terminationObserver_;

    std::string alertBtnTitle_;
    std::string initialTweetText_;
    std::string musicFilePath_;
    std::shared_ptr<CLLocationManager> locationManager_;
};
