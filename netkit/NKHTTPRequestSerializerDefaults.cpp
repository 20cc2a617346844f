// The serializer's default header values and Base64, from the platform's facts.
#include "netkit/NKHTTPRequestSerializer.h"

#include "platform/foundation/Base64.h"
#include "platform/foundation/CFStringTransform.h"
#include "platform/foundation/NSBundle.h"
#include "platform/foundation/NSLocale.h"
#include "platform/uikit/UIDevice.h"
#include "platform/uikit/UIScreen.h"

#include <cstdio>

namespace {
const char* const kLatinASCIITransform = "Any-Latin; Latin-ASCII; [:^ASCII:] Remove";
// Languages are weighted 1, 0.9, 0.8 … and listed down to this weight.
constexpr float kLanguageWeightStep = -0.1f;
constexpr float kLowestLanguageWeight = 0.5f;

std::string infoString(const std::string& key) {
    Value value = NSBundle::mainBundle()->objectForInfoDictionaryKey(key);
    return value.isString() ? value.string() : value.stringValue();
}

bool isASCII(const std::string& text) {
    for (char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    }
    return true;
}
} // namespace

std::string NKBase64EncodedStringFromString(const std::string& string) {
    return NSBase64Encode(string.data(), string.size());
}

std::string NKDefaultAcceptLanguage() {
    std::string header;
    const auto languages = NSLocale::preferredLanguages();
    for (std::size_t i = 0; i < languages.size(); ++i) {
        const float q = 1.0f + static_cast<float>(i) * kLanguageWeightStep;
        char item[64];
        std::snprintf(item, sizeof item, ";q=%0.1g", static_cast<double>(q));
        if (!header.empty()) header += ", ";
        header += languages[i] + item;
        if (q <= kLowestLanguageWeight) break;
    }
    return header;
}

std::string NKDefaultUserAgent() {
    std::string executable = infoString(kCFBundleExecutableKey);
    if (executable.empty()) executable = infoString(kCFBundleIdentifierKey);
    char scale[32];
    std::snprintf(scale, sizeof scale, "%0.2f", static_cast<double>(UIScreen::mainScreen()->scale()));
    auto device = UIDevice::currentDevice();
    std::string agent = executable + "/" + infoString(kCFBundleVersionKey) + " (" + device->model() + "; iOS " +
                        device->systemVersion() + "; Scale/" + scale + ")";
    if (!isASCII(agent)) {
        std::string transformed = agent;
        if (CFStringTransform(transformed, kLatinASCIITransform, false)) agent = transformed;
    }
    return agent;
}
