#include "platform/foundation/NSDate.h"
#include "platform/foundation/NSException.h"
#include "platform/foundation/NSKeyedArchiver.h"
#include "platform/foundation/NSKeyedUnarchiver.h"
#include "platform/testsupport/ChildProcess.h"
#include "platform/testsupport/DeviceTest.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

class ArchivedPoint : public NSObject, public NSCoding {
public:
    ArchivedPoint(int x, Value label) : x_(x), label_(std::move(label)) {}
    explicit ArchivedPoint(const NSCoder& coder) : x_(coder.decodeIntForKey("x")), label_(coder.decodeObjectForKey("label")) {}
    void encodeWithCoder(NSCoder& coder) const override {
        coder.encodeIntForKey(x_, "x");
        coder.encodeObjectForKey(label_, "label");
    }
    int x_;
    Value label_;
};

class NotCoding : public NSObject {};

void registerPoint() { NSKeyedUnarchiver::registerClass<ArchivedPoint>("ArchivedPoint"); }

Value roundTrip(const Value& v) {
    auto data = NSKeyedArchiver::archivedDataWithRootObject(v);
    return NSKeyedUnarchiver::unarchiveObjectWithData(*data);
}

TEST(NSKeyedArchiverTest, EveryKindOfValueComesBackEqual) {
    registerPoint();
    const Value cases[] = {
        Value(),
        Value(true),
        Value(false),
        Value(std::numeric_limits<long long>::min()),
        Value(-1.25),
        Value(std::string("h\xC3\xA9llo\0x", 8)),
        Value(Value::Data{0, 1, 255}),
        Value(Value::Date{1.5e9 + 0.25}),
        Value(Value::Array{1, "two", Value::Array{}, Value::Dictionary{}}),
        Value(Value::Dictionary{{"", 0}, {std::string("\x01\x02", 2), "bytes as key"}, {"z", Value::Array{Value()}}}),
    };
    for (const Value& v : cases) EXPECT_EQ(roundTrip(v), v) << v.description();
}

TEST(NSKeyedArchiverTest, ObjectsAndTheirNestedObjectsAreRebuiltByTheirRegisteredClass) {
    registerPoint();
    auto inner = std::make_shared<ArchivedPoint>(-7, Value("inner"));
    auto outer = std::make_shared<ArchivedPoint>(3, Value(Value::Dictionary{{"child", Value(inner)},
                                                                            {"when", Value(NSDate::dateWithTimeIntervalSince1970(12.5))}}));
    Value back = roundTrip(Value(Value::Array{Value(outer)}));
    auto point = back[std::size_t{0}].objectAs<ArchivedPoint>();
    ASSERT_TRUE(point);
    EXPECT_EQ(point->x_, 3);
    // NSDate objects are kept as dates.
    EXPECT_EQ(NSDate::fromValue(point->label_["when"])->timeIntervalSince1970(), 12.5);
    auto child = point->label_["child"].objectAs<ArchivedPoint>();
    ASSERT_TRUE(child);
    EXPECT_EQ(child->x_, -7);
    EXPECT_EQ(child->label_, Value("inner"));
}

TEST(NSKeyedArchiverTest, TheFormatIsStable) {
    registerPoint();
    auto data = NSKeyedArchiver::archivedDataWithRootObject(
        Value(Value::Dictionary{{"a", Value(std::make_shared<ArchivedPoint>(1, Value(true)))}}));
    const std::vector<std::uint8_t> expected{
        'T', 'D', 'K', 'A', 1,
        9, 0, 0, 0, 1,                                   // dictionary of one entry
        0, 0, 0, 1, 'a',                                 // key "a"
        10, 0, 0, 0, 13, 'A', 'r', 'c', 'h', 'i', 'v', 'e', 'd', 'P', 'o', 'i', 'n', 't',
        0, 0, 0, 2,                                      // two fields, in key order
        0, 0, 0, 5, 'l', 'a', 'b', 'e', 'l', 2,          // label = YES
        0, 0, 0, 1, 'x', 3, 0, 0, 0, 0, 0, 0, 0, 1,      // x = 1
    };
    EXPECT_EQ(data->vector(), expected);
}

TEST(NSKeyedArchiverTest, DamagedArchivesRaise) {
    registerPoint();
    auto good = NSKeyedArchiver::archivedDataWithRootObject(
        Value(Value::Dictionary{{"p", Value(std::make_shared<ArchivedPoint>(5, Value("x")))}, {"n", 1.5}}));
    // Every proper prefix is damaged.
    for (std::size_t cut = 0; cut < good->length(); ++cut) {
        NSData prefix(good->bytes(), cut);
        EXPECT_THROW(NSKeyedUnarchiver::unarchiveObjectWithData(prefix), NSException) << cut;
    }
    NSData trailing(good->vector());
    trailing.appendBytes("\0", 1);
    NSData badTag(std::vector<std::uint8_t>{'T', 'D', 'K', 'A', 1, 42});
    NSData hugeCount(std::vector<std::uint8_t>{'T', 'D', 'K', 'A', 1, 8, 0xFF, 0xFF, 0xFF, 0xFF});
    NSData unknownClass(std::vector<std::uint8_t>{'T', 'D', 'K', 'A', 1, 10, 0, 0, 0, 1, 'Q', 0, 0, 0, 0});
    std::vector<std::uint8_t> deep{'T', 'D', 'K', 'A', 1};
    for (int i = 0; i < 100000; ++i) deep.insert(deep.end(), {8, 0, 0, 0, 1});
    for (const NSData* bad : {&trailing, &badTag, &hugeCount, &unknownClass}) {
        try {
            NSKeyedUnarchiver::unarchiveObjectWithData(*bad);
            ADD_FAILURE() << bad->description();
        } catch (const NSException& e) {
            EXPECT_EQ(e.name(), NSInvalidUnarchiveOperationException);
        }
    }
    EXPECT_THROW(NSKeyedUnarchiver::unarchiveObjectWithData(NSData(deep)), NSException);
}

TEST(NSKeyedArchiverTest, AnObjectThatDoesNotAdoptCodingRaises) {
    try {
        NSKeyedArchiver::archivedDataWithRootObject(Value(Value::Array{Value(std::make_shared<NotCoding>())}));
        ADD_FAILURE();
    } catch (const NSException& e) {
        EXPECT_EQ(e.name(), NSInvalidArgumentException);
        EXPECT_NE(e.reason().find("NotCoding"), std::string::npos);
    }
}

TEST(NSCoderTest, TypedFieldsDecodeAsTheirTypes) {
    NSCoder coder;
    coder.encodeInt64ForKey(std::numeric_limits<std::int64_t>::max(), "big");
    coder.encodeInt32ForKey(-5, "small");
    coder.encodeBoolForKey(true, "flag");
    coder.encodeFloatForKey(0.5f, "half");
    coder.encodeDoubleForKey(std::nan(""), "nan");
    coder.encodeDoubleForKey(1e300, "huge");
    coder.encodeObjectForKey(Value("text"), "text");
    NSCoder decoded(NSKeyedUnarchiver::unarchiveObjectWithData(*NSKeyedArchiver::archivedDataWithRootObject(coder.fields())).dictionary());
    EXPECT_EQ(decoded.decodeInt64ForKey("big"), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(decoded.decodeInt32ForKey("small"), -5);
    EXPECT_EQ(decoded.decodeIntForKey("small"), -5);
    EXPECT_TRUE(decoded.decodeBoolForKey("flag"));
    EXPECT_EQ(decoded.decodeFloatForKey("half"), 0.5f);
    EXPECT_EQ(decoded.decodeIntForKey("nan"), 0);
    EXPECT_EQ(decoded.decodeIntForKey("huge"), std::numeric_limits<int>::max());
    EXPECT_EQ(decoded.decodeIntForKey("absent"), 0);
    EXPECT_FALSE(decoded.decodeBoolForKey("absent"));
    EXPECT_TRUE(decoded.decodeObjectForKey("absent").isNull());
    EXPECT_FALSE(decoded.containsValueForKey("absent"));
    EXPECT_THROW(decoded.decodeInt32ForKey("big"), NSException);
    EXPECT_THROW(decoded.decodeIntForKey("text"), NSException);
}

// Counts the archive claims but does not hold may not reserve memory: a few megabytes of
// archive must not take a gigabyte before it is found damaged.
TEST(NSKeyedArchiverTest, ClaimedCountsReserveNoMoreThanTheInputHolds) {
    if (!addressSpaceCanBeLimited()) GTEST_SKIP() << "the address space cannot be limited under this sanitizer";
    constexpr std::size_t kPadding = 16 << 20;
    constexpr std::size_t kAllowance = 256 << 20;
    auto claimingArrays = [&](int levels) {
        std::vector<std::uint8_t> bytes{'T', 'D', 'K', 'A', 1};
        // Each array claims every byte after its count; what follows is no value at all.
        std::size_t left = static_cast<std::size_t>(levels) * 5 + kPadding;
        for (int i = 0; i < levels; ++i) {
            left -= 5;
            bytes.push_back(8);
            for (int shift = 24; shift >= 0; shift -= 8) bytes.push_back(static_cast<std::uint8_t>(left >> shift));
        }
        bytes.resize(bytes.size() + kPadding, 0xFF);
        return NSData(std::move(bytes));
    };
    struct Case {
        const char* name;
        int levels;
    };
    for (const Case& c : {Case{"one array", 1}, Case{"arrays nested 500 deep", 500}}) {
        SCOPED_TRACE(c.name);
        NSData archive = claimingArrays(c.levels);
        int status = runInChildProcess([&] {
            if (!limitAddressSpace(kAllowance)) return 3;
            try {
                NSKeyedUnarchiver::unarchiveObjectWithData(archive);
            } catch (const NSException&) {
                return 0;
            } catch (const std::bad_alloc&) {
                return 1;
            }
            return 2;
        });
        EXPECT_EQ(status, 0);
    }
}

class NSKeyedArchiverFileTest : public DeviceTest {};

TEST_F(NSKeyedArchiverFileTest, FilesRoundTripAndAMissingFileIsNull) {
    EXPECT_TRUE(NSKeyedArchiver::archiveRootObjectToFile(Value(Value::Dictionary{{"k", "v"}}), "/tmp/a.archive"));
    EXPECT_EQ(NSKeyedUnarchiver::unarchiveObjectWithFile("/tmp/a.archive")["k"], Value("v"));
    EXPECT_TRUE(NSKeyedUnarchiver::unarchiveObjectWithFile("/tmp/none.archive").isNull());
    EXPECT_FALSE(NSKeyedArchiver::archiveRootObjectToFile(Value(1), "/no/such/folder/a.archive"));
    writeFile("/tmp/bad.archive", "garbage");
    EXPECT_THROW(NSKeyedUnarchiver::unarchiveObjectWithFile("/tmp/bad.archive"), NSException);
}

} // namespace
