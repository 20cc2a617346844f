#include "platform/media/AVSpeechSynthesizer.h"

#include <algorithm>

namespace {
std::mutex processLock;
std::vector<AVSpokenUtterance>& processRecord() {
    static std::vector<AVSpokenUtterance> record;
    return record;
}
} // namespace

std::shared_ptr<AVSpeechSynthesisVoice> AVSpeechSynthesisVoice::voiceWithLanguage(const std::string& language) {
    if (language.empty()) return nullptr;
    return std::make_shared<AVSpeechSynthesisVoice>(language);
}

std::shared_ptr<AVSpeechUtterance> AVSpeechUtterance::speechUtteranceWithString(const std::string& text) {
    return std::make_shared<AVSpeechUtterance>(text);
}

void AVSpeechUtterance::setRate(float rate) {
    rate_ = std::clamp(rate, AVSpeechUtteranceMinimumSpeechRate, AVSpeechUtteranceMaximumSpeechRate);
}

void AVSpeechSynthesizer::speakUtterance(const std::shared_ptr<AVSpeechUtterance>& utterance) {
    if (!utterance) return;
    AVSpokenUtterance spoken{utterance->speechString(), utterance->voice() ? utterance->voice()->language() : "",
                             utterance->rate()};
    {
        std::lock_guard<std::mutex> guard(lock_);
        spoken_.push_back(spoken);
    }
    std::lock_guard<std::mutex> guard(processLock);
    processRecord().push_back(std::move(spoken));
}

std::vector<AVSpokenUtterance> AVSpeechSynthesizer::spokenUtterances() const {
    std::lock_guard<std::mutex> guard(lock_);
    return spoken_;
}

std::vector<AVSpokenUtterance> AVSpeechSynthesizer::allSpokenUtterances() {
    std::lock_guard<std::mutex> guard(processLock);
    return processRecord();
}

void AVSpeechSynthesizer::clearAllSpokenUtterances() {
    std::lock_guard<std::mutex> guard(processLock);
    processRecord().clear();
}
