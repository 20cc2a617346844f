#include "platform/foundation/NSBundle.h"
#include "platform/foundation/NSPropertyListSerialization.h"
#include "platform/foundation/NSUserDefaults.h"
#include "platform/testsupport/ChildProcess.h"
#include "platform/testsupport/DeviceTest.h"

#include <gtest/gtest.h>

#include <thread>
#include <unistd.h>

namespace {

const std::string kDefaultsFile = "/var/mobile/Library/Preferences/org.harborstack.tandrel.plist";

class NSUserDefaultsTest : public DeviceTest {
protected:
    std::shared_ptr<NSUserDefaults> defaults() { return NSUserDefaults::standardUserDefaults(); }
    Value::Dictionary onDisk() {
        auto plist = NSPropertyListSerialization::propertyListWithContentsOfFile(kDefaultsFile);
        return plist && plist->isDictionary() ? plist->dictionary() : Value::Dictionary{};
    }
};

TEST_F(NSUserDefaultsTest, ValuesArePersistedAndReadBackAfterReset) {
    EXPECT_EQ(NSUserDefaults::standardUserDefaultsPath(), kDefaultsFile);
    EXPECT_EQ(defaults(), defaults());
    defaults()->setObjectForKey("Done", "introShow");
    defaults()->setIntegerForKey(42, "count");
    defaults()->setDoubleForKey(2.5, "ratio");
    defaults()->setBoolForKey(true, "flag");
    defaults()->setObjectForKey(Value(Value::Data{1, 2, 3}), "blob");
    defaults()->setObjectForKey(Value::Array{"a", "b"}, "list");
    defaults()->setObjectForKey(Value::Dictionary{{"x", 1}}, "map");
    defaults()->setObjectForKey(Value(Value::Date{1400000000.5}), "when");

    EXPECT_EQ(readFile(kDefaultsFile).substr(0, 8), "bplist00");
    EXPECT_EQ(onDisk().at("introShow").string(), "Done");

    NSUserDefaults::resetStandardUserDefaults();
    auto fresh = defaults();
    EXPECT_EQ(fresh->stringForKey("introShow"), "Done");
    EXPECT_EQ(fresh->integerForKey("count"), 42);
    EXPECT_TRUE(fresh->objectForKey("count").isInteger());
    EXPECT_DOUBLE_EQ(fresh->doubleForKey("ratio"), 2.5);
    EXPECT_TRUE(fresh->boolForKey("flag"));
    ASSERT_TRUE(fresh->dataForKey("blob"));
    EXPECT_EQ(fresh->dataForKey("blob")->vector(), (Value::Data{1, 2, 3}));
    EXPECT_EQ(fresh->stringArrayForKey("list"), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(fresh->dictionaryForKey("map")->at("x").integerValue(), 1);
    EXPECT_DOUBLE_EQ(fresh->objectForKey("when").date().secondsSince1970, 1400000000.5);

    fresh->removeObjectForKey("introShow");
    EXPECT_FALSE(fresh->stringForKey("introShow"));
    EXPECT_EQ(onDisk().count("introShow"), 0u);
    fresh->setObjectForKey(Value(), "count");
    EXPECT_TRUE(fresh->objectForKey("count").isNull());
}

TEST_F(NSUserDefaultsTest, TypedGettersConvertLikeThePlatform) {
    auto d = defaults();
    d->setObjectForKey(5, "number");
    d->setObjectForKey("YES", "yes");
    d->setObjectForKey("42", "numeric");
    d->setObjectForKey("text", "text");
    d->setObjectForKey(Value::Array{"a", 1}, "mixed");
    struct Case {
        const char* key;
        std::optional<std::string> string;
        bool boolean;
        std::int64_t integer;
        bool hasData, hasArray, hasDictionary;
    };
    const Case cases[] = {
        {"number", "5", true, 5, false, false, false},
        {"yes", "YES", true, 0, false, false, false},
        {"numeric", "42", true, 42, false, false, false},
        {"text", "text", false, 0, false, false, false},
        {"mixed", std::nullopt, false, 0, false, true, false},
        {"missing", std::nullopt, false, 0, false, false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(d->stringForKey(c.key), c.string) << c.key;
        EXPECT_EQ(d->boolForKey(c.key), c.boolean) << c.key;
        EXPECT_EQ(d->integerForKey(c.key), c.integer) << c.key;
        EXPECT_EQ(d->dataForKey(c.key) != nullptr, c.hasData) << c.key;
        EXPECT_EQ(d->arrayForKey(c.key).has_value(), c.hasArray) << c.key;
        EXPECT_EQ(d->dictionaryForKey(c.key).has_value(), c.hasDictionary) << c.key;
    }
    EXPECT_FALSE(d->stringArrayForKey("mixed"));
}

TEST_F(NSUserDefaultsTest, RegisteredDefaultsAreSeenButNeverPersisted) {
    auto d = defaults();
    d->registerDefaults({{"sound", true}, {"volume", 7}});
    EXPECT_TRUE(d->boolForKey("sound"));
    EXPECT_EQ(d->integerForKey("volume"), 7);
    d->setIntegerForKey(3, "volume");
    EXPECT_EQ(d->integerForKey("volume"), 3);
    auto all = d->dictionaryRepresentation();
    EXPECT_EQ(all.at("volume").integerValue(), 3);
    EXPECT_TRUE(all.at("sound").boolValue());
    EXPECT_EQ(onDisk().count("sound"), 0u);
    d->removeObjectForKey("volume");
    EXPECT_EQ(d->integerForKey("volume"), 7);

    NSUserDefaults::resetStandardUserDefaults();
    EXPECT_TRUE(defaults()->objectForKey("sound").isNull());
}

TEST_F(NSUserDefaultsTest, NonPropertyListValuesAreRefusedAndChangeNothing) {
    defaults()->setObjectForKey("kept", "key");
    defaults()->setObjectForKey(Value::Array{1, Value()}, "key");
    defaults()->setObjectForKey(Value(std::make_shared<NSObject>()), "key");
    EXPECT_EQ(defaults()->stringForKey("key"), "kept");
    EXPECT_EQ(log_->count("non-property-list object"), 2u);
    EXPECT_EQ(onDisk().at("key").string(), "kept");
}

TEST_F(NSUserDefaultsTest, ASecondProcessSeesAndKeepsTheFirstOnesValues) {
    defaults()->setObjectForKey("parent", "before");
    // A separate process with its own instance, like a second launch.
    ASSERT_EQ(runInChildProcess([] {
                  NSUserDefaults::resetStandardUserDefaults();
                  auto d = NSUserDefaults::standardUserDefaults();
                  bool sawParent = d->stringForKey("before") == std::optional<std::string>("parent");
                  d->setObjectForKey("child", "written");
                  return sawParent ? 0 : 1;
              }),
              0);

    EXPECT_FALSE(defaults()->stringForKey("written"));
    EXPECT_TRUE(defaults()->synchronize());
    EXPECT_EQ(defaults()->stringForKey("written"), "child");
    // A change of this process keeps what the other one wrote.
    defaults()->setObjectForKey("again", "after");
    NSUserDefaults::resetStandardUserDefaults();
    EXPECT_EQ(defaults()->stringForKey("written"), "child");
    EXPECT_EQ(defaults()->stringForKey("before"), "parent");
    EXPECT_EQ(defaults()->stringForKey("after"), "again");
}

TEST_F(NSUserDefaultsTest, ConcurrentChangesAreAllKept) {
    constexpr int kThreads = 4, kKeysEach = 25;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, this] {
            for (int i = 0; i < kKeysEach; ++i) defaults()->setIntegerForKey(i, "k" + std::to_string(t) + "-" + std::to_string(i));
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(onDisk().size(), static_cast<std::size_t>(kThreads * kKeysEach));
    EXPECT_EQ(defaults()->dictionaryRepresentation().size(), static_cast<std::size_t>(kThreads * kKeysEach));
}

// A folder at the file's path: nothing can be saved, but what the process set still reads back,
// synchronize says so, and the values are saved once the file can be written again.
TEST_F(NSUserDefaultsTest, ValuesThatCannotBeSavedAreKeptAndReported) {
    defaults()->setObjectForKey("before", "old");
    makeDirectory(kDefaultsFile + ".tmp");
    ASSERT_EQ(::rename(host(kDefaultsFile).c_str(), host(kDefaultsFile + ".tmp/moved").c_str()), 0);
    makeDirectory(kDefaultsFile);
    log_->clear();

    defaults()->setObjectForKey("Done", "introShow");
    defaults()->removeObjectForKey("old");
    EXPECT_EQ(defaults()->objectForKey("introShow"), Value("Done"));
    EXPECT_TRUE(defaults()->objectForKey("old").isNull());
    EXPECT_FALSE(defaults()->synchronize());
    EXPECT_TRUE(log_->contains("NSUserDefaults: cannot synchronize " + kDefaultsFile));
    EXPECT_EQ(defaults()->stringForKey("introShow"), "Done");

    ASSERT_EQ(::rmdir(host(kDefaultsFile).c_str()), 0);
    EXPECT_TRUE(defaults()->synchronize());
    EXPECT_EQ(onDisk(), (Value::Dictionary{{"introShow", "Done"}}));
}

TEST_F(NSUserDefaultsTest, ACorruptFileIsMovedAsideNotOverwritten) {
    writeFile(kDefaultsFile, "not a property list");
    EXPECT_TRUE(defaults()->objectForKey("x").isNull());
    EXPECT_EQ(readFile(kDefaultsFile + ".corrupt"), "not a property list");
    defaults()->setObjectForKey(1, "x");
    EXPECT_EQ(onDisk().at("x").integerValue(), 1);
    EXPECT_EQ(readFile(kDefaultsFile + ".corrupt"), "not a property list");
}

} // namespace
