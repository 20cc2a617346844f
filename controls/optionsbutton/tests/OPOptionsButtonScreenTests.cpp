// The options button as the driver works it: its face and its options are tapped by their images.

#include "OptionsButtonFixture.h"

#include "platform/testsupport/TestImages.h"
#include "platform/uikit/UIScreenDescription.h"

namespace {
UIImagePtr namedImage(const std::string& name) {
    auto bytes = TestImages::png(20, 20);
    auto decoded = UIImage::imageWithData(NSData(bytes.data(), bytes.size()));
    return std::make_shared<UIImage>(decoded->CGImage(), 1, name);
}

struct PicturedOptions : RecordingOptionsDelegate {
    std::vector<std::string> names{"trash", "globe", "exclamation", "twitterBR", "share"};
    UIImagePtr opOptionsButtonImageForItemAtIndex(OPOptionsButton&, std::int64_t index) override {
        return namedImage(names[static_cast<std::size_t>(index)]);
    }
};
} // namespace

TEST_F(OptionsButtonTest, TheDriverTapsTheFaceAndAnOptionByTheirPictures) {
    auto pictured = std::make_shared<PicturedOptions>();
    button_->setDelegate(pictured);
    button_->setImageForOPOptionsButtonState(namedImage("gear"), OPOptionsButtonStateNormal);
    button_->setImageForOPOptionsButtonState(namedImage("close"), OPOptionsButtonStateOpen);
    UIScreenReply reply;
    UIScreenDescription closed;
    closed.describeWindow(window_);
    ASSERT_TRUE(closed.tap("gear", reply)) << reply.error << "\n" << closed.text();
    settle();
    EXPECT_EQ(button_->currentState(), OPOptionsButtonStateOpen);
    ASSERT_EQ(button_->items().size(), 5u);
    UIScreenDescription open;
    open.describeWindow(window_);
    ASSERT_TRUE(open.tap("exclamation", reply)) << reply.error << "\n" << open.text();
    EXPECT_EQ(pictured->calls, std::vector<std::string>{"select 2"});
    settle();
    EXPECT_EQ(button_->currentState(), OPOptionsButtonStateClosed);
}
