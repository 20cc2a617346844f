// The collector program that end-to-end runs start, driven the way they drive it.

#include "platform/testsupport/DeviceTest.h"
#include "sdk/analytics/tests/VuderuSenderFixture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <sys/wait.h>

namespace {

using namespace sender_fixture;

std::string contentsOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream out;
    out << in.rdbuf();
    return out.str();
}

class VuderuCollectorProgramTest : public DeviceTest {
protected:
    void TearDown() override {
        endLaunch();
        VuderuGlobalVariableStorage::cleanup();
        DeviceTest::TearDown();
    }
};

TEST_F(VuderuCollectorProgramTest, ItPrintsItsPortWritesEachBodyAndAnswersFromTheScript) {
    TemporaryFolder folder;
    const std::string script = folder.path() + "/script";
    std::ofstream(script) << "# first a failure, then cookies\nstatus 500 try again\ncookies sid=abc\n";
    const std::string command = std::string(ANALYTICS_COLLECTOR_PROGRAM) + " --script " + script + " " + folder.path();
    // Standard input stays open until the test closes it; the program ends then.
    int toProgram[2];
    ASSERT_EQ(::pipe(toProgram), 0);
    int fromProgram[2];
    ASSERT_EQ(::pipe(fromProgram), 0);
    pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(toProgram[0], 0);
        ::dup2(fromProgram[1], 1);
        ::close(toProgram[1]);
        ::close(fromProgram[0]);
        ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(toProgram[0]);
    ::close(fromProgram[1]);
    std::string port;
    char c;
    while (::read(fromProgram[0], &c, 1) == 1 && c != '\n') port += c;
    ASSERT_FALSE(port.empty());

    VuderuGlobalVariableStorage::sharedInstance()->setApiKey(kKey);
    auto sender = launch("http://127.0.0.1:" + port + "/aas.do");
    send(sender, "first report");
    ASSERT_TRUE(settle(sender));
    EXPECT_EQ(storedIdentifiers(sender).size(), 1u);
    send(sender, "second report");
    ASSERT_TRUE(runMainUntil([&] { return storedIdentifiers(sender).empty() && runningCount(sender) == 0; }));
    // The cookie answer was saved; the empty answer to the resend after it cleared them in memory.
    EXPECT_TRUE(VuderuGlobalVariableStorage::sharedInstance()->persistentCookiesMap()->empty());
    VuderuGlobalVariableStorage::cleanup();
    VuderuGlobalVariableStorage::sharedInstance()->setApiKey(kKey);
    EXPECT_EQ((*VuderuGlobalVariableStorage::sharedInstance()->persistentCookiesMap())["sid"], Value(Value::Data{'a', 'b', 'c'}));

    ::close(toProgram[1]);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    ::close(fromProgram[0]);
    EXPECT_EQ(contentsOf(folder.path() + "/0001.body"), "first report");
    EXPECT_EQ(contentsOf(folder.path() + "/0002.body"), "second report");
    EXPECT_EQ(contentsOf(folder.path() + "/0003.body"), "first report");
}

} // namespace
