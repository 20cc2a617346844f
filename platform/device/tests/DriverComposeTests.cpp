// Compose sheets through the driver: what the device can send, the open sheet, send and cancel.

#include "platform/device/Driver.h"
#include "platform/system/DeviceProfile.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/uikit/MFMailComposeViewController.h"
#include "platform/uikit/MFMessageComposeViewController.h"
#include "platform/uikit/SLComposeViewController.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIWindow.h"

#include <gtest/gtest.h>

namespace {
struct Outcomes : NSObject, MFMailComposeViewControllerDelegate, MFMessageComposeViewControllerDelegate {
    std::vector<std::string> heard;
    void mailComposeControllerDidFinishWithResultError(MFMailComposeViewController& sheet, MFMailComposeResult result,
                                                       const std::shared_ptr<NSError>&) override {
        heard.push_back("mail " + std::to_string(result));
        sheet.dismissModalViewControllerAnimated(true);
    }
    void messageComposeViewControllerDidFinishWithResult(MFMessageComposeViewController& sheet,
                                                         MessageComposeResult result) override {
        heard.push_back("message " + std::to_string(result));
        sheet.dismissModalViewControllerAnimated(true);
    }
};

class ComposeTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        UIApplication::sharedApplication()->reset();
        DeviceProfile::reset();
        UIComposeSheet::clearSent();
        root_ = std::make_shared<UIViewController>();
        window_ = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 568));
        window_->setRootViewController(root_);
        window_->makeKeyAndVisible();
    }
    void TearDown() override {
        UIApplication::sharedApplication()->reset();
        DeviceProfile::reset();
        UIComposeSheet::clearSent();
        DeviceTest::TearDown();
    }
    bool shows(const std::string& text) { return driver_.screen().find(text) != std::string::npos; }

    Driver driver_;
    std::shared_ptr<UIViewController> root_;
    std::shared_ptr<UIWindow> window_;
    std::shared_ptr<Outcomes> outcomes_ = std::make_shared<Outcomes>();
};
} // namespace

TEST_F(ComposeTest, TheAccountsDecideWhatTheDeviceCanSend) {
    struct Row {
        std::string list;
        bool mail, sms, facebook, twitter;
    } rows[] = {
        {"mail,sms,facebook,twitter", true, true, true, true},
        {"none", false, false, false, false},
        {"twitter,mail", true, false, false, true},
        {"sms", false, true, false, false},
    };
    EXPECT_TRUE(MFMailComposeViewController::canSendMail()) << "a fresh device has every account";
    for (auto& row : rows) {
        SCOPED_TRACE(row.list);
        std::string said = driver_.execute("accounts " + row.list);
        EXPECT_EQ(said, "accounts: " + DeviceProfile::current().accounts.description() + "\n");
        EXPECT_EQ(MFMailComposeViewController::canSendMail(), row.mail);
        EXPECT_EQ(MFMessageComposeViewController::canSendText(), row.sms);
        EXPECT_EQ(SLComposeViewController::isAvailableForServiceType(SLServiceTypeFacebook), row.facebook);
        EXPECT_EQ(SLComposeViewController::isAvailableForServiceType(SLServiceTypeTwitter), row.twitter);
    }
    EXPECT_FALSE(SLComposeViewController::isAvailableForServiceType("com.apple.social.weibo"));
    EXPECT_EQ(SLComposeViewController::composeViewControllerForServiceType("com.apple.social.weibo"), nullptr);
}

TEST_F(ComposeTest, AnUnknownAccountIsAnErrorAndChangesNothing) {
    driver_.execute("accounts mail,twitter");
    for (const char* bad : {"bogus", "mail,bogus", "mail,", ",sms", "Mail", "none,mail"}) {
        SCOPED_TRACE(bad);
        std::string said = driver_.execute(std::string("accounts ") + bad);
        EXPECT_EQ(said.rfind("error: unknown account", 0), 0u) << said;
        EXPECT_EQ(DeviceProfile::current().accounts.description(), "mail,twitter");
    }
    EXPECT_EQ(driver_.execute("accounts"), "error: accounts what?\n");
}

TEST_F(ComposeTest, AMailSheetShowsWhatItWillSendAndSendingRecordsIt) {
    auto mail = std::make_shared<MFMailComposeViewController>();
    mail->setMailComposeDelegate(outcomes_);
    mail->setSubject("Tandrel!");
    mail->setMessageBodyIsHTML("I love <a href=\"x\">it</a>", true);
    root_->presentViewControllerAnimatedCompletion(mail, true, nullptr);
    EXPECT_TRUE(shows("compose: mail subject \"Tandrel!\" body \"I love <a href=\"x\">it</a>\"\n")) << driver_.screen();
    EXPECT_EQ(driver_.execute("send"), "sent: mail subject \"Tandrel!\" body \"I love <a href=\"x\">it</a>\"\n");
    EXPECT_EQ(outcomes_->heard, std::vector<std::string>{"mail 2"});
    EXPECT_FALSE(shows("compose:")) << "the delegate dismissed it";
    EXPECT_FALSE(shows("sent:")) << "the send said it; the screen does not repeat it";
    EXPECT_EQ(UIComposeSheet::sentSummaries().size(), 1u);
    EXPECT_FALSE(mail->finish(true)) << "a finished sheet sends nothing more";
    EXPECT_EQ(UIComposeSheet::sentSummaries().size(), 1u);
    EXPECT_EQ(driver_.execute("send"), "error: no compose sheet on screen\n");
    EXPECT_EQ(driver_.execute("cancel"), "error: no sheet on screen\n");
}

TEST_F(ComposeTest, ACancelledMessageIsToldAndRecordsNothing) {
    auto message = std::make_shared<MFMessageComposeViewController>();
    message->setMessageComposeDelegate(outcomes_);
    message->setBody("Search for \"Tandrel\" on Cydia");
    root_->presentViewControllerAnimatedCompletion(message, true, nullptr);
    EXPECT_TRUE(shows("compose: message body \"Search for \"Tandrel\" on Cydia\"\n")) << driver_.screen();
    EXPECT_EQ(driver_.execute("tap Cancel"), "cancelled: message body \"Search for \"Tandrel\" on Cydia\"\n");
    EXPECT_EQ(outcomes_->heard, std::vector<std::string>{"message 0"});
    EXPECT_TRUE(UIComposeSheet::sentSummaries().empty());
    EXPECT_FALSE(shows("sent:"));
}

TEST_F(ComposeTest, TheSocialSheetDismissesItselfAndTellsItsHandler) {
    struct Row {
        std::string service, command, shown;
        long result;
        bool recorded;
    } rows[] = {
        {SLServiceTypeTwitter, "send", "twitter text \"Hi\" url https://example.org/p", 1, true},
        {SLServiceTypeFacebook, "cancel", "facebook text \"Hi\" url https://example.org/p", 0, false},
    };
    for (auto& row : rows) {
        SCOPED_TRACE(row.command);
        SetUp();
        auto sheet = SLComposeViewController::composeViewControllerForServiceType(row.service);
        EXPECT_TRUE(sheet->setInitialText("Hi"));
        EXPECT_TRUE(sheet->addURL(NSURL::URLWithString("https://example.org/p")));
        std::vector<long> results;
        sheet->setCompletionHandler([&](SLComposeViewControllerResult result) {
            EXPECT_EQ(root_->presentedViewController(), nullptr) << "gone before the handler hears";
            results.push_back(result);
        });
        root_->presentViewControllerAnimatedCompletion(sheet, true, nullptr);
        EXPECT_FALSE(sheet->setInitialText("Later")) << "the text is fixed once on screen";
        EXPECT_TRUE(shows("compose: " + row.shown + "\n")) << driver_.screen();
        EXPECT_NE(driver_.execute(row.command), "");
        EXPECT_EQ(results, std::vector<long>{row.result});
        EXPECT_FALSE(shows("compose:"));
        EXPECT_EQ(UIComposeSheet::sentSummaries(), row.recorded ? std::vector<std::string>{row.shown} : std::vector<std::string>{});
    }
}
