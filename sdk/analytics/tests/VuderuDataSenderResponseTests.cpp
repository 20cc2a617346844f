#include "platform/foundation/NSException.h"
#include "platform/testsupport/DeviceTest.h"
#include "sdk/analytics/tests/VuderuSenderFixture.h"

#include <gtest/gtest.h>

namespace {

using namespace sender_fixture;

Value bytes(const std::string& text) {
    return Value(Value::Data(text.begin(), text.end()));
}

// The cookies a fresh launch reads from disk.
Value::Dictionary savedCookies() {
    VuderuGlobalVariableStorage::cleanup();
    auto storage = VuderuGlobalVariableStorage::sharedInstance();
    storage->setApiKey(kKey);
    return *storage->persistentCookiesMap();
}

std::string be16(unsigned value) {
    return {static_cast<char>((value >> 8) & 0xFF), static_cast<char>(value & 0xFF)};
}

// A chunk head of the type, then the rest.
std::string chunk(unsigned type, const std::string& rest) {
    return be16(type) + std::string("\0\0\0\0", 4) + be16(0) + rest;
}

class VuderuDataSenderResponseTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        VuderuUtil::setLogLevel(2);
        VuderuGlobalVariableStorage::sharedInstance()->setApiKey(kKey);
    }
    void TearDown() override {
        endLaunch();
        VuderuGlobalVariableStorage::cleanup();
        DeviceTest::TearDown();
    }
    Value::Dictionary& cookiesInMemory() { return *VuderuGlobalVariableStorage::sharedInstance()->persistentCookiesMap(); }
    AnalyticsCollector collector_;
};

TEST_F(VuderuDataSenderResponseTest, ACookieChunkIsStoredAndSavedAndAnEmptyAnswerClearsTheCookiesInMemory) {
    collector_.script({CollectorAnswer::ok(AnalyticsCollector::cookieChunk({{"sid", "abc"}, {"u", "42"}})), CollectorAnswer::ok()});
    auto sender = launch(collector_.url());
    send(sender, "one");
    ASSERT_TRUE(settle(sender));
    EXPECT_EQ(cookiesInMemory(), (Value::Dictionary{{"sid", bytes("abc")}, {"u", bytes("42")}}));
    EXPECT_EQ(savedCookies(), (Value::Dictionary{{"sid", bytes("abc")}, {"u", bytes("42")}}));

    send(sender, "two");
    ASSERT_TRUE(settle(sender));
    EXPECT_TRUE(cookiesInMemory().empty());
    endLaunch();
    EXPECT_EQ(savedCookies(), (Value::Dictionary{{"sid", bytes("abc")}, {"u", bytes("42")}}));
}

// A damaged answer is logged, saves nothing, and does not bring the acknowledged block back.
TEST_F(VuderuDataSenderResponseTest, AHostileAnswerEndsTheParseButTheBlockStaysDeleted) {
    collector_.script({CollectorAnswer::ok(chunk(286, be16(1) + be16(0xFFFF) + "key"))});
    auto sender = launch(collector_.url());
    send(sender, "acknowledged");
    ASSERT_TRUE(settle(sender));
    EXPECT_TRUE(log_->contains("Failed to parse response with exception Malformed data"));
    EXPECT_TRUE(storedIdentifiers(sender).empty());
    EXPECT_TRUE(blockFiles().empty());
    EXPECT_EQ(collector_.requestCount(), 1u);
}

TEST_F(VuderuDataSenderResponseTest, MalformedAnswersReadNothingOutsideTheBodyAndSaveNothing) {
    cookiesInMemory()["old"] = bytes("kept");
    VuderuGlobalVariableStorage::sharedInstance()->savePersistentGlobalsToDisk();
    const std::string full = AnalyticsCollector::cookieChunk({{"k", "v"}});
    struct Row {
        const char* name;
        std::string body;
        const char* logLine;  // besides the malformed end
        Value::Dictionary inMemory;
    };
    const Value::Dictionary old{{"old", bytes("kept")}};
    const Row rows[] = {
        {"another chunk type", chunk(0x0102, be16(0)), "-[VuderuDataSender parseResponse:]: Got unexpected chunk typd 102", old},
        {"no trailing value", full.substr(0, full.size() - 2), nullptr, {{"old", bytes("kept")}, {"k", bytes("v")}}},
        {"negative key length", chunk(286, be16(1) + be16(0x8000) + "k" + be16(1) + "v" + be16(0)), nullptr, old},
        {"negative value length", chunk(286, be16(1) + be16(1) + "k" + be16(0xFFFE) + "v" + be16(0)), nullptr, old},
        {"overlong key", chunk(286, be16(1) + be16(0x7FFF) + "k" + be16(1) + "v" + be16(0)), nullptr, old},
        {"overlong value", chunk(286, be16(1) + be16(1) + "k" + be16(40)), nullptr, old},
        {"fewer cookies than counted", chunk(286, be16(2) + be16(1) + "k" + be16(1) + "v"),
         "-[VuderuDataSender parseCookies:]: Unable to read all cookies from response, number read 2",
         {{"old", bytes("kept")}, {"k", bytes("v")}}},
        {"a head cut short", std::string("\x01\x1e\x00", 3), nullptr, old},
    };
    auto sender = VuderuDataSenderBase::create<VuderuDataSender>(nullptr);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        log_->clear();
        cookiesInMemory() = old;
        VuderuHTTPResponse response(NSData::dataWithString(row.body), 200, VuderuHTTPResponse::Headers{}, nullptr);
        try {
            sender->parseResponse(response);
            ADD_FAILURE() << "parsed";
        } catch (const NSException& exception) {
            EXPECT_EQ(exception.name(), "Malformed data");
        }
        if (row.logLine) {
            EXPECT_TRUE(log_->contains(row.logLine));
        }
        EXPECT_EQ(cookiesInMemory(), row.inMemory);
    }
    EXPECT_EQ(savedCookies(), old);
}

TEST_F(VuderuDataSenderResponseTest, AnEmptyCookieValueRemovesTheCookieAndACountBelowOneReadsNone) {
    auto sender = VuderuDataSenderBase::create<VuderuDataSender>(nullptr);
    cookiesInMemory() = {{"gone", bytes("x")}, {"stays", bytes("y")}};
    sender->parseResponse(VuderuHTTPResponse(NSData::dataWithString(AnalyticsCollector::cookieChunk({{"gone", ""}})), 200,
                                             VuderuHTTPResponse::Headers{}, nullptr));
    EXPECT_EQ(cookiesInMemory(), (Value::Dictionary{{"stays", bytes("y")}}));
    sender->parseResponse(VuderuHTTPResponse(NSData::dataWithString(chunk(286, be16(0xFFFF) + be16(0))), 200,
                                             VuderuHTTPResponse::Headers{}, nullptr));
    EXPECT_EQ(savedCookies(), (Value::Dictionary{{"stays", bytes("y")}}));
}

} // namespace
