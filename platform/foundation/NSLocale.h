#pragma once
// The user's locale as the device reports it, from the host's locale environment
// (LANGUAGE, LC_ALL, LC_MESSAGES, LANG, in that order of preference).

#include "platform/foundation/NSObject.h"

#include <memory>
#include <string>
#include <vector>

class NSLocale : public NSObject {
public:
    // The user's languages, most preferred first, as language tags ("en", "de-CH"); empty when
    // the environment names none (or only the "C"/"POSIX" locale).
    static std::vector<std::string> preferredLanguages();
    // The current locale's identifier ("en_US"); "en_US_POSIX" for the "C" locale.
    static std::string currentLocaleIdentifier();
};
