#include "sdk/analytics/VuderuUtil.h"

#include "platform/foundation/DeviceRoot.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSKeyedUnarchiver.h"
#include "platform/foundation/NSBundle.h"
#include "platform/foundation/NSLocale.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/NSUserDefaults.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/NSObjCRuntime.h"
#include "platform/foundation/WholeFile.h"
#include "platform/system/NetworkInterfaces.h"
#include "platform/system/sysctl.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIDevice.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIWindow.h"
#include "sdk/analytics/VuderuConstants.h"
#include "platform/security/CommonDigest.h"
#include "sdk/analytics/VuderuGlobalVariableStorage.h"
#include "sdk/analytics/VuderuKeychainWrapper.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <span>
#include <limits>
#include <mutex>
#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <net/if_arp.h>
#include <sys/random.h>
#include <sys/socket.h>
#include <sys/xattr.h>

namespace {

std::atomic<int> gLogLevel{1};
std::atomic<bool> gShowErrorInLog{false};

// The lock on the class: the system version cache and the counters.
std::mutex& classLock() {
    static std::mutex lock;
    return lock;
}
int gSystemVersion = 0;
std::map<std::string, int>& counters() {
    static std::map<std::string, int> all;
    return all;
}

// The checksum tables. table[0] is the classic byte-at-a-time table; table[k][i] is the register
// after byte i and k zero bytes, which lets the loop fold sixteen bytes per step.
//
// Long data is cut into blocks of kBraids 8-byte words and run as kBraids independent
// registers, one per word position ("braids"), so the processor overlaps their lookups: the
// register of braid i after word i of a block is what that word contributes at word i of the
// next block, so it is XORed into that word before the word is looked up. braid[k][b] is the
// register after byte b at position k of a word followed by the zero bytes up to the same
// position of the next block. The last block takes the braids' registers in its words and is
// folded sequentially with the tail.
constexpr std::uint32_t kCRC32Polynomial = 0xEDB88320u; // 0x04C11DB7 reflected
constexpr int kSlices = 16;
constexpr std::size_t kBraids = 5;
constexpr std::size_t kWord = 8;
constexpr std::size_t kBlock = kBraids * kWord;
std::array<std::array<std::uint32_t, 256>, kSlices> gChecksumTable;
std::array<std::array<std::uint32_t, 256>, kWord> gBraidTable;
std::once_flag gChecksumTableBuilt;

std::uint32_t advanceOverZeros(std::uint32_t crc, std::size_t zeros) {
    for (std::size_t i = 0; i < zeros; ++i) crc = gChecksumTable[0][crc & 0xFF] ^ (crc >> 8);
    return crc;
}

void buildChecksumTable() {
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = i;
        for (int bit = 0; bit < 8; ++bit) c = (c & 1) ? (c >> 1) ^ kCRC32Polynomial : c >> 1;
        gChecksumTable[0][i] = c;
    }
    for (int k = 1; k < kSlices; ++k) {
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t previous = gChecksumTable[k - 1][i];
            gChecksumTable[k][i] = (previous >> 8) ^ gChecksumTable[0][previous & 0xFF];
        }
    }
    for (std::size_t k = 0; k < kWord; ++k) {
        for (std::uint32_t i = 0; i < 256; ++i) {
            gBraidTable[k][i] = advanceOverZeros(gChecksumTable[0][i], (kWord - 1 - k) + (kBraids - 1) * kWord);
        }
    }
}

inline std::uint32_t littleEndian32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 | static_cast<std::uint32_t>(p[2]) << 16 |
           static_cast<std::uint32_t>(p[3]) << 24;
}

inline std::uint64_t littleEndian64(const std::uint8_t* p) {
    return static_cast<std::uint64_t>(littleEndian32(p)) | static_cast<std::uint64_t>(littleEndian32(p + 4)) << 32;
}

// The register after the bytes, without the initial and final complement.
std::uint32_t crcSequential(std::uint32_t crc, const std::uint8_t* p, std::size_t length) {
    const auto& t = gChecksumTable;
    for (; length >= 16; p += 16, length -= 16) {
        std::uint32_t a = crc ^ littleEndian32(p);
        std::uint32_t b = littleEndian32(p + 4);
        std::uint32_t c = littleEndian32(p + 8);
        std::uint32_t d = littleEndian32(p + 12);
        crc = t[15][a & 0xFF] ^ t[14][(a >> 8) & 0xFF] ^ t[13][(a >> 16) & 0xFF] ^ t[12][a >> 24] ^
              t[11][b & 0xFF] ^ t[10][(b >> 8) & 0xFF] ^ t[9][(b >> 16) & 0xFF] ^ t[8][b >> 24] ^
              t[7][c & 0xFF] ^ t[6][(c >> 8) & 0xFF] ^ t[5][(c >> 16) & 0xFF] ^ t[4][c >> 24] ^
              t[3][d & 0xFF] ^ t[2][(d >> 8) & 0xFF] ^ t[1][(d >> 16) & 0xFF] ^ t[0][d >> 24];
    }
    for (; length; ++p, --length) crc = t[0][(crc ^ *p) & 0xFF] ^ (crc >> 8);
    return crc;
}

inline std::uint32_t braidStep(std::uint64_t word) {
    const auto& t = gBraidTable;
    return t[0][word & 0xFF] ^ t[1][(word >> 8) & 0xFF] ^ t[2][(word >> 16) & 0xFF] ^ t[3][(word >> 24) & 0xFF] ^
           t[4][(word >> 32) & 0xFF] ^ t[5][(word >> 40) & 0xFF] ^ t[6][(word >> 48) & 0xFF] ^ t[7][word >> 56];
}

std::uint32_t crcRegister(std::uint32_t crc, const std::uint8_t* p, std::size_t length) {
    if (length < 2 * kBlock) return crcSequential(crc, p, length);
    std::uint32_t s0 = crc, s1 = 0, s2 = 0, s3 = 0, s4 = 0;
    std::size_t blocks = length / kBlock;
    for (std::size_t i = 0; i + 1 < blocks; ++i, p += kBlock) {
        std::uint64_t w0 = littleEndian64(p) ^ s0;
        std::uint64_t w1 = littleEndian64(p + 8) ^ s1;
        std::uint64_t w2 = littleEndian64(p + 16) ^ s2;
        std::uint64_t w3 = littleEndian64(p + 24) ^ s3;
        std::uint64_t w4 = littleEndian64(p + 32) ^ s4;
        s0 = braidStep(w0);
        s1 = braidStep(w1);
        s2 = braidStep(w2);
        s3 = braidStep(w3);
        s4 = braidStep(w4);
    }
    std::uint8_t last[kBlock];
    std::memcpy(last, p, kBlock);
    const std::uint32_t braids[kBraids] = {s0, s1, s2, s3, s4};
    for (std::size_t b = 0; b < kBraids; ++b) {
        for (std::size_t k = 0; k < 4; ++k) last[b * kWord + k] ^= static_cast<std::uint8_t>(braids[b] >> (8 * k));
    }
    std::uint32_t register0 = crcSequential(0, last, kBlock);
    p += kBlock;
    return crcSequential(register0, p, length - blocks * kBlock);
}

void logIf(const std::string& line) {
    if (VuderuUtil::logLevel() > 1) NSLogv(line);
}

const char* const kDashes = "Vuderu: -----------------------------------------";

void changeCounter(const std::string& key, int delta) {
    if (VuderuUtil::logLevel() <= 1) return;
    std::lock_guard<std::mutex> guard(classLock());
    auto found = counters().find(key);
    if (found == counters().end()) counters()[key] = delta;
    else found->second += delta;
}

} // namespace

void VuderuUtil::setLogLevel(int level) { gLogLevel = level; }
int VuderuUtil::logLevel() { return gLogLevel; }
void VuderuUtil::setShowErrorInLogEnabled(bool enabled) { gShowErrorInLog = enabled; }

void VuderuUtil::handleException(const NSException& exception) {
    if (!gShowErrorInLog) return;
    logIf("Vuderu: Caught Exception in Vuderu Analytics Code");
    logIf(kDashes);
    logIf(NSString::stringWithFormat("Vuderu: Name:%@ Reason:%@", exception.name(), exception.reason()));
    // An exception keeps no user info unless it was made with some: none is a nil dictionary.
    logIf(NSString::stringWithFormat("Vuderu: %@", exception.userInfo().empty() ? Value() : Value(exception.userInfo())));
}

void VuderuUtil::handleException(const NSError& error) {
    if (!gShowErrorInLog) return;
    logIf("Vuderu: Caught Error in Vuderu Analytics Code");
    logIf(kDashes);
    logIf(NSString::stringWithFormat("Vuderu: Code:%ld Domain:%@", error.code(), error.domain()));
    logIf(NSString::stringWithFormat("Vuderu: %@", Value(error.userInfo())));
}

void VuderuUtil::handleException(const std::exception& exception) {
    if (auto ns = dynamic_cast<const NSException*>(&exception)) return handleException(*ns);
    if (!gShowErrorInLog) return;
    logIf("Vuderu: Caught Error in Vuderu Analytics Code");
    logIf(NSString::stringWithFormat("Vuderu: %@", exception.what()));
}

void VuderuUtil::handleException(const Value& object) {
    if (auto error = object.objectAs<NSError>()) return handleException(*error);
    if (!gShowErrorInLog) return;
    logIf("Vuderu: Caught Error in Vuderu Analytics Code");
    logIf(NSString::stringWithFormat("Vuderu: %@", object));
}

void VuderuUtil::handleException(const std::exception_ptr& caught) {
    if (!caught) return;
    try {
        std::rethrow_exception(caught);
    } catch (const std::exception& e) {
        handleException(e);
    } catch (...) {
        handleException(Value("unknown exception"));
    }
}

int VuderuUtil::systemVersionAsInteger(std::string_view version) {
    static constexpr std::int64_t kWeights[] = {10000, 100, 1};
    auto parts = NSString::componentsSeparatedByString(version, ".");
    std::int64_t total = 0;
    for (std::size_t i = 0; i < parts.size() && i < std::size(kWeights); ++i) {
        total += static_cast<std::int64_t>(NSString::intValue(parts[i])) * kWeights[i];
    }
    return static_cast<int>(std::clamp<std::int64_t>(total, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

int VuderuUtil::getSystemVersionAsAnInteger() {
    std::lock_guard<std::mutex> guard(classLock());
    if (gSystemVersion == 0) gSystemVersion = systemVersionAsInteger(UIDevice::currentDevice()->systemVersion());
    return gSystemVersion;
}

void VuderuUtil::generateChecksumTable() { std::call_once(gChecksumTableBuilt, buildChecksumTable); }

std::int32_t VuderuUtil::dataChecksum(const NSData& data) { return dataChecksum(data.bytes(), data.length()); }

std::int32_t VuderuUtil::dataChecksum(const void* bytes, std::size_t length) {
    generateChecksumTable();
    if (length == 0) return 0;
    std::uint32_t crc = crcRegister(0xFFFFFFFFu, static_cast<const std::uint8_t*>(bytes), length);
    return static_cast<std::int32_t>(crc ^ 0xFFFFFFFFu);
}

std::string VuderuUtil::hashDataToHexString(const void* bytes, std::size_t length) {
    static constexpr char kDigits[] = "0123456789abcdef";
    auto p = static_cast<const std::uint8_t*>(bytes);
    std::string out;
    out.reserve(length * 2);
    for (std::size_t i = 0; i < length; ++i) {
        out += kDigits[p[i] >> 4];
        out += kDigits[p[i] & 0xF];
    }
    return out;
}

std::string VuderuUtil::encodeToPercentEscapeString(std::string_view string) {
    return NSString::stringByAddingPercentEncoding(string, [](unsigned char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' ||
               c == '~';
    });
}

std::optional<std::string> VuderuUtil::decodeFromPercentEscapeString(std::string_view string) {
    return NSString::stringByRemovingPercentEncoding(string);
}

std::optional<std::map<std::string, std::string>> VuderuUtil::createParamKeysDictFromUrlParams(
    std::string_view params, std::string* paramsHeader, std::optional<std::string>* paramsKVString) {
    auto question = params.find('?');
    if (question == std::string_view::npos) {
        if (paramsHeader) *paramsHeader = std::string(params);
        if (paramsKVString) paramsKVString->reset();
        return std::nullopt;
    }
    std::string_view after = params.substr(question + 1);
    if (paramsHeader) *paramsHeader = std::string(params.substr(0, question));
    if (paramsKVString) *paramsKVString = std::string(after);
    std::map<std::string, std::string> dict;
    for (const std::string& item : NSString::componentsSeparatedByString(after, "&")) {
        auto parts = NSString::componentsSeparatedByString(item, "=");
        dict[parts[0]] = parts.size() > 1 ? parts[1] : std::string();
    }
    return dict;
}

VuderuRange VuderuUtil::vuderuRangeOfData(const NSData* needle, const NSData* haystack) {
    if (!needle || !haystack || needle->length() == 0 || needle->length() > haystack->length()) return {};
    auto begin = haystack->bytes();
    auto end = begin + haystack->length();
    auto found = std::search(begin, end, needle->bytes(), needle->bytes() + needle->length());
    if (found == end) return {};
    return {static_cast<std::size_t>(found - begin), needle->length()};
}

std::uint32_t VuderuUtil::uint32FromNSUInteger(std::uint64_t value) {
    return value > std::numeric_limits<std::uint32_t>::max() ? std::numeric_limits<std::uint32_t>::max()
                                                               : static_cast<std::uint32_t>(value);
}

std::int32_t VuderuUtil::int32FromNSInteger(std::int64_t value) {
    return static_cast<std::int32_t>(
        std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

std::int32_t VuderuUtil::int32FromDouble(double value) {
    if (std::isnan(value)) return 0;
    if (value >= 2147483647.0) return std::numeric_limits<std::int32_t>::max();
    if (value <= -2147483648.0) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(value);
}

std::int64_t VuderuUtil::int64FromDouble(double value) {
    if (std::isnan(value)) return 0;
    if (value >= 9223372036854775807.0) return std::numeric_limits<std::int64_t>::max();
    if (value <= -9223372036854775808.0) return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(value);
}

std::string VuderuUtil::generateCFUUID() {
    std::uint8_t b[16];
    std::size_t got = 0;
    while (got < sizeof b) {
        ssize_t n = ::getrandom(b + got, sizeof b - got, 0);
        if (n > 0) got += static_cast<std::size_t>(n);
    }
    b[6] = static_cast<std::uint8_t>((b[6] & 0x0F) | 0x40); // version 4: random
    b[8] = static_cast<std::uint8_t>((b[8] & 0x3F) | 0x80); // RFC 4122 variant
    std::string hex = NSString::uppercaseString(hashDataToHexString(b, sizeof b));
    return hex.substr(0, 8) + "-" + hex.substr(8, 4) + "-" + hex.substr(12, 4) + "-" + hex.substr(16, 4) + "-" + hex.substr(20);
}

std::string VuderuUtil::generateCFUUIDBasedUID() { return "ID" + generateCFUUID(); }

void VuderuUtil::incrementCounter(const std::string& name) { changeCounter(name, 1); }
void VuderuUtil::decrementCounter(const std::string& name) { changeCounter(name, -1); }

void VuderuUtil::incrementCounterLocationName(const std::string& name, const char* location) {
    changeCounter(NSString::stringWithFormat("%@_location_%s", name, location), 1);
}

void VuderuUtil::decrementCounterLocationName(const std::string& name, const char* location) {
    changeCounter(NSString::stringWithFormat("%@_location_%s", name, location), -1);
}

std::map<std::string, int> VuderuUtil::allCounters() {
    std::lock_guard<std::mutex> guard(classLock());
    return counters();
}

void VuderuUtil::printCounters() {
    if (logLevel() <= 1) return;
    auto all = allCounters();
    NSLog("=========== Printing All Counters [name, value] ===========");
    for (const auto& [name, value] : all) NSLog("[%-100s=> %5d]", name.c_str(), value);
    NSLog("===========================================================");
}

namespace {

// Added to the screen's height, as the ad views have always been laid out with it.
constexpr double kScreenHeightExtra = 0.1;
constexpr double kRetinaScale = 2.0;
constexpr float kBatteryPercent = 100.0f;
constexpr std::size_t kMacAddressLength = 6;

UIInterfaceOrientation statusBarOrientation() { return UIApplication::sharedApplication()->statusBarOrientation(); }

bool sameName(const std::optional<std::string>& a, std::string_view b) {
    return a && NSString::caseInsensitiveCompare(*a, b) == NSOrderedSame;
}

CGRect boundsFor(bool landscape) {
    CGSize screen = UIScreen::mainScreen()->bounds().size;
    if (landscape) return CGRectMake(0, 0, screen.height + kScreenHeightExtra, screen.width);
    return CGRectMake(0, 0, screen.width, screen.height + kScreenHeightExtra);
}

// The system's alert windows, by class name: the one of iOS 7 and later, and the older one.
constexpr const char* kAlertWindowClassNames[] = {"_UIAlertNormalizingOverlayWindow", "_UIAlertOverlayWindow"};
constexpr const char* kSupportedOrientationsKey = "UISupportedInterfaceOrientations";
constexpr const char* kPortraitOrientationNames[] = {"UIInterfaceOrientationPortrait", "UIInterfaceOrientationPortraitUpsideDown"};
constexpr unsigned long kPortraitOrientationsMask = UIInterfaceOrientationMaskPortrait | UIInterfaceOrientationMaskPortraitUpsideDown;

// Battery monitoring is switched on for one reading and back off; one reading at a time, so that
// a reader never switches it off under another.
std::mutex& batteryLock() {
    static std::mutex lock;
    return lock;
}

template <class Reading>
auto readBattery(Reading reading) {
    std::lock_guard<std::mutex> guard(batteryLock());
    auto device = UIDevice::currentDevice();
    bool wasMonitoring = device->isBatteryMonitoringEnabled();
    if (!wasMonitoring) device->setBatteryMonitoringEnabled(true);
    auto value = reading(*device);
    if (!wasMonitoring) device->setBatteryMonitoringEnabled(false);
    return value;
}

// The names are kept as pieces and joined when asked for, never as whole strings.
std::string joined(std::initializer_list<const char*> pieces) {
    std::string out;
    for (const char* piece : pieces) out += piece;
    return out;
}

std::mutex& identifierLock() {
    static std::mutex lock;
    return lock;
}

} // namespace

std::optional<std::string> VuderuUtil::getOrientationStrFromInterfaceOrientation(long orientation) {
    switch (orientation) {
    case UIInterfaceOrientationPortrait: return "portrait";
    case UIInterfaceOrientationPortraitUpsideDown: return "portraitUpsideDown";
    case UIInterfaceOrientationLandscapeRight: return "landscapeRight";
    case UIInterfaceOrientationLandscapeLeft: return "landscapeLeft";
    default: return std::nullopt;
    }
}

bool VuderuUtil::canvasInLandscapeRight() { return statusBarOrientation() == UIInterfaceOrientationLandscapeRight; }
bool VuderuUtil::canvasInLandscapeLeft() { return statusBarOrientation() == UIInterfaceOrientationLandscapeLeft; }
bool VuderuUtil::canvasInPortraitUpsideDown() { return statusBarOrientation() == UIInterfaceOrientationPortraitUpsideDown; }
bool VuderuUtil::canvasInLandscape() { return canvasInLandscapeRight() || canvasInLandscapeLeft(); }

std::string VuderuUtil::getCanvasOrientation() {
    if (canvasInLandscapeRight()) return "landscapeRight";
    if (canvasInLandscapeLeft()) return "landscapeLeft";
    if (canvasInPortraitUpsideDown()) return "portraitUpsideDown";
    return "portrait";
}

bool VuderuUtil::canvasInLandscapeRight(const std::optional<std::string>& orientation) {
    return orientation ? sameName(orientation, "landscapeRight") : canvasInLandscapeRight();
}

bool VuderuUtil::canvasInLandscapeLeft(const std::optional<std::string>& orientation) {
    return orientation ? sameName(orientation, "landscapeLeft") : canvasInLandscapeLeft();
}

bool VuderuUtil::canvasInLandscape(const std::optional<std::string>& orientation) {
    if (!orientation) return canvasInLandscape();
    return canvasInLandscapeRight(orientation) || canvasInLandscapeLeft(orientation);
}

CGRect VuderuUtil::screenBounds() { return boundsFor(canvasInLandscape()); }

CGRect VuderuUtil::screenBounds(const std::optional<std::string>& orientation) {
    if (!orientation) return screenBounds();
    return boundsFor(canvasInLandscape(orientation));
}

bool VuderuUtil::isIPad() { return UIDevice::currentDevice()->userInterfaceIdiom() == UIUserInterfaceIdiomPad; }

bool VuderuUtil::isRetina() { return UIScreen::mainScreen()->scale() == kRetinaScale; }

bool VuderuUtil::theAppIsActive() {
    UIApplicationState state = UIApplication::sharedApplication()->applicationState();
    if (state == UIApplicationStateInactive || state == UIApplicationStateBackground) {
        logIf("VuderuSession: The App is not active");
        return false;
    }
    return true;
}

bool VuderuUtil::viewIsVisible(const std::shared_ptr<UIView>& view) {
    try {
        if (!view) return false;
        auto keyWindow = UIApplication::sharedApplication()->keyWindow();
        if (!keyWindow || view->window() != keyWindow || view->isHidden()) return false;
        // A view's layer shows all of its bounds: no enclosing layer scrolls it.
        CGRect inWindow = view->convertRectToView(view->bounds(), keyWindow);
        CGPoint centre = CGPointMake(CGRectGetMidX(inWindow), CGRectGetMidY(inWindow));
        return CGRectContainsPoint(keyWindow->bounds(), centre);
    } catch (...) {
        handleException(std::current_exception());
        return false;
    }
}

bool VuderuUtil::isKeyWindowAlertView() {
    auto keyWindow = UIApplication::sharedApplication()->keyWindow();
    if (!keyWindow) return false;
    for (const char* name : kAlertWindowClassNames) {
        if (NSClassFromString(name) && keyWindow->className() == name) return true;
    }
    return false;
}

bool VuderuUtil::isPortaitOrientationSupportedForWindow(const std::shared_ptr<UIWindow>& window) {
    return isPortaitOrientationSupported(NSBundle::mainBundle()->objectForInfoDictionaryKey(kSupportedOrientationsKey), window);
}

bool VuderuUtil::isPortaitOrientationSupported(const Value& supportedOrientations, const std::shared_ptr<UIWindow>& window) {
    bool listed = supportedOrientations.isArray() && !supportedOrientations.array().empty();
    if (listed) {
        for (const Value& orientation : supportedOrientations.array()) {
            for (const char* portrait : kPortraitOrientationNames) {
                if (orientation.isString() && orientation.string() == portrait) return true;
            }
        }
    }
    auto application = UIApplication::sharedApplication();
    if (auto delegate = application->delegate()) {
        if (auto mask = delegate->applicationSupportedInterfaceOrientationsForWindow(*application, window)) {
            return (*mask & kPortraitOrientationsMask) != 0;
        }
    }
    return !listed;
}

std::string VuderuUtil::devicePlatform() {
    std::size_t size = 0;
    if (sysctlbyname("hw.machine", nullptr, &size, nullptr, 0) != 0 || size == 0) return {};
    std::string machine(size, '\0');
    if (sysctlbyname("hw.machine", machine.data(), &size, nullptr, 0) != 0) return {};
    machine.resize(std::strlen(machine.c_str()));
    return machine;
}

float VuderuUtil::getBatteryLevel() {
    // -1 when the device cannot tell: -100.
    return readBattery([](const UIDevice& device) { return device.batteryLevel(); }) * kBatteryPercent;
}

long VuderuUtil::getBatteryState() {
    return readBattery([](const UIDevice& device) { return static_cast<long>(device.batteryState()); });
}

long VuderuUtil::lastBootTime() {
    int mib[2] = {CTL_KERN, KERN_BOOTTIME};
    struct timeval boot{};
    std::size_t size = sizeof boot;
    if (sysctl(mib, 2, &boot, &size, nullptr, 0) != 0) {
        logIf("Failed to get last boot time");
        return 0;
    }
    return static_cast<long>(boot.tv_sec);
}

bool VuderuUtil::formatMacAddress(const std::uint8_t* address, std::size_t length, char* buffer, std::size_t bufferSize) {
    if (!address || length != kMacAddressLength || !buffer || bufferSize == 0) return false;
    std::snprintf(buffer, bufferSize, "%02X:%02X:%02X:%02X:%02X:%02X", address[0], address[1], address[2], address[3], address[4],
                  address[5]);
    return true;
}

char* VuderuUtil::vuderuGetMacAddress(char* buffer, std::size_t bufferSize, const char* interfaceName) {
    if (!buffer || !interfaceName) return buffer;
    std::string hostName = NetworkInterfaceHostName(interfaceName);
    if (hostName.empty()) return buffer;
    for (const HostInterfaceEntry& entry : HostNetworkFactsNow()->interfaces) {
        if (!entry.link || entry.name != hostName || entry.hardwareType != ARPHRD_ETHER) continue;
        if (formatMacAddress(entry.hardwareAddress.data(), entry.hardwareAddress.size(), buffer, bufferSize)) break;
    }
    return buffer;
}

std::optional<std::string> VuderuUtil::getIdentifierForVendor() {
    Class device = NSClassFromString("UIDevice");
    Value current = NSObjectPerformSelector(device, "currentDevice");
    if (!current.isObject() || !NSObjectRespondsToSelector(current.object(), "identifierForVendor")) return std::nullopt;
    Value identifier = NSObjectPerformSelector(current.object(), "identifierForVendor");
    if (!identifier.isObject()) return std::nullopt;
    Value text = NSObjectPerformSelector(identifier.object(), "UUIDString");
    if (!text.isString()) return std::nullopt;
    return text.string();
}

std::string VuderuUtil::advertisingClassName() { return joined({"AS", "Identifier", "Manager"}); }
std::string VuderuUtil::advertisingManagerSelector() { return joined({"shared", "Manager"}); }
std::string VuderuUtil::advertisingIdentifierSelector() { return joined({"advertising", "Identifier"}); }
std::string VuderuUtil::advertisingStringSelector() { return joined({"UUID", "String"}); }
std::string VuderuUtil::advertisingTrackingSelector() { return joined({"isAdvertising", "Tracking", "Enabled"}); }

std::optional<std::string> VuderuUtil::getVuderuId() {
    std::lock_guard<std::mutex> guard(identifierLock());
    Class manager = NSClassFromString(advertisingClassName());
    if (!manager || !NSObjectRespondsToSelector(manager, advertisingManagerSelector())) return std::nullopt;
    Value shared = NSObjectPerformSelector(manager, advertisingManagerSelector());
    if (!shared.isObject() || !NSObjectRespondsToSelector(shared.object(), advertisingIdentifierSelector())) return std::nullopt;
    Value identifier = NSObjectPerformSelector(shared.object(), advertisingIdentifierSelector());
    if (!identifier.isObject() || !NSObjectRespondsToSelector(identifier.object(), advertisingStringSelector())) return std::nullopt;
    Value text = NSObjectPerformSelector(identifier.object(), advertisingStringSelector());
    if (!text.isString()) return std::nullopt;
    return text.string();
}

bool VuderuUtil::isAdTrackingEnabled() {
    std::lock_guard<std::mutex> guard(identifierLock());
    Class manager = NSClassFromString(advertisingClassName());
    if (!manager || !NSObjectRespondsToSelector(manager, advertisingManagerSelector())) return true;
    Value shared = NSObjectPerformSelector(manager, advertisingManagerSelector());
    if (!shared.isObject() || !NSObjectRespondsToSelector(shared.object(), advertisingTrackingSelector())) return true;
    return NSObjectPerformSelector(shared.object(), advertisingTrackingSelector()).boolValue();
}

NSDataPtr VuderuUtil::getFixedSalt() {
    static constexpr std::uint8_t kHead[] = {0x5A, 0x17, 0xC3, 0x8E, 0x21};
    static constexpr std::uint8_t kMiddle[] = {0x9D, 0x44, 0xF0, 0x06, 0xB2};
    static constexpr std::uint8_t kTail[] = {0x3B, 0xE8, 0x71, 0x0C, 0xA5};
    auto salt = NSData::data();
    for (const auto& piece : {std::span<const std::uint8_t>(kHead), std::span<const std::uint8_t>(kMiddle),
                              std::span<const std::uint8_t>(kTail)}) {
        salt->appendBytes(piece.data(), piece.size());
    }
    return salt;
}

namespace {

// The backup exclusion the device's backup honours; Linux keeps it in the user namespace.
constexpr const char* kSkipBackupAttribute = "user.com.apple.MobileBackup";
constexpr const char* kDataDirectoryName = "VuderuFiles";

std::string firstSearchPath(NSSearchPathDirectory directory) {
    auto paths = NSSearchPathForDirectoriesInDomains(directory, NSUserDomainMask, true);
    return paths.empty() ? std::string() : paths.front();
}

std::string createdDirectory(const std::string& path) {
    auto manager = NSFileManager::defaultManager();
    bool isDirectory = false;
    if (!manager->fileExistsAtPath(path, &isDirectory) || !isDirectory) {
        manager->createDirectoryAtPath(path, true, nullptr, nullptr);
    }
    return path;
}

std::optional<NSFileSystemAttributes> documentsFileSystem() {
    // The last of the Documents paths, as the system's own lookup takes it.
    auto paths = NSSearchPathForDirectoriesInDomains(NSDocumentDirectory, NSUserDomainMask, true);
    NSErrorPtr error;
    std::optional<NSFileSystemAttributes> attributes;
    if (!paths.empty()) {
        // A device not yet given its Documents folder still has the file system it would be on:
        // the nearest folder above it that exists answers for it.
        auto files = NSFileManager::defaultManager();
        std::string path = paths.back();
        while (path.size() > 1 && !files->fileExistsAtPath(path)) path = NSString::stringByDeletingLastPathComponent(path);
        attributes = files->attributesOfFileSystemForPath(path.empty() ? "/" : path, &error);
    }
    if (!attributes) {
        if (!error) error = NSError::posixError(ENOENT);
        logIf(NSString::stringWithFormat("Error Obtaining System Memory Info: Domain = %@, Code = %ld", error->domain(), error->code()));
    }
    return attributes;
}

} // namespace

Value VuderuUtil::safeUnarchiveObjectWithFile(const std::string& path) {
    if (path.empty()) return Value();
    try {
        return NSKeyedUnarchiver::unarchiveObjectWithFile(path);
    } catch (const NSException& exception) {
        std::make_shared<NSFileManager>()->removeItemAtPath(path, nullptr);
        handleException(exception);
        return Value();
    } catch (const std::bad_alloc&) {
        // An archive too large to rebuild in memory would fail at every launch: it goes like a
        // damaged one.
        std::make_shared<NSFileManager>()->removeItemAtPath(path, nullptr);
        handleException(NSException(NSMallocException, "*** -[NSKeyedUnarchiver unarchiveObjectWithFile:]: out of memory reading " + path));
        return Value();
    }
}

std::string VuderuUtil::filePathDirectory() {
    if (getSystemVersionAsAnInteger() < kSystemVersionApplicationSupport) return firstSearchPath(NSCachesDirectory);
    std::string path = createdDirectory(NSString::stringByAppendingPathComponent(firstSearchPath(NSApplicationSupportDirectory),
                                                                                 kDataDirectoryName));
    addSkipBackupAttributeToItemAtURL(NSURL::fileURLWithPath(path, true));
    // Once per run: what a killed run was writing here is of no use to anyone.
    static std::once_flag swept;
    std::call_once(swept, [&path] { NSSweepTemporaryFiles(path, NSTemporaryNames::WritersAndEarlierStores); });
    return path;
}

std::string VuderuUtil::oldFilePathDirectoryUptilAgentVersion109() {
    if (getSystemVersionAsAnInteger() > kSystemVersionOldDirectoryInLibrary) {
        return createdDirectory(NSString::stringByAppendingPathComponent(firstSearchPath(NSLibraryDirectory), kDataDirectoryName));
    }
    return firstSearchPath(NSCachesDirectory);
}

bool VuderuUtil::addSkipBackupAttributeToItemAtURL(const NSURLPtr& url) {
    if (getSystemVersionAsAnInteger() < kSystemVersionSkipBackup) return false;
    if (!url || !url->isFileURL()) return false;
    const std::uint8_t skip = 1;
    std::string host = NSString::fileSystemRepresentation(url->path());
    return ::setxattr(host.c_str(), kSkipBackupAttribute, &skip, sizeof skip, 0) == 0;
}

std::uint64_t VuderuUtil::getFreeDiskspace() {
    auto attributes = documentsFileSystem();
    return attributes ? attributes->systemFreeSize : 0;
}

std::uint64_t VuderuUtil::getDiskSize() {
    auto attributes = documentsFileSystem();
    return attributes ? attributes->systemSize : 0;
}

bool VuderuUtil::updateIfChangedCookieValueForCookieKey(const NSDataPtr& value, const NSDataPtr& key) {
    auto storage = VuderuGlobalVariableStorage::sharedInstance();
    Value::Dictionary* cookies = storage->persistentCookiesMap();
    if (!cookies || !key) return false;
    std::string cookieKey(key->stringView());
    if (!value || value->length() == 0) {
        cookies->erase(cookieKey);
        return true;
    }
    auto found = cookies->find(cookieKey);
    if (found == cookies->end()) {
        if (cookies->size() >= static_cast<std::size_t>(MAX_COOKIES)) return false;
        (*cookies)[cookieKey] = Value(value->vector());
        return true;
    }
    if (found->second.isData() && found->second.data() == value->vector()) return false;
    found->second = Value(value->vector());
    return true;
}

std::optional<std::string> VuderuUtil::MACString() {
    if (!VuderuGlobalVariableStorage::sharedInstance()->macAddressEnabled()) return std::nullopt;
    // Six pairs, five colons and the terminating zero.
    char address[18] = "";
    vuderuGetMacAddress(address, sizeof address, kDevicePrimaryInterface);
    if (address[0] == '\0') return std::nullopt;
    return std::string(address);
}

NSDataPtr VuderuUtil::hashData(const NSData& data) {
    unsigned char digest[CC_SHA1_DIGEST_LENGTH];
    CC_SHA1(data.bytes(), uint32FromNSUInteger(data.length()), digest);
    return NSData::dataWithBytes(digest, sizeof digest);
}

std::string VuderuUtil::md5String(std::string_view string) {
    // The digest covers the bytes up to the first zero byte, as a C string would hold them.
    std::string_view bytes = string.substr(0, string.find('\0'));
    unsigned char digest[CC_MD5_DIGEST_LENGTH];
    CC_MD5(bytes.data(), uint32FromNSUInteger(bytes.size()), digest);
    return hashDataToHexString(digest, sizeof digest);
}

NSDataPtr VuderuUtil::getMACUID() {
    auto mac = MACString();
    if (!mac || mac->empty()) return nullptr;
    return hashData(*NSData::dataWithString(*mac));
}

namespace {
constexpr const char* kOptOutKey = "VuderuUserOptOut";
constexpr const char* kStoredIdentifierKey = "VuderuDataKey";
} // namespace

void VuderuUtil::cleanupStoredIdentifierForVendor() {
    if (auto keychain = VuderuKeychainWrapper::keychainWrapperWithIdentifier(VuderuAnalyticsKeychainIdentifier)) {
        keychain->removeObjectForKey(kStoredIdentifierKey);
    }
}

void VuderuUtil::setVuderuOptOut(bool optOut) {
    std::lock_guard<std::mutex> guard(identifierLock());
    if (auto keychain = VuderuKeychainWrapper::keychainWrapperWithIdentifier(VuderuAnalyticsKeychainIdentifier)) {
        keychain->setObjectForKey(Value(optOut), kOptOutKey);
    }
}

bool VuderuUtil::hasUserOptedOut() {
    std::lock_guard<std::mutex> guard(identifierLock());
    auto keychain = VuderuKeychainWrapper::keychainWrapperWithIdentifier(VuderuAnalyticsKeychainIdentifier);
    return keychain && keychain->objectForKey(kOptOutKey).boolValue();
}

std::string VuderuUtil::preferredLanguage() {
    auto languages = NSLocale::preferredLanguages();
    if (!languages.empty()) return languages.front();
    // The bundle's localizations ordered for the user: with no preference of the user's, its
    // development region leads.
    std::string region = NSBundle::mainBundle()->objectForInfoDictionaryKey("CFBundleDevelopmentRegion").stringValue();
    if (!region.empty()) return region;
    auto apple = NSUserDefaults::standardUserDefaults()->stringArrayForKey("AppleLanguages");
    if (apple && !apple->empty() && !apple->front().empty()) return apple->front();
    return "en";
}
