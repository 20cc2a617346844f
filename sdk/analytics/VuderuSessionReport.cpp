// The binary report: one session record per session, and the envelope around a list of them.

#include "platform/foundation/NSException.h"
#include "platform/foundation/NSString.h"
#include "platform/uikit/UIDevice.h"
#include "platform/uikit/UIScreen.h"
#include "sdk/analytics/VuderuDataSender.h"
#include "sdk/analytics/VuderuGlobalVariableStorage.h"
#include "sdk/analytics/VuderuInitialTimestamp.h"
#include "sdk/analytics/VuderuNetworkUtil.h"
#include "sdk/analytics/VuderuProtocolData.h"
#include "sdk/analytics/VuderuSession.h"
#include "sdk/analytics/VuderuUtil.h"

#include <array>
#include <cstdint>
#include <iterator>
#include <string_view>

namespace {

using P = VuderuProtocolData;

constexpr std::array<std::string_view, 7> kTrackedKeys = {"device.locale", "default.timezone", "device.os.version", "device.model.1",
                                                          "boot.time",     "scr.height",       "scr.width"};

// Report header and the envelope's fixed values.
constexpr int kHeader[] = {29, 4, 1};
constexpr int kPlatformPhone = 2;
constexpr int kPlatformPad = 8;
constexpr int kIdentifierAdvertising = 7;
constexpr int kIdentifierVendor = 6;
constexpr int kIdentifierMAC = 4;
constexpr int kJailbreakUnknown = -1;

void appendParameter(const std::string& key, const std::string& value, NSMutableData& data) {
    P::appendStringToData(key, data);
    P::appendStringToData(value, data);
    P::appendByteToData(VuderuSession::updateIfTrackedAndChangedPropertyValueForPropertyKey(value, key), data);
}

std::map<std::string, std::string> deviceProperties() {
    CGRect bounds = UIScreen::mainScreen()->bounds();
    return {{"device.model.1", VuderuUtil::devicePlatform()},
            {"device.os.version", UIDevice::currentDevice()->systemVersion()},
            {"device.arch", "arm64"},
            {"scr.width", std::to_string(VuderuUtil::int32FromDouble(bounds.size.width))},
            {"scr.height", std::to_string(VuderuUtil::int32FromDouble(bounds.size.height))}};
}

void appendIdentifiers(NSMutableData& data) {
    auto advertising = VuderuUtil::getVuderuId();
    auto vendor = VuderuUtil::getIdentifierForVendor();
    NSDataPtr mac = VuderuUtil::getMACUID();
    P::appendUshortToData(int(advertising.has_value()) + int(vendor.has_value()) + int(mac != nullptr), data);
    if (advertising) {
        P::appendUshortToData(kIdentifierAdvertising, data);
        P::appendStringToData(*advertising, data);
    }
    if (vendor) {
        P::appendUshortToData(kIdentifierVendor, data);
        P::appendStringToData(*vendor, data);
    }
    if (mac) {
        P::appendUshortToData(kIdentifierMAC, data);
        P::appendShortDataToData(mac, data);
    }
}

void appendSettings(NSMutableData& data) {
    auto storage = VuderuGlobalVariableStorage::sharedInstance();
    Value::Dictionary options = storage->launchOptions();
    P::appendUshortToData(static_cast<int>(options.size()), data);
    for (const auto& [key, values] : options) {
        P::appendStringToData(key, data);
        const Value::Array empty;
        const Value::Array& list = values.isArray() ? values.array() : empty;
        P::appendUshortToData(static_cast<int>(list.size()), data);
        for (const Value& value : list) P::appendStringToData(value.description(), data);
    }
    Value::Array origins = storage->originSets();
    P::appendUshortToData(static_cast<int>(origins.size()), data);
    for (const Value& origin : origins) {
        if (!origin.isDictionary()) continue;
        const auto& set = origin.dictionary();
        auto name = set.find("originName");
        if (name == set.end() || !name->second.isString()) continue;
        P::appendStringToData(name->second.stringValue(), data);
        auto parameters = set.find("parameters");
        const Value::Dictionary none;
        const Value::Dictionary& entries = parameters != set.end() && parameters->second.isDictionary() ? parameters->second.dictionary() : none;
        P::appendUshortToData(static_cast<int>(entries.size()), data);
        for (const auto& [key, value] : entries) {
            P::appendStringToData(key, data);
            P::appendStringToData(value.isString() ? value.stringValue() : value.description(), data);
        }
    }
}

void appendCookies(NSMutableData& data) {
    auto storage = VuderuGlobalVariableStorage::sharedInstance();
    const Value::Dictionary* cookies = storage->persistentCookiesMap();
    P::appendUshortToData(cookies ? static_cast<int>(cookies->size()) : 0, data);
    if (!cookies) return;
    for (const auto& [key, value] : *cookies) {
        P::appendShortDataToData(NSData::dataWithString(key), data);
        P::appendShortDataToData(value.isData() ? std::make_shared<NSData>(value.data()) : NSData::dataWithString(value.description()), data);
    }
}

} // namespace

int VuderuSession::updateIfTrackedAndChangedPropertyValueForPropertyKey(const std::string& value, const std::string& key) {
    bool tracked = false;
    for (std::string_view name : kTrackedKeys) tracked = tracked || name == key;
    if (!tracked) return 0;
    std::string salt = VuderuUtil::getFixedSalt()->description();
    std::string keyHash = VuderuUtil::md5String(key + salt);
    std::string valueHash = VuderuUtil::md5String(value + salt);
    auto storage = VuderuGlobalVariableStorage::sharedInstance();
    Value::Dictionary* globals = storage->persistentGlobalsMap();
    if (!globals) return 1;
    auto found = globals->find(keyHash);
    if (found != globals->end() && found->second.isString() && found->second.stringValue() == valueHash) return 2;
    (*globals)[keyHash] = Value(valueHash);
    return 1;
}

void VuderuSession::appendFacts(NSMutableData& data) {
    P::appendStringToData(locale_, data);
    P::appendStringToData(timeZone_, data);
    P::appendByteToData(VuderuNetworkUtil::networkStatus(), data);
    P::appendStringToData(userID(), data);
    P::appendBooleanToData(true, data);
    P::appendDoubleToData(latitude_, data);
    P::appendDoubleToData(longitude_, data);
    P::appendFloatToData(accuracy_, data);
    P::appendIntToData(pageViewCount_, data);
    P::appendByteToData(kJailbreakUnknown, data);
    P::appendByteToData(0, data);
    P::appendByteToData(gender_, data);
    P::appendBooleanToData(age_ != nullptr, data);
    if (age_) P::appendTimestampToData(age_, data);
}

NSDataPtr VuderuSession::data() {
    VuderuUtil::assertThreadIsNotMain();
    sessionParams_["device.locale"] = locale_;
    sessionParams_["default.timezone"] = timeZone_;
    auto data = NSData::data();
    P::appendUshortToData(serializationVersion_, *data);
    P::appendStringToData(appVersion_, *data);
    P::appendTimestampToData(startTime_, *data);
    P::appendLongToData(sessionLength(), *data);
    P::appendLongToData(totalPauseIntervalMillis_, *data);
    P::appendUshortToData(static_cast<int>(sessionParams_.size()), *data);
    for (const auto& [key, value] : sessionParams_) appendParameter(key, value, *data);
    appendFacts(*data);

    P::appendUshortToData(static_cast<int>(events_.eventCounts().size()), *data);
    for (const auto& [name, count] : events_.eventCounts()) {
        P::appendStringToData(name, *data);
        P::appendIntToData(count, *data);
    }
    P::appendUshortToData(static_cast<int>(events_.eventLog().size()), *data);
    for (const auto& event : events_.eventLog()) {
        if (!event) return nullptr;
        data->appendData(*event->dataRelativeToSessionStart(startTime_));
    }
    P::appendBooleanToData(events_.eventLogComplete(), *data);

    const bool withCrash = crashReportData_ != nullptr;
    P::appendIntToData(events_.totalErrorCount() + (withCrash ? 1 : 0), *data);
    P::appendUshortToData(static_cast<int>(events_.errors().size()) + (withCrash ? 1 : 0), *data);
    std::uint16_t largestID = 0;
    for (const auto& error : events_.errors()) {
        if (!error) return nullptr;
        error->appendToData(*data);
        largestID = std::max(largestID, static_cast<std::uint16_t>(error->errorID()));
    }
    if (withCrash) {
        auto crash = VuderuError::errorWithStringMessageExceptionStringErrorTypeReportData("", "", "", VuderuErrorTypeCrash, crashReportData_);
        crash->setErrorID(largestID + 1);
        crash->setDate(NSDate::date());
        crash->appendToData(*data);
    }
    P::appendUshortToData(0, *data);
    P::appendUshortToData(0, *data);
    return data;
}

NSDataPtr VuderuSession::dataForSessions(const Value::Array& sessions) {
    auto data = NSData::data();
    for (int value : kHeader) P::appendUshortToData(value, *data);
    P::appendLongToData(0, *data);
    P::appendUshortToData(0, *data);
    P::appendUshortToData(VuderuUtil::isIPad() ? kPlatformPad : kPlatformPhone, *data);
    P::appendUshortToData(kAgentVersion, *data);
    P::appendTimestampToData(NSDate::date(), *data);
    P::appendStringToData(apiKey_, *data);
    P::appendStringToData(appVersion_, *data);
    appendIdentifiers(*data);
    P::appendByteToData(0, *data);
    P::appendBooleanToData(sentReportSuccessful(), *data);
    P::appendBooleanToData(VuderuUtil::isAdTrackingEnabled(), *data);
    P::appendTimestampToData(initialTimestamp(), *data);
    P::appendTimestampToData(startTime_, *data);
    auto properties = deviceProperties();
    P::appendUshortToData(static_cast<int>(properties.size()), *data);
    for (const auto& [key, value] : properties) appendParameter(key, value, *data);
    P::appendUshortToData(0, *data);
    P::appendBooleanToData(false, *data);
    appendSettings(*data);

    NSMutableData records;
    int count = 0;
    for (const Value& element : sessions) {
        try {
            NSDataPtr record;
            if (auto session = element.objectAs<VuderuSession>()) {
                record = session->data();
            } else if (element.isData()) {
                record = std::make_shared<NSData>(element.data());
            }
            if (!record) continue;
            records.appendData(*record);
            ++count;
        } catch (const NSException& exception) {
            VuderuUtil::handleException(exception);
        }
    }
    P::appendUshortToData(count, *data);
    data->appendData(records);
    appendCookies(*data);
    P::appendIntToData(VuderuUtil::dataChecksum(*data), *data);
    return data;
}

bool VuderuSession::isReportData(const NSData& data) {
    constexpr std::size_t kChecksumLength = 4;
    constexpr std::size_t kHeaderLength = std::size(kHeader) * 2;
    if (data.length() < kHeaderLength + kChecksumLength || data.length() > static_cast<std::size_t>(INT32_MAX)) return false;
    for (std::size_t i = 0; i < std::size(kHeader); ++i) {
        if (P::getInt16FromDataAtIndex(data, static_cast<std::int32_t>(i * 2)) != kHeader[i]) return false;
    }
    const std::size_t checked = data.length() - kChecksumLength;
    return P::getInt32FromDataAtIndex(data, static_cast<std::int32_t>(checked)) == VuderuUtil::dataChecksum(data.bytes(), checked);
}

std::shared_ptr<NSDate> VuderuSession::initialTimestamp() const { return VuderuInitialTimestamp::initialTimestamp(apiKey_, startTime_); }

bool VuderuSession::sentReportSuccessful() const {
    auto sender = VuderuDataSender::instance();
    return sender && sender->everSentReportSuccessfully();
}
