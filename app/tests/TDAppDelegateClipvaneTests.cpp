// Clipvane requests against a loopback video site: the sheet the page's streams give, the
// download a choice starts a second later, and what is left on disk when it fails.

#include "app/TDAppDelegate.h"
#include "app/support/TDSites.h"
#include "app/support/tests/VPYoutubeReplies.h"
#include "controls/progress/PBProgressIndicator.h"
#include "platform/device/Driver.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/testsupport/LoopbackHTTPServer.h"
#include "platform/testsupport/RunLoopSupport.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIApplicationLifeCycle.h"
#include "platform/uikit/UIScreen.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include <sys/stat.h>

using namespace vpfixture;

namespace {
namespace fs = std::filesystem;

const std::string kBody(5000, 'v');

class ClipvaneTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        UIApplication::sharedApplication()->reset();
        clock_.emplace();
        makeDirectory(TDAppFolderPath);
        ASSERT_TRUE(TDSites::setVideoSiteOrigin(server_.url("")));
        window_ = std::make_shared<UIWindow>(UIScreen::mainScreen()->bounds());
        window_->setRootViewController(std::make_shared<UIViewController>());
        window_->makeKeyAndVisible();
        delegate_ = std::make_shared<TDAppDelegate>();
        UIApplication::sharedApplication()->setDelegate(delegate_);
        PBProgressIndicator::sharedIndicator();
    }
    void TearDown() override {
        server_.stop();
        TDSites::setVideoSiteOrigin("");
        clock_.reset();
        UIApplication::sharedApplication()->reset();
        DeviceTest::TearDown();
    }

    // The video-information reply for a page with these qualities, each stream at /stream/QUALITY.
    void serveVideo(const std::vector<std::string>& qualities, const std::string& title = "A Title") {
        std::vector<Stream> streams;
        for (const auto& q : qualities) streams.push_back({.quality = q, .url = server_.url("/stream/" + q + "?k=1")});
        const std::string more = "&title=" + enc(title) + "&iurl=" + enc(server_.url("/thumb.png")) + "&length_seconds=9";
        serveInformation(reply(streams, more));
    }
    void serveInformation(const std::string& body) {
        server_.route("/get_video_info", LoopbackHTTPServer::fixed(200, {{"Content-Type", "text/plain"}}, body));
    }
    void open(const std::string& url) {
        ASSERT_TRUE(UIApplication::sharedApplication()->handleOpenURL(NSURL::URLWithString(url), "com.apple.mobilesafari"));
    }
    bool tap(const std::string& text) {
        Driver driver;
        return driver.execute("tap " + text).empty();
    }
    // Lets the sheet fade, then the choice's second pass.
    void chooseAndWait(const std::string& label) {
        ASSERT_TRUE(tap(label));
        for (int i = 0; i < 10; ++i) clock_->advance(0.1 + 1e-6);
    }
    // The bar's message once the flash that ends the download shows it.
    std::string outcome() {
        runMainUntil([] { return PBProgressIndicator::sharedIndicator()->isFlashing(); });
        clock_->advance(0.3 + 1e-6);
        clock_->advance(0.5 + 1e-6);
        return PBProgressIndicator::sharedIndicator()->titleLabel()->text();
    }
    std::vector<std::string> appFolder() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(host(TDAppFolderPath))) names.push_back(entry.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }
    std::size_t streamRequests() const {
        std::size_t count = 0;
        for (const auto& r : server_.requests()) count += r.path.rfind("/stream/", 0) == 0;
        return count;
    }

    LoopbackHTTPServer server_;
    std::optional<ManualClock> clock_;
    std::shared_ptr<UIWindow> window_;
    std::shared_ptr<TDAppDelegate> delegate_;
};

TEST_F(ClipvaneTest, TheMobilePageGivesASheetOfItsQualitiesAndAChoiceDownloadsASecondLater) {
    serveVideo({"small", "medium"});
    server_.route("/stream/medium", LoopbackHTTPServer::fixed(200, {{"Content-Type", "video/mp4"}}, kBody));
    auto png = UIImagePNGRepresentation(UIImage::imageNamed("egg"));
    server_.route("/thumb.png", LoopbackHTTPServer::fixed(200, {{"Content-Type", "image/png"}}, std::string(png->stringView())));

    open("tandrel://http//m.youtube.com/watch?v=vid%2F42&feature=share");
    EXPECT_TRUE(log_->contains("YouTube URL: http://www.youtube.com/watch?v=vid%2F42&feature=share"));
    auto info = server_.requests().at(0);
    EXPECT_EQ(info.path, "/get_video_info");
    EXPECT_NE(info.target.find("video_id=vid%2F42"), std::string::npos) << info.target;

    EXPECT_EQ(delegate_->videoQualities(), (std::vector<std::string>{"Medium Quality", "Low Quality"}));
    auto sheet = delegate_->videoDLSheet();
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->nAnimationType(), PSActionSheet::kFade);
    EXPECT_EQ(sheet->nContentMode(), PSActionSheet::kContentImage);
    ASSERT_TRUE(sheet->iImage());
    Driver driver;
    EXPECT_NE(driver.execute("screen").find("action sheet: \"A Title\" [Medium Quality] [Low Quality] [Cancel]"), std::string::npos)
        << driver.execute("screen");

    ASSERT_TRUE(tap("Medium Quality"));
    clock_->advance(0.9);
    EXPECT_EQ(streamRequests(), 0u) << "not before a second has passed";
    EXPECT_EQ(delegate_->clickedInt(), 0);
    clock_->advance(0.1 + 1e-6);
    ASSERT_TRUE(runMainUntil([&] { return streamRequests() == 1; }));
    EXPECT_EQ(PBProgressIndicator::sharedIndicator()->titleLabel()->text(), "Downloading Video");
    EXPECT_EQ(outcome(), "Download Complete");
    EXPECT_EQ(readFile(TDAppFolderPath + "/A Title.mov"), kBody);
    EXPECT_EQ(appFolder(), (std::vector<std::string>{"A Title.mov"})) << "no temporary file left";
    EXPECT_TRUE(log_->contains("Choosed quality: Medium Quality"));
}

TEST_F(ClipvaneTest, AFailedDownloadSaysSoAndLeavesAnEarlierFileAsItWas) {
    struct Case {
        const char* name;
        LoopbackHTTPServer::Handler stream;
    };
    const Case cases[] = {
        {"a body cut short", LoopbackHTTPServer::truncated(200, kBody.size(), kBody.substr(0, 1000))},
        {"not found", LoopbackHTTPServer::fixed(404, {{"Content-Type", "text/html"}}, "<p>gone</p>")},
        {"a server error", LoopbackHTTPServer::fixed(500, {}, "")},
        {"no content", LoopbackHTTPServer::fixed(204, {}, "")},
        // A quarter of the video, answered to a request for the whole of it.
        {"a part", LoopbackHTTPServer::fixed(206, {{"Content-Range", "bytes 0-1249/5000"}}, kBody.substr(0, 1250))},
        {"the whole video as a part", LoopbackHTTPServer::fixed(206, {{"Content-Range", "bytes 0-4999/5000"}}, kBody)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        writeFile(TDAppFolderPath + "/A Title.mov", "earlier");
        serveVideo({"hd720"});
        server_.route("/stream/hd720", c.stream);
        open("tandrel://http://www.youtube.com/watch?v=abc");
        chooseAndWait("High Quality");
        EXPECT_EQ(outcome(), "Download Failed");
        EXPECT_EQ(readFile(TDAppFolderPath + "/A Title.mov"), "earlier");
        EXPECT_EQ(appFolder(), (std::vector<std::string>{"A Title.mov"})) << "the partial file is removed";
        EXPECT_TRUE(log_->contains("Download failed: ")) << "the log says why";
        log_->clear();
        for (int i = 0; i < 40; ++i) clock_->advance(0.1);
    }
}

TEST_F(ClipvaneTest, ADownloadOntoAFifoIsRefusedAndTheLogSaysWhy) {
    const std::string path = TDAppFolderPath + "/A Title.mov";
    ASSERT_EQ(::mkfifo(host(path).c_str(), 0600), 0);
    serveVideo({"medium"});
    server_.route("/stream/medium", LoopbackHTTPServer::fixed(200, {}, kBody));
    open("tandrel://http://www.youtube.com/watch?v=abc");
    chooseAndWait("Medium Quality");
    EXPECT_EQ(outcome(), "Download Failed");
    EXPECT_TRUE(fs::is_fifo(host(path)));
    EXPECT_EQ(appFolder(), (std::vector<std::string>{"A Title.mov"})) << "no temporary left";
    EXPECT_TRUE(log_->contains("Download failed: " + path + " cannot be replaced: it is not a regular file"));
}

TEST_F(ClipvaneTest, AQuitDuringADownloadLeavesNoTemporary) {
    writeFile(TDAppFolderPath + "/A Title.mov", "earlier");
    auto gate = std::make_shared<LoopbackGate>();
    serveVideo({"medium"});
    server_.route("/stream/medium", LoopbackHTTPServer::gated(200, {}, kBody, 1000, gate));
    open("tandrel://http://www.youtube.com/watch?v=abc");
    chooseAndWait("Medium Quality");
    // The first piece is in the hidden file; the rest waits for the gate.
    ASSERT_TRUE(runMainUntil([&] { return gate->waiting() > 0 && appFolder().size() == 2; }));
    UIApplicationWillTerminate();
    EXPECT_EQ(appFolder(), (std::vector<std::string>{"A Title.mov"}));
    gate->cancel();
    runMainUntil([&] { return PBProgressIndicator::sharedIndicator()->isFlashing(); });
    EXPECT_EQ(appFolder(), (std::vector<std::string>{"A Title.mov"})) << "nothing brings the hidden file back";
    EXPECT_EQ(readFile(TDAppFolderPath + "/A Title.mov"), "earlier");
}

TEST_F(ClipvaneTest, AnAppFolderThatCannotBeWrittenFailsTheDownload) {
    serveVideo({"medium"});
    server_.route("/stream/medium", LoopbackHTTPServer::fixed(200, {}, kBody));
    open("tandrel://http://www.youtube.com/watch?v=abc");
    fs::remove_all(host(TDAppFolderPath));
    chooseAndWait("Medium Quality");
    EXPECT_EQ(outcome(), "Download Failed");
    EXPECT_FALSE(fs::exists(host(TDAppFolderPath)));
}

TEST_F(ClipvaneTest, TitlesBecomeOneNameInTheAppFolder) {
    struct Case {
        std::string title;
        std::string path;
    };
    const Case cases[] = {
        {"Plain", TDAppFolderPath + "/Plain.mov"},
        {"a/b/c", TDAppFolderPath + "/a_b_c.mov"},
        {"../../etc/passwd", TDAppFolderPath + "/_.._etc_passwd.mov"},
        {"..", TDAppFolderPath + "/ID.mov"},
        {"", TDAppFolderPath + "/ID.mov"},
        {".hidden", TDAppFolderPath + "/hidden.mov"},
        {std::string("nul\0inside", 10), TDAppFolderPath + "/nul_inside.mov"},
        {std::string(300, 'x'), TDAppFolderPath + "/" + std::string(250, 'x') + ".mov"},
        {std::string(249, 'x') + "\xC3\xA9", TDAppFolderPath + "/" + std::string(249, 'x') + ".mov"},
    };
    for (const auto& c : cases) EXPECT_EQ(TDAppDelegate::videoDestinationPath(c.title, "ID"), c.path) << c.title;
}

TEST_F(ClipvaneTest, ATitleWithSlashesAndDotsIsSavedInsideTheAppFolderAndAMissingTitleUnderTheVideoID) {
    struct Case {
        const char* name;
        std::string more;
        std::string saved;
    };
    const Case cases[] = {
        {"slashes and dots", "&title=..%2F..%2Fescape", "_.._escape.mov"},
        {"no title", "&length_seconds=3", "xyz.mov"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(host(TDAppFolderPath));
        makeDirectory(TDAppFolderPath);
        serveInformation(reply({{.quality = "small", .url = server_.url("/stream/small?k=1")}}, c.more));
        server_.route("/stream/small", LoopbackHTTPServer::fixed(200, {}, kBody));
        open("tandrel://http://www.youtube.com/watch?v=xyz");
        chooseAndWait("Low Quality");
        EXPECT_EQ(outcome(), "Download Complete");
        EXPECT_EQ(appFolder(), (std::vector<std::string>{c.saved}));
        for (int i = 0; i < 40; ++i) clock_->advance(0.1);
    }
}

TEST_F(ClipvaneTest, APageWithoutTheThreeQualitiesShowsAnErrorInsteadOfASheet) {
    struct Case {
        const char* name;
        std::string body;
        std::string reason; // the lookup's logged reason, none when the lookup gave a result
    };
    const Case cases[] = {
        {"unparsable page", "status=fail&reason=nope", "The video information lists no streams"},
        {"live video", "status=ok&live_playback=1&hlsvp=" + enc("http://live/x.m3u8"), ""},
        {"other qualities only", reply({{.quality = "hd1080", .url = "http://cdn/big"}}), ""},
        {"no MP4 stream: the empty result", reply({{.quality = "medium", .url = "http://cdn/webm", .type = "video/webm"}}),
         "The video has no MP4 stream"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        log_->clear();
        UIApplication::sharedApplication()->reset();
        UIApplication::sharedApplication()->setDelegate(delegate_);
        serveInformation(c.body);
        open("tandrel://http://www.youtube.com/watch?v=abc");
        EXPECT_FALSE(delegate_->videoDLSheet());
        auto& alerts = UIApplication::sharedApplication()->visibleAlerts();
        ASSERT_EQ(alerts.size(), 1u);
        EXPECT_EQ(alerts[0]->title(), "Error");
        EXPECT_EQ(alerts[0]->message(), "This video cannot be downloaded.");
        EXPECT_EQ(log_->count("Video lookup failed: "), c.reason.empty() ? 0u : 1u);
        if (!c.reason.empty()) {
            EXPECT_TRUE(log_->contains("Video lookup failed: " + c.reason));
        }
    }
}

// Two requests within the second: each choice downloads its own video under its own title.
TEST_F(ClipvaneTest, AChoiceKeepsItsVideoWhenAnotherRequestFollowsWithinTheSecond) {
    serveVideo({"hd720", "medium"}, "First");
    server_.route("/stream/hd720", LoopbackHTTPServer::fixed(200, {}, "first video"));
    open("tandrel://http://www.youtube.com/watch?v=one");
    ASSERT_TRUE(tap("High Quality"));
    clock_->advance(0.5);

    serveVideo({"small"}, "Second");
    open("tandrel://http://www.youtube.com/watch?v=two");
    EXPECT_EQ(delegate_->videoURLS().size(), 1u);
    clock_->advance(0.5 + 1e-6);
    EXPECT_EQ(outcome(), "Download Complete");
    EXPECT_EQ(readFile(TDAppFolderPath + "/First.mov"), "first video");
    EXPECT_EQ(appFolder(), (std::vector<std::string>{"First.mov"}));
}

TEST_F(ClipvaneTest, CancelDownloadsNothing) {
    serveVideo({"medium"});
    open("tandrel://http://www.youtube.com/watch?v=abc");
    chooseAndWait("Cancel");
    for (int i = 0; i < 20; ++i) clock_->advance(0.1);
    EXPECT_EQ(streamRequests(), 0u);
    EXPECT_TRUE(appFolder().empty());
}

TEST_F(ClipvaneTest, InstallBookmarkOpensTheInstallerPage) {
    delegate_->installBookmark();
    auto& opened = UIApplication::sharedApplication()->openedURLs();
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0]->absoluteString(), TDSites::bookmarkletInstallerURL());
}
} // namespace
