#include "platform/foundation/NSError.h"
#include "platform/foundation/NSException.h"
#include "platform/foundation/NSObjCRuntime.h"
#include "platform/foundation/PlatformClock.h"
#include "platform/system/DeviceProfile.h"
#include "platform/testsupport/DeviceTest.h"
#include "sdk/analytics/VuderuAutoIncrement.h"
#include "sdk/analytics/VuderuDataSender.h"
#include "sdk/analytics/VuderuGlobalVariableStorage.h"
#include "sdk/analytics/VuderuImpl.h"
#include "sdk/analytics/VuderuNetworkUtil.h"
#include "sdk/analytics/VuderuSession.h"
#include "sdk/analytics/VuderuUtil.h"
#include "sdk/analytics/tests/VuderuReportReader.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdlib>

namespace {

constexpr const char* kKey = "GOLDENKEY0123456789A";
constexpr double kStart = 1767225600.0; // 2026-01-01 00:00 UTC

class VuderuSessionReportTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        setenv("TZ", "Europe/Paris", 1);
        PlatformClock::setManual(kStart);
        VuderuAutoIncrement::instance()->resetAll();
        auto storage = VuderuGlobalVariableStorage::sharedInstance();
        storage->setApiKey(kKey);
        storage->setAppVersion("2.5");
        storage->setMacAddressEnabled(false);
        VuderuImpl::instance()->setupForApiKey(kKey);
        // The front's own session stays out of the way: these tests make their sessions themselves.
        dispatch_sync(VuderuImpl::instance()->queue(), [] { VuderuSession::removeCurrentSessionFile(); });
    }
    void TearDown() override {
        VuderuImpl::cleanup();
        VuderuDataSender::cleanup();
        VuderuGlobalVariableStorage::cleanup();
        PlatformClock::setAutomatic();
        unsetenv("TZ");
        DeviceTest::TearDown();
    }

    static Report decode(const NSDataPtr& report) {
        Report decoded = readReport(report->vector());
        EXPECT_EQ(decoded.checksum, crc32(0, report->bytes(), static_cast<uInt>(decoded.checkedLength)));
        return decoded;
    }
};

// The first session: every kind of event and error, and every fact the app can set.
std::shared_ptr<VuderuSession> busySession() {
    auto session = VuderuSession::sessionWithApiKeyStartTime(kKey, NSDate::date());
    session->setCrashReportingEnabled(true);
    PlatformClock::advance(1.5);
    session->recordEventWithParameters("Opened", Value());
    session->recordEventWithParametersTimed("Watching", Value(), true);
    PlatformClock::advance(2.25);
    session->endTimedEventWithParameters("Watching", Value());
    Value::Dictionary parameters{{"to", Value("mail")}, {"count", Value(3)}};
    session->recordEventWithParameters("Shared", Value(parameters));
    session->recordEventWithParameters("Opened", Value());
    auto error = NSError::errorWithDomain("TDDomain", 7, {{NSLocalizedDescriptionKey, Value("No space")}});
    session->recordErrorMessageErrorLiveReport("disk", "while saving", error, nullptr);
    NSException exception("Boom", "it broke");
    session->recordErrorMessageExceptionLiveReport("parser", "bad page", &exception, NSData::dataWithString("LIVE-REPORT"));
    session->setLatitudeLongitudeHorizontalAccuracyVerticalAccuracy(48.85669, -2.35229, 5.0f, -10.0f);
    session->setAgeInYears(30);
    session->setGenderAsString("m");
    session->setUserID("user-7");
    session->maybeIncrementPageView();
    PlatformClock::advance(0.5);
    session->maybeIncrementPageView();
    PlatformClock::advance(10);
    session->finishSession();
    return session;
}

TEST_F(VuderuSessionReportTest, GoldenReportOfTwoSessionsDecodesFieldByField) {
    auto first = busySession();
    // Made directly: the factory would save the first one as left over, reporting its values.
    auto second = std::make_shared<VuderuSession>(kKey, "2.5", NSDate::date());
    second->saveToDisk();
    second->setCrashReportData(NSData::dataWithString("vdcrash-bytes"));
    const double reportTime = PlatformClock::now();
    auto errors = first->events().errors();
    ASSERT_EQ(errors.size(), 2u);
    NSDataPtr bytes = first->dataForSessions({Value(first), Value(second)});

    Report r = decode(bytes);
    EXPECT_EQ((std::vector<int>{r.header[0], r.header[1], r.header[2]}), (std::vector<int>{29, 4, 1}));
    EXPECT_EQ(r.header4, 0);
    EXPECT_EQ(r.header5, 0);
    EXPECT_EQ(r.platform, 2);
    EXPECT_EQ(r.agent, 137);
    EXPECT_EQ(r.time, static_cast<std::int64_t>(reportTime * 1000));
    EXPECT_EQ(r.key, kKey);
    EXPECT_EQ(r.appVersion, "2.5");
    ASSERT_EQ(r.identifiers.size(), 1u);
    EXPECT_EQ(r.identifiers[6], VuderuUtil::getIdentifierForVendor().value());
    EXPECT_EQ(r.byte13, 0);
    EXPECT_EQ(r.everSent, 0);
    EXPECT_EQ(r.adTracking, VuderuUtil::isAdTrackingEnabled() ? 1 : 0);
    EXPECT_EQ(r.firstUse, static_cast<std::int64_t>(kStart * 1000));
    EXPECT_EQ(r.sessionStart, static_cast<std::int64_t>(kStart * 1000));
    const ParameterEntries device{{"device.model.1", {VuderuUtil::devicePlatform(), 1}},
                                  {"device.os.version", {"8.0", 1}},
                                  {"device.arch", {"arm64", 0}},
                                  {"scr.width", {"320", 1}},
                                  {"scr.height", {"568", 1}}};
    for (const auto& [key, entry] : device) {
        EXPECT_EQ(r.device[key].value, entry.value) << key;
        EXPECT_EQ(r.device[key].flag, entry.flag) << key;
    }
    EXPECT_EQ(r.device.size(), 5u);
    EXPECT_EQ(r.reserved1, 0);
    EXPECT_EQ(r.reserved2, 0);
    EXPECT_TRUE(r.launchOptions.empty());
    EXPECT_TRUE(r.originSets.empty());
    ASSERT_EQ(r.sessions.size(), 2u);
    EXPECT_TRUE(r.cookies.empty());

    const SessionRecord& s = r.sessions[0];
    EXPECT_EQ(s.version, 2);
    EXPECT_EQ(s.appVersion, "2.5");
    EXPECT_EQ(s.start, static_cast<std::int64_t>(kStart * 1000));
    EXPECT_EQ(s.length, 14250);
    EXPECT_EQ(s.pause, 0);
    EXPECT_EQ(s.parameters.at("default.timezone").value, "Europe/Paris");
    EXPECT_EQ(s.parameters.at("default.timezone").flag, 1);
    EXPECT_EQ(s.parameters.at("device.locale").flag, 1);
    EXPECT_EQ(s.parameters.at("boot.time").flag, 1);
    EXPECT_EQ(s.parameters.at("memory.total").flag, 0);
    for (const char* key : {"memory.used.wired.start", "cpu.load.end", "battery.remaining.end", "disk.size.used"}) {
        EXPECT_TRUE(s.parameters.count(key)) << key;
    }
    EXPECT_EQ(s.timeZone, "Europe/Paris");
    EXPECT_EQ(s.networkStatus, VuderuNetworkUtil::networkStatus());
    EXPECT_EQ(s.userID, "user-7");
    EXPECT_EQ(s.flag, 1);
    EXPECT_DOUBLE_EQ(s.latitude, 48.856);
    EXPECT_DOUBLE_EQ(s.longitude, -2.352);
    EXPECT_FLOAT_EQ(s.accuracy, 7.5f);
    EXPECT_EQ(s.pageViews, 2);
    EXPECT_EQ(s.jailbroken, 0xFF);
    EXPECT_EQ(s.zero, 0);
    EXPECT_EQ(s.gender, 1);
    EXPECT_EQ(s.agePresent, 1);
    EXPECT_EQ(s.birth, static_cast<std::int64_t>(820450800.0 * 1000)); // 1996-01-01 00:00 in Paris
    EXPECT_EQ(s.eventCounts, (std::map<std::string, std::int32_t>{{"Opened", 2}, {"Shared", 1}, {"Watching", 1}}));
    ASSERT_EQ(s.events.size(), 4u);
    EXPECT_EQ(s.events[0].name, "Opened");
    EXPECT_EQ(s.events[0].offset, 1500);
    EXPECT_EQ(s.events[0].duration, 0);
    EXPECT_EQ(s.events[1].name, "Watching");
    EXPECT_EQ(s.events[1].duration, 2250);
    EXPECT_EQ(s.events[2].name, "Shared");
    EXPECT_EQ(s.events[2].parameters, (std::map<std::string, std::string>{{"count", "3"}, {"to", "mail"}}));
    EXPECT_EQ(s.events[2].offset, 3750);
    for (std::size_t i = 0; i < s.events.size(); ++i) EXPECT_EQ(s.events[i].id, first->events().eventLog()[i]->eventLogId());
    EXPECT_EQ(s.complete, 1);
    EXPECT_EQ(s.totalErrors, 2);
    ASSERT_EQ(s.errors.size(), 2u);
    EXPECT_EQ(s.errors[0].errorString, "disk");
    EXPECT_EQ(s.errors[0].message, "while saving");
    EXPECT_EQ(s.errors[0].exception, errors[0]->exceptionString());
    EXPECT_EQ(s.errors[0].type, 1);
    EXPECT_EQ(s.errors[0].reportPresent, 0);
    EXPECT_EQ(s.errors[0].time, static_cast<std::int64_t>((kStart + 3.75) * 1000));
    EXPECT_EQ(s.errors[1].exception, "Boom: it broke");
    EXPECT_EQ(s.errors[1].type, 2);
    EXPECT_EQ(s.errors[1].reportPresent, 1);
    EXPECT_EQ(s.errors[1].report, "LIVE-REPORT");
    EXPECT_EQ(s.errors[1].id, errors[1]->errorID());
    EXPECT_EQ(s.reserved1, 0);
    EXPECT_EQ(s.reserved2, 0);

    const SessionRecord& c = r.sessions[1];
    EXPECT_EQ(c.length, -1);
    EXPECT_EQ(c.latitude, 0.0);
    EXPECT_EQ(c.accuracy, 0.0f);
    EXPECT_EQ(c.gender, -1);
    EXPECT_EQ(c.agePresent, 0);
    EXPECT_EQ(c.userID, "");
    EXPECT_EQ(c.parameters.at("default.timezone").flag, 2) << "already reported by the first record";
    EXPECT_EQ(c.totalErrors, 1);
    ASSERT_EQ(c.errors.size(), 1u);
    EXPECT_EQ(c.errors[0].id, 1);
    EXPECT_EQ(c.errors[0].type, 3);
    EXPECT_EQ(c.errors[0].errorString + c.errors[0].message + c.errors[0].exception, "");
    EXPECT_EQ(c.errors[0].reportPresent, 1);
    EXPECT_EQ(c.errors[0].report, "vdcrash-bytes");
}

TEST_F(VuderuSessionReportTest, TrackedFlagsFollowTheValuesLastReported) {
    auto session = VuderuSession::sessionWithApiKeyStartTime(kKey, NSDate::date());
    Report first = decode(session->dataForSessions({Value(session)}));
    EXPECT_EQ(first.device["device.os.version"].flag, 1);
    EXPECT_EQ(first.sessions.at(0).parameters.at("default.timezone").flag, 1);

    Report second = decode(session->dataForSessions({Value(session)}));
    EXPECT_EQ(second.device["device.os.version"].flag, 2);
    EXPECT_EQ(second.sessions.at(0).parameters.at("default.timezone").flag, 2);

    setenv("TZ", "America/New_York", 1);
    auto moved = VuderuSession::sessionWithApiKeyStartTime(kKey, NSDate::date());
    Report third = decode(moved->dataForSessions({Value(moved)}));
    const SessionRecord& record = third.sessions.back();
    EXPECT_EQ(record.parameters.at("default.timezone").value, "America/New_York");
    EXPECT_EQ(record.parameters.at("default.timezone").flag, 1);
    EXPECT_EQ(record.parameters.at("device.locale").flag, 2);
}

TEST_F(VuderuSessionReportTest, CrashRecordFollowsTheLargestErrorId) {
    auto session = VuderuSession::sessionWithApiKeyStartTime(kKey, NSDate::date());
    for (int i = 0; i < 3; ++i) session->recordErrorMessageExceptionLiveReport("e", "m", nullptr, nullptr);
    session->setCrashReportData(NSData::dataWithString("x"));
    Report r = decode(session->dataForSessions({Value(session)}));
    const auto& errors = r.sessions.at(0).errors;
    ASSERT_EQ(errors.size(), 4u);
    EXPECT_EQ(errors[3].id, errors[2].id + 1);
    EXPECT_EQ(r.sessions[0].totalErrors, 4);
}

TEST_F(VuderuSessionReportTest, NoIdentifiersAndAnEmptyListStillMakeAValidReport) {
    NSUnregisterClass("UIDevice");
    auto session = VuderuSession::sessionWithApiKeyStartTime(kKey, NSDate::date());
    Report r = decode(session->dataForSessions({}));
    EXPECT_TRUE(r.identifiers.empty());
    EXPECT_TRUE(r.sessions.empty());
}

TEST_F(VuderuSessionReportTest, SavedRecordsAreCarriedAsTheyStandAndBadElementsSkipped) {
    auto session = VuderuSession::sessionWithApiKeyStartTime(kKey, NSDate::date());
    NSDataPtr record = session->data();
    Report r = decode(session->dataForSessions({Value(record->vector()), Value("not a session"), Value(session)}));
    ASSERT_EQ(r.sessions.size(), 2u);
    EXPECT_EQ(r.sessions[0].start, r.sessions[1].start);
}

} // namespace
