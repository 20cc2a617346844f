// Ad logs: the push that scrubs repeated clicks, copies, the archive, and when a log may go.
#include "platform/foundation/NSKeyedArchiver.h"
#include "platform/foundation/NSKeyedUnarchiver.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/PlatformClock.h"
#include "platform/testsupport/DeviceTest.h"
#include "sdk/ads/VuderuAdCache.h"
#include "sdk/ads/VuderuAdManager.h"
#include "sdk/ads/tests/AdLogBuilders.h"
#include "sdk/analytics/VuderuImpl.h"
#include "sdk/analytics/VuderuUtil.h"

#include <gtest/gtest.h>

namespace {

using namespace adlog_builders;
using Names = std::vector<std::string>;

VuderuAdLogPtr roundTrip(const VuderuAdLogPtr& source) {
    VuderuAdLog::registerForCoding();
    auto bytes = NSKeyedArchiver::archivedDataWithRootObject(Value(source));
    return NSKeyedUnarchiver::unarchiveObjectWithData(*bytes).objectAs<VuderuAdLog>();
}

} // namespace

// A log reads the session and the device's identifiers from the SDK's stores: each test has a
// device of its own, never the host's folders.
class VuderuAdLogTest : public DeviceTest {};

TEST_F(VuderuAdLogTest, PushKeepsOneSendableClickAndEmptiesThePendingList) {
    struct Row {
        const char* name;
        std::vector<VuderuAdEventPtr> events;
        Names transferred;
    };
    const Row rows[] = {
        {"nothing pending", {}, {}},
        {"clicked, unsent clicked, clicked, rendered",
         {event(7), event(7, false), event(7), event(5)},
         {"clicked", "clicked-", "rendered"}},
        {"unsent clicks are neither kept nor counted", {event(7, false), event(7, false), event(7), event(7)}, {"clicked-", "clicked-", "clicked"}},
        // An unknown event whose raw name is "clicked" reads as a click.
        {"raw name clicked", {event(0, true, 0, "clicked"), event(7)}, {"clicked"}},
        {"duplicates of once-only events stay", {event(5), event(5), event(1)}, {"rendered", "rendered", "requested"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        auto adLog = log(1, "g", row.events);
        adLog->pushEventsForTransferWithIdentifier("t");
        ASSERT_TRUE(adLog->eventsWithTransferIdentifier("t"));
        EXPECT_EQ(names(*adLog->eventsWithTransferIdentifier("t")), row.transferred);
        EXPECT_TRUE(adLog->adEvents().empty());
    }
}

TEST_F(VuderuAdLogTest, PushUnderTheSameIdentifierReplacesAndNilDoesNothing) {
    auto adLog = log(1, "g", {event(5)});
    adLog->pushEventsForTransferWithIdentifier(std::nullopt);
    EXPECT_EQ(adLog->adEvents().size(), 1u);
    adLog->pushEventsForTransferWithIdentifier("t");
    adLog->logAdEvent(event(7));
    adLog->pushEventsForTransferWithIdentifier("t");
    EXPECT_EQ(names(*adLog->eventsWithTransferIdentifier("t")), Names{"clicked"});
    std::set<std::string> identifiers{"other"};
    adLog->pushEventsForTransferWithIdentifier("u");
    adLog->storeTransferIdentifiersInSet(identifiers);
    EXPECT_EQ(identifiers, (std::set<std::string>{"other", "t", "u"}));
    EXPECT_FALSE(adLog->discardEventsWithTransferIdentifier(std::nullopt));
}

TEST_F(VuderuAdLogTest, RestoringATransferPutsItsEventsBeforeLaterOnes) {
    auto adLog = log(1, "g", {event(1), event(5)});
    adLog->pushEventsForTransferWithIdentifier("t");
    adLog->logAdEvent(event(7));
    EXPECT_TRUE(adLog->restoreEventsWithTransferIdentifier("t"));
    EXPECT_EQ(names(adLog->adEvents()), (Names{"requested", "rendered", "clicked"}));
    EXPECT_TRUE(adLog->transmittedEvents().empty());
    EXPECT_FALSE(adLog->restoreEventsWithTransferIdentifier("t"));
}

TEST_F(VuderuAdLogTest, AGuidHoldsABoundedNumberOfEventsPendingAndInTransfer) {
    NSLogCapture capture;
    VuderuUtil::setLogLevel(1);
    auto adLog = log(1, "loop");
    for (std::size_t i = 0; i < VuderuAdLog::kMaximumEvents / 2; ++i) adLog->logAdEvent(event(5));
    adLog->pushEventsForTransferWithIdentifier("unconfirmed");
    for (std::size_t i = 0; i < VuderuAdLog::kMaximumEvents; ++i) adLog->logAdEvent(event(5));
    EXPECT_EQ(adLog->adEvents().size() + adLog->eventsWithTransferIdentifier("unconfirmed")->size(), VuderuAdLog::kMaximumEvents);
    EXPECT_EQ(capture.count("VuderuAdLog: the log of loop holds 200 events or 262144 bytes; later events are dropped"), 1u);
    // A confirmed transfer makes room again.
    EXPECT_TRUE(adLog->discardEventsWithTransferIdentifier("unconfirmed"));
    adLog->logAdEvent(event(7));
    EXPECT_EQ(names(adLog->adEvents()).back(), "clicked");
}

// Bytes are bounded as well as events: a parameter that would take an event past its bound stays
// out (the event is kept), and a log stops taking events at its byte bound.
TEST_F(VuderuAdLogTest, EventsAndLogsAreBoundedInBytes) {
    NSLogCapture capture;
    VuderuUtil::setLogLevel(2);
    const std::string large(64 * 1024, 'p');
    auto clicked = std::make_shared<VuderuAdEvent>(VuderuAdEvent::kClicked, std::nullopt,
                                                   std::make_shared<VuderuAdEvent::ParamMap>(VuderuAdEvent::ParamMap{{"a", "1"}, {"p", large}}), 0);
    EXPECT_EQ(*clicked->paramMap(), (VuderuAdEvent::ParamMap{{"a", "1"}}));
    clicked->addParams(std::make_shared<VuderuAdEvent::ParamMap>(VuderuAdEvent::ParamMap{{"b", "2"}, {"q", large}}));
    EXPECT_EQ(*clicked->paramMap(), (VuderuAdEvent::ParamMap{{"a", "1"}, {"b", "2"}}));
    EXPECT_LE(clicked->byteSize(), VuderuAdEvent::kMaximumBytes);
    EXPECT_EQ(capture.count("VuderuAdEvent: parameters of event clicked past 4096 bytes are dropped"), 2u);

    auto adLog = log(1, "bytes");
    const std::string fitting(VuderuAdEvent::kMaximumBytes - 100, 'v');
    for (int i = 0; i < 200; ++i) {
        adLog->logAdEvent(std::make_shared<VuderuAdEvent>(
            VuderuAdEvent::kClicked, std::nullopt, std::make_shared<VuderuAdEvent::ParamMap>(VuderuAdEvent::ParamMap{{"p", fitting}}), 0));
    }
    std::size_t bytes = 0;
    for (const auto& held : adLog->adEvents()) bytes += held->byteSize();
    EXPECT_LE(bytes, VuderuAdLog::kMaximumBytes);
    EXPECT_EQ(adLog->adEvents().size(), VuderuAdLog::kMaximumBytes / (fitting.size() + 1 + 7));
    // An unknown event whose own name is past the bound is no event to keep.
    auto other = log(1, "named");
    other->logAdEvent(std::make_shared<VuderuAdEvent>(VuderuAdEvent::kUnknown, std::string(8192, 'n'), nullptr, 0));
    EXPECT_TRUE(other->adEvents().empty());
    VuderuUtil::setLogLevel(1);
}

TEST_F(VuderuAdLogTest, ACopyIsASnapshot) {
    auto source = log(10, "g", {event(1)});
    source->pushEventsForTransferWithIdentifier("t");
    source->logAdEvent(event(5));
    auto copy = source->copy();
    source->logAdEvent(event(7));
    source->pushEventsForTransferWithIdentifier("u");
    source->discardEventsWithTransferIdentifier("t");
    source->setSessionId(99);

    EXPECT_EQ(copy->adLogId(), 0);
    EXPECT_EQ(copy->sessionId(), 10);
    EXPECT_EQ(copy->requestedSessionId(), 10);
    EXPECT_EQ(copy->GUID(), "g");
    EXPECT_EQ(names(copy->adEvents()), Names{"rendered"});
    ASSERT_EQ(copy->transmittedEvents().size(), 1u);
    EXPECT_EQ(names(*copy->eventsWithTransferIdentifier("t")), Names{"requested"});
}

TEST_F(VuderuAdLogTest, TheArchiveKeepsEverythingButTheSerialNumber) {
    struct Row {
        const char* name;
        std::optional<std::string> guid;
    };
    for (const Row& row : {Row{"with GUID", "g-1"}, Row{"without GUID", std::nullopt}, Row{"empty GUID", ""}}) {
        SCOPED_TRACE(row.name);
        auto source = log(1700000000000, row.guid,
                          {event(0, true, 12, "custom?x=1", {{"a", "1"}}), event(7, false, 13), event(34, true, 14, std::nullopt, {{"response", "200"}})});
        source->pushEventsForTransferWithIdentifier("t");
        source->logAdEvent(event(5, true, 20));
        source->setSessionId(1800000000000);
        ASSERT_GT(source->adLogId(), 0);

        auto restored = roundTrip(source);
        ASSERT_NE(restored, nullptr);
        EXPECT_EQ(restored->adLogId(), 0);
        EXPECT_EQ(restored->sessionId(), 1800000000000);
        EXPECT_EQ(restored->requestedSessionId(), 1700000000000);
        EXPECT_EQ(restored->GUID(), row.guid);
        auto sent = restored->eventsWithTransferIdentifier("t");
        ASSERT_TRUE(sent);
        ASSERT_EQ(sent->size(), 3u);
        EXPECT_EQ(sent->at(0)->eventName(), "custom?x=1");
        EXPECT_EQ(*sent->at(0)->paramMap(), (VuderuAdEvent::ParamMap{{"a", "1"}}));
        EXPECT_EQ(sent->at(0)->sessionStartTimeOffset(), 12);
        EXPECT_FALSE(sent->at(1)->toBeSent());
        EXPECT_TRUE(sent->at(2)->compareWithAdEvent(*event(34, true, 14)));
        EXPECT_EQ(names(restored->adEvents()), Names{"rendered"});
    }
}

TEST_F(VuderuAdLogTest, AnOfferedLogFromTheCurrentSessionHoldsOneSendableEvent) {
    PlatformClock::setManual(1000.25);
    VuderuImpl::instance()->resetStartDate();
    PlatformClock::advance(1000.25);
    auto made = VuderuAdLog::adLogWithAdEventId(4, std::nullopt);
    EXPECT_EQ(made->GUID(), std::nullopt);
    EXPECT_EQ(made->sessionId(), 1000250);
    ASSERT_EQ(made->adEvents().size(), 1u);
    EXPECT_EQ(names(made->adEvents()), Names{"unfilled"});
    EXPECT_EQ(made->adEvents()[0]->sessionStartTimeOffset(), 1000250);
    PlatformClock::setAutomatic();
}

// A log counted complete is removed with whatever it still holds: each of the four conditions
// alone keeps it.
TEST_F(VuderuAdLogTest, CompleteOnlyWhenAllFourConditionsHold) {
    struct Row {
        const char* name;
        bool pendingEvent, pendingTransfer, shown, cached;
        bool complete;
    };
    const Row rows[] = {
        {"all four hold", false, false, false, false, true},
        {"a pending event", true, false, false, false, false},
        {"a pending transfer", false, true, false, false, false},
        {"the GUID is shown", false, false, true, false, false},
        {"a cached unit has the GUID", false, false, false, true, false},
        {"all four fail", true, true, true, true, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        auto manager = VuderuAdManager::instance();
        auto adLog = log(1, "g");
        if (row.pendingTransfer) {
            adLog->logAdEvent(event(1));
            adLog->pushEventsForTransferWithIdentifier("t");
        }
        if (row.pendingEvent) adLog->logAdEvent(event(5));
        if (row.shown) manager->registerAdAdSpaceName(std::make_shared<ShowingAd>("space", "g"), "space");
        if (row.cached) VuderuAdCache::addAdUnitForKey(unitWithFrame("space", "g"), VuderuCacheKey("space", 0));
        EXPECT_EQ(adLog->isComplete(), row.complete);
        manager->deRegisterAdForSpace("space");
        VuderuAdCache::clearCache();
    }
}

TEST_F(VuderuAdLogTest, TheCompletenessDiagnosticNamesEachCondition) {
    VuderuUtil::setLogLevel(2);
    NSLogCapture capture;
    auto adLog = log(1, "g", {event(5)});
    EXPECT_FALSE(adLog->isComplete());
    EXPECT_TRUE(capture.contains("AdLogManager: adLog is NOT complete for GUID g, zeroEventsLeft(0), zeroTransferredEventsLeft(1) "
                                 "logGUIDNotActive(1), noUnitInCacheForGUID(1)"));
    adLog->pushEventsForTransferWithIdentifier("t");
    adLog->discardEventsWithTransferIdentifier("t");
    EXPECT_TRUE(adLog->isComplete());
    EXPECT_TRUE(capture.contains("AdLogManager: adLog is complete for GUID g"));
    VuderuUtil::setLogLevel(1);
}
