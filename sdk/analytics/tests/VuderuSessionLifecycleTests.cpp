#include "platform/foundation/NSKeyedArchiver.h"
#include "platform/foundation/PlatformClock.h"
#include "platform/testsupport/ChildProcess.h"
#include "platform/testsupport/DeviceTest.h"
#include "sdk/analytics/VuderuAutoIncrement.h"
#include "sdk/analytics/VuderuSession.h"
#include "sdk/analytics/tests/VuderuReportReader.h"
#include "sdk/analytics/tests/VuderuSenderFixture.h"
#include "platform/foundation/NSFileManager.h"
#include "sdk/crashreporter/VuderuCrashReport.h"
#include "sdk/crashreporter/VuderuCrashReporter.h"
#include "sdk/crashreporter/tests/CrashReportBuilder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <functional>

namespace {

using namespace sender_fixture;
constexpr double kLifecycleStart = 1767225600.0;

class VuderuSessionLifecycleTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        PlatformClock::setManual(kLifecycleStart);
        VuderuAutoIncrement::instance()->resetAll();
        sender_ = launch("http://" + AnalyticsCollector::refusedHostAndPort() + AnalyticsCollector::kPath);
        // The front's own session stays out of the way: these tests make their sessions themselves.
        onQueue([] { VuderuSession::removeCurrentSessionFile(); });
    }
    void TearDown() override {
        VuderuSession::setMaxSessions(VuderuSession::kDefaultMaxSessions);
        endLaunch();
        VuderuGlobalVariableStorage::cleanup();
        PlatformClock::setAutomatic();
        DeviceTest::TearDown();
    }

    std::shared_ptr<VuderuSession> newSession() {
        std::shared_ptr<VuderuSession> session;
        onQueue([&] { session = VuderuSession::sessionWithApiKeyStartTime(kKey, NSDate::date()); });
        return session;
    }
    std::vector<Report> sentReports() {
        std::vector<Report> out;
        for (const std::string& report : storedReports(sender_)) out.push_back(readReport({report.begin(), report.end()}));
        return out;
    }
    static std::vector<SessionRecord> savedRecords() {
        std::vector<SessionRecord> out;
        onQueue([&] {
            for (const Value& record : VuderuSession::savedSessions()) {
                ReportReader reader(record.data());
                out.push_back(readSessionRecord(reader));
            }
        });
        return out;
    }
    // A saved record of a session of its own.
    static Value aRecord() { return Value(std::make_shared<VuderuSession>(kKey, "0.9", NSDate::date())->data()->vector()); }
    static std::vector<std::string> eventNames(const SessionRecord& record) {
        std::vector<std::string> names;
        for (const auto& event : record.events) names.push_back(event.name);
        return names;
    }

    std::shared_ptr<VuderuDataSender> sender_;
};

// A launch that ends without its session ending: the next launch reports what it left.
TEST_F(VuderuSessionLifecycleTest, AKilledRunsSessionIsSavedBeforeTheNewOne) {
    pid_t child = startChildProcess([] {
        auto session = VuderuSession::sessionWithApiKeyStartTime(kKey, NSDate::date());
        session->recordEventWithParameters("Before kill", Value());
        session->setUserID("killed");
        session->setLatitudeLongitudeHorizontalAccuracyVerticalAccuracy(1, 2, 3, 4);
        raise(SIGKILL);
        return 0;
    });
    ASSERT_EQ(waitForChildProcess(child), -1);
    auto session = newSession();
    auto saved = savedRecords();
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(eventNames(saved[0]), std::vector<std::string>{"Before kill"});
    EXPECT_EQ(saved[0].userID, "killed");
    EXPECT_TRUE(saved[0].errors.empty());
    EXPECT_TRUE(session->events().eventLog().empty());
}

TEST_F(VuderuSessionLifecycleTest, APendingCrashReportRidesWithTheLeftOverSessionAndIsPurged) {
    auto reporter = std::make_shared<VuderuCrashReporter>("com.tandrel.test", "1.0", std::make_shared<VuderuCrashReporterConfig>(0, 3));
    ASSERT_TRUE(reporter->populateCrashReportDirectoryAndReturnError(nullptr));
    ASSERT_TRUE(runInChildProcess([] {
                    VuderuSession::sessionWithApiKeyStartTime(kKey, NSDate::date())->recordErrorMessageErrorLiveReport("e", "m", nullptr, nullptr);
                    return 0;
                }) == 0);
    ASSERT_TRUE(NSData::dataWithString("vdcrash\x01 body")->writeToFile(reporter->crashReportPath(), true));
    auto storage = VuderuGlobalVariableStorage::sharedInstance();
    storage->setCrashReportingEnabled(true);
    storage->setVuderuCrashReporter(reporter);

    newSession();
    auto saved = savedRecords();
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(saved[0].totalErrors, 2);
    ASSERT_EQ(saved[0].errors.size(), 2u);
    EXPECT_EQ(saved[0].errors[1].type, 3);
    EXPECT_EQ(saved[0].errors[1].id, saved[0].errors[0].id + 1);
    EXPECT_EQ(saved[0].errors[1].report, "vdcrash\x01 body");
    EXPECT_FALSE(reporter->hasPendingCrashReport());
}

// A crash report goes with the session of the process that crashed, and with no other: a process
// that crashed before it had written its session gets a session of its own.
TEST_F(VuderuSessionLifecycleTest, APendingCrashReportGoesWithTheSessionOfItsOwnProcess) {
    auto reporter = std::make_shared<VuderuCrashReporter>("com.tandrel.test", "1.0", std::make_shared<VuderuCrashReporterConfig>(0, 3));
    ASSERT_TRUE(reporter->populateCrashReportDirectoryAndReturnError(nullptr));
    auto storage = VuderuGlobalVariableStorage::sharedInstance();
    storage->setCrashReportingEnabled(true);
    storage->setVuderuCrashReporter(reporter);
    const std::uint32_t kOtherProcess = 1;
    constexpr std::int64_t kProcessStart = 1699999000;
    struct Row {
        const char* name;
        bool leftOver;
        bool crashOfTheLeftOversProcess;
    };
    const Row rows[] = {
        {"the left-over session's process crashed", true, true},
        {"a later process crashed before writing its session", true, false},
        {"no session was left over", false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        onQueue([] { VuderuSession::setSavedSessions({}); });
        pid_t child = 0;
        if (row.leftOver) {
            child = startChildProcess([] {
                VuderuSession::sessionWithApiKeyStartTime(kKey, NSDate::date())->setLatitudeLongitudeHorizontalAccuracyVerticalAccuracy(1, 2, 3, 4);
                return 0;
            });
            ASSERT_EQ(waitForChildProcess(child), 0);
        }
        auto crash = crashreport::sampleReport();
        crash.remove(7);
        crash.message(7, crashreport::Message()
                             .str(1, "Tandrel")
                             .u32(2, row.crashOfTheLeftOversProcess ? static_cast<std::uint32_t>(child) : kOtherProcess)
                             .str(3, "/Applications/Tandrel.app/Tandrel")
                             .str(4, "launchd")
                             .u32(5, 1)
                             .boolean(6, true)
                             .u64(7, kProcessStart));
        const std::string file = crashreport::encode(crash);
        ASSERT_TRUE(NSData::dataWithString(file)->writeToFile(reporter->crashReportPath(), true));

        newSession();
        auto saved = savedRecords();
        ASSERT_EQ(saved.size(), row.leftOver && !row.crashOfTheLeftOversProcess ? 2u : 1u);
        const SessionRecord& crashed = saved.back();
        ASSERT_FALSE(crashed.errors.empty());
        EXPECT_EQ(crashed.errors.back().type, 3);
        EXPECT_EQ(crashed.errors.back().report, file);
        if (saved.size() == 2) {
            EXPECT_EQ(saved[0].latitude, 1);
            EXPECT_TRUE(saved[0].errors.empty());
            EXPECT_EQ(crashed.start, kProcessStart * 1000);
            EXPECT_TRUE(crashed.events.empty());
        }
        EXPECT_FALSE(reporter->hasPendingCrashReport());
        onQueue([] { VuderuSession::removeCurrentSessionFile(); });
    }
}

// The reporter of these tests, in storage as the facade keeps it.
std::shared_ptr<VuderuCrashReporter> useCrashReporter() {
    auto reporter = std::make_shared<VuderuCrashReporter>("com.tandrel.test", "1.0", std::make_shared<VuderuCrashReporterConfig>(0, 3));
    auto storage = VuderuGlobalVariableStorage::sharedInstance();
    storage->setCrashReportingEnabled(true);
    storage->setVuderuCrashReporter(reporter);
    return reporter;
}

// A launch that enables crash reporting and crashes before its session set-up: the process id.
pid_t crashBeforeTheSetUp(const std::function<void()>& first = [] {}) {
    pid_t child = startChildProcess([first] {
        first();
        if (!useCrashReporter()->enableCrashReporter()) return 90;
        abort();
    });
    return waitForChildProcess(child) == -1 ? child : 0;
}

// Launches that crash at their start, each on a device holding the crash of the launch before:
// the next set-up takes every crash, once each, in a session of the process that crashed.
TEST_F(VuderuSessionLifecycleTest, ACrashLoopReportsEveryCrashOnceInItsOwnSession) {
    constexpr int kLaunches = 5;
    std::vector<std::uint64_t> crashed;
    for (int launch = 0; launch < kLaunches; ++launch) {
        pid_t child = crashBeforeTheSetUp();
        ASSERT_NE(child, 0) << "launch " << launch;
        crashed.push_back(static_cast<std::uint64_t>(child));
    }
    auto reporter = useCrashReporter();
    auto session = newSession();
    EXPECT_FALSE(reporter->hasPendingCrashReport());
    onQueue([&] { session->sendSessionsToServerIncludingCurrentSession(false); });
    auto reports = sentReports();
    ASSERT_EQ(reports.size(), 1u);
    std::vector<std::uint64_t> reported;
    for (const SessionRecord& record : reports[0].sessions) {
        ASSERT_EQ(record.errors.size(), 1u);
        EXPECT_EQ(record.errors[0].type, 3);
        const std::string& file = record.errors[0].report;
        auto crash = VuderuCrashReport::initWithData(NSData(std::vector<std::uint8_t>(file.begin(), file.end())), nullptr);
        ASSERT_TRUE(crash && crash->processInfo());
        reported.push_back(crash->processInfo()->processID());
        // The session of the process that crashed: it starts when that process did.
        EXPECT_EQ(record.start / 1000, static_cast<std::int64_t>(crash->processInfo()->processStartTime()->timeIntervalSince1970()));
    }
    std::sort(reported.begin(), reported.end());
    std::sort(crashed.begin(), crashed.end());
    EXPECT_EQ(reported, crashed);
}

// The launch after a crashed run, killed after each of its file steps (its set-up and the storing
// of its report), then the next launch: the crashed run's session and its crash are reported once
// each, whichever step the kill followed.
TEST_F(VuderuSessionLifecycleTest, AKillAfterAnyFileStepOfALaunchHoldingACrashRepeatsAndLosesNothing) {
    const std::string refused = "http://" + AnalyticsCollector::refusedHostAndPort() + AnalyticsCollector::kPath;
    auto fileManager = NSFileManager::defaultManager();
    for (int killAfter = 0;; ++killAfter) {
        SCOPED_TRACE("killed after file step " + std::to_string(killAfter));
        endLaunch();
        VuderuGlobalVariableStorage::cleanup();
        auto reporter = useCrashReporter();
        fileManager->removeItemAtPath(VuderuUtil::filePathDirectory(), nullptr);
        fileManager->removeItemAtPath(reporter->crashReportDirectory(), nullptr);
        fileManager->createDirectoryAtPath(VuderuUtil::filePathDirectory(), true, nullptr, nullptr);
        sender_ = launch(refused);
        onQueue([] { VuderuSession::removeCurrentSessionFile(); });

        // The crashed run: its session logged an event, then the process crashed.
        ASSERT_NE(crashBeforeTheSetUp([] {
                      auto session = VuderuSession::sessionWithApiKeyStartTime(kKey, NSDate::date());
                      session->recordEventWithParameters("Before the crash", Value());
                      session->saveToDisk();
                  }),
                  0);
        NSDataPtr crashFile = NSData::dataWithContentsOfFile(reporter->crashReportPath());
        ASSERT_TRUE(crashFile);

        // The launch after it, killed after step `killAfter` (row 0: killed before its first);
        // it says how many it made when it ends.
        int status = -1;
        if (killAfter > 0) {
            pid_t child = startChildProcess([killAfter] {
                int steps = 0;
                VuderuSession::setFileStepObserverForTesting([&steps, killAfter] {
                    if (++steps == killAfter) raise(SIGKILL);
                });
                useCrashReporter();
                auto session = VuderuSession::sessionWithApiKeyStartTime(kKey, NSDate::date());
                session->sendSessionsToServerIncludingCurrentSession(false);
                return steps;
            });
            status = waitForChildProcess(child);
        }

        // The next launch reports what is left.
        endLaunch();
        useCrashReporter();
        sender_ = launch(refused);
        VuderuImpl::instance()->sendSessionsToServerForCreateSession();
        onQueue([] {});
        int sessionsWithTheEvent = 0, crashRecords = 0;
        for (const Report& report : sentReports()) {
            for (const SessionRecord& record : report.sessions) {
                const auto names = eventNames(record);
                sessionsWithTheEvent += static_cast<int>(std::count(names.begin(), names.end(), "Before the crash"));
                for (const ErrorRecord& error : record.errors) {
                    if (error.type != 3) continue;
                    ++crashRecords;
                    EXPECT_EQ(error.report, crashFile->stringView());
                }
            }
        }
        EXPECT_EQ(sessionsWithTheEvent, 1);
        EXPECT_EQ(crashRecords, 1);
        EXPECT_FALSE(reporter->hasPendingCrashReport());
        // The row in which the launch ran to its end is the last.
        if (status != -1 && killAfter > 0) break;
        ASSERT_LT(killAfter, 20) << "the launch never ends";
    }
}

TEST_F(VuderuSessionLifecycleTest, PausesAreSummedAndEachPauseReports) {
    auto session = newSession();
    onQueue([&] {
        session->setSessionReportsOnPauseEnabled(true);
        session->recordEventWithParameters("first", Value());
        PlatformClock::advance(1);
        session->pauseSession();
        PlatformClock::advance(2);
        session->resumeSession();
        session->recordEventWithParameters("second", Value());
        PlatformClock::advance(1);
        session->pauseSession();
        PlatformClock::advance(3.5);
        session->markSessionAsResuming();
        session->resumeSession();
    });
    EXPECT_EQ(session->totalPauseIntervalMillis(), 5500);
    EXPECT_EQ(session->sessionLength(), 4000);
    auto reports = sentReports();
    ASSERT_EQ(reports.size(), 2u);
    ASSERT_EQ(reports[0].sessions.size(), 1u);
    EXPECT_EQ(eventNames(reports[0].sessions[0]), std::vector<std::string>{"first"});
    EXPECT_EQ(eventNames(reports[1].sessions.at(0)), (std::vector<std::string>{"first", "second"}));
    EXPECT_EQ(reports[1].sessions[0].pause, 2000);
    EXPECT_TRUE(savedRecords().empty());
}

// Archiving at a new session: what it adds to the saved sessions, and where paused events go.
TEST_F(VuderuSessionLifecycleTest, ArchivingAndEventsLoggedWhilePaused) {
    struct Row {
        const char* name;
        bool reportsOnPause;
        bool eventWhilePaused; // logged before the app comes back: it stays with the old session
        std::size_t savedAfter;
    };
    const Row rows[] = {
        {"reported at pause, no events: the saved sessions stay", true, false, 1},
        {"reported at pause, with events: added again", true, true, 2},
        {"not reported at pause: added", false, false, 2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::shared_ptr<VuderuSession> next;
        onQueue([&] {
            VuderuSession::setSavedSessions({aRecord()});
            auto session = std::make_shared<VuderuSession>(kKey, "1.0", NSDate::date());
            session->setSessionReportsOnPauseEnabled(row.reportsOnPause);
            // The pause-time send fails before it replaces the saved sessions (opted out and pending
            // a last report is not the point here: a saved response stops the send).
            VuderuGlobalVariableStorage::sharedInstance()->setSavedResponseUrl("/nonexistent");
            session->pauseSession();
            VuderuGlobalVariableStorage::sharedInstance()->setSavedResponseUrl(std::nullopt);
            if (row.eventWhilePaused) session->recordEventWithParameters("old", Value());
            PlatformClock::advance(1);
            session->markSessionAsResuming();
            PlatformClock::advance(1);
            session->recordEventWithParameters("new", Value());
            session->archiveSession();
            next = session->sessionWithNewEventsWithApiKeyStartTime(kKey, NSDate::date());
        });
        auto saved = savedRecords();
        EXPECT_EQ(saved.size(), row.savedAfter);
        ASSERT_EQ(next->events().eventLog().size(), 1u);
        EXPECT_EQ(next->events().eventLog()[0]->name(), "new");
        EXPECT_EQ(next->startTime()->timeIntervalSince1970(), next->events().eventLog()[0]->started()->timeIntervalSince1970());
        if (row.eventWhilePaused) {
            EXPECT_EQ(eventNames(saved.back()), std::vector<std::string>{"old"});
        }
    }
}

TEST_F(VuderuSessionLifecycleTest, FactsAgeGenderAndPageViews) {
    setenv("TZ", "UTC", 1);
    auto session = newSession();
    struct AgeRow {
        int years;
        double expected; // 0: unset
    };
    for (const AgeRow& row : {AgeRow{0, 0}, AgeRow{151, 0}, AgeRow{30, 820454400.0}}) {
        onQueue([&] { session->setAgeInYears(row.years); });
        if (row.expected == 0) {
            EXPECT_EQ(session->age(), nullptr) << row.years;
        } else {
            ASSERT_NE(session->age(), nullptr);
            EXPECT_EQ(session->age()->timeIntervalSince1970(), row.expected);
        }
    }
    for (const auto& [given, expected] : std::vector<std::pair<std::string, int>>{{"M", -1}, {"m", 1}, {"f", 0}, {"x", -1}}) {
        session->setGenderAsString(given);
        EXPECT_EQ(session->gender(), expected) << given;
    }
    session->maybeIncrementPageView();
    PlatformClock::advance(0.1);
    session->maybeIncrementPageView();
    EXPECT_EQ(session->pageViewCount(), 1);
    PlatformClock::advance(0.5);
    session->maybeIncrementPageView();
    EXPECT_EQ(session->pageViewCount(), 2);
    unsetenv("TZ");
}

TEST_F(VuderuSessionLifecycleTest, LocationPrecisionSaturates) {
    const std::pair<double, double> rows[] = {{48.85669, 48.856}, {-2.35229, -2.352}, {1e300, 2147483.647}, {-1e300, -2147483.648},
                                              {std::nan(""), 0}};
    for (const auto& [given, expected] : rows) EXPECT_EQ(VuderuSession::reduceLocationPrecision(given), expected) << given;
}

TEST_F(VuderuSessionLifecycleTest, SavedSessionsAreBounded) {
    auto session = newSession();
    onQueue([&] {
        for (int i = 0; i < 51; ++i) {
            PlatformClock::advance(1);
            VuderuSession::addToSavedSessions(*std::make_shared<VuderuSession>(kKey, "1.0", NSDate::date()));
        }
    });
    auto saved = savedRecords();
    ASSERT_EQ(saved.size(), 50u);
    EXPECT_EQ(saved.front().start, static_cast<std::int64_t>((kLifecycleStart + 2) * 1000));
    onQueue([&] {
        VuderuSession::setSavedSessions(Value::Array(3, Value(Value::Data{9})));
        VuderuSession::setMaxSessions(2);
        VuderuSession::addToSavedSessions(*session);
    });
    onQueue([&] {
        auto records = VuderuSession::savedSessions();
        ASSERT_EQ(records.size(), 2u);
        EXPECT_EQ(records[0].data(), Value::Data{9});
        EXPECT_GT(records[1].data().size(), 1u);
    });
}

TEST_F(VuderuSessionLifecycleTest, AnArchiveOfAnotherVersionReadsAsAbsent) {
    auto session = newSession();
    NSCoder coder;
    session->encodeWithCoder(coder);
    for (const auto& [version, readable] : std::vector<std::pair<int, bool>>{{0, true}, {1, false}, {2, true}, {3, false}}) {
        NSCoder changed(coder.fields());
        changed.encodeIntForKey(version, "serializationVersion");
        auto read = std::make_shared<VuderuSession>(changed);
        EXPECT_EQ(VuderuSession::fromArchive(Value(read)) != nullptr, readable) << version;
    }
}

TEST_F(VuderuSessionLifecycleTest, OptedOutDiscardsSavedSessionsAndSendsThePendingReportOnce) {
    auto session = newSession();
    VuderuUtil::setVuderuOptOut(true);
    auto storage = VuderuGlobalVariableStorage::sharedInstance();
    storage->setOptOutSessionPending(true);
    onQueue([&] {
        VuderuSession::setSavedSessions({aRecord()});
        session->sendSessionsToServerIncludingCurrentSession(true);
        VuderuSession::setSavedSessions({aRecord()});
        session->sendSessionsToServerIncludingCurrentSession(true);
    });
    EXPECT_EQ(sentReports().size(), 1u);
    EXPECT_FALSE(storage->optOutSessionPending());
    EXPECT_TRUE(savedRecords().empty());
}

} // namespace
