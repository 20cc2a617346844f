#include "platform/foundation/NSLocale.h"
#include "platform/foundation/NSObjCRuntime.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

class Answering : public NSObject, public NSDynamicMessaging {
public:
    bool respondsToSelector(std::string_view selector) const override { return selector == "answer"; }
    Value performSelector(std::string_view) override { return Value(42); }
};

TEST(NSObjCRuntimeTest, ClassesAreFoundOnlyOnceRegistered) {
    EXPECT_EQ(NSClassFromString("Answering"), nullptr);
    auto cls = std::make_shared<Answering>();
    NSRegisterClass("Answering", cls);
    EXPECT_EQ(NSClassFromString("Answering"), cls);
    EXPECT_TRUE(NSObjectRespondsToSelector(cls, "answer"));
    EXPECT_FALSE(NSObjectRespondsToSelector(cls, "question"));
    EXPECT_EQ(NSObjectPerformSelector(cls, "answer"), Value(42));
    EXPECT_TRUE(NSObjectPerformSelector(cls, "question").isNull());
    EXPECT_FALSE(NSObjectRespondsToSelector(std::make_shared<NSObject>(), "answer"));
    EXPECT_FALSE(NSObjectRespondsToSelector(nullptr, "answer"));
    NSUnregisterClass("Answering");
    EXPECT_EQ(NSClassFromString("Answering"), nullptr);
}

class Echoing : public NSObject, public NSDynamicMessaging {
public:
    bool respondsToSelector(std::string_view selector) const override { return selector == "echo:" || selector == "run:"; }
    Value performSelector(std::string_view) override { return Value(); }
    Value performSelectorWithArguments(std::string_view selector, const Value::Array& arguments) override {
        if (selector == "run:") arguments.at(0).objectAs<NSBlock>()->invoke({Value("done")});
        return arguments.empty() ? Value() : arguments[0];
    }
};

TEST(NSObjCRuntimeTest, RegisteredClassesKnowTheirNameAndProtocols) {
    auto cls = std::make_shared<NSClassOf<Echoing>>();
    NSRegisterClass("Echoing", cls, {"EchoProtocol"});
    EXPECT_EQ(NSStringFromClass(cls), "Echoing");
    EXPECT_TRUE(NSClassConformsToProtocol(cls, "EchoProtocol"));
    EXPECT_FALSE(NSClassConformsToProtocol(cls, "OtherProtocol"));
    EXPECT_FALSE(NSClassConformsToProtocol(std::make_shared<NSClassOf<Echoing>>(), "EchoProtocol"));
    EXPECT_EQ(NSStringFromClass(nullptr), "");

    auto instance = NSObjectPerformSelector(cls, "alloc").objectAs<NSObject>();
    ASSERT_TRUE(std::dynamic_pointer_cast<Echoing>(instance));
    EXPECT_EQ(NSObjectSendMessage(instance, "echo:", {Value(7)}), Value(7));
    EXPECT_TRUE(NSObjectSendMessage(instance, "unknown:", {Value(7)}).isNull());
    EXPECT_TRUE(NSObjectSendMessage(nullptr, "echo:", {Value(7)}).isNull());
    std::string heard;
    auto block = std::make_shared<NSBlock>([&](const Value::Array& arguments) { heard = arguments[0].string(); });
    NSObjectSendMessage(instance, "run:", {Value(block)});
    EXPECT_EQ(heard, "done");
    NSUnregisterClass("Echoing");
    EXPECT_FALSE(NSClassConformsToProtocol(cls, "EchoProtocol"));
}

TEST(NSLocaleTest, PreferredLanguagesFollowTheEnvironment) {
    struct Case {
        const char* language;
        const char* all;
        const char* lang;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"", "", "de_CH.UTF-8", {"de-CH"}},
        {"fr:en_GB", "", "de_DE.UTF-8", {"fr", "en-GB", "de-DE"}},
        {"fr", "C", "", {}},
        {"", "", "POSIX", {}},
        {"", "it_IT@euro", "de_DE", {"it-IT"}},
    };
    for (const Case& c : cases) {
        setenv("LANGUAGE", c.language, 1);
        setenv("LC_ALL", c.all, 1);
        unsetenv("LC_MESSAGES");
        setenv("LANG", c.lang, 1);
        EXPECT_EQ(NSLocale::preferredLanguages(), c.expected) << c.language << "|" << c.all << "|" << c.lang;
    }
    setenv("LC_ALL", "", 1);
    setenv("LANG", "en_US.UTF-8", 1);
    EXPECT_EQ(NSLocale::currentLocaleIdentifier(), "en_US");
    setenv("LANG", "C", 1);
    EXPECT_EQ(NSLocale::currentLocaleIdentifier(), "en_US_POSIX");
}

} // namespace
