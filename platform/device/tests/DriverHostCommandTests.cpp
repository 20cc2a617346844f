// Commands a host program adds to the driver: they run with the rest of the line, say back or
// refuse like the driver's own, appear in help, and cannot replace a command the table has.

#include "platform/device/Driver.h"

#include <gtest/gtest.h>

TEST(DriverHostCommand, RunsSaysRefusesAndIsListedButNeverReplacesABuiltInCommand) {
    std::vector<std::string> seen;
    Driver::addHostCommand("greet", "NAME", "say hello", [&](Driver&, const std::string& argument, UIScreenReply& reply) {
        seen.push_back(argument);
        if (argument.empty()) return reply.refuse("greet whom?");
        reply.said = "hello " + argument;
        return true;
    });
    // A name the driver's table or an earlier host command has is kept as it was.
    Driver::addHostCommand("wait", "", "replaced", [&](Driver&, const std::string&, UIScreenReply&) { return false; });
    Driver::addHostCommand("greet", "", "again", [&](Driver&, const std::string&, UIScreenReply&) { return false; });

    Driver driver;
    struct Case {
        std::string line;
        std::string answer;
    } cases[] = {
        {"greet  the   world ", "hello the   world\n"},
        {"greet", "error: greet whom?\n"},
        {"wait 0", ""},
        {"greeting x", "error: unknown command \"greeting\" (help lists the commands)\n"},
    };
    for (const auto& c : cases) EXPECT_EQ(driver.execute(c.line), c.answer) << c.line;
    EXPECT_EQ(seen, (std::vector<std::string>{"the   world", ""}));
    auto help = Driver::help();
    EXPECT_NE(help.find("  greet NAME             say hello\n"), std::string::npos) << help;
    EXPECT_EQ(help.find("replaced"), std::string::npos);
    EXPECT_EQ(help.find("again"), std::string::npos);
}
