#include "platform/foundation/NSException.h"
#include "platform/foundation/NSKeyedArchiver.h"
#include "platform/foundation/NSKeyedUnarchiver.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/uikit/UIApplication.h"
#include "sdk/analytics/VuderuDataSenderBase.h"
#include "sdk/analytics/VuderuDataSenderBlockInfo.h"
#include "sdk/analytics/VuderuImpl.h"
#include "sdk/analytics/VuderuNetworkUtil.h"
#include "sdk/analytics/VuderuUtil.h"

#include <gtest/gtest.h>

namespace {

// A subclass that counts its hooks; the base's queue-side calls run inline (no queue).
class CountingSender : public VuderuDataSenderBase {
public:
    using VuderuDataSenderBase::VuderuDataSenderBase;
    void retransmitNotSentBlocks() override { ++retransmits; }
    void didCompleteAllTasks() override { ++completions; }
    int retransmits = 0;
    int completions = 0;
};

class BareSender : public VuderuDataSenderBase {
public:
    using VuderuDataSenderBase::VuderuDataSenderBase;
};

class VuderuDataSenderBaseTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        VuderuUtil::setLogLevel(2);
        UIApplication::sharedApplication()->reset();
    }
    void TearDown() override {
        // A task that never started holds itself through its connection until it is cancelled.
        for (const auto& made : made_) made->cancelTask();
        sender_->cancelTasks();
        sender_.reset();
        VuderuImpl::cleanup();
        DeviceTest::TearDown();
    }
    // An unstarted task.
    VuderuHttpAsyncTaskPtr task() {
        made_.push_back(VuderuHttpAsyncTask::sendMethod("POST", std::string("http://127.0.0.1:9/aas.do"), nullptr, std::nullopt, nullptr, false));
        return made_.back();
    }
    std::vector<VuderuHttpAsyncTaskPtr> made_;
    std::shared_ptr<CountingSender> sender_ = VuderuDataSenderBase::create<CountingSender>();
};

TEST_F(VuderuDataSenderBaseTest, TheWindowClosesAtNineTasks) {
    for (int i = 0; i < 8; ++i) sender_->registerNewTask(task());
    EXPECT_TRUE(sender_->hasOngoingTasksWindow());
    sender_->registerNewTask(task());
    EXPECT_FALSE(sender_->hasOngoingTasksWindow());
    sender_->registerNewTask(nullptr);
    EXPECT_EQ(sender_->runningTasks().size(), 9u);
}

TEST_F(VuderuDataSenderBaseTest, UnregisteringResendsOnSuccessAndEndsTheBurstWhenTheListIsEmpty) {
    auto first = task(), second = task();
    sender_->registerNewTask(first);
    sender_->registerNewTask(second);
    sender_->unregisterTaskCompletedSuccessfuly(first, false);
    EXPECT_EQ(sender_->retransmits, 0);
    EXPECT_EQ(sender_->completions, 0);
    sender_->unregisterTaskCompletedSuccessfuly(second, true);
    EXPECT_EQ(sender_->retransmits, 1);
    EXPECT_EQ(sender_->completions, 1);
    // A task that is not in the list still counts for the resend and the end of the burst.
    auto stranger = task();
    sender_->unregisterTaskCompletedSuccessfuly(stranger, true);
    EXPECT_EQ(sender_->retransmits, 2);
    EXPECT_EQ(sender_->completions, 2);
    sender_->unregisterTaskCompletedSuccessfuly(nullptr, true);
    EXPECT_EQ(sender_->retransmits, 2);
    sender_->registerNewTask(stranger);
}

TEST_F(VuderuDataSenderBaseTest, OneBackgroundTaskCoversABurstOfUploads) {
    auto sender = VuderuDataSenderBase::create<CountingSender>(dispatch_queue_create("test.sender"));
    auto application = UIApplication::sharedApplication();
    EXPECT_EQ(sender->backgroundTask(), UIBackgroundTaskInvalid);
    auto first = task(), second = task();
    sender->registerNewTask(first);
    sender->registerNewTask(second);
    EXPECT_NE(sender->backgroundTask(), UIBackgroundTaskInvalid);
    EXPECT_EQ(application->backgroundTaskCount(), 1u);
    sender->unregisterTaskCompletedSuccessfuly(first, false);
    EXPECT_EQ(application->backgroundTaskCount(), 1u);
    sender->unregisterTaskCompletedSuccessfuly(second, false);
    EXPECT_EQ(sender->backgroundTask(), UIBackgroundTaskInvalid);
    EXPECT_EQ(application->backgroundTaskCount(), 0u);
    EXPECT_TRUE(log_->contains("Vuderu: start background task"));
    EXPECT_TRUE(log_->contains("Vuderu: stop background task"));
}

// The platform ends an app whose background time runs out with a task still open.
TEST_F(VuderuDataSenderBaseTest, AnExpiredBackgroundTaskIsEnded) {
    auto queue = dispatch_queue_create("test.sender");
    auto sender = VuderuDataSenderBase::create<CountingSender>(queue);
    auto application = UIApplication::sharedApplication();
    auto running = task();
    dispatch_sync(queue, [&] { sender->registerNewTask(running); });
    ASSERT_EQ(application->backgroundTaskCount(), 1u);
    application->expireBackgroundTasks();
    EXPECT_TRUE(log_->contains("Vuderu: expiration handler reached"));
    EXPECT_EQ(application->backgroundTaskCount(), 0u);
    dispatch_sync(queue, [] {});
    EXPECT_EQ(sender->backgroundTask(), UIBackgroundTaskInvalid);
    // The next burst begins a task of its own.
    dispatch_sync(queue, [&] { sender->registerNewTask(task()); });
    EXPECT_EQ(application->backgroundTaskCount(), 1u);
    dispatch_sync(queue, [&] { sender->cancelTasks(); });

    // The front's background tasks for the ad side end at expiry as well.
    ASSERT_EQ(application->backgroundTaskCount(), 1u);
    auto identifier = VuderuImpl::registerBackgoundTask();
    ASSERT_NE(identifier, UIBackgroundTaskInvalid);
    EXPECT_EQ(application->backgroundTaskCount(), 2u);
    application->expireBackgroundTasks();
    EXPECT_EQ(application->backgroundTaskCount(), 0u);
    VuderuImpl::unregisterBackgoundTask(identifier);
    VuderuImpl::unregisterBackgoundTask(UIBackgroundTaskInvalid);
}

TEST_F(VuderuDataSenderBaseTest, NetworkChangesResendOnlyWhenReachableAndInTheForeground) {
    auto post = [] {
        NSNotificationCenter::defaultCenter()->postNotificationName(kVuderuNetworkStatusChangedNotification, Value());
    };
    post();
    EXPECT_EQ(sender_->retransmits, 1);
    EXPECT_TRUE(log_->contains("VuderuSession: networkStatusChanged to  reachable"));

    UIApplication::sharedApplication()->setApplicationState(UIApplicationStateBackground);
    post();
    EXPECT_EQ(sender_->retransmits, 1);
    EXPECT_TRUE(log_->contains("Vuderu: application is in background, skipping sending data."));
}

TEST_F(VuderuDataSenderBaseTest, AMissingHookFailsLoudly) {
    auto bare = VuderuDataSenderBase::create<BareSender>();
    try {
        bare->performRetransmitNotSentBlocks();
        ADD_FAILURE() << "no exception";
    } catch (const NSException& exception) {
        EXPECT_EQ(exception.name(), NSInvalidArgumentException);
        EXPECT_NE(exception.reason().find("retransmitNotSentBlocks"), std::string::npos);
    }
    EXPECT_THROW(bare->unregisterTaskCompletedSuccessfuly(task(), false), NSException);
}

TEST_F(VuderuDataSenderBaseTest, BlockRecords) {
    auto empty = VuderuDataSenderBlockInfo::initWithData(nullptr);
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->dataSize(), 0u);
    EXPECT_EQ(empty->data(), nullptr);
    EXPECT_FALSE(empty->setData(nullptr));
    EXPECT_TRUE(empty->setData(NSData::dataWithString("later")));
    EXPECT_EQ(empty->dataSize(), 5u);
    EXPECT_EQ(std::string(empty->data()->stringView()), "later");

    auto block = VuderuDataSenderBlockInfo::initWithData(NSData::dataWithString("payload"));
    ASSERT_TRUE(block);
    EXPECT_EQ(block->path(), VuderuUtil::filePathDirectory() + "/" + block->identifier());
    EXPECT_EQ(block->identifier().size(), 36u);
    EXPECT_EQ(block->description().rfind("Block [" + block->identifier() + ", ", 0), 0u);
    auto copy = NSKeyedUnarchiver::unarchiveObjectWithData(*NSKeyedArchiver::archivedDataWithRootObject(Value(block)))
                    .objectAs<VuderuDataSenderBlockInfo>();
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->identifier(), block->identifier());
    EXPECT_EQ(copy->dataSize(), 7u);
    EXPECT_EQ(copy->creationDate()->timeIntervalSince1970(), block->creationDate()->timeIntervalSince1970());
    EXPECT_TRUE(copy->deletePersistentData());
    EXPECT_EQ(block->data(), nullptr);
    EXPECT_FALSE(block->deletePersistentData());

    NSCoder coder(Value::Dictionary{{"identifier", Value("")}, {"dataSize", Value(3)}});
    EXPECT_EQ(VuderuDataSenderBlockInfo::initWithCoder(coder), nullptr);
}

} // namespace
