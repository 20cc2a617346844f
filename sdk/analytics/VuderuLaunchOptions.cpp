// The facade's launch options: what the app was launched with, kept as arrays of strings by key
// for the report envelope.

#include "platform/foundation/NSString.h"
#include "platform/foundation/NSURL.h"
#include "sdk/analytics/Vuderu.h"
#include "sdk/analytics/VuderuGlobalVariableStorage.h"
#include "sdk/analytics/VuderuLog.h"
#include "sdk/analytics/VuderuUtil.h"

#include <optional>

namespace {

std::optional<std::string> optionText(const Value& value) {
    if (value.isString()) return value.string();
    if (value.isNumber()) return value.stringValue();
    if (value.isDate()) {
        return NSString::stringWithFormat("%lld", static_cast<long long>(VuderuUtil::int64FromDouble(value.date().secondsSince1970 * 1000)));
    }
    if (auto url = value.objectAs<NSURL>()) return url->absoluteString();
    return std::nullopt;
}

// Keys whose value is kept as a one-element array, under the key or a flag of it; the first two
// log what the options hold once their value is in.
struct KnownKey {
    const char* key;
    const char* storedAs;
    const char* logFormat;
};
constexpr KnownKey kWrapped[] = {
    {"UIApplicationLaunchOptionsURLKey", "UIApplicationLaunchOptionsURLKey",
     "VuderuSession: Getting launchOptions from UIApplicationLaunchOptionsURLKey[%@] "},
    {"UIApplicationLaunchOptionsSourceApplicationKey", "UIApplicationLaunchOptionsSourceApplicationKey",
     "VuderuSession: Getting launchOptions from UIApplicationLaunchOptionsSourceApplicationKey[%@] "},
    {"UIApplicationLaunchOptionsRemoteNotificationKey", "UIApplicationLaunchOptionsRemoteNotificationKeyFlag", nullptr},
    {"UIApplicationLaunchOptionsLocationKey", "UIApplicationLaunchOptionsLocationKeyFlag", nullptr},
};

std::string storedOptionsText(const VuderuGlobalVariableStorage& settings) {
    return Value(settings.launchOptions()).descriptionInStringsFileFormat();
}

} // namespace

void Vuderu::setLaunchOptions(const Value& launchOptions) {
    if (launchOptions.isNull()) return;
    auto settings = VuderuGlobalVariableStorage::sharedInstance();
    const std::size_t before = settings->launchOptions().size();
    VuderuLog("VuderuSession: Setting launchOptions [%@], count %lu ", storedOptionsText(*settings), static_cast<unsigned long>(before));
    if (launchOptions.isDictionary()) {
        const auto& options = launchOptions.dictionary();
        for (const KnownKey& known : kWrapped) {
            auto found = options.find(known.key);
            if (found == options.end()) continue;
            settings->setLaunchOptionForKey(known.storedAs, {found->second});
            if (known.logFormat) VuderuLog(known.logFormat, storedOptionsText(*settings));
        }
        if (auto found = options.find("UIApplicationLaunchOptionsNewsstandDownloadsKey"); found != options.end()) {
            settings->setLaunchOptionForKey(found->first, found->second.isArray() ? found->second.array() : Value::Array{found->second});
        }
        if (auto found = options.find("UIApplicationLaunchOptionsAnnotationKey"); found != options.end()) parsePropertyList(found->second);
    }
    if (settings->launchOptions().size() == before) parsePropertyList(launchOptions);
}

void Vuderu::parsePropertyList(const Value& object) {
    if (object.isArray()) {
        for (const Value& element : object.array()) {
            if (element.isDictionary()) parseDictionary(element);
        }
    } else if (object.isDictionary()) {
        parseDictionary(object);
    }
}

void Vuderu::parseDictionary(const Value& dictionary) {
    if (!dictionary.isDictionary()) return;
    auto settings = VuderuGlobalVariableStorage::sharedInstance();
    for (const auto& [key, value] : dictionary.dictionary()) {
        Value::Array texts;
        const Value::Array values = value.isArray() ? value.array() : Value::Array{value};
        for (const Value& element : values) {
            if (auto text = optionText(element)) texts.emplace_back(*text);
        }
        if (!texts.empty()) settings->setLaunchOptionForKey(key, std::move(texts));
    }
}
