#include "platform/foundation/NSKeyedArchiver.h"
#include "platform/foundation/NSKeyedUnarchiver.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/PlatformClock.h"
#include "sdk/analytics/VuderuAutoIncrement.h"
#include "sdk/analytics/VuderuEventLog.h"
#include "sdk/analytics/VuderuConstants.h"
#include "sdk/analytics/VuderuUtil.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <thread>

namespace {

Value::Dictionary parameters(int n) {
    Value::Dictionary d;
    for (int i = 0; i < n; ++i) d["k" + std::to_string(i)] = Value(i % 2 ? Value(i) : Value("v" + std::to_string(i)));
    return d;
}

class VuderuEventLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        PlatformClock::setManual(1000.0);
        VuderuAutoIncrement::instance()->resetAll();
        log_.setEventLoggingEnabled(true);
        log_.setSaveToDisk([this] { ++saves_; });
    }
    void TearDown() override { PlatformClock::setAutomatic(); }

    VuderuEventLog log_;
    int saves_ = 0;
};

// What a session's event and error log holds after a sequence of calls.
struct Expected {
    std::size_t logged;
    std::size_t pending;
    std::size_t names;
    bool complete;
    std::size_t errors;
    int totalErrors;
    int saves;
};

struct Case {
    const char* name;
    std::function<void(VuderuEventLog&)> run;
    Expected expected;
    std::function<void(const VuderuEventLog&)> check = nullptr;
};

TEST_F(VuderuEventLogTest, RecordingLimitsTimedEventsAndCounters) {
    const Case cases[] = {
        {"ten parameters are accepted", [](VuderuEventLog& l) { l.recordEventWithParameters("e", Value(parameters(10))); },
         {1, 0, 1, true, 0, 0, 0},
         [](const VuderuEventLog& l) { EXPECT_EQ(l.eventLog()[0]->parameters().size(), 10u); }},
        {"eleven parameters are refused", [](VuderuEventLog& l) { l.recordEventWithParameters("e", Value(parameters(11))); },
         {0, 0, 0, false, 0, 0, 0}},
        {"an empty name is refused", [](VuderuEventLog& l) { l.recordEventWithParameters("", Value()); }, {0, 0, 0, false, 0, 0, 0}},
        {"values that are neither strings nor numbers are dropped",
         [](VuderuEventLog& l) {
             l.recordEventWithParameters("e", Value(Value::Dictionary{{"s", "x"}, {"n", 2.5}, {"a", Value::Array{1}}}));
         },
         {1, 0, 1, true, 0, 0, 0},
         [](const VuderuEventLog& l) {
             EXPECT_EQ(l.eventLog()[0]->parameters(), (Value::Dictionary{{"s", "x"}, {"n", 2.5}}));
         }},
        {"a merge beyond ten parameters changes nothing",
         [](VuderuEventLog& l) {
             l.recordEventWithParameters("e", Value(parameters(8)));
             l.eventLog()[0]->updateParameters(Value(Value::Dictionary{{"x", 1}, {"y", 2}, {"z", 3}}));
             l.eventLog()[0]->updateParameters(Value(Value::Dictionary{{"k0", "replaced"}, {"x", 1}}));
         },
         {1, 0, 1, true, 0, 0, 0},
         [](const VuderuEventLog& l) {
             auto p = l.eventLog()[0]->parameters();
             EXPECT_EQ(p.size(), 9u);
             EXPECT_EQ(p["k0"], Value("replaced"));
         }},
        {"the 101st name is neither counted nor logged; a known name still is",
         [](VuderuEventLog& l) {
             for (int i = 0; i < MAX_EVENT_COUNTS; ++i) l.recordEventWithParameters("n" + std::to_string(i), Value());
             l.recordEventWithParameters("new", Value());
             l.recordEventWithParameters("n0", Value());
         },
         {101, 0, 100, false, 0, 0, 0},
         [](const VuderuEventLog& l) {
             EXPECT_EQ(l.eventCounts().count("new"), 0u);
             EXPECT_EQ(l.eventCounts().at("n0"), 2);
             EXPECT_EQ(l.eventLog().back()->name(), "n0");
         }},
        {"the 1001st event is counted but not logged",
         [](VuderuEventLog& l) {
             for (int i = 0; i <= MAX_EVENT_LOG_COUNT; ++i) l.recordEventWithParameters("e", Value());
         },
         {1000, 0, 1, false, 0, 0, 0}, [](const VuderuEventLog& l) { EXPECT_EQ(l.eventCounts().at("e"), 1001); }},
        {"with event logging off events are counted only",
         [](VuderuEventLog& l) {
             l.setEventLoggingEnabled(false);
             l.recordEventWithParameters("e", Value());
         },
         {0, 0, 1, false, 0, 0, 0}},
        {"events while paused wait and are placed at resume",
         [](VuderuEventLog& l) {
             l.setPaused(true);
             l.recordEventWithParameters("a", Value());
             l.recordEventWithParameters("b", Value());
             l.setPaused(false);
             l.mergePendingEventLog();
         },
         {2, 0, 2, true, 0, 0, 0}, [](const VuderuEventLog& l) { EXPECT_EQ(l.eventLog()[1]->name(), "b"); }},
        {"at archive only pending events from before the return are placed",
         [](VuderuEventLog& l) {
             l.setPaused(true);
             l.recordEventWithParameters("before", Value());
             PlatformClock::advance(5);
             auto resume = NSDate::date();
             l.recordEventWithParameters("after", Value());
             l.mergeValidPendingEventLog(nullptr);
             EXPECT_EQ(l.pendingEventLog().size(), 2u);
             l.mergeValidPendingEventLog(resume);
         },
         {1, 1, 1, true, 0, 0, 0},
         [](const VuderuEventLog& l) {
             EXPECT_EQ(l.eventLog()[0]->name(), "before");
             EXPECT_EQ(l.pendingEventLog()[0]->name(), "after");
         }},
        {"ending a timed event ends only the oldest open one of that name",
         [](VuderuEventLog& l) {
             l.recordEventWithParametersTimed("t", Value(), true);
             l.recordEventWithParametersTimed("t", Value(), true);
             PlatformClock::advance(2.5);
             l.endTimedEventWithParameters("t", Value(Value::Dictionary{{"result", "ok"}}));
             l.endTimedEventWithParameters("other", Value());
         },
         {2, 0, 1, true, 0, 0, 0},
         [](const VuderuEventLog& l) {
             EXPECT_FALSE(l.eventLog()[0]->isUnterminated());
             EXPECT_EQ(l.eventLog()[0]->duration(), 2500);
             EXPECT_EQ(l.eventLog()[0]->parameters().at("result"), Value("ok"));
             EXPECT_TRUE(l.eventLog()[1]->isUnterminated());
             EXPECT_EQ(l.eventLog()[1]->duration(), 0);
         }},
        {"automatic ends move to each later finish; the app's end stays",
         [](VuderuEventLog& l) {
             l.recordEventWithParametersTimed("open", Value(), true);
             l.recordEventWithParametersTimed("closed", Value(), true);
             l.recordEventWithParameters("untimed", Value());
             PlatformClock::advance(1);
             l.endTimedEventWithParameters("closed", Value());
             l.endTimedEvents(NSDate::dateWithTimeIntervalSince1970(1010));
             l.endTimedEvents(NSDate::dateWithTimeIntervalSince1970(1030));
         },
         {3, 0, 3, true, 0, 0, 0},
         [](const VuderuEventLog& l) {
             EXPECT_TRUE(l.eventLog()[0]->automaticallyEnded());
             EXPECT_EQ(l.eventLog()[0]->duration(), 30000);
             EXPECT_FALSE(l.eventLog()[1]->automaticallyEnded());
             EXPECT_EQ(l.eventLog()[1]->duration(), 1000);
             EXPECT_EQ(l.eventLog()[2]->duration(), 0);
         }},
        {"eleven errors: all counted, ten kept, every one saved",
         [](VuderuEventLog& l) {
             for (int i = 0; i <= MAX_ERRORS; ++i) l.recordErrorMessageExceptionStringErrorTypeLiveReport("e", "m", "x", 1, nullptr);
         },
         {0, 0, 0, true, 10, 11, 11}, [](const VuderuEventLog& l) { EXPECT_EQ(l.errors().back()->errorID(), 10); }},
        {"a live report is kept only with crash reporting on",
         [](VuderuEventLog& l) {
             auto report = NSData::dataWithString("report");
             l.recordErrorMessageExceptionLiveReport("off", "m", nullptr, report);
             l.setCrashReportingEnabled(true);
             NSException cause("Name", "why");
             l.recordErrorMessageExceptionLiveReport("on", "m", &cause, report);
             l.recordErrorMessageErrorLiveReport("err", "m", NSError::errorWithDomain("D", 3, {{NSLocalizedDescriptionKey, "desc"},
                                                                                             {NSLocalizedFailureReasonErrorKey, "reason"}}),
                                                 nullptr);
             l.recordErrorMessageErrorLiveReport("nil", "m", nullptr, nullptr);
             l.recordErrorMessageErrorLiveReport("no reason", "m", NSError::errorWithDomain("D", 3, {{NSLocalizedDescriptionKey, "desc"}}),
                                                 nullptr);
         },
         {0, 0, 0, true, 5, 5, 5},
         [](const VuderuEventLog& l) {
             EXPECT_EQ(l.errors()[0]->reportData()->length(), 0u);
             EXPECT_EQ(l.errors()[0]->exceptionString(), "nil");
             EXPECT_EQ(l.errors()[0]->errorType(), 2);
             EXPECT_EQ(l.errors()[1]->reportData()->stringView(), "report");
             EXPECT_EQ(l.errors()[1]->exceptionString(), "Name: why");
             EXPECT_EQ(l.errors()[2]->exceptionString(), "desc: reason");
             EXPECT_EQ(l.errors()[2]->errorType(), 1);
             EXPECT_EQ(l.errors()[3]->exceptionString(), "nil");
             // An error without a failure reason describes the missing reason as a nil object.
             EXPECT_EQ(l.errors()[4]->exceptionString(), "desc: (null)");
         }},
        {"numbers of events and errors are separate series from 1",
         [](VuderuEventLog& l) {
             l.recordErrorMessageExceptionStringErrorTypeLiveReport("e", "m", "x", 1, nullptr);
             l.recordEventWithParameters("a", Value());
             l.recordEventWithParameters("b", Value());
             l.recordErrorMessageExceptionStringErrorTypeLiveReport("e", "m", "x", 1, nullptr);
         },
         {2, 0, 2, true, 2, 2, 2},
         [](const VuderuEventLog& l) {
             EXPECT_EQ(l.errors()[0]->errorID(), 1);
             EXPECT_EQ(l.errors()[1]->errorID(), 2);
             EXPECT_EQ(l.eventLog()[0]->eventLogId(), 1);
             EXPECT_EQ(l.eventLog()[1]->eventLogId(), 2);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PlatformClock::setManual(1000.0);
        VuderuAutoIncrement::instance()->resetAll();
        VuderuEventLog l;
        int saves = 0;
        l.setEventLoggingEnabled(true);
        l.setSaveToDisk([&saves] { ++saves; });
        c.run(l);
        EXPECT_EQ(l.eventLog().size(), c.expected.logged);
        EXPECT_EQ(l.pendingEventLog().size(), c.expected.pending);
        EXPECT_EQ(l.eventCounts().size(), c.expected.names);
        EXPECT_EQ(l.eventLogComplete(), c.expected.complete);
        EXPECT_EQ(l.errors().size(), c.expected.errors);
        EXPECT_EQ(l.totalErrorCount(), c.expected.totalErrors);
        EXPECT_EQ(saves, c.expected.saves);
        if (c.check) c.check(l);
    }
}

TEST_F(VuderuEventLogTest, RefusalsAreLoggedAtAnyLevelAboveZero) {
    NSLogCapture capture;
    VuderuUtil::setLogLevel(1);
    log_.recordEventWithParameters("", Value());
    log_.recordEventWithParameters("big", Value(parameters(11)));
    log_.recordEventWithParameters("fine", Value());
    EXPECT_EQ(capture.lines(), (std::vector<std::string>{
                                   "VuderuSession: Not logging Event eventName[] due to invalid eventName",
                                   "VuderuSession: Not logging Event eventName[big] because event has more than 10 parameters "
                                   "(max allowed parameters).",
                               }));
    VuderuUtil::setLogLevel(0);
    log_.recordEventWithParameters("", Value());
    EXPECT_EQ(capture.lines().size(), 2u);
    VuderuUtil::setLogLevel(1);
}

TEST_F(VuderuEventLogTest, RecordsHaveTheirWireForm) {
    auto sessionStart = NSDate::dateWithTimeIntervalSince1970(999.5);
    log_.recordEventWithParametersTimed("Go", Value(Value::Dictionary{{"n", 7}, {"s", "x"}}), true);
    PlatformClock::advance(0.25);
    log_.endTimedEventWithParameters("Go", Value());
    auto record = log_.eventLog()[0]->dataRelativeToSessionStart(sessionStart);
    EXPECT_EQ(record->vector(), (std::vector<std::uint8_t>{0, 1, 0, 2, 'G', 'o', 0, 2, 0, 1, 'n', 0, 1, '7', 0, 1, 's', 0, 1, 'x',
                                                           0, 0, 0, 0, 0, 0, 0x01, 0xF4, 0, 0, 0, 0, 0, 0, 0, 250}));

    auto error = VuderuError::errorWithStringMessageExceptionStringErrorTypeReportData("id", "msg", "nil", 2,
                                                                                      NSData::dataWithString("RB"));
    error->setDate(NSDate::dateWithTimeIntervalSince1970(1.0));
    NSMutableData bytes;
    error->appendToData(bytes);
    EXPECT_EQ(bytes.vector(), (std::vector<std::uint8_t>{0, 1, 0, 0, 0, 0, 0, 0, 0x03, 0xE8, 0, 2, 'i', 'd', 0, 3, 'm', 's', 'g', 0,
                                                         3, 'n', 'i', 'l', 2, 1, 0, 0, 0, 2, 'R', 'B'}));
    error->setReportData(NSData::data());
    NSMutableData noReport;
    error->appendToData(noReport);
    EXPECT_EQ(noReport.length(), 26u);
    EXPECT_EQ(noReport.vector().back(), 0);
    EXPECT_EQ(error->description(),
              "errorLogId[1] errorTime[1970-01-01 00:00:01 +0000] errorId[id] errorMessage[msg] exception[nil] type[2]");
}

TEST_F(VuderuEventLogTest, TheLogSurvivesItsArchive) {
    log_.recordEventWithParametersTimed("t", Value(Value::Dictionary{{"p", 1.5}}), true);
    log_.setPaused(true);
    log_.recordEventWithParameters("pending", Value());
    log_.setCrashReportingEnabled(true);
    log_.recordErrorMessageExceptionStringErrorTypeLiveReport("e", "m", "x", 2, NSData::dataWithString("live"));
    NSCoder coder;
    log_.encodeWithCoder(coder);
    auto data = NSKeyedArchiver::archivedDataWithRootObject(Value(coder.fields()));
    NSCoder readCoder(NSKeyedUnarchiver::unarchiveObjectWithData(*data).dictionary());
    VuderuEventLog back(readCoder);
    ASSERT_EQ(back.eventLog().size(), 1u);
    EXPECT_EQ(back.eventLog()[0]->name(), "t");
    EXPECT_TRUE(back.eventLog()[0]->isUnterminated());
    EXPECT_EQ(back.eventLog()[0]->parameters(), (Value::Dictionary{{"p", 1.5}}));
    EXPECT_EQ(back.eventLog()[0]->started()->timeIntervalSince1970(), 1000.0);
    EXPECT_EQ(back.eventLog()[0]->eventLogId(), 1);
    ASSERT_EQ(back.pendingEventLog().size(), 1u);
    EXPECT_EQ(back.eventCounts(), (std::map<std::string, int>{{"t", 1}}));
    EXPECT_TRUE(back.eventLogComplete());
    ASSERT_EQ(back.errors().size(), 1u);
    EXPECT_EQ(back.errors()[0]->reportData()->stringView(), "live");
    EXPECT_EQ(back.errors()[0]->errorType(), 2);
    EXPECT_EQ(back.totalErrorCount(), 1);
}

TEST(VuderuAutoIncrementTest, NumbersAreUniqueAcrossThreads) {
    auto counter = VuderuAutoIncrement::instance();
    counter->resetAll();
    std::vector<std::thread> threads;
    std::mutex lock;
    std::set<int> seen;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 1000; ++i) {
                int n = counter->nextCountFor(VuderuAutoIncrementKindEvents);
                std::lock_guard<std::mutex> guard(lock);
                seen.insert(n);
            }
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(seen.size(), 4000u);
    EXPECT_EQ(*seen.rbegin(), 4000);
    EXPECT_EQ(counter->nextCountFor(VuderuAutoIncrementKindErrors), 1);
    counter->resetAll();
    EXPECT_EQ(counter->nextCountFor(VuderuAutoIncrementKindEvents), 1);
}

} // namespace
