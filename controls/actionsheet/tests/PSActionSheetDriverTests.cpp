#include "controls/actionsheet/PSActionSheet.h"

#include "platform/testsupport/RunLoopSupport.h"
#include "platform/uikit/UIScreen.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace {
UIScreenDescription describeKeyWindow() {
    UIScreenDescription screen;
    screen.describeWindow(UIApplication::sharedApplication()->keyWindow());
    return screen;
}
} // namespace

// The screen reads the sheet as a layer in front of the app: its title and buttons, nothing
// beneath; a button or a touch outside chooses, and the app's screen comes back.
TEST(ActionSheetScreen, ButtonsAndATouchOutsideReachTheSheetAlone) {
    UIApplication::sharedApplication()->reset();
    std::optional<ManualClock> clock(std::in_place);
    auto window = std::make_shared<UIWindow>(UIScreen::mainScreen()->bounds());
    auto app = std::make_shared<UIViewController>();
    auto behind = UIButton::buttonWithType(UIButtonTypeSystem);
    behind->setTitleForState("Behind", UIControlStateNormal);
    behind->setFrame(CGRectMake(10, 100, 100, 40));
    app->view()->addSubview(behind);
    window->setRootViewController(app);
    window->makeKeyAndVisible();

    std::vector<int> chosen;
    auto sheet = PSActionSheet::init();
    sheet->showCCancelButtonsResult("Quality", "Cancel", {"720p", "360p"}, [&](int i) { chosen.push_back(i); });
    auto text = describeKeyWindow().text();
    EXPECT_NE(text.find("action sheet: \"Quality\" [720p] [360p] [Cancel]\n"), std::string::npos) << text;
    UIScreenReply reply;
    EXPECT_FALSE(describeKeyWindow().tap("Behind", reply));
    EXPECT_TRUE(describeKeyWindow().tap("360p", reply)) << reply.error;
    describeKeyWindow().tap("720p", reply); // while it fades: no second choice, whatever the screen offers
    for (int i = 0; i < 10; ++i) clock->advance(0.1);
    EXPECT_EQ(chosen, (std::vector<int>{1}));
    EXPECT_TRUE(window->isKeyWindow());
    EXPECT_EQ(describeKeyWindow().text().find("action sheet"), std::string::npos);

    sheet->showCCancelButtonsResult("", "Cancel", {"720p"}, [&](int i) { chosen.push_back(i); });
    EXPECT_TRUE(UIScreenDescription::touchAt(sheet->actionWindow(), {160, 20}, reply)) << reply.error;
    for (int i = 0; i < 10; ++i) clock->advance(0.1);
    EXPECT_EQ(chosen, (std::vector<int>{1, -100}));
    clock.reset();
    UIApplication::sharedApplication()->reset();
}
