#include "netkit/NKHTTPResponseSerializer.h"
#include "netkit/NKURLSessionManager.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSNotificationCenter.h"
#include "platform/net/NSURLError.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/testsupport/LoopbackHTTPServer.h"
#include "platform/testsupport/RunLoopSupport.h"
#include "platform/testsupport/TestCertificates.h"
#include "platform/testsupport/LoopbackRequests.h"

#include <gtest/gtest.h>

#include <mutex>

namespace {
using namespace loopback_requests;

// What a completion handler and the task-complete notification brought.
struct Outcome {
    bool called = false;
    NSURLResponsePtr response;
    Value object;
    NSErrorPtr error;
    std::shared_ptr<NSNotification> notification;
};

class NKURLSessionManagerTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        SecTrustSetAdditionalSystemAnchorsForTesting({SecCertificateCreateWithData(std::make_shared<NSData>(ca_.rootDER()))});
        manager_ = NKURLSessionManager::managerWithSessionConfiguration(nullptr);
        observe(NKNetworkingTaskDidCompleteNotification);
        observe(NKNetworkingTaskDidResumeNotification);
        observe(NKNetworkingTaskDidSuspendNotification);
        observe(NKURLSessionDownloadTaskDidFailToMoveFileNotification);
        observe(NKURLSessionDidInvalidateNotification);
    }
    void TearDown() override {
        manager_->invalidateSessionCancelingTasks(true);
        EXPECT_TRUE(runMainUntil([&] { return count(NKURLSessionDidInvalidateNotification) > 0; }));
        for (const auto& token : tokens_) NSNotificationCenter::defaultCenter()->removeObserver(token);
        SecTrustSetAdditionalSystemAnchorsForTesting({});
        DeviceTest::TearDown();
    }
    void observe(const std::string& name) {
        tokens_.push_back(NSNotificationCenter::defaultCenter()->addObserverForName(name, nullptr, nullptr, [this](const auto& note) {
            std::lock_guard guard(mutex_);
            notes_.push_back(note);
        }));
    }
    int count(const std::string& name) {
        std::lock_guard guard(mutex_);
        return static_cast<int>(std::count_if(notes_.begin(), notes_.end(), [&](const auto& n) { return n->name() == name; }));
    }
    std::vector<std::string> names() {
        std::lock_guard guard(mutex_);
        std::vector<std::string> all;
        for (const auto& note : notes_) all.push_back(note->name());
        return all;
    }
    std::shared_ptr<NSNotification> last(const std::string& name) {
        std::lock_guard guard(mutex_);
        for (auto it = notes_.rbegin(); it != notes_.rend(); ++it) {
            if ((*it)->name() == name) return *it;
        }
        return nullptr;
    }
    NKURLSessionManager::CompletionHandler recordInto(const std::shared_ptr<Outcome>& outcome) {
        return [outcome](const NSURLResponsePtr& response, const Value& object, const NSErrorPtr& error) {
            outcome->called = true;
            outcome->response = response;
            outcome->object = object;
            outcome->error = error;
        };
    }
    // Runs the main loop until the handler ran and the task's completion was posted.
    void finish(const std::shared_ptr<Outcome>& outcome) {
        ASSERT_TRUE(runMainUntil([&] { return outcome->called && count(NKNetworkingTaskDidCompleteNotification) > 0; }));
        outcome->notification = last(NKNetworkingTaskDidCompleteNotification);
    }

    TestCertificateAuthority ca_;
    std::shared_ptr<NKURLSessionManager> manager_;
    std::mutex mutex_;
    std::vector<std::shared_ptr<NSNotification>> notes_;
    std::vector<std::shared_ptr<NSObject>> tokens_;
};

TEST_F(NKURLSessionManagerTest, DataTasksEndWithTheHandlerAndTheCompletionKeys) {
    // Plain bodies: the HTTP serializer instead of the default JSON one.
    manager_->setResponseSerializer(NKHTTPResponseSerializer::serializer());
    LoopbackHTTPServer server;
    server.route("/ok", LoopbackHTTPServer::fixed(200, {{"Content-Type", "text/plain"}}, "body"));
    server.route("/missing", LoopbackHTTPServer::fixed(404, {}, "nope"));
    server.route("/cut", LoopbackHTTPServer::truncated(200, 100, "partial"));
    struct Case {
        const char* path;
        bool object;
        long error;
        std::string data;
    } cases[] = {
        {"/ok", true, 0, "body"},
        {"/missing", true, NSURLErrorBadServerResponse, "nope"},  // the serializer's error, with its object
        {"/cut", false, NSURLErrorNetworkConnectionLost, "partial"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        {
            std::lock_guard guard(mutex_);
            notes_.clear();
        }
        auto outcome = std::make_shared<Outcome>();
        manager_->dataTaskWithRequest(requestFor(server.url(c.path)), recordInto(outcome))->resume();
        finish(outcome);
        EXPECT_EQ(outcome->error ? outcome->error->code() : 0, c.error);
        EXPECT_EQ(!outcome->object.isNull(), c.object);
        const auto& info = outcome->notification->userInfo();
        EXPECT_TRUE(info.count(NKNetworkingTaskDidCompleteResponseSerializerKey));
        auto data = info.at(NKNetworkingTaskDidCompleteResponseDataKey).objectAs<NSData>();
        ASSERT_TRUE(data);
        EXPECT_EQ(data->stringView(), c.data);
        EXPECT_EQ(info.count(NKNetworkingTaskDidCompleteSerializedResponseKey), c.object ? 1u : 0u);
        EXPECT_EQ(info.count(NKNetworkingTaskDidCompleteErrorKey), c.error ? 1u : 0u);
        EXPECT_FALSE(info.count(NKNetworkingTaskDidCompleteAssetPathKey));
    }
}

// An answer refused as it arrives (a part longer than its range, with no length to tell it from
// the head) still ends each task: its handler gets the error.
TEST_F(NKURLSessionManagerTest, TasksWhoseAnswerIsRefusedMidBodyStillComplete) {
    LoopbackHTTPServer server;
    server.route("/long", LoopbackHTTPServer::chunked(206, {{"Content-Range", "bytes 100-199/1000"}}, {std::string(150, 'l')}));
    auto request = requestFor(server.url("/long"))->mutableCopy();
    request->setValueForHTTPHeaderField("bytes=100-199", "Range");
    for (bool download : {false, true}) {
        SCOPED_TRACE(download ? "download task" : "data task");
        {
            std::lock_guard guard(mutex_);
            notes_.clear();
        }
        auto outcome = std::make_shared<Outcome>();
        if (download) {
            manager_->downloadTaskWithRequest(request, nullptr, nullptr, recordInto(outcome))->resume();
        } else {
            manager_->dataTaskWithRequest(request, recordInto(outcome))->resume();
        }
        finish(outcome);
        ASSERT_TRUE(outcome->error);
        EXPECT_EQ(outcome->error->code(), NSURLErrorBadServerResponse);
    }
}

TEST_F(NKURLSessionManagerTest, AnEmptyBodyAndUploadProgressShowWhatTheSessionReported) {
    LoopbackHTTPServer server;
    server.route("/empty", LoopbackHTTPServer::fixed(204, {}, ""));
    auto request = requestFor(server.url("/empty"));
    request->setHTTPMethod("POST");
    NSProgressPtr progress;
    auto outcome = std::make_shared<Outcome>();
    auto task = manager_->uploadTaskWithRequestFromData(request, NSData::dataWithString(std::string(3000, 'u')), &progress, recordInto(outcome));
    task->resume();
    finish(outcome);
    EXPECT_EQ(outcome->error, nullptr);
    auto data = outcome->notification->userInfo().at(NKNetworkingTaskDidCompleteResponseDataKey).objectAs<NSData>();
    ASSERT_TRUE(data);
    EXPECT_EQ(data->length(), 0u);
    EXPECT_EQ(progress->totalUnitCount(), 3000);
    EXPECT_EQ(progress->completedUnitCount(), 3000);
    // The task's delegate goes with its completion, on the session's queue: perhaps just after
    // the handler and the notification reached the main loop.
    EXPECT_TRUE(runMainUntil([&] { return manager_->uploadProgressForTask(task) == nullptr; }));
}

TEST_F(NKURLSessionManagerTest, DownloadsAreMovedToTheirDestination) {
    LoopbackHTTPServer server;
    server.route("/file", LoopbackHTTPServer::fixed(200, {}, "file body"));
    makeDirectory("/var/mobile/Documents");
    auto target = NSURL::fileURLWithPath("/var/mobile/Documents/saved.txt");
    auto outcome = std::make_shared<Outcome>();
    NSProgressPtr progress;
    manager_->downloadTaskWithRequest(requestFor(server.url("/file")), &progress, [&](const NSURLPtr&, const NSURLResponsePtr&) { return target; },
                                      recordInto(outcome))
        ->resume();
    finish(outcome);
    EXPECT_EQ(outcome->error, nullptr);
    ASSERT_TRUE(outcome->object.objectAs<NSURL>());
    EXPECT_EQ(outcome->object.objectAs<NSURL>()->path(), target->path());
    EXPECT_EQ(readFile(target->path()), "file body");
    const auto& info = outcome->notification->userInfo();
    EXPECT_EQ(info.at(NKNetworkingTaskDidCompleteAssetPathKey).objectAs<NSURL>()->path(), target->path());
    EXPECT_TRUE(info.count(NKNetworkingTaskDidCompleteSerializedResponseKey));
    EXPECT_FALSE(info.count(NKNetworkingTaskDidCompleteResponseDataKey));
    EXPECT_EQ(progress->completedUnitCount(), 9);
    EXPECT_EQ(progress->totalUnitCount(), 9);
}

// A part of the resource that was not asked for is no answer: the data task fails with -1011 and
// the download never reaches its destination.
TEST_F(NKURLSessionManagerTest, APartNotAskedForFailsTheTaskAndMovesNothing) {
    LoopbackHTTPServer server;
    server.route("/file", LoopbackHTTPServer::fixed(206, {{"Content-Range", "bytes 0-3/9"}}, "file"));
    makeDirectory("/var/mobile/Documents");
    auto target = NSURL::fileURLWithPath("/var/mobile/Documents/saved.txt");
    for (bool download : {false, true}) {
        SCOPED_TRACE(download ? "download" : "data");
        auto outcome = std::make_shared<Outcome>();
        {
            std::lock_guard guard(mutex_);
            notes_.clear();
        }
        if (download) {
            manager_->downloadTaskWithRequest(requestFor(server.url("/file")), nullptr,
                                              [&](const NSURLPtr&, const NSURLResponsePtr&) { return target; }, recordInto(outcome))
                ->resume();
        } else {
            manager_->dataTaskWithRequest(requestFor(server.url("/file")), recordInto(outcome))->resume();
        }
        finish(outcome);
        ASSERT_TRUE(outcome->error);
        EXPECT_EQ(outcome->error->code(), NSURLErrorBadServerResponse);
        EXPECT_FALSE(NSFileManager::defaultManager()->fileExistsAtPath(target->path()));
    }
}

TEST_F(NKURLSessionManagerTest, AFailedMoveFailsTheDownloadWithTheMoveError) {
    LoopbackHTTPServer server;
    server.route("/file", LoopbackHTTPServer::fixed(200, {}, "file body"));
    auto outcome = std::make_shared<Outcome>();
    manager_->downloadTaskWithRequest(requestFor(server.url("/file")), nullptr,
                                      [](const NSURLPtr&, const NSURLResponsePtr&) { return NSURL::fileURLWithPath("/no/such/folder/x"); },
                                      recordInto(outcome))
        ->resume();
    finish(outcome);
    EXPECT_EQ(count(NKURLSessionDownloadTaskDidFailToMoveFileNotification), 1);
    ASSERT_TRUE(outcome->error);
    EXPECT_EQ(outcome->error->domain(), NSCocoaErrorDomain);
    EXPECT_TRUE(outcome->object.isNull());
    auto keyed = outcome->notification->userInfo().at(NKNetworkingTaskDidCompleteErrorKey).objectAs<NSError>();
    EXPECT_EQ(keyed, outcome->error);
}

TEST_F(NKURLSessionManagerTest, ADownloadWithoutDestinationIsNotMovedOntoItself) {
    LoopbackHTTPServer server;
    server.route("/file", LoopbackHTTPServer::fixed(200, {}, "file body"));
    auto outcome = std::make_shared<Outcome>();
    manager_->downloadTaskWithRequest(requestFor(server.url("/file")), nullptr, nullptr, recordInto(outcome))->resume();
    finish(outcome);
    EXPECT_EQ(count(NKURLSessionDownloadTaskDidFailToMoveFileNotification), 0);
    EXPECT_EQ(outcome->error, nullptr);
    EXPECT_TRUE(outcome->object.objectAs<NSURL>());
}

TEST_F(NKURLSessionManagerTest, ResumeAndSuspendArePostedButNotCancelingOrCompleted) {
    LoopbackHTTPServer server;
    server.route("/silent", LoopbackHTTPServer::silent());
    auto outcome = std::make_shared<Outcome>();
    auto task = manager_->dataTaskWithRequest(requestFor(server.url("/silent")), recordInto(outcome));
    task->resume();
    task->suspend();
    task->resume();
    task->cancel();
    finish(outcome);
    drainMain();
    EXPECT_EQ(names(), (std::vector<std::string>{NKNetworkingTaskDidResumeNotification, NKNetworkingTaskDidSuspendNotification,
                                                 NKNetworkingTaskDidResumeNotification, NKNetworkingTaskDidCompleteNotification}));
    EXPECT_EQ(outcome->error->code(), NSURLErrorCancelled);
}

TEST_F(NKURLSessionManagerTest, RemoveAllDelegatesEndsTheStateObservations) {
    auto task = manager_->dataTaskWithRequest(requestFor("http://127.0.0.1:9/"), nullptr);
    ASSERT_TRUE(manager_->delegateForTask(task));
    std::weak_ptr<NKURLSessionManager> gone = manager_;
    manager_->removeAllDelegates();
    EXPECT_FALSE(manager_->delegateForTask(task));
    task->resume();
    task->cancel();
    drainMain();
    EXPECT_EQ(count(NKNetworkingTaskDidResumeNotification), 0);
}

TEST_F(NKURLSessionManagerTest, FourDelegateCallsAreOfferedOnlyWithTheirHook) {
    namespace S = NSURLSessionSelector;
    for (auto selector : {S::WillPerformHTTPRedirection, S::DidReceiveResponse, S::WillCacheResponse, S::DidFinishEventsForBackground}) {
        EXPECT_FALSE(manager_->respondsToSelector(selector)) << selector;
    }
    for (auto selector : {S::DidReceiveChallenge, S::TaskDidReceiveChallenge, S::DidReceiveData, S::DidComplete}) {
        EXPECT_TRUE(manager_->respondsToSelector(selector)) << selector;
    }
    manager_->dataTaskDidReceiveResponse = [](const auto&, const auto&, const auto&) { return NSURLSessionResponseAllow; };
    EXPECT_TRUE(manager_->respondsToSelector(S::DidReceiveResponse));
}

TEST_F(NKURLSessionManagerTest, ATaskMadeOnTheSessionReachesOnlyTheHooks) {
    LoopbackHTTPServer server;
    server.route("/ok", LoopbackHTTPServer::fixed(200, {}, "body"));
    std::mutex mutex;
    std::string received;
    bool completed = false;
    manager_->dataTaskDidReceiveData = [&](const auto&, const auto&, const NSDataPtr& data) {
        std::lock_guard guard(mutex);
        received += std::string(data->stringView());
    };
    manager_->taskDidComplete = [&](const auto&, const auto&, const NSErrorPtr&) {
        std::lock_guard guard(mutex);
        completed = true;
    };
    auto task = manager_->session()->dataTaskWithRequest(requestFor(server.url("/ok")));
    EXPECT_FALSE(manager_->delegateForTask(task));
    task->resume();
    ASSERT_TRUE(runMainUntil([&] {
        std::lock_guard guard(mutex);
        return completed;
    }));
    drainMain();
    EXPECT_EQ(received, "body");
    EXPECT_EQ(count(NKNetworkingTaskDidCompleteNotification), 0);
}

TEST_F(NKURLSessionManagerTest, ServerTrustGoesThroughTheSecurityPolicyOrTheHook) {
    LoopbackHTTPServer server(ca_.issue("localhost"));
    server.route("/s", LoopbackHTTPServer::fixed(200, {{"Content-Type", "application/json"}}, R"({"secret":1})"));
    auto outcome = std::make_shared<Outcome>();
    manager_->dataTaskWithRequest(requestFor(server.url("/s")), recordInto(outcome))->resume();
    finish(outcome);
    EXPECT_EQ(outcome->error, nullptr);
    // The designed default serializer reads the JSON body.
    EXPECT_TRUE(outcome->object.isDictionary());

    manager_->sessionDidReceiveAuthenticationChallenge = [](const auto&, const auto&, NSURLCredentialPtr*) {
        return NSURLSessionAuthChallengeCancelAuthenticationChallenge;
    };
    auto refused = std::make_shared<Outcome>();
    manager_->dataTaskWithRequest(requestFor(server.url("/s")), recordInto(refused))->resume();
    ASSERT_TRUE(runMainUntil([&] { return refused->called; }));
    ASSERT_TRUE(refused->error);
    EXPECT_EQ(refused->error->code(), NSURLErrorCancelled);
}

TEST_F(NKURLSessionManagerTest, TaskListsAndUploadProgress) {
    LoopbackHTTPServer server;
    server.route("/silent", LoopbackHTTPServer::silent());
    auto request = requestFor(server.url("/silent"));
    request->setHTTPMethod("POST");
    request->setHTTPBodyStream(NSInputStream::inputStreamWithData(NSData::dataWithLength(1234)));
    request->setValueForHTTPHeaderField("1234", "Content-Length");
    NSProgressPtr progress;
    auto outcome = std::make_shared<Outcome>();
    auto upload = manager_->uploadTaskWithStreamedRequest(request, &progress, recordInto(outcome));
    manager_->dataTaskWithRequest(requestFor(server.url("/silent")), nullptr);
    ASSERT_TRUE(progress);
    EXPECT_EQ(progress->totalUnitCount(), 1234);
    EXPECT_EQ(manager_->tasks().size(), 2u);
    EXPECT_EQ(manager_->uploadTasks().size(), 1u);
    EXPECT_FALSE(manager_->tasksForKeyPath("nonsense").has_value());
    upload->resume();
    progress->pause();
    EXPECT_EQ(upload->state(), NSURLSessionTaskStateSuspended);
    progress->cancel();
    finish(outcome);
    EXPECT_EQ(outcome->error->code(), NSURLErrorCancelled);
}

TEST_F(NKURLSessionManagerTest, InvalidationPostsAndACopyStartsClean) {
    manager_->taskDidComplete = [](const auto&, const auto&, const auto&) {};
    auto copy = manager_->copy();
    EXPECT_FALSE(copy->taskDidComplete);
    EXPECT_TRUE(copy->sessionConfiguration()->isEqual(manager_->sessionConfiguration().get()));
    EXPECT_NE(copy->session(), manager_->session());
    bool hook = false;
    copy->sessionDidBecomeInvalid = [&](const auto&, const auto&) { hook = true; };
    copy->invalidateSessionCancelingTasks(false);
    ASSERT_TRUE(runMainUntil([&] { return count(NKURLSessionDidInvalidateNotification) > 0; }));
    EXPECT_TRUE(hook);
    EXPECT_EQ(last(NKURLSessionDidInvalidateNotification)->object().objectAs<NSURLSession>(), copy->session());
}

} // namespace
