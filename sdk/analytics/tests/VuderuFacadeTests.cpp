#include "crash_report.pb-c.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/NSNotificationCenter.h"
#include "platform/foundation/NSURL.h"
#include "platform/foundation/PlatformClock.h"
#include "platform/testsupport/ChildProcess.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/uikit/CLLocationManager.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIApplicationLifeCycle.h"
#include "sdk/analytics/Vuderu.h"
#include "sdk/analytics/VuderuFileCache.h"
#include "sdk/analytics/VuderuSession.h"
#include "sdk/analytics/tests/VuderuSenderFixture.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

class VuderuFacadeTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        PlatformClock::setManual(1767225600.0);
        VuderuNetworkUtil::setServerURL("http://" + AnalyticsCollector::refusedHostAndPort() + AnalyticsCollector::kPath);
    }
    void TearDown() override {
        Vuderu::shutdown();
        VuderuUtil::setLogLevel(1);
        drainMain();
        PlatformClock::setAutomatic();
        DeviceTest::TearDown();
    }
    static std::shared_ptr<VuderuSession> current() { return VuderuSession::currentSession()->session(); }
};

TEST_F(VuderuFacadeTest, StartRunsOnceAlsoForTwoConcurrentFirstCalls) {
    NSLogCapture log;
    VuderuUtil::setLogLevel(2);
    std::thread other([] { Vuderu::startSession(Value("KEY")); });
    Vuderu::startSession(Value("KEY"));
    other.join();
    EXPECT_EQ(log.count("Vuderu: startSession called for the first time"), 1u);
    EXPECT_EQ(log.count("Vuderu: startSession has been called already. It should only be called once. Returning."), 1u);
    VuderuUtil::setLogLevel(1);
    Vuderu::startSession(Value("KEY"));
    EXPECT_EQ(log.count("has been called already"), 2u) << "written at the default level too";
}

TEST_F(VuderuFacadeTest, SettingsGivenBeforeStartReachTheSessionAndEarlyEventsAreLost) {
    Vuderu::setUserID(Value("early-user"));
    Vuderu::setGender(Value("f"));
    Vuderu::setAge(30);
    Vuderu::setSessionReportsOnPauseEnabled(false);
    Vuderu::logEvent(Value("too early"));
    Vuderu::startSession(Value(" KEY WITH\tSPACES "));
    EXPECT_EQ(VuderuGlobalVariableStorage::sharedInstance()->apiKey(), "KEYWITH\tSPACES");
    auto session = current();
    ASSERT_NE(session, nullptr);
    EXPECT_EQ(session->userID(), "early-user");
    EXPECT_EQ(session->gender(), 0);
    EXPECT_NE(session->age(), nullptr);
    EXPECT_FALSE(session->sessionReportsOnPauseEnabled());
    EXPECT_TRUE(session->events().eventLog().empty());
    Vuderu::logEvent(Value("in time"));
    EXPECT_EQ(current()->events().eventLog().size(), 1u);
}

TEST_F(VuderuFacadeTest, NamesThatAreNotStringsAreLoggedAndDropped) {
    Vuderu::startSession(Value("KEY"));
    NSLogCapture log;
    VuderuUtil::setLogLevel(2);
    Vuderu::logEvent(Value(5));
    Vuderu::logEvent(Value());
    Vuderu::addOriginWithVersion(Value("origin"), Value(2));
    EXPECT_EQ(log.count("Vuderu: Event not logged -- eventName must be of NSString type."), 2u);
    EXPECT_EQ(log.count("Vuderu: Origin not added -- originVersion must be of NSString type."), 1u);
    EXPECT_TRUE(current()->events().eventLog().empty());
    EXPECT_TRUE(VuderuGlobalVariableStorage::sharedInstance()->originSets().empty());
}

// Becoming active resumes within the continue seconds and starts a new session past them.
TEST_F(VuderuFacadeTest, BecomingActiveResumesOrStartsANewSession) {
    Vuderu::startSession(Value("KEY"));
    struct Row {
        double pause;
        bool newSession;
    };
    // Half a millisecond over: the pause measures 10 000 and 10 001 ms whatever the rounding.
    for (const Row& row : {Row{10.0005, false}, Row{10.0015, true}}) {
        auto before = current();
        UIApplicationMoveToBackground();
        PlatformClock::advance(row.pause);
        UIApplicationMoveToForeground();
        auto after = current();
        EXPECT_EQ(after != before, row.newSession) << row.pause;
        EXPECT_FALSE(after->isPaused());
    }
}

TEST_F(VuderuFacadeTest, ALocationIsKeptAndReachesTheSession) {
    Vuderu::startSession(Value("KEY"));
    Vuderu::setLatitudeLongitudeHorizontalAccuracyVerticalAccuracy(48.8566, 2.3522, 5, 10);
    auto kept = std::dynamic_pointer_cast<CLLocation>(VuderuGlobalVariableStorage::sharedInstance()->location());
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(kept->coordinate().latitude, 48.8566);
    EXPECT_EQ(kept->verticalAccuracy(), 10.0);
    auto session = current();
    EXPECT_EQ(session->latitude(), 48.856);
    EXPECT_EQ(session->accuracy(), 7.5f);
}

TEST_F(VuderuFacadeTest, ALargeContinueSettingIsNotOverflowed) {
    Vuderu::startSession(Value("KEY"));
    Vuderu::setSessionContinueSeconds(3000000); // x 1000 does not fit 32 bits
    auto before = current();
    UIApplicationMoveToBackground();
    PlatformClock::advance(3600);
    UIApplicationMoveToForeground();
    EXPECT_EQ(current(), before);
}

TEST_F(VuderuFacadeTest, AStartAfterShutdownObservesTheLifeCycleOnce) {
    Vuderu::startSession(Value("KEY"));
    Vuderu::shutdown();
    Vuderu::startSession(Value("KEY"));
    NSLogCapture log;
    VuderuUtil::setLogLevel(2);
    UIApplicationMoveToBackground();
    current();
    EXPECT_EQ(log.count("VuderuSession: Pause session with pauseTime"), 1u);
}

TEST_F(VuderuFacadeTest, LaunchOptionsWithoutKnownKeysAreParsedWhole) {
    auto url = NSURL::URLWithString("http://example.com/a");
    Value::Dictionary options{{"custom", Value(Value::Array{Value(url), Value(5), Value(Value::Date{1.5})})}};
    Vuderu::setLaunchOptions(Value(options));
    auto stored = VuderuGlobalVariableStorage::sharedInstance()->launchOptions();
    EXPECT_EQ(stored["custom"], Value(Value::Array{Value("http://example.com/a"), Value("5"), Value("1500")}));

    Vuderu::setLaunchOptions(Value(Value::Dictionary{{"UIApplicationLaunchOptionsLocationKey", Value(true)}}));
    stored = VuderuGlobalVariableStorage::sharedInstance()->launchOptions();
    EXPECT_EQ(stored["UIApplicationLaunchOptionsLocationKeyFlag"], Value(Value::Array{Value(true)}));
}

// The URL and source-application keys each log what the options hold once their value is in.
TEST_F(VuderuFacadeTest, LaunchOptionsLogWhatTheyHold) {
    const std::string url = "UIApplicationLaunchOptionsURLKey";
    const std::string source = "UIApplicationLaunchOptionsSourceApplicationKey";
    const std::string urlEntry = url + " = (\n    \"tandrel://open\"\n);\n";
    const std::string sourceEntry = source + " = (\n    com.example.app\n);\n";
    const std::string getting = "VuderuSession: Getting launchOptions from ";
    const struct {
        const char* name;
        Value::Dictionary options;
        std::vector<std::string> lines;
        std::vector<std::string> absent;
    } cases[] = {
        {"url", {{url, "tandrel://open"}}, {getting + url + "[" + urlEntry + "] "}, {getting + source}},
        {"source", {{source, "com.example.app"}}, {getting + source + "[" + sourceEntry + "] "}, {getting + url}},
        {"both", {{url, "tandrel://open"}, {source, "com.example.app"}},
         {getting + url + "[" + urlEntry + "] ", getting + source + "[" + sourceEntry + urlEntry + "] "}, {}},
        {"neither", {{"UIApplicationLaunchOptionsRemoteNotificationKey", "n"}}, {}, {getting}},
    };
    VuderuUtil::setLogLevel(2);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        VuderuGlobalVariableStorage::cleanup();
        NSLogCapture log;
        Vuderu::setLaunchOptions(Value(c.options));
        for (const auto& line : c.lines) {
            EXPECT_EQ(log.count(line), 1u) << line;
        }
        for (const auto& text : c.absent) {
            EXPECT_FALSE(log.contains(text)) << text;
        }
    }
    // The count line shows the options held before, in the same form.
    NSLogCapture log;
    Vuderu::setLaunchOptions(Value(Value::Dictionary{{"other", "x"}}));
    EXPECT_TRUE(log.contains("VuderuSession: Setting launchOptions [UIApplicationLaunchOptionsRemoteNotificationKeyFlag = (\n    n\n);\n], count 1 "));
}

TEST_F(VuderuFacadeTest, OptingOutEndsTheSessionWithOneLastReportPending) {
    Vuderu::startSession(Value("KEY"));
    Vuderu::setVuderuOptOut(true);
    EXPECT_TRUE(Vuderu::hasUserOptedOut());
    current();
    EXPECT_FALSE(VuderuGlobalVariableStorage::sharedInstance()->optOutSessionPending()) << "the ending session sent it";
    Vuderu::setVuderuOptOut(false);
}

// The reporter is enabled once per process, so these run in a child.
TEST_F(VuderuFacadeTest, WithCrashReportingALoggedErrorCarriesAUserRequestedLiveReport) {
    int status = runInChildProcess([] {
        Vuderu::setCrashReportingEnabled(true);
        Vuderu::startSession(Value("KEY"));
        if (!VuderuGlobalVariableStorage::sharedInstance()->vuderuCrashReporter()) return 1;
        Vuderu::logErrorMessageError(Value("disk"), Value("full"), NSError::errorWithDomain("D", 1));
        auto errors = current()->events().errors();
        if (errors.size() != 1) return 2;
        NSDataPtr report = errors[0]->reportData();
        if (!report || report->length() <= 8 || std::string(report->stringView().substr(0, 8)) != std::string("vdcrash\x01", 8)) return 3;
        auto* message = vdcrash__crash_report__unpack(nullptr, report->length() - 8, report->bytes() + 8);
        bool userRequested = message && message->report_info && message->report_info->user_requested;
        if (message) vdcrash__crash_report__free_unpacked(message, nullptr);
        return userRequested ? 0 : 4;
    });
    EXPECT_EQ(status, 0);
}

} // namespace
