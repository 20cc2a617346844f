#pragma once
// The ad-log manager against the loopback ad-log server: the file cache and the ad-log address
// set up as the ads set-up will, the manager made, and what a test reads back from the queue,
// the data directory and the posted bytes (decoded by the protocol checker).

#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSJSONSerialization.h"
#include "platform/testsupport/ShellCommand.h"
#include "sdk/ads/AdLogManager.h"
#include "sdk/ads/tests/AdLogBuilders.h"
#include "sdk/ads/tests/AdRequestFixture.h"
#include "sdk/ads/tests/AvroBytes.h"
#include "sdk/analytics/VuderuFileCache.h"

#include <cstdio>
#include <fstream>
#include <set>

class AdLogSenderTest : public AdRequestTest {
protected:
    void SetUp() override {
        AdRequestTest::SetUp();
        VuderuFileCache::createInstanceWithApiKeyAgentVersion("KEY", "137");
        VuderuNetworkUtil::setAdLogServerUrl(collector_.urlFor(AnalyticsCollector::kAdLogPath));
    }
    void TearDown() override {
        AdLogManager::cleanup();
        AdRequestTest::TearDown();
    }

    static std::shared_ptr<AdLogManager> manager() { return AdLogManager::instance(); }
    static void onQueue(const std::function<void()>& work) { dispatch_sync(manager()->queue(), work); }
    static std::size_t runningCount() {
        std::size_t count = 0;
        onQueue([&] { count = manager()->runningTasks().size(); });
        return count;
    }
    // Until every upload has had its reply handled, and what the replies queued has run.
    static bool settle(double timeoutSeconds = 30) {
        onQueue([] {});
        bool done = runMainUntil([] { return runningCount() == 0; }, timeoutSeconds);
        drainMain();
        onQueue([] {});
        drainMain();
        return done;
    }
    static void send() {
        manager()->sendAdLogsAsync();
        onQueue([] {});
    }
    // A start of the process as the archive leaves it: the manager read again, its resend run.
    static void relaunch() {
        AdLogManager::cleanup();
        manager();
        settle();
    }
    // The network comes back: every sender resends.
    static void networkBack() {
        NSNotificationCenter::defaultCenter()->postNotificationName(kVuderuNetworkStatusChangedNotification);
        settle();
    }

    static std::vector<std::string> blockIdentifiers() {
        std::vector<std::string> identifiers;
        for (const auto& block : manager()->dataBlocks()) identifiers.push_back(block->identifier());
        return identifiers;
    }
    // Block files in the data directory: the files named by a UUID.
    static std::vector<std::string> blockFiles() {
        std::vector<std::string> files;
        auto names = NSFileManager::defaultManager()->contentsOfDirectoryAtPath(VuderuUtil::filePathDirectory(), nullptr);
        for (const auto& name : names.value_or(std::vector<std::string>{})) {
            if (name.size() == 36 && std::count(name.begin(), name.end(), '-') == 4) files.push_back(name);
        }
        std::sort(files.begin(), files.end());
        return files;
    }

    static CollectorAnswer result(const std::string& word) { return CollectorAnswer::ad(AvroBytes().s(word).strings({}).str()); }

    // The posted body as the checker reads it: its "sdkAdLogs", one "GUID: type type ..." line per
    // log with each event's params appended as "type{key=value}"; "<undecodable>" on failure.
    std::vector<std::string> postedLogs(const std::string& body) const {
        makeDirectory("/tmp");
        std::ofstream(host("/tmp/log.avro"), std::ios::binary) << body;
        std::string command = "/usr/bin/python3 '" VUDERU_ADS_TESTS_DIR "/avro_checker.py' check-log-request '" + host("/tmp/log.avro") + "'";
        std::string text;
        int status = runShellCommand(command, &text);
        auto json = NSJSONSerialization::JSONObjectWithData(std::string_view(text));
        if (status != 0 || !json) return {"<undecodable>"};
        std::vector<std::string> logs;
        for (const auto& log : (*json)["sdkAdLogs"].array()) {
            std::string line = log["adLogGUID"].string() + ":";
            for (const auto& event : log["sdkAdEvents"].array()) {
                line += " " + event["type"].string();
                for (const auto& [key, value] : event["params"].dictionary()) line += "{" + key + "=" + value.string() + "}";
            }
            logs.push_back(line);
        }
        std::sort(logs.begin(), logs.end());
        return logs;
    }
};
