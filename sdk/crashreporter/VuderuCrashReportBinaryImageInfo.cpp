#include "sdk/crashreporter/VuderuCrashReportBinaryImageInfo.h"

VuderuCrashReportBinaryImageInfo::VuderuCrashReportBinaryImageInfo(
    std::shared_ptr<VuderuCrashReportProcessorInfo> codeType, uint64_t baseAddress, uint64_t size, std::string name,
    const NSDataPtr& uuid)
    : codeType_(std::move(codeType)), imageBaseAddress_(baseAddress), imageSize_(size), imageName_(std::move(name)),
      hasImageUUID_(uuid != nullptr) {
    if (!uuid) return;
    static const char digits[] = "0123456789abcdef";
    std::string text;
    text.reserve(uuid->length() * 2);
    for (size_t i = 0; i < uuid->length(); ++i) {
        text += digits[uuid->bytes()[i] >> 4];
        text += digits[uuid->bytes()[i] & 0xF];
    }
    imageUUID_ = std::move(text);
}
