#include "app/TDAppDelegate.h"
#include "app/support/TDSites.h"
#include "app/support/VTVersionTracker.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/testsupport/LoopbackHTTPServer.h"
#include "platform/testsupport/RunLoopSupport.h"
#include "platform/uikit/UIAlertView.h"

namespace {
// The bundle's version is "1.0".
const std::string kCydiaPage = "cydia://package/org.harborstack.tandrel";

class UpdateHandlerTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        UIApplication::sharedApplication()->reset();
        ASSERT_TRUE(TDSites::setMakerSiteOrigin(server_.url("")));
    }
    void TearDown() override {
        if (auto tracker = VTVersionTracker::tracker()) tracker->stopTracking();
        UIApplication::sharedApplication()->reset();
        server_.stop();
        TDSites::setMakerSiteOrigin("");
        DeviceTest::TearDown();
    }

    void launchWithReply(const std::string& json) {
        server_.route("/Tandrel/track/release", LoopbackHTTPServer::fixed(200, {{"Content-Type", "application/json"}}, json));
        auto app = UIApplication::sharedApplication();
        delegate_ = std::make_shared<TDAppDelegate>();
        app->setDelegate(delegate_);
        ASSERT_TRUE(delegate_->applicationDidFinishLaunchingWithOptions(*app, Value()));
    }

    std::shared_ptr<UIAlertView> updateAlert() {
        for (const auto& alert : UIApplication::sharedApplication()->visibleAlerts()) {
            if (alert->title() == "Update Available!") return alert;
        }
        return nullptr;
    }

    std::shared_ptr<TDAppDelegate> delegate_;
    LoopbackHTTPServer server_;
};

TEST_F(UpdateHandlerTest, ANewerOptionalVersionIsOfferedAndUpdateOpensThePackagePage) {
    launchWithReply(R"({"version":{"number":"1.1","install_url":"http://example.invalid/get"}})");
    ASSERT_TRUE(runMainUntil([&] { return updateAlert() != nullptr; }));
    auto alert = updateAlert();
    EXPECT_EQ(alert->message(), "There is a newer version of Tandrel availabe. Update now?");
    ASSERT_EQ(alert->numberOfButtons(), 2);
    EXPECT_EQ(alert->buttonTitleAtIndex(alert->cancelButtonIndex()), "Later");
    EXPECT_EQ(alert->buttonTitleAtIndex(alert->firstOtherButtonIndex()), "Update");
    EXPECT_EQ(alert->delegate(), delegate_);
    EXPECT_EQ(server_.requests().at(0).target, "/Tandrel/track/release");

    alert->clickButtonAtIndex(alert->firstOtherButtonIndex());
    EXPECT_EQ(delegate_->alertBtnTitle(), "Update");
    EXPECT_TRUE(log_->contains("Updating through Cydia..."));
    auto opened = UIApplication::sharedApplication()->openedURLs();
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0]->absoluteString(), kCydiaPage);
}

TEST_F(UpdateHandlerTest, LaterOpensNothing) {
    launchWithReply(R"({"version":{"number":"1.1"}})");
    ASSERT_TRUE(runMainUntil([&] { return updateAlert() != nullptr; }));
    auto alert = updateAlert();
    alert->clickButtonAtIndex(alert->cancelButtonIndex());
    EXPECT_EQ(delegate_->alertBtnTitle(), "Later");
    EXPECT_TRUE(UIApplication::sharedApplication()->openedURLs().empty());
    EXPECT_FALSE(updateAlert());
}

TEST_F(UpdateHandlerTest, AMandatoryVersionOpensItsInstallAddress) {
    launchWithReply(R"({"version":{"number":"2.0","install_url":"cydia://package/org.harborstack.tandrel?v=2","mandatory":true}})");
    ASSERT_TRUE(runMainUntil([&] { return !UIApplication::sharedApplication()->openedURLs().empty(); }));
    EXPECT_EQ(UIApplication::sharedApplication()->openedURLs()[0]->absoluteString(), kCydiaPage + "?v=2");
    EXPECT_FALSE(updateAlert());
}

TEST_F(UpdateHandlerTest, NoNewerVersionShowsNothing) {
    launchWithReply(R"({"version":{"number":"1.0b"}})");
    ASSERT_TRUE(runMainUntil([&] { return VTVersionTracker::tracker() && VTVersionTracker::tracker()->currentState() == 1; }));
    drainMain();
    EXPECT_TRUE(UIApplication::sharedApplication()->visibleAlerts().empty());
    EXPECT_TRUE(UIApplication::sharedApplication()->openedURLs().empty());
    EXPECT_EQ(VTVersionTracker::tracker()->channelName(), "release");
    EXPECT_EQ(VTVersionTracker::tracker()->checkInterval(), 1800u);
}

TEST_F(UpdateHandlerTest, UpdateActsAlikeWhateverAlertItBelongsTo) {
    launchWithReply(R"({"version":{"number":"1.0"}})");
    auto other = UIAlertView::initWithTitle("Something", "else", delegate_, "Cancel", {"Update"});
    other->show();
    other->clickButtonAtIndex(1);
    ASSERT_EQ(UIApplication::sharedApplication()->openedURLs().size(), 1u);
    EXPECT_EQ(UIApplication::sharedApplication()->openedURLs()[0]->absoluteString(), kCydiaPage);
}

} // namespace
