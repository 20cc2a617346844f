#include "platform/uikit/UIDocumentInteractionController.h"

#include "platform/foundation/NSURL.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/uikit/UIActivityViewController.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIScreenDescription.h"
#include "platform/uikit/UIWindow.h"

#include <gtest/gtest.h>

namespace {
// An app that opens the documents listed: type identifiers and extensions.
std::string documentInteractionControllerInfoPlist(const std::string& identifier, const std::string& name, const std::string& contentTypes,
                      const std::string& extensions) {
    return R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
<key>CFBundleIdentifier</key><string>)" + identifier + R"(</string>
<key>CFBundleDisplayName</key><string>)" + name + R"(</string>
<key>CFBundleDocumentTypes</key><array><dict><key>CFBundleTypeName</key><string>Documents</string>
<key>LSItemContentTypes</key><array>)" + contentTypes + R"(</array>
<key>CFBundleTypeExtensions</key><array>)" + extensions + R"(</array></dict></array>
</dict></plist>
)";
}

// Writes down the delegate's calls.
class RecordingDelegate : public UIDocumentInteractionControllerDelegate {
public:
    std::vector<std::string> calls;
    void documentInteractionControllerWillPresentOptionsMenu(UIDocumentInteractionController&) override { calls.push_back("willPresent"); }
    void documentInteractionControllerDidDismissOptionsMenu(UIDocumentInteractionController&) override { calls.push_back("didDismiss"); }
    void documentInteractionControllerWillBeginSendingToApplication(UIDocumentInteractionController&, const std::string& app) override {
        calls.push_back("willBegin " + app);
    }
    void documentInteractionControllerDidEndSendingToApplication(UIDocumentInteractionController&, const std::string& app) override {
        calls.push_back("didEnd " + app);
    }
};

class UIDocumentInteractionControllerTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        UIApplication::sharedApplication()->reset();
        writeFile("/Applications/Reader.app/Info.plist", documentInteractionControllerInfoPlist("com.example.reader", "Reader", "<string>public.text</string>", ""));
        writeFile("/Applications/Player.app/Info.plist", documentInteractionControllerInfoPlist("com.example.player", "Player", "<string>public.audio</string>", ""));
        writeFile("/Applications/Viewer.app/Info.plist", documentInteractionControllerInfoPlist("com.example.viewer", "Viewer", "", "<string>PDF</string>"));
        writeFile("/Applications/Anything.app/Info.plist", documentInteractionControllerInfoPlist("com.example.anything", "Anything", "", "<string>*</string>"));
        writeFile("/Applications/Importer.app/Info.plist",
                  R"(<plist version="1.0"><dict><key>CFBundleIdentifier</key><string>com.example.importer</string></dict></plist>)");
        window = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 568));
        window->makeKeyAndVisible();
        list = std::make_shared<UIView>(CGRectMake(10, 60, 300, 400));
        window->addSubview(list);
    }
    void TearDown() override {
        UIApplication::sharedApplication()->reset();
        DeviceTest::TearDown();
    }
    std::shared_ptr<UIDocumentInteractionController> menuFor(const std::string& path) {
        auto controller = UIDocumentInteractionController::interactionControllerWithURL(NSURL::fileURLWithPath(path));
        controller->setDelegate(delegate);
        return controller;
    }
    std::string screenText() {
        UIScreenDescription screen;
        screen.describeWindow(window);
        return screen.text();
    }

    std::shared_ptr<UIWindow> window;
    std::shared_ptr<UIView> list;
    std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
};
} // namespace

TEST_F(UIDocumentInteractionControllerTest, OffersAirDropAndTheAppsThatOpenTheFilesType) {
    struct Case {
        const char* name;
        const char* uti;
        std::vector<std::string> offers;
    } cases[] = {
        {"notes.txt", "public.plain-text", {"AirDrop", "Open in Anything", "Open in Reader"}},
        {"song.M4A", "public.mpeg-4-audio", {"AirDrop", "Open in Anything", "Open in Player"}},
        {"paper.pdf", "com.adobe.pdf", {"AirDrop", "Open in Anything", "Open in Viewer"}},
        {"archive.bin", "public.data", {"AirDrop", "Open in Anything"}},
        {"no-extension", "public.data", {"AirDrop", "Open in Anything"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = std::string("/var/mobile/Tandrel/") + c.name;
        writeFile(path, "x");
        auto controller = menuFor(path);
        EXPECT_EQ(controller->UTI(), c.uti);
        EXPECT_EQ(controller->name(), c.name);
        std::vector<std::string> offers;
        for (const auto& entry : controller->menuEntries()) offers.push_back(entry.title);
        EXPECT_EQ(offers, c.offers);
        EXPECT_EQ(controller->menuEntries().front().application, UIActivityTypeAirDrop);
    }
}

TEST_F(UIDocumentInteractionControllerTest, NothingToOfferShowsNoMenu) {
    makeDirectory("/var/mobile/Tandrel/folder");
    writeFile("/var/mobile/Tandrel/kept.txt", "x");
    struct Case {
        const char* name;
        NSURLPtr url;
        bool inWindow;
    } cases[] = {
        {"a missing file", NSURL::fileURLWithPath("/var/mobile/Tandrel/gone.txt"), true},
        {"a folder", NSURL::fileURLWithPath("/var/mobile/Tandrel/folder"), true},
        {"a web address", NSURL::URLWithString("https://example.com/kept.txt"), true},
        {"a view off screen", NSURL::fileURLWithPath("/var/mobile/Tandrel/kept.txt"), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto controller = UIDocumentInteractionController::interactionControllerWithURL(c.url);
        controller->setDelegate(delegate);
        auto view = c.inWindow ? list : std::make_shared<UIView>(CGRectMake(0, 0, 100, 100));
        EXPECT_FALSE(controller->presentOptionsMenuFromRectInViewAnimated(CGRectMake(0, 0, 50, 50), view, true));
        EXPECT_FALSE(controller->isMenuVisible());
        EXPECT_EQ(screenText().find("menu:"), std::string::npos);
    }
    EXPECT_TRUE(delegate->calls.empty());
}

TEST_F(UIDocumentInteractionControllerTest, TheDriverReadsTheMenuAndItsChoiceHandsTheFileOver) {
    writeFile("/var/mobile/Tandrel/notes.txt", "x");
    auto controller = menuFor("/var/mobile/Tandrel/notes.txt");
    controller->setName("My notes");
    ASSERT_TRUE(controller->presentOptionsMenuFromRectInViewAnimated(CGRectMake(150, 200, 50, 50), list, true));
    EXPECT_NE(screenText().find("menu: \"My notes\" file:///var/mobile/Tandrel/notes.txt offers: AirDrop, Open in Anything, Open in Reader"),
              std::string::npos)
        << screenText();

    struct Step {
        const char* command;
        const char* argument;
        bool done;
        const char* said;
    } steps[] = {
        {"complete", "Open in Player", false, ""},
        {"complete", "", false, ""},
        // What was handed on shows once, as a "handed:" line under the next screen, not in what the choice says.
        {"complete", "Reader", true, ""},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(std::string(step.command) + " " + step.argument);
        UIScreenDescription screen;
        screen.describeWindow(window);
        UIScreenReply reply;
        auto done = screen.perform(step.command, step.argument, reply);
        ASSERT_TRUE(done.has_value());
        EXPECT_EQ(*done, step.done) << reply.error;
        EXPECT_EQ(reply.said, step.said);
    }
    EXPECT_FALSE(controller->isMenuVisible());
    EXPECT_EQ(screenText().find("menu:"), std::string::npos);
    auto& handed = UIApplication::sharedApplication()->handedDocuments();
    ASSERT_EQ(handed.size(), 1u);
    EXPECT_EQ(handed[0].application, "com.example.reader");
    EXPECT_EQ(delegate->calls, (std::vector<std::string>{"willPresent", "didDismiss", "willBegin com.example.reader",
                                                         "didEnd com.example.reader"}));
}

TEST_F(UIDocumentInteractionControllerTest, CancelAndLettingGoCloseTheMenuWithoutHandingOver) {
    writeFile("/var/mobile/Tandrel/notes.txt", "x");
    auto controller = menuFor("/var/mobile/Tandrel/notes.txt");
    ASSERT_TRUE(controller->presentOptionsMenuFromRectInViewAnimated(CGRectMake(0, 0, 50, 50), list, false));
    UIScreenDescription screen;
    screen.describeWindow(window);
    UIScreenReply reply;
    EXPECT_TRUE(screen.tap("Cancel", reply));
    EXPECT_FALSE(controller->isMenuVisible());
    EXPECT_EQ(delegate->calls, (std::vector<std::string>{"willPresent", "didDismiss"}));

    ASSERT_TRUE(controller->presentOptionsMenuFromRectInViewAnimated(CGRectMake(0, 0, 50, 50), list, false));
    auto subviews = window->subviews().size();
    controller.reset();
    EXPECT_EQ(window->subviews().size(), subviews - 1) << "the menu goes with its controller";
    EXPECT_EQ(screenText().find("menu:"), std::string::npos);
    EXPECT_TRUE(UIApplication::sharedApplication()->handedDocuments().empty());
}
