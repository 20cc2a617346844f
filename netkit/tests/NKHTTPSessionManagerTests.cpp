#include "ManagerTest.h"
#include "netkit/NKHTTPSessionManager.h"
#include "netkit/NKJSONRequestSerializer.h"
#include "netkit/NKJSONResponseSerializer.h"
#include "netkit/NKPropertyListRequestSerializer.h"
#include "platform/foundation/NSKeyedArchiver.h"
#include "platform/foundation/NSKeyedUnarchiver.h"
#include "platform/net/NSURLError.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/testsupport/LoopbackHTTPServer.h"
#include "platform/testsupport/RunLoopSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

namespace {

class NKHTTPSessionManagerTest : public ManagerTest<NSURLSessionDataTaskPtr> {
protected:
    void TearDown() override {
        for (const auto& manager : managers_) manager->invalidateSessionCancelingTasks(true);
        managers_.clear();
        DeviceTest::TearDown();
    }
    std::shared_ptr<NKHTTPSessionManager> make(const std::string& base) {
        auto manager = NKHTTPSessionManager::managerWithBaseURL(base.empty() ? nullptr : NSURL::URLWithString(base));
        managers_.push_back(manager);
        return manager;
    }

    std::vector<std::shared_ptr<NKHTTPSessionManager>> managers_;
};

TEST_F(NKHTTPSessionManagerTest, RelativePathsResolveBelowTheBase) {
    LoopbackHTTPServer server;
    server.route("/api/users", LoopbackHTTPServer::fixed(200, {{"Content-Type", "application/json"}}, R"({"users":[1,2]})"));
    server.route("/users", LoopbackHTTPServer::fixed(200, {{"Content-Type", "application/json"}}, "[]"));
    struct Case {
        std::string base, expectedBase, path, requested;
        Value expected;
    };
    const Value users(Value::Dictionary{{"users", Value(Value::Array{1, 2})}});
    const Case cases[] = {
        {server.url("/api"), server.url("/api/"), "users", "/api/users", users},
        {server.url(""), server.url(""), "users", "/users", Value(Value::Array{})},
        {"http://elsewhere.invalid/api", "http://elsewhere.invalid/api/", server.url("/api/users"), "/api/users", users},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.base);
        auto manager = make(c.base);
        EXPECT_EQ(manager->baseURL()->absoluteString(), c.expectedBase);
        auto outcome = std::make_shared<Outcome>();
        auto task = manager->GET(c.path, Value(), onSuccess(outcome), onFailure(outcome));
        ASSERT_TRUE(task);
        wait(outcome);
        EXPECT_FALSE(outcome->error);
        EXPECT_EQ(outcome->handle, task);
        EXPECT_EQ(outcome->object, c.expected);
        EXPECT_EQ(server.requests().back().path, c.requested);
    }
}

TEST_F(NKHTTPSessionManagerTest, EachVerbSendsItsMethodAndHeadSucceedsWithTheTaskAlone) {
    LoopbackHTTPServer server;
    server.route("/v", LoopbackHTTPServer::fixed(200, {{"Content-Type", "application/json"}}, R"({"ok":1})"));
    auto manager = make(server.url("/"));
    using Verb = NSURLSessionDataTaskPtr (NKHTTPSessionManager::*)(const std::string&, const Value&, NKHTTPSessionManager::SuccessBlock,
                                                                   NKHTTPSessionManager::FailureBlock);
    const std::pair<const char*, Verb> verbs[] = {{"GET", &NKHTTPSessionManager::GET},     {"POST", &NKHTTPSessionManager::POST},
                                                  {"PUT", &NKHTTPSessionManager::PUT},     {"PATCH", &NKHTTPSessionManager::PATCH},
                                                  {"DELETE", &NKHTTPSessionManager::DELETE}};
    for (const auto& [method, verb] : verbs) {
        SCOPED_TRACE(method);
        auto outcome = std::make_shared<Outcome>();
        ((*manager).*verb)("v", Value(Value::Dictionary{{"q", "1"}}), onSuccess(outcome), onFailure(outcome));
        wait(outcome);
        EXPECT_EQ(outcome->arguments, 2);
        EXPECT_EQ(outcome->object, Value(Value::Dictionary{{"ok", 1}}));
        EXPECT_EQ(server.requests().back().method, method);
    }

    auto outcome = std::make_shared<Outcome>();
    auto task = manager->HEAD(
        "v", Value(Value::Dictionary{{"q", "1"}}),
        onHeadSuccess(outcome), onFailure(outcome));
    wait(outcome);
    EXPECT_EQ(outcome->arguments, 1);
    EXPECT_EQ(outcome->handle, task);
    EXPECT_EQ(server.requests().back().method, "HEAD");
    EXPECT_EQ(server.requests().back().target, "/v?q=1");
}

TEST_F(NKHTTPSessionManagerTest, RequestsThatCannotBeBuiltFailWithoutATransfer) {
    LoopbackHTTPServer server;
    auto manager = make(server.url("/"));
    struct Case {
        const char* name;
        std::shared_ptr<NKHTTPRequestSerializer> serializer;
        std::string path;
        Value parameters;
        bool multipart;
        std::string domain;
        long code;
    };
    const Case cases[] = {
        {"unusable URL", NKHTTPRequestSerializer::serializer(), "http://bad host/", Value(), false, NSURLErrorDomain, NSURLErrorBadURL},
        {"unusable URL, multipart", NKHTTPRequestSerializer::serializer(), "http://bad host/", Value(), true, NSURLErrorDomain,
         NSURLErrorBadURL},
        {"unencodable JSON", NKJSONRequestSerializer::serializer(), "p", Value(Value::Dictionary{{"x", std::nan("")}}), false,
         NSCocoaErrorDomain, NSPropertyListWriteInvalidError},
        // What an archive without a serializer decodes to.
        {"no serializer", nullptr, "p", Value(), false, NKNetworkingErrorDomain, NSURLErrorBadURL},
        {"no serializer, multipart", nullptr, "p", Value(), true, NKNetworkingErrorDomain, NSURLErrorBadURL},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        manager->setRequestSerializer(c.serializer);
        auto outcome = std::make_shared<Outcome>();
        NSURLSessionDataTaskPtr task =
            c.multipart ? manager->POST(c.path, c.parameters, [](NKMultipartFormData&) {}, onSuccess(outcome), onFailure(outcome))
                        : manager->POST(c.path, c.parameters, onSuccess(outcome), onFailure(outcome));
        EXPECT_FALSE(task);
        wait(outcome);
        ASSERT_TRUE(outcome->error);
        EXPECT_EQ(outcome->error->domain(), c.domain);
        EXPECT_EQ(outcome->error->code(), c.code);
        EXPECT_FALSE(outcome->handle);
    }
    EXPECT_TRUE(manager->tasks().empty());
    EXPECT_EQ(server.requestCount(), 0u);
}

TEST_F(NKHTTPSessionManagerTest, ABodyTheResponseSerializerRefusesCallsTheFailureBlock) {
    LoopbackHTTPServer server;
    server.route("/page", LoopbackHTTPServer::fixed(200, {{"Content-Type", "text/html"}}, "<html></html>"));
    auto manager = make(server.url("/"));
    auto outcome = std::make_shared<Outcome>();
    auto task = manager->GET("page", Value(), onSuccess(outcome), onFailure(outcome));
    wait(outcome);
    EXPECT_EQ(outcome->arguments, 0);
    ASSERT_TRUE(outcome->error);
    EXPECT_EQ(outcome->error->domain(), NKNetworkingErrorDomain);
    EXPECT_EQ(outcome->error->code(), NSURLErrorCannotDecodeContentData);
    EXPECT_EQ(outcome->handle, task);
}

TEST_F(NKHTTPSessionManagerTest, GzipAndDeflateBodiesArriveDecoded) {
    LoopbackHTTPServer server;
    auto manager = make(server.url("/"));
    for (const CodedAnswer& answer : serveCodedJSON(server)) {
        SCOPED_TRACE(answer.path);
        auto outcome = std::make_shared<Outcome>();
        manager->GET(answer.path, Value(), onSuccess(outcome), onFailure(outcome));
        wait(outcome);
        expectCodedOutcome(answer, *outcome);
    }
}

// A manager an application derives to add its own behaviour.
class AppSessionManager : public NKHTTPSessionManager {
public:
    static std::shared_ptr<AppSessionManager> withBaseURL(const std::string& base) {
        std::shared_ptr<AppSessionManager> manager(new AppSessionManager());
        manager->setUpWithBaseURL(NSURL::URLWithString(base), nullptr);
        return manager;
    }

protected:
    std::shared_ptr<NKURLSessionManager> makeEmpty() const override { return std::shared_ptr<AppSessionManager>(new AppSessionManager()); }
};

TEST_F(NKHTTPSessionManagerTest, CopiesKeepTheClassAndShareNoSerializer) {
    struct Case {
        const char* name;
        std::shared_ptr<NKHTTPSessionManager> manager;
        const char* className;
    };
    const Case cases[] = {
        {"manager", NKHTTPSessionManager::managerWithBaseURL(NSURL::URLWithString("http://h/api")), "NKHTTPSessionManager"},
        {"subclass", AppSessionManager::withBaseURL("http://h/api"), "AppSessionManager"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto& manager = c.manager;
        managers_.push_back(manager);
        manager->setRequestSerializer(NKPropertyListRequestSerializer::serializer());
        auto copy = std::dynamic_pointer_cast<NKHTTPSessionManager>(manager->copy());
        ASSERT_TRUE(copy);
        managers_.push_back(copy);
        EXPECT_EQ(copy->className(), c.className);
        EXPECT_EQ(copy->baseURL()->absoluteString(), "http://h/api/");
        EXPECT_NE(copy->requestSerializer(), manager->requestSerializer());
        EXPECT_NE(copy->responseSerializer(), manager->responseSerializer());
        EXPECT_TRUE(std::dynamic_pointer_cast<NKPropertyListRequestSerializer>(copy->requestSerializer()));
        EXPECT_TRUE(std::dynamic_pointer_cast<NKJSONResponseSerializer>(copy->responseSerializer()));
        EXPECT_TRUE(copy->sessionConfiguration()->isEqual(manager->sessionConfiguration().get()));
        EXPECT_NE(copy->session(), manager->session());
        EXPECT_NE(manager->description().find("baseURL: http://h/api/, session: <"), std::string::npos);
    }
}

TEST_F(NKHTTPSessionManagerTest, ArchivesKeepTheBaseTheConfigurationAndTheSerializers) {
    auto manager = NKHTTPSessionManager::managerWithBaseURL(NSURL::URLWithString("http://h/api"),
                                                            NSURLSessionConfiguration::backgroundSessionConfiguration("com.sample.sync"));
    managers_.push_back(manager);
    manager->setRequestSerializer(NKJSONRequestSerializer::serializer());
    auto data = NSKeyedArchiver::archivedDataWithRootObject(Value(std::static_pointer_cast<NSObject>(manager)));
    auto decoded = NSKeyedUnarchiver::unarchiveObjectWithData(*data).objectAs<NKHTTPSessionManager>();
    ASSERT_TRUE(decoded);
    managers_.push_back(decoded);
    EXPECT_EQ(decoded->baseURL()->absoluteString(), "http://h/api/");
    EXPECT_EQ(decoded->sessionConfiguration()->identifier(), "com.sample.sync");
    EXPECT_TRUE(std::dynamic_pointer_cast<NKJSONRequestSerializer>(decoded->requestSerializer()));
    EXPECT_TRUE(std::dynamic_pointer_cast<NKJSONResponseSerializer>(decoded->responseSerializer()));

    // An archive that names the configuration only by its identifier.
    NSCoder coder(Value::Dictionary{{"baseURL", Value(NSURL::URLWithString("http://h/"))}, {"identifier", "com.sample.other"}});
    auto byIdentifier = NKHTTPSessionManager::managerWithCoder(coder);
    managers_.push_back(byIdentifier);
    EXPECT_TRUE(byIdentifier->sessionConfiguration()->isBackground());
    EXPECT_EQ(byIdentifier->sessionConfiguration()->identifier(), "com.sample.other");
    EXPECT_EQ(byIdentifier->baseURL()->absoluteString(), "http://h/");
    EXPECT_FALSE(byIdentifier->requestSerializer());
}

TEST_F(NKHTTPSessionManagerTest, MultipartBodiesPostedThroughTheManagerParseAsMail) {
    const UploadParts parts = writeUploadParts();

    LoopbackHTTPServer server;
    server.route("/upload", LoopbackHTTPServer::fixed(200, {{"Content-Type", "application/json"}}, R"({"ok":true})"));
    auto manager = make(server.url("/"));
    auto outcome = std::make_shared<Outcome>();
    auto task = manager->POST(
        "upload", Value(Value::Dictionary{{"title", "caf\xc3\xa9"}}),
        [&](NKMultipartFormData& form) { appendUploadParts(form, parts); },
        onSuccess(outcome), onFailure(outcome));
    ASSERT_TRUE(std::dynamic_pointer_cast<NSURLSessionUploadTask>(task));
    wait(outcome);
    ASSERT_FALSE(outcome->error) << outcome->error->description();
    EXPECT_EQ(outcome->object, Value(Value::Dictionary{{"ok", true}}));

    std::ostringstream expected;
    expected << "title None text/plain " << sha256Hex("caf\xc3\xa9") << "\n"
             << uploadPartsAsMail(parts);
    EXPECT_EQ(readAsMail(server.requests().back()), expected.str());
}

TEST_F(NKHTTPSessionManagerTest, AStreamPartOfAnotherLengthThanDeclaredFailsTheUpload) {
    LoopbackHTTPServer server;
    server.route("/upload", LoopbackHTTPServer::fixed(200, {{"Content-Type", "application/json"}}, R"({"ok":true})"));
    auto manager = make(server.url("/"));
    constexpr std::size_t kDeclared = 70000;
    struct Case {
        const char* name;
        std::size_t given;
        const char* reason;  // empty: the upload succeeds
    };
    const Case cases[] = {
        {"exact", kDeclared, ""},
        {"short", kDeclared - 3, "Body part \"log\" (log.txt) ended after 69997 of its 70000 declared bytes"},
        {"long", kDeclared + 3, "Body part \"log\" (log.txt) has more than its 70000 declared bytes"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::size_t before = server.requestCount();
        auto outcome = std::make_shared<Outcome>();
        manager->POST(
            "upload", Value(Value::Dictionary{{"title", "t"}}),
            [&](NKMultipartFormData& form) {
                form.appendPartWithInputStream(NSInputStream::inputStreamWithData(NSData::dataWithString(std::string(c.given, 's'))), "log",
                                               "log.txt", static_cast<std::int64_t>(kDeclared), "text/plain");
            },
            onSuccess(outcome), onFailure(outcome));
        wait(outcome);
        if (*c.reason == '\0') {
            ASSERT_FALSE(outcome->error) << outcome->error->description();
            ASSERT_EQ(server.requestCount(), before + 1);
            const LoopbackRequest request = server.requests().back();
            EXPECT_EQ(request.header("Content-Length").value_or(""), std::to_string(request.body.size()));
            continue;
        }
        ASSERT_TRUE(outcome->error);
        EXPECT_EQ(outcome->error->domain(), NKNetworkingErrorDomain);
        EXPECT_EQ(outcome->error->code(), NSURLErrorRequestBodyStreamExhausted);
        EXPECT_EQ(outcome->error->localizedDescription(), c.reason);
        // The server never saw a whole request: the body was cut before its announced end.
        EXPECT_EQ(server.requestCount(), before);
    }
}

} // namespace
