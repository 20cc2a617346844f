#include "sdk/analytics/VuderuDataSender.h"

#include "platform/foundation/NSException.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/SharedInstance.h"
#include "sdk/analytics/VuderuConstants.h"
#include "sdk/analytics/VuderuImpl.h"
#include "sdk/analytics/VuderuLog.h"
#include "sdk/analytics/VuderuNetworkUtil.h"
#include "sdk/analytics/VuderuSession.h"
#include "sdk/analytics/VuderuUtil.h"

#include <algorithm>
#include <mutex>
#include <set>

namespace {

constexpr const char* kContentType = "application/octet-stream";

bool hasDispatch() {
    return VuderuUtil::getSystemVersionAsAnInteger() >= VuderuUtil::kSystemVersionDispatch;
}

} // namespace

void VuderuDataSender::setupInstanceWithQueue(const dispatch_queue_t& queue) {
    VuderuUtil::assertThreadIsNotMain();
    std::shared_ptr<VuderuDataSender> made;
    SharedInstance<VuderuDataSender>::slot().getOrMake([&] { return made = create<VuderuDataSender>(hasDispatch() ? queue : nullptr); });
    if (made) made->setup();
}

std::shared_ptr<VuderuDataSender> VuderuDataSender::instance() { return SharedInstance<VuderuDataSender>::slot().get(); }

void VuderuDataSender::cleanup() { SharedInstance<VuderuDataSender>::slot().take(); }

std::optional<std::string> VuderuDataSender::dataKey() {
    std::string apiKey = VuderuImpl::instance()->apiKey();
    if (apiKey.empty()) return std::nullopt;
    return NSString::stringWithFormat("Data_%lu_%s", static_cast<unsigned long>(NSString::hash(apiKey)), VuderuAgentVersion);
}

void VuderuDataSender::setupForCurrentKeyIfNeeded() {
    auto sender = instance();
    // Only a set-up that ran without a key is made again; a later change of key is picked up at
    // the next start, as before.
    if (sender && !sender->setupDataKey_ && dataKey()) sender->setup();
}

VuderuDataSender::VuderuDataSender(dispatch_queue_t queue) : VuderuDataSenderBase(std::move(queue)) {
    dataIndex_ = VuderuDataSenderIndex::instantiatedIndex();
}

void VuderuDataSender::setup() {
    VuderuUtil::assertThreadIsNotMain();
    setupDataKey_ = dataKey();
    dataIndex_->setupForCurrentDataKey(setupDataKey_);
    adoptUnindexedBlocks();
    retransmitNotSentBlocks();
}

// A block the index no longer names (the index was damaged and read as empty, or the process
// ended between writing a block and saving the index) holds a whole report that was never
// accepted: it is adopted under the current key and sent like any other. The ad-log sender keeps
// its blocks in the same directory under names of the same form, so a file is adopted only when
// it holds one of our payloads, a whole report; a writer's temporary has a name of its own and is
// never one of these. Without a key nothing is adopted (and nothing removed) until one is known.
void VuderuDataSender::adoptUnindexedBlocks() {
    if (!setupDataKey_) return;
    std::set<std::string> indexed;
    for (const auto& [key, blocks] : dataIndex_->indexMap()) {
        for (const auto& block : blocks) indexed.insert(block->identifier());
    }
    for (const auto& block :
         VuderuDataSenderBlockInfo::unindexedBlockFiles(indexed, [](const NSData& data) { return VuderuSession::isReportData(data); })) {
        VuderuLog("VuderuSession: block %@ was missing from the index; it is sent again", block->identifier());
        dataIndex_->addBlockInfoForDataKey(block, setupDataKey_);
    }
}

bool VuderuDataSender::storedReportCarries(const Value::Data& record) const {
    if (record.empty()) return false;
    for (const auto& block : dataIndex_->notSentBlocksForDataKey(dataKey())) {
        NSDataPtr report = block->data();
        if (!report || report->length() < record.size()) continue;
        const auto& bytes = report->vector();
        if (std::search(bytes.begin(), bytes.end(), record.begin(), record.end()) != bytes.end()) return true;
    }
    return false;
}

void VuderuDataSender::sendSessionsData(const NSDataPtr& data) {
    VuderuUtil::assertThreadIsNotMain();
    try {
        auto identifier = storeData(data);
        if (hasOngoingTasksWindow()) sendDataWithIdentifier(data, identifier);
    } catch (...) {
        VuderuUtil::handleException(std::current_exception());
    }
}

std::optional<std::string> VuderuDataSender::storeData(const NSDataPtr& data) {
    auto key = dataKey();
    if (!key) return std::nullopt;
    auto block = VuderuDataSenderBlockInfo::initWithData(data);
    if (!block) return std::nullopt;
    VuderuSession::fileStepDone();
    dataIndex_->addBlockInfoForDataKey(block, key);
    VuderuSession::fileStepDone();
    return block->identifier();
}

void VuderuDataSender::sendDataWithIdentifier(const NSDataPtr& data, const std::optional<std::string>& identifier) {
    if (!data) return;
    NSHTTPHeaderFields headers{{"content-type", kContentType}};
    auto task = VuderuHttpAsyncTask::sendMethod("POST", VuderuNetworkUtil::serverURL(), data, headers,
                                                std::dynamic_pointer_cast<VuderuHttpAsyncTaskDelegate>(self<VuderuDataSender>()),
                                                false);
    task->setTag(identifier.value_or(""));
    registerNewTask(task);
    if (!hasDispatch()) {
        task->startInRunLoop(NSRunLoop::currentRunLoop());
        return;
    }
    dispatch_async(dispatch_get_main_queue(), [task] { task->startInRunLoop(NSRunLoop::currentRunLoop()); });
}

void VuderuDataSender::removeStoredDataWithIdentifier(const std::optional<std::string>& identifier) {
    dataIndex_->removeBlockInfoWithIdentifierForDataKey(identifier, dataKey());
}

void VuderuDataSender::requestSuccessfulWithResponse(const VuderuHttpAsyncTaskPtr& task, const VuderuHTTPResponsePtr& response) {
    auto sender = self<VuderuDataSender>();
    performOnQueue([sender, task, response] { sender->requestSuccessCompleteWithResponse(task, response); });
}

void VuderuDataSender::requestDidFailWithResponse(const VuderuHttpAsyncTaskPtr& task, const VuderuHTTPResponsePtr& response) {
    auto sender = self<VuderuDataSender>();
    performOnQueue([sender, task, response] {
        VuderuLog("VuderuSession: Could not connect to server: %@",
                  response && response->error() ? response->error()->description() : std::string("(null)"));
        sender->unregisterTaskCompletedSuccessfuly(task, false);
    });
}

void VuderuDataSender::requestDidCancelWithResponse(const VuderuHttpAsyncTaskPtr& task, const VuderuHTTPResponsePtr&) {
    auto sender = self<VuderuDataSender>();
    performOnQueue([sender, task] { sender->unregisterTaskCompletedSuccessfuly(task, false); });
}

void VuderuDataSender::requestSuccessCompleteWithResponse(const VuderuHttpAsyncTaskPtr& task, const VuderuHTTPResponsePtr& response) {
    VuderuLog("VuderuSession: async http response code: %d, id [%@]", response->statusCode(), task->tag());
    if (!response->isSuccess()) VuderuLog("VuderuSession: Could not connect to server.");
    dataIndex_->setSentReportSuccessfully(true);
    // The block goes before the answer is read: a damaged answer never brings it back.
    removeStoredDataWithIdentifier(task->tag().empty() ? std::nullopt : std::optional<std::string>(task->tag()));
    try {
        parseResponse(*response);
    } catch (const NSException& exception) {
        VuderuLog("Failed to parse response with exception %@", exception.name() + ": " + exception.reason());
    }
    unregisterTaskCompletedSuccessfuly(task, true);
}

void VuderuDataSender::retransmitNotSentBlocks() {
    VuderuUtil::assertThreadIsNotMain();
    if (!hasOngoingTasksWindow()) return;
    std::vector<std::string> inFlight;
    for (const auto& task : runningTasks()) {
        if (!task->tag().empty()) inFlight.push_back(task->tag());
    }
    for (const auto& block : dataIndex_->notSentBlocksForDataKey(dataKey())) {
        if (std::find(inFlight.begin(), inFlight.end(), block->identifier()) != inFlight.end()) continue;
        if (!hasOngoingTasksWindow()) return;
        try {
            sendDataWithIdentifier(block->data(), block->identifier());
        } catch (...) {
            VuderuUtil::handleException(std::current_exception());
        }
    }
}

void VuderuDataSender::didCompleteAllTasks() {
    dataIndex_->discardOutdatedBlocksForDataKey(dataKey());
}
