#pragma once
// The report sender against the loopback collector: one launch of the SDK's sending side (the
// session front's queue and the sender on it), and what a test reads back from the queue and the
// data directory.

#include "platform/dispatch/dispatch.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/testsupport/AnalyticsCollector.h"
#include "platform/testsupport/RunLoopSupport.h"
#include "sdk/analytics/VuderuDataSender.h"
#include "sdk/analytics/VuderuGlobalVariableStorage.h"
#include "sdk/analytics/VuderuImpl.h"
#include "sdk/analytics/VuderuNetworkUtil.h"
#include "sdk/analytics/VuderuUtil.h"

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace sender_fixture {

inline constexpr const char* kKey = "APPKEY";

inline void onQueue(const std::function<void()>& work) {
    dispatch_sync(VuderuImpl::instance()->queue(), work);
}

// One launch: the front with its queue, the key set, the sender set up on the queue.
inline std::shared_ptr<VuderuDataSender> launch(const std::string& serverURL, const std::string& key = kKey) {
    VuderuGlobalVariableStorage::sharedInstance()->setApiKey(key);
    VuderuNetworkUtil::setServerURL(serverURL);
    VuderuImpl::instance()->setupForApiKey(key);
    std::shared_ptr<VuderuDataSender> sender;
    onQueue([&] { sender = VuderuDataSender::instance(); });
    return sender;
}

// The end of a launch as a process death would end it: uploads stop without a callback.
inline void endLaunch() {
    if (auto sender = VuderuDataSender::instance()) onQueue([&] { sender->cancelTasks(); });
    VuderuImpl::cleanup();
    VuderuDataSender::cleanup();
    drainMain();
}

inline void send(const std::shared_ptr<VuderuDataSender>& sender, const std::string& report) {
    onQueue([&] { sender->sendSessionsData(NSData::dataWithString(report)); });
}

inline std::size_t runningCount(const std::shared_ptr<VuderuDataSender>& sender) {
    std::size_t count = 0;
    onQueue([&] { count = sender->runningTasks().size(); });
    return count;
}

// Until no upload runs (each has had its callback on the queue).
inline bool settle(const std::shared_ptr<VuderuDataSender>& sender, double timeoutSeconds = 30) {
    return runMainUntil([&] { return runningCount(sender) == 0; }, timeoutSeconds);
}

inline std::vector<std::string> storedIdentifiers(const std::shared_ptr<VuderuDataSender>& sender) {
    std::vector<std::string> identifiers;
    onQueue([&] {
        for (const auto& block : sender->dataIndex()->notSentBlocksForDataKey(VuderuDataSender::dataKey())) {
            identifiers.push_back(block->identifier());
        }
    });
    return identifiers;
}

inline std::vector<std::string> storedReports(const std::shared_ptr<VuderuDataSender>& sender) {
    std::vector<std::string> reports;
    onQueue([&] {
        for (const auto& block : sender->dataIndex()->notSentBlocksForDataKey(VuderuDataSender::dataKey())) {
            auto data = block->data();
            reports.push_back(data ? std::string(data->stringView()) : std::string("<missing>"));
        }
    });
    return reports;
}

// Block files in the data directory: the files named by a UUID.
inline std::vector<std::string> blockFiles() {
    std::vector<std::string> files;
    auto names = NSFileManager::defaultManager()->contentsOfDirectoryAtPath(VuderuUtil::filePathDirectory(), nullptr);
    for (const auto& name : names.value_or(std::vector<std::string>{})) {
        if (name.size() == 36 && std::count(name.begin(), name.end(), '-') == 4) files.push_back(name);
    }
    std::sort(files.begin(), files.end());
    return files;
}

inline std::vector<std::string> sorted(std::vector<std::string> items) {
    std::sort(items.begin(), items.end());
    return items;
}

} // namespace sender_fixture
