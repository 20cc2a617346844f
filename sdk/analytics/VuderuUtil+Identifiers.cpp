// VuderuUtil's identifiers: the MAC address and its hash, the vendor and advertising identifiers,
// the opt-out choice kept in the keychain and the fixed salt.

#include "sdk/analytics/VuderuUtil.h"

#include "platform/foundation/NSObjCRuntime.h"
#include "platform/system/NetworkInterfaces.h"
#include "sdk/analytics/VuderuConstants.h"
#include "sdk/analytics/VuderuGlobalVariableStorage.h"
#include "sdk/analytics/VuderuKeychainWrapper.h"

#include <cstdio>
#include <mutex>
#include <span>
#include <net/if_arp.h>

namespace {

constexpr std::size_t kMacAddressLength = 6;
constexpr const char* kOptOutKey = "VuderuUserOptOut";
constexpr const char* kStoredIdentifierKey = "VuderuDataKey";

// The names are kept as pieces and joined when asked for, never as whole strings.
std::string joinedNamePieces(std::initializer_list<const char*> pieces) {
    std::string out;
    for (const char* piece : pieces) out += piece;
    return out;
}

std::mutex& identifierLock() {
    static std::mutex lock;
    return lock;
}

} // namespace

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

std::string VuderuUtil::advertisingClassName() { return joinedNamePieces({"AS", "Identifier", "Manager"}); }
std::string VuderuUtil::advertisingManagerSelector() { return joinedNamePieces({"shared", "Manager"}); }
std::string VuderuUtil::advertisingIdentifierSelector() { return joinedNamePieces({"advertising", "Identifier"}); }
std::string VuderuUtil::advertisingStringSelector() { return joinedNamePieces({"UUID", "String"}); }
std::string VuderuUtil::advertisingTrackingSelector() { return joinedNamePieces({"isAdvertising", "Tracking", "Enabled"}); }

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

std::optional<std::string> VuderuUtil::MACString() {
    if (!VuderuGlobalVariableStorage::sharedInstance()->macAddressEnabled()) return std::nullopt;
    // Six pairs, five colons and the terminating zero.
    char address[18] = "";
    vuderuGetMacAddress(address, sizeof address, kDevicePrimaryInterface);
    if (address[0] == '\0') return std::nullopt;
    return std::string(address);
}

NSDataPtr VuderuUtil::getMACUID() {
    auto mac = MACString();
    if (!mac || mac->empty()) return nullptr;
    return hashData(*NSData::dataWithString(*mac));
}

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
