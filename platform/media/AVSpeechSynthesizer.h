#pragma once
// Speech synthesis. The device has no speaker: a synthesizer records what it is asked to say (the
// text, the voice's language and the rate), for the tests and the driver to read back.

#include "platform/foundation/NSObject.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

// The rates an utterance may have; the default speaks at the normal pace.
inline constexpr float AVSpeechUtteranceMinimumSpeechRate = 0.0f;
inline constexpr float AVSpeechUtteranceDefaultSpeechRate = 0.5f;
inline constexpr float AVSpeechUtteranceMaximumSpeechRate = 1.0f;

class AVSpeechSynthesisVoice : public NSObject {
public:
    explicit AVSpeechSynthesisVoice(std::string language) : language_(std::move(language)) {}
    // A voice for a BCP 47 language code ("en-US"); nil for an empty code.
    static std::shared_ptr<AVSpeechSynthesisVoice> voiceWithLanguage(const std::string& language);
    const std::string& language() const { return language_; }

private:
    std::string language_;
};

class AVSpeechUtterance : public NSObject {
public:
    explicit AVSpeechUtterance(std::string text) : text_(std::move(text)) {}
    static std::shared_ptr<AVSpeechUtterance> speechUtteranceWithString(const std::string& text);
    const std::string& speechString() const { return text_; }
    std::shared_ptr<AVSpeechSynthesisVoice> voice() const { return voice_; }
    void setVoice(std::shared_ptr<AVSpeechSynthesisVoice> voice) { voice_ = std::move(voice); }
    float rate() const { return rate_; }
    // Clamped to the minimum and maximum rates.
    void setRate(float rate);

private:
    std::string text_;
    std::shared_ptr<AVSpeechSynthesisVoice> voice_;
    float rate_ = AVSpeechUtteranceDefaultSpeechRate;
};

// What a synthesizer was asked to say.
struct AVSpokenUtterance {
    std::string text;
    std::string language; // empty for the default voice
    float rate = AVSpeechUtteranceDefaultSpeechRate;
};

class AVSpeechSynthesizer : public NSObject {
public:
    // Any thread. A nil utterance is ignored.
    void speakUtterance(const std::shared_ptr<AVSpeechUtterance>& utterance);
    std::vector<AVSpokenUtterance> spokenUtterances() const;
    // Every utterance any synthesizer of the process was given, in order (tests clear it).
    static std::vector<AVSpokenUtterance> allSpokenUtterances();
    static void clearAllSpokenUtterances();

private:
    mutable std::mutex lock_;
    std::vector<AVSpokenUtterance> spoken_;
};
