#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIApplication.h"

#include <gtest/gtest.h>

namespace {
struct AlertLog : UIAlertViewDelegate {
    std::vector<std::string> calls;
    void alertViewClickedButtonAtIndex(UIAlertView&, long i) override { calls.push_back("clicked " + std::to_string(i)); }
    void alertViewCancel(UIAlertView&) override { calls.push_back("cancel"); }
    void alertViewWillDismissWithButtonIndex(UIAlertView& alert, long i) override {
        calls.push_back("will " + std::to_string(i) + (alert.isVisible() ? " visible" : " gone"));
    }
    void alertViewDidDismissWithButtonIndex(UIAlertView& alert, long i) override {
        calls.push_back("did " + std::to_string(i) + (alert.isVisible() ? " visible" : " gone"));
    }
};

struct AlertViewTest : ::testing::Test {
    void SetUp() override { UIApplication::sharedApplication()->reset(); }
    void TearDown() override { UIApplication::sharedApplication()->reset(); }
};
} // namespace

TEST_F(AlertViewTest, DismissingInCodeTellsTheDelegateAsATapWouldButWithoutTheClick) {
    struct Case {
        const char* name;
        bool tap;
        long index;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"dismissed in code", false, 0, {"will 0 visible", "did 0 gone"}},
        {"dismissed with another button", false, 1, {"will 1 visible", "did 1 gone"}},
        {"tapped", true, 1, {"clicked 1", "will 1 visible", "did 1 gone"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto log = std::make_shared<AlertLog>();
        auto alert = UIAlertView::initWithTitle("Leave?", "", log, "Cancel", {"OK"});
        alert->show();
        if (c.tap) alert->clickButtonAtIndex(c.index);
        else alert->dismissWithClickedButtonIndexAnimated(c.index, true);
        EXPECT_EQ(log->calls, c.expected);
        EXPECT_FALSE(alert->isVisible());
        // A second dismissal of a gone alert says nothing more.
        alert->dismissWithClickedButtonIndexAnimated(0, false);
        EXPECT_EQ(log->calls.size(), c.expected.size());
    }
}

TEST_F(AlertViewTest, AnAlertWhoseDelegateLetGoIsDismissedSilently) {
    auto log = std::make_shared<AlertLog>();
    auto alert = UIAlertView::initWithTitle("Leave?", "", log, "Cancel", {"OK"});
    alert->show();
    alert->setDelegate(nullptr);
    alert->dismissWithClickedButtonIndexAnimated(0, true);
    EXPECT_TRUE(log->calls.empty());
    EXPECT_FALSE(alert->isVisible());
}
