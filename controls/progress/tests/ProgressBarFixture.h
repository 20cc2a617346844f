#pragma once
// A key window with a plain controller over the whole screen, the platform clock manual, and no
// animations or speech recorded yet: what the bar needs to attach itself and be timed.

#include "controls/progress/PBProgressIndicator.h"
#include "platform/media/AVSpeechSynthesizer.h"
#include "platform/testsupport/ScreenTest.h"

class ProgressBarTest : public ScreenTest {
protected:
    void SetUp() override {
        ScreenTest::SetUp();
        AVSpeechSynthesizer::clearAllSpokenUtterances();
    }

    // A bar of its own, so that a test does not depend on the process's shared one.
    PBProgressIndicatorPtr freshBar() {
        auto bar = PBProgressIndicator::init();
        UIView::clearRecordedAnimations();
        return bar;
    }
};
