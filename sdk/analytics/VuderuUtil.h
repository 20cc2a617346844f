#pragma once
// The SDK's class-method toolbox, shared by the analytics and the advertising halves: log level
// and exception reporting, the data directory, the system version as one integer, CRC-32 and
// hashes, percent escapes, URL parameters, byte search, UUIDs, debug counters and the cookie
// store; and the device, screen and identifier facts.

#include "platform/foundation/NSData.h"
#include "platform/foundation/NSError.h"
#include "platform/foundation/NSException.h"
#include "platform/foundation/NSObject.h"
#include "platform/foundation/NSURL.h"
#include "platform/foundation/Value.h"
#include "platform/graphics/CGGeometry.h"

#include <cstdint>
#include <exception>
#include <map>
#include <optional>
#include <string>
#include <string_view>

class UIView;
class UIWindow;

// A range of bytes: location and length.
struct VuderuRange {
    std::size_t location = 0;
    std::size_t length = 0;
    bool operator==(const VuderuRange&) const = default;
};

class VuderuUtil : public NSObject {
public:
    // Version gates of the SDK (major * 10000 + minor * 100 + patch).
    static constexpr int kSystemVersionDispatch = 40000;
    static constexpr int kSystemVersionOldDirectoryInLibrary = 50000;
    static constexpr int kSystemVersionSkipBackup = 50001;
    static constexpr int kSystemVersionApplicationSupport = 50100;

    static void assertThreadIsNotMain() {}

    static void setLogLevel(int level);
    static int logLevel();
    static void setShowErrorInLogEnabled(bool enabled);

    // Reports a caught exception or error in the log when errors in log are on (and the level
    // is above 1). Never raises.
    static void handleException(const NSException& exception);
    static void handleException(const NSError& error);
    static void handleException(const std::exception& exception);
    static void handleException(const Value& object);
    // What a catch (...) caught.
    static void handleException(const std::exception_ptr& caught);
    // Runs the work at a public entry of the SDK: whatever it throws is handed to
    // handleException and goes no further.
    template <class Work>
    static void guarded(Work&& work) {
        try {
            work();
        } catch (...) {
            handleException(std::current_exception());
        }
    }

    // The object archived in the file; nil for an empty path, a missing file or a damaged
    // archive, which is deleted (and reported to handleException) so that it cannot fail again;
    // an archive that runs out of memory while it is read counts as damaged.
    static Value safeUnarchiveObjectWithFile(const std::string& path);
    // The SDK's data directory: "VuderuFiles" in Application Support (the Caches directory
    // before system 5.1), created on demand and kept out of backups.
    static std::string filePathDirectory();
    // Where SDK versions up to 109 kept their files, for moving them.
    static std::string oldFilePathDirectoryUptilAgentVersion109();
    // Marks a file URL's item to be skipped by backups ("com.apple.MobileBackup" = 1); NO below
    // system 5.0.1 or when the attribute cannot be set.
    static bool addSkipBackupAttributeToItemAtURL(const NSURLPtr& url);
    // Free and total bytes of the file system of the Documents directory; 0 (logged) on error.
    static std::uint64_t getFreeDiskspace();
    static std::uint64_t getDiskSize();

    // The system version as major * 10000 + minor * 100 + patch, computed once per process
    // from the device's system version.
    static int getSystemVersionAsAnInteger();
    // The rule itself, for one version string: the first three "."-separated parts, read as
    // integers; missing parts count 0, further parts are ignored; the sum saturates.
    static int systemVersionAsInteger(std::string_view version);

    // CRC-32 (ISO-HDLC, as zlib's crc32) of the bytes, as a signed 32-bit integer; 0 for none.
    static void generateChecksumTable();
    static std::int32_t dataChecksum(const NSData& data);
    static std::int32_t dataChecksum(const void* bytes, std::size_t length);

    // SHA-1 of the bytes (20 bytes).
    static NSDataPtr hashData(const NSData& data);
    // MD5 of the string's UTF-8 bytes up to the first zero byte, as 32 lower-case hex digits.
    static std::string md5String(std::string_view string);
    // Lower-case hex, two digits per byte.
    static std::string hashDataToHexString(const void* bytes, std::size_t length);

    // Escapes everything but A-Z, a-z, 0-9 and "-._~" (UTF-8 bytes as %XX).
    static std::string encodeToPercentEscapeString(std::string_view string);
    // Every escape decoded as UTF-8; nullopt (nil) when an escape is malformed or the result
    // is not valid UTF-8.
    static std::optional<std::string> decodeFromPercentEscapeString(std::string_view string);

    // Cuts the text at its first "?": the header is the text before it, the parameter text the
    // text after it, and the answer maps the text before each "&"-separated item's first "=" to
    // the text between that "=" and the next "=" or the end (an item without "=" maps to the
    // empty string; nothing is unescaped; a later key replaces an earlier one). Without "?" the
    // header is the whole text, and the answer and the parameter text are nil.
    static std::optional<std::map<std::string, std::string>> createParamKeysDictFromUrlParams(
        std::string_view params, std::string* paramsHeader, std::optional<std::string>* paramsKVString);

    // The first occurrence of the needle in the haystack, {0, 0} when there is none (or either
    // is nil or the needle is empty).
    static VuderuRange vuderuRangeOfData(const NSData* needle, const NSData* haystack);

    static std::uint32_t uint32FromNSUInteger(std::uint64_t value);
    static std::int32_t int32FromNSInteger(std::int64_t value);
    // A floating value as a signed 32-bit integer, truncated toward zero; out of range saturates
    // and NaN is 0.
    static std::int32_t int32FromDouble(double value);
    static std::int64_t int64FromDouble(double value);

    // A new random UUID, 36 upper-case hex digits with hyphens.
    static std::string generateCFUUID();
    // "ID" and a new UUID.
    static std::string generateCFUUIDBasedUID();

    // Debug counters: active only when the log level is above 1.
    static void incrementCounter(const std::string& name);
    static void decrementCounter(const std::string& name);
    static void incrementCounterLocationName(const std::string& name, const char* location);
    static void decrementCounterLocationName(const std::string& name, const char* location);
    static std::map<std::string, int> allCounters();
    static void printCounters();

    // Keeps a server cookie in the settings store's cookie map (not saved here): an empty value
    // removes the key (YES); a new key is refused (NO) once 1000 are kept; an unchanged value
    // gives NO; anything else is stored (YES).
    static bool updateIfChangedCookieValueForCookieKey(const NSDataPtr& value, const NSDataPtr& key);

    // Screen and orientation. Interface orientations: 1 portrait, 2 portrait upside down,
    // 3 landscape right, 4 landscape left; the canvas orientation is the status bar's.
    static std::optional<std::string> getOrientationStrFromInterfaceOrientation(long orientation);
    static bool canvasInLandscapeRight();
    static bool canvasInLandscapeLeft();
    static bool canvasInPortraitUpsideDown();
    static bool canvasInLandscape();
    static std::string getCanvasOrientation();
    // By orientation name (case-insensitive); nil asks the status bar.
    static bool canvasInLandscapeRight(const std::optional<std::string>& orientation);
    static bool canvasInLandscapeLeft(const std::optional<std::string>& orientation);
    static bool canvasInLandscape(const std::optional<std::string>& orientation);
    // The main screen's size, 0.1 added to its height, turned for a landscape canvas.
    static CGRect screenBounds();
    static CGRect screenBounds(const std::optional<std::string>& orientation);
    static bool isIPad();
    static bool isRetina();

    // Application, window and view questions, asked on the main thread.
    // NO (logged) while the application is inactive or in the background.
    static bool theAppIsActive();
    // YES when the view is in the key window, not hidden, and the centre of its bounds lies
    // inside the key window's bounds. Only the view's own hidden flag counts, not its alpha or
    // its ancestors'. NO for nil; an exception is reported to handleException and gives NO.
    static bool viewIsVisible(const std::shared_ptr<UIView>& view);
    // YES while the key window is the system's alert window (an alert is on screen).
    static bool isKeyWindowAlertView();
    // Whether the app can show portrait in the window: from the main bundle's
    // "UISupportedInterfaceOrientations", else from the application delegate.
    static bool isPortaitOrientationSupportedForWindow(const std::shared_ptr<UIWindow>& window);
    // The rule itself, for one value of "UISupportedInterfaceOrientations" (null when missing):
    // a list naming portrait or portrait upside down says YES; otherwise the delegate's mask for
    // the window decides when it has one; otherwise YES only when the list is empty or missing.
    static bool isPortaitOrientationSupported(const Value& supportedOrientations, const std::shared_ptr<UIWindow>& window);

    // Device facts.
    static std::string devicePlatform();
    // Always -1: not told.
    static std::int8_t deviceIsJailbroken() { return -1; }
    // Battery level in percent; -100 when unknown. Both switch the device's battery monitoring
    // on for the reading and back off when it was off.
    static float getBatteryLevel();
    static long getBatteryState();
    // Seconds since 1970 of the kernel's boot; 0 (logged) when unknown.
    static long lastBootTime();
    // The first preferred language of the user; else the main bundle's preferred localization;
    // else the first of the user default "AppleLanguages"; else "en".
    static std::string preferredLanguage();

    // Identifiers.
    // Writes the link-level address of the interface as upper-case hex pairs joined by ":"
    // into the buffer (always terminated, never beyond bufferSize); only 6-byte Ethernet
    // addresses count. The buffer is left as it was when there is none.
    static char* vuderuGetMacAddress(char* buffer, std::size_t bufferSize, const char* interfaceName);
    // The same formatting for given address bytes; NO (buffer untouched) unless 6 bytes.
    static bool formatMacAddress(const std::uint8_t* address, std::size_t length, char* buffer, std::size_t bufferSize);
    // The "en0" address when the settings allow using it; nil when off or unknown.
    static std::optional<std::string> MACString();
    // SHA-1 of the MAC string's UTF-8 bytes; nil without a MAC string.
    static NSDataPtr getMACUID();
    // Removes the identifier older versions kept in the keychain ("VuderuDataKey").
    static void cleanupStoredIdentifierForVendor();
    // The user's opt-out choice, kept in the keychain across launches; NO until set.
    static void setVuderuOptOut(bool optOut);
    static bool hasUserOptedOut();
    // The vendor identifier from the current UIDevice, when it answers identifierForVendor.
    static std::optional<std::string> getIdentifierForVendor();
    // The advertising identifier through the platform's advertising-identifier class, looked
    // up by name; nil when the class or its accessors are absent.
    static std::optional<std::string> getVuderuId();
    // YES without the class or its flag.
    static bool isAdTrackingEnabled();
    // The 15 bytes that salt tracked property values; the same in every run.
    static NSDataPtr getFixedSalt();
    // The names the advertising-identifier lookup uses, built at run time.
    static std::string advertisingClassName();
    static std::string advertisingManagerSelector();
    static std::string advertisingIdentifierSelector();
    static std::string advertisingStringSelector();
    static std::string advertisingTrackingSelector();
};
