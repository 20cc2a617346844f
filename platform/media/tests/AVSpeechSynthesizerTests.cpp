#include "platform/media/AVSpeechSynthesizer.h"

#include <gtest/gtest.h>

#include <thread>

TEST(AVSpeechSynthesizer, RecordsWhatItIsAskedToSay) {
    AVSpeechSynthesizer::clearAllSpokenUtterances();
    auto synthesizer = std::make_shared<AVSpeechSynthesizer>();
    auto utterance = AVSpeechUtterance::speechUtteranceWithString("Export finished");
    utterance->setVoice(AVSpeechSynthesisVoice::voiceWithLanguage("en-US"));
    utterance->setRate(0.3f);
    synthesizer->speakUtterance(utterance);
    synthesizer->speakUtterance(nullptr);
    auto plain = AVSpeechUtterance::speechUtteranceWithString("Hello");
    plain->setRate(7); // past the maximum
    std::thread other([&] { synthesizer->speakUtterance(plain); });
    other.join();

    auto spoken = synthesizer->spokenUtterances();
    ASSERT_EQ(spoken.size(), 2u);
    EXPECT_EQ(spoken[0].text, "Export finished");
    EXPECT_EQ(spoken[0].language, "en-US");
    EXPECT_FLOAT_EQ(spoken[0].rate, 0.3f);
    EXPECT_EQ(spoken[1].language, "");
    EXPECT_FLOAT_EQ(spoken[1].rate, AVSpeechUtteranceMaximumSpeechRate);
    EXPECT_EQ(AVSpeechSynthesizer::allSpokenUtterances().size(), 2u);
    EXPECT_FALSE(AVSpeechSynthesisVoice::voiceWithLanguage(""));
}
