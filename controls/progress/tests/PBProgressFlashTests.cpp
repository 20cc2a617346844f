#include "controls/progress/tests/ProgressBarFixture.h"

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {
// Where the bar stands at a moment after a flash request.
struct FlashMoment {
    double at;
    CGFloat top;
    const char* background; // "white" or "flash"
    const char* message;
    bool locked;
};

bool isColor(const UIColorPtr& color, const UIColorPtr& expected) { return color && color->isEqual(expected.get()); }
} // namespace

// A success flash while a download shows progress, right after a dismiss (as the song export
// does it): hidden at 0.3 s, in colour with the message and no track at 0.8 s, hidden again at
// 2.8 s, white and free at 3.3 s. A second request during it is dropped; one after it is shown.
TEST_F(ProgressBarTest, AFlashHidesShowsInColourHidesAndFreesTheBarOnItsTimeline) {
    auto bar = freshBar();
    bar->setTopLocationValueWithDuration(0, 0);
    bar->updateProgressValue(0.6f);
    bar->titleLabel()->setText("Downloading");
    bar->dismissAnimated(true);
    bar->updateProgressValue(0.6f);
    bar->showWithColorDurationMessage(UIColor::greenColor(), 2.0f, "Saved");
    EXPECT_TRUE(bar->isFlashing());

    // Each step is checked a moment before it is due and just after (the fixture's microsecond past
    // each advance drifts the later steps far less than the margin).
    const FlashMoment timeline[] = {
        {0.0, -64, "white", "Downloading", true},
        {0.3, -64, "white", "Downloading", true},
        {0.8, 0, "flash", "Saved", true},
        {2.8, -64, "flash", "Saved", true},
        {3.3, -64, "white", "Saved", false},
    };
    auto expectMoment = [&](const FlashMoment& moment) {
        EXPECT_EQ(CGRectGetMinY(bar->frame()), moment.top);
        EXPECT_TRUE(isColor(bar->backgroundColor(),
                            std::string(moment.background) == "white" ? UIColor::whiteColor() : UIColor::greenColor()));
        EXPECT_EQ(bar->titleLabel()->text(), moment.message);
        EXPECT_EQ(bar->isFlashing(), moment.locked);
    };
    constexpr double kMargin = 0.01;
    double now = 0;
    for (std::size_t i = 1; i < std::size(timeline); ++i) {
        const auto& moment = timeline[i];
        SCOPED_TRACE("at " + std::to_string(moment.at) + " s");
        advance(moment.at - kMargin - now);
        expectMoment(timeline[i - 1]);
        advance(kMargin);
        now = moment.at;
        expectMoment(moment);
        if (moment.at == 0.8) {
            EXPECT_EQ(bar->progressTrack()->frame().size.width, 0);
            bar->showWithColorDurationMessage(UIColor::redColor(), 2.0f, "Dropped");
        }
    }
    advance(5);
    EXPECT_EQ(bar->titleLabel()->text(), "Saved");

    bar->showWithColorDurationMessage(UIColor::redColor(), 2.0f, "Failed");
    advance(0.3);
    advance(0.5);
    EXPECT_EQ(CGRectGetMinY(bar->frame()), 0);
    EXPECT_TRUE(isColor(bar->backgroundColor(), UIColor::redColor()));
    EXPECT_EQ(bar->titleLabel()->text(), "Failed");
}

TEST_F(ProgressBarTest, EveryStepOfAFlashSlidesForHalfASecond) {
    auto bar = freshBar();
    bar->showWithColorDurationMessage(UIColor::greenColor(), 1.0f, "Done");
    EXPECT_TRUE(UIView::recordedAnimations().empty());
    advance(0.3);
    advance(0.5);
    advance(1.0);
    std::vector<double> durations;
    for (const auto& record : UIView::recordedAnimations()) durations.push_back(record.duration);
    // The hide, the track's reset and the reveal, then (a shorter display time) the last hide.
    EXPECT_EQ(durations, (std::vector<double>{0.5, 0.5, 0.5, 0.5}));
    EXPECT_EQ(CGRectGetMinY(bar->frame()), -64);
}

// Many threads ask for a flash at the same moment: exactly one is accepted, so exactly one hide
// starts at 0.3 s. A lock tested and then set in two steps lets several through.
TEST_F(ProgressBarTest, RequestsRacingOnManyThreadsStartOneFlash) {
    constexpr int kThreads = 8;
    constexpr int kRounds = 20;
    auto bar = freshBar();
    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        UIView::clearRecordedAnimations();
        std::atomic<int> ready{0};
        std::atomic<bool> go{false};
        std::vector<std::thread> threads;
        for (int i = 0; i < kThreads; ++i) {
            threads.emplace_back([&, i] {
                ++ready;
                while (!go.load()) std::this_thread::yield();
                bar->showWithColorDurationMessage(UIColor::greenColor(), 2.0f, "thread " + std::to_string(i));
            });
        }
        while (ready.load() < kThreads) std::this_thread::yield();
        go.store(true);
        for (auto& thread : threads) thread.join();
        advance(0.3);
        EXPECT_EQ(UIView::recordedAnimations().size(), 1u);
        advance(0.5);
        advance(2.0);
        advance(0.5);
        EXPECT_FALSE(bar->isFlashing());
    }
}

TEST_F(ProgressBarTest, TheDisplayShowsASuccessFlashInGreenAndAnErrorInRed) {
    struct Case {
        const char* name;
        void (*flash)(const std::string&);
        int red, green, blue;
    };
    const Case cases[] = {
        {"success", PBProgressIndicator::showSuccessMessage, 0, 255, 0},
        {"error", PBProgressIndicator::showErrorMessage, 255, 0, 0},
    };
    CGFloat width = PBProgressIndicator::sharedIndicator()->frame().size.width;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PBProgressIndicator::updateProgress(0.5f);
        c.flash("Message");
        advance(0.3);
        advance(0.5);
        for (CGFloat x : {CGFloat(4), width - 4}) {
            auto p = pixelAt(x, 4);
            EXPECT_TRUE(near(p, c.red, c.green, c.blue)) << text(p);
        }
        advance(2.0);
        advance(0.5);
        auto after = pixelAt(4, 4);
        EXPECT_FALSE(near(after, c.red, c.green, c.blue)) << text(after);
    }
}
