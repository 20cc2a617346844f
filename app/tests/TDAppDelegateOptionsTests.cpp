#include "app/TDAppDelegate.h"
#include "app/support/TDSites.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/uikit/UIAlertView.h"

namespace {
// An installed app that takes URLs of the scheme.
std::string appTakingScheme(const std::string& scheme) {
    return R"(<?xml version="1.0" encoding="UTF-8"?><plist version="1.0"><dict>
<key>CFBundleIdentifier</key><string>com.example.)" + scheme + R"(</string>
<key>CFBundleURLTypes</key><array><dict><key>CFBundleURLSchemes</key><array><string>)" + scheme + R"(</string></array></dict></array>
</dict></plist>)";
}

class OptionsTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        UIApplication::sharedApplication()->reset();
        delegate_ = std::make_shared<TDAppDelegate>();
    }
    void TearDown() override {
        UIApplication::sharedApplication()->reset();
        DeviceTest::TearDown();
    }

    static std::vector<std::string> opened() {
        std::vector<std::string> out;
        for (const auto& url : UIApplication::sharedApplication()->openedURLs()) out.push_back(url->absoluteString());
        return out;
    }
    static std::shared_ptr<UIAlertView> lastAlert() {
        const auto& alerts = UIApplication::sharedApplication()->visibleAlerts();
        return alerts.empty() ? nullptr : alerts.back();
    }
    // Clicks the alert's button with the title.
    void click(const std::shared_ptr<UIAlertView>& alert, const std::string& title) {
        for (long i = 0; i < alert->numberOfButtons(); ++i) {
            if (alert->buttonTitleAtIndex(i) == title) return alert->clickButtonAtIndex(i);
        }
        FAIL() << "no button " << title;
    }
    void fillAppFolder() {
        writeFile("/var/mobile/Tandrel/song.m4a", "song");
        writeFile("/var/mobile/Tandrel/Trip/Day 1/notes.txt", "notes");
        writeFile("/var/mobile/Tandrel/.hidden", "hidden");
    }
    static std::vector<std::string> appFolder() {
        return NSFileManager::defaultManager()->contentsOfDirectoryAtPath("/var/mobile/Tandrel", nullptr).value_or(std::vector<std::string>{"(missing)"});
    }

    std::shared_ptr<TDAppDelegate> delegate_;
};

TEST_F(OptionsTest, CleanConfirmedEmptiesTheAppFolderAndKeepsIt) {
    fillAppFolder();
    delegate_->optionChosenAtIndex(TDAppDelegate::kOptionClean);
    auto alert = lastAlert();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->title(), "Clean");
    EXPECT_EQ(alert->message(), "Are you sure you want to clean Tandrel folder?\n /var/mobile/Tandrel/");
    EXPECT_EQ(alert->delegate(), delegate_);
    EXPECT_EQ(alert->buttonTitleAtIndex(alert->cancelButtonIndex()), "Cancel");

    click(alert, "Cancel");
    EXPECT_EQ(appFolder().size(), 3u);

    delegate_->optionChosenAtIndex(TDAppDelegate::kOptionClean);
    click(lastAlert(), "Clean");
    EXPECT_TRUE(log_->contains("Cleaning..."));
    EXPECT_EQ(appFolder(), std::vector<std::string>{});
    EXPECT_TRUE(opened().empty());
}

TEST_F(OptionsTest, AlertsAreToldApartByTheClickedTitleAlone) {
    // Whatever alert a button belongs to, its title decides; titles without a branch do nothing.
    struct Case {
        const char* title;
        bool cleans;
        std::vector<std::string> opens;
    };
    const Case cases[] = {
        {"Clean", true, {}},
        {"Update", false, {"cydia://package/org.harborstack.tandrel"}},
        {"Cancel", false, {}},
        {"Later", false, {}},
        {"Save", false, {}},
        {"OK", false, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        UIApplication::sharedApplication()->reset();
        fillAppFolder();
        auto alert = UIAlertView::initWithTitle("Any", "", delegate_, "Dismiss", {c.title});
        alert->show();
        click(alert, c.title);
        EXPECT_EQ(delegate_->alertBtnTitle(), c.title);
        EXPECT_EQ(appFolder().empty(), c.cleans);
        EXPECT_EQ(opened(), c.opens);
    }
}

TEST_F(OptionsTest, CleanWithoutAnAppFolderChangesNothing) {
    auto alert = UIAlertView::initWithTitle("Clean", "", delegate_, "Cancel", {"Clean"});
    alert->show();
    click(alert, "Clean");
    EXPECT_FALSE(NSFileManager::defaultManager()->fileExistsAtPath("/var/mobile/Tandrel"));
}

TEST_F(OptionsTest, TheWebSiteAndAboutItems) {
    delegate_->optionChosenAtIndex(TDAppDelegate::kOptionWebSite);
    EXPECT_EQ(opened(), std::vector<std::string>{TDSites::kMakerHomePage});
    EXPECT_TRUE(log_->contains("globe"));

    delegate_->optionChosenAtIndex(TDAppDelegate::kOptionAbout);
    auto about = lastAlert();
    ASSERT_TRUE(about);
    EXPECT_EQ(about->title(), "About");
    EXPECT_NE(about->message().find("@quorrelhub"), std::string::npos);
    EXPECT_EQ(about->delegate(), nullptr);
    ASSERT_EQ(about->numberOfButtons(), 1);
    EXPECT_EQ(about->buttonTitleAtIndex(0), "Close");

    // Indexes outside the menu do nothing.
    UIApplication::sharedApplication()->reset();
    for (std::int64_t index : {std::int64_t(-1), std::int64_t(TDAppDelegate::kOptionCount), std::int64_t(99)}) delegate_->optionChosenAtIndex(index);
    EXPECT_TRUE(opened().empty());
    EXPECT_FALSE(lastAlert());
}

TEST_F(OptionsTest, TheProfileOpensInTweetbotThenTwitterThenTheMobileSite) {
    struct Case {
        std::vector<std::string> installed;
        const char* opens;
    };
    const Case cases[] = {
        {{"tweetbot", "twitter"}, "tweetbot:///user_profile/quorrelhub"},
        {{"twitter"}, "twitter://user?screen_name=quorrelhub"},
        {{}, "https://mobile.twitter.com/quorrelhub"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.opens);
        UIApplication::sharedApplication()->reset();
        removeHostTree(host("/Applications"));
        for (const auto& scheme : c.installed) writeFile("/Applications/" + scheme + ".app/Info.plist", appTakingScheme(scheme));
        delegate_->optionChosenAtIndex(TDAppDelegate::kOptionTwitter);
        EXPECT_EQ(opened(), std::vector<std::string>{c.opens});
    }
}
} // namespace
