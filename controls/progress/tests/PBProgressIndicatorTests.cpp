#include "controls/progress/tests/ProgressBarFixture.h"

#include "platform/uikit/UIScreenDescription.h"

#include <limits>
#include <string>
#include <vector>

TEST_F(ProgressBarTest, ABarHidesAboveTheKeyWindowsContentWithTheTrackBehindTheMessage) {
    auto bar = freshBar();
    EXPECT_EQ(bar->superview(), content());
    EXPECT_EQ(bar->frame(), CGRectMake(0, -64, UIScreen::mainScreen()->bounds().size.width, 64));
    ASSERT_EQ(bar->subviews().size(), 2u);
    EXPECT_EQ(bar->subviews()[0], bar->progressTrack());
    EXPECT_EQ(bar->subviews()[1], bar->titleLabel());
    EXPECT_EQ(bar->progressTrack()->frame(), CGRectMake(0, 0, 0, 64));
    EXPECT_EQ(bar->titleLabel()->frame(), CGRectMake(0, 14, bar->frame().size.width, 50));
    EXPECT_EQ(bar->titleLabel()->text(), "Loading...");
    EXPECT_EQ(bar->titleLabel()->font()->fontName(), "HelveticaNeue-Thin");
    EXPECT_EQ(bar->titleLabel()->textAlignment(), NSTextAlignmentCenter);
    EXPECT_EQ(bar->progress(), 0.0f);
    EXPECT_FALSE(bar->isFlashing());
}

TEST_F(ProgressBarTest, ABarMadeBeforeTheKeyWindowHasContentIsAttachedToNothing) {
    window_->rootViewController()->view()->removeFromSuperview();
    auto bar = freshBar();
    EXPECT_EQ(bar->superview(), nullptr);
}

TEST_F(ProgressBarTest, TheSharedBarIsMadeOnceAndKeepsItsWidthWhenTheDeviceTurns) {
    auto bar = PBProgressIndicator::sharedIndicator();
    EXPECT_EQ(PBProgressIndicator::sharedIndicator(), bar);
    CGFloat width = bar->frame().size.width;
    UIApplication::sharedApplication()->rotateDevice(UIDeviceOrientationLandscapeLeft);
    PBProgressIndicator::show();
    EXPECT_EQ(bar->frame().size.width, width);
}

TEST_F(ProgressBarTest, ProgressFromZeroUpToOnePointOneSetsTheTrackWithASpring) {
    struct Case {
        float value;
        bool accepted;
    };
    const Case cases[] = {
        {0.5f, true},   {1.05f, true},  {0.0f, true}, {1.0999f, true},
        {1.1f, false},  {-0.1f, false}, {std::numeric_limits<float>::quiet_NaN(), false},
        {std::numeric_limits<float>::infinity(), false},
    };
    auto bar = freshBar();
    const float width = static_cast<float>(bar->frame().size.width);
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.value));
        bar->updateProgressValue(0.25f);
        UIView::clearRecordedAnimations();
        bar->updateProgressValue(c.value);
        auto records = UIView::recordedAnimations();
        if (!c.accepted) {
            EXPECT_TRUE(records.empty());
            EXPECT_EQ(bar->progress(), 0.25f);
            EXPECT_EQ(bar->progressTrack()->frame().size.width, width * 0.25f);
            continue;
        }
        EXPECT_EQ(bar->progress(), c.value);
        EXPECT_EQ(bar->progressTrack()->frame(), CGRectMake(0, 0, width * c.value, 64));
        ASSERT_EQ(records.size(), 1u);
        EXPECT_TRUE(records[0].spring);
        EXPECT_EQ(records[0].duration, 0.5);
        EXPECT_EQ(records[0].springDamping, 0.8);
        EXPECT_EQ(records[0].initialSpringVelocity, 1.0);
        EXPECT_EQ(records[0].options, UIViewAnimationOptionCurveEaseInOut);
    }
}

TEST_F(ProgressBarTest, ShowAndDismissSlideOnlyWhenTheBarIsElsewhere) {
    auto bar = PBProgressIndicator::sharedIndicator();
    UIView::clearRecordedAnimations();

    // Hidden: dismissing does nothing, not even to the track.
    PBProgressIndicator::updateProgress(0.5f);
    UIView::clearRecordedAnimations();
    PBProgressIndicator::dismiss();
    PBProgressIndicator::dismissWithoutAnimation();
    EXPECT_TRUE(UIView::recordedAnimations().empty());
    EXPECT_EQ(bar->progressTrack()->frame().size.width, bar->frame().size.width / 2);

    PBProgressIndicator::show();
    EXPECT_EQ(CGRectGetMinY(bar->frame()), 0);
    auto records = UIView::recordedAnimations();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].duration, static_cast<double>(0.4f));
    EXPECT_EQ(records[0].springDamping, 0.7);
    EXPECT_EQ(records[0].initialSpringVelocity, 1.0);
    EXPECT_EQ(records[0].options, UIViewAnimationOptionCurveEaseOut);
    PBProgressIndicator::show();
    EXPECT_EQ(UIView::recordedAnimations().size(), 1u);

    // Animated: the track shrinks, then the bar slides up.
    UIView::clearRecordedAnimations();
    PBProgressIndicator::dismiss();
    EXPECT_EQ(CGRectGetMinY(bar->frame()), -64);
    EXPECT_EQ(bar->progress(), 0.0f);
    EXPECT_EQ(bar->progressTrack()->frame().size.width, 0);
    records = UIView::recordedAnimations();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].duration, 0.5);
    EXPECT_EQ(records[1].duration, static_cast<double>(0.4f));

    // At once: the track goes but the accepted progress stays.
    PBProgressIndicator::show();
    PBProgressIndicator::updateProgress(0.75f);
    UIView::clearRecordedAnimations();
    PBProgressIndicator::dismissWithoutAnimation();
    EXPECT_EQ(CGRectGetMinY(bar->frame()), -64);
    EXPECT_EQ(bar->progressTrack()->frame(), CGRectMake(0, 0, 0, 64));
    EXPECT_EQ(bar->progress(), 0.75f);
    records = UIView::recordedAnimations();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].duration, 0);
}

TEST_F(ProgressBarTest, MessageTypesShowSpeakBothOrNothingOnTheMainQueue) {
    struct Case {
        std::int64_t type;
        bool shown;
        bool spoken;
    };
    const Case cases[] = {
        {PBMessageTypeDisplay, true, false},
        {PBMessageTypeSpeak, false, true},
        {PBMessageTypeDisplayAndSpeak, true, true},
        {3, false, false},
        {-1, false, false},
    };
    auto bar = PBProgressIndicator::sharedIndicator();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.type);
        bar->titleLabel()->setText("before");
        AVSpeechSynthesizer::clearAllSpokenUtterances();
        std::string message = "message " + std::to_string(c.type);
        PBProgressIndicator::updateMessageType(message, c.type);
        EXPECT_EQ(bar->titleLabel()->text(), "before");
        drainMain();
        EXPECT_EQ(bar->titleLabel()->text(), c.shown ? message : "before");
        auto spoken = AVSpeechSynthesizer::allSpokenUtterances();
        ASSERT_EQ(spoken.size(), c.spoken ? 1u : 0u);
        if (c.spoken) {
            EXPECT_EQ(spoken[0].text, message);
            EXPECT_EQ(spoken[0].language, "en-US");
            EXPECT_EQ(spoken[0].rate, 0.3f);
        }
    }
    PBProgressIndicator::updateMessage("plain");
    drainMain();
    EXPECT_EQ(bar->titleLabel()->text(), "plain");
    EXPECT_TRUE(AVSpeechSynthesizer::allSpokenUtterances().empty());
}

TEST_F(ProgressBarTest, TheScreenTextShowsTheMessageWhileTheBarIsOnScreen) {
    auto bar = PBProgressIndicator::sharedIndicator();
    PBProgressIndicator::updateMessage("Saving song.m4a");
    drainMain();
    auto screenText = [&] {
        UIScreenDescription screen;
        screen.describeWindow(window_);
        return screen.text();
    };
    EXPECT_EQ(screenText().find("progress:"), std::string::npos);
    PBProgressIndicator::show();
    EXPECT_NE(screenText().find("progress: \"Saving song.m4a\""), std::string::npos) << screenText();
    PBProgressIndicator::dismissWithoutAnimation();
    EXPECT_EQ(screenText().find("progress:"), std::string::npos);
}

TEST_F(ProgressBarTest, TheDisplayShowsTheTrackAtHalfProgressInLightBlueAndTheRestWhite) {
    PBProgressIndicator::show();
    PBProgressIndicator::updateProgress(0.5f);
    CGFloat width = PBProgressIndicator::sharedIndicator()->frame().size.width;
    auto left = pixelAt(4, 4);
    auto right = pixelAt(width - 4, 4);
    EXPECT_TRUE(near(left, 135, 209, 255)) << text(left);
    EXPECT_TRUE(near(right, 255, 255, 255)) << text(right);
}
