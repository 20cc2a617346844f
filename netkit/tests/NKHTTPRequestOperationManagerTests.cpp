#include "ManagerTest.h"
#include "netkit/NKHTTPRequestOperationManager.h"
#include "netkit/NKJSONRequestSerializer.h"
#include "netkit/NKJSONResponseSerializer.h"
#include "platform/foundation/NSKeyedArchiver.h"
#include "platform/foundation/NSKeyedUnarchiver.h"
#include "platform/net/NSURLError.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/testsupport/LoopbackHTTPServer.h"
#include "platform/testsupport/RunLoopSupport.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace {

class NKHTTPRequestOperationManagerTest : public ManagerTest<NKHTTPRequestOperationPtr> {};

TEST_F(NKHTTPRequestOperationManagerTest, RelativePathsResolveBelowTheBase) {
    LoopbackHTTPServer server;
    server.route("/api/users", LoopbackHTTPServer::fixed(200, {{"Content-Type", "application/json"}}, R"({"users":[1,2]})"));
    server.route("/users", LoopbackHTTPServer::fixed(200, {{"Content-Type", "application/json"}}, "[]"));
    struct Case {
        std::string base, expectedBase, path;
        Value expected;
    };
    const Case cases[] = {
        {server.url("/api"), server.url("/api/"), "/api/users", Value(Value::Dictionary{{"users", Value(Value::Array{1, 2})}})},
        {server.url(""), server.url(""), "/users", Value(Value::Array{})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.base);
        auto manager = std::make_shared<NKHTTPRequestOperationManager>(NSURL::URLWithString(c.base));
        EXPECT_EQ(manager->baseURL()->absoluteString(), c.expectedBase);
        auto outcome = std::make_shared<Outcome>();
        ASSERT_TRUE(manager->GET("users", Value(), onSuccess(outcome), onFailure(outcome)));
        wait(outcome);
        EXPECT_FALSE(outcome->error);
        EXPECT_EQ(outcome->object, c.expected);
        EXPECT_EQ(server.requests().back().path, c.path);
    }
}

TEST_F(NKHTTPRequestOperationManagerTest, GzipAndDeflateBodiesArriveDecoded) {
    LoopbackHTTPServer server;
    auto manager = std::make_shared<NKHTTPRequestOperationManager>(NSURL::URLWithString(server.url("/")));
    for (const CodedAnswer& answer : serveCodedJSON(server)) {
        SCOPED_TRACE(answer.path);
        auto outcome = std::make_shared<Outcome>();
        ASSERT_TRUE(manager->GET(answer.path, Value(), onSuccess(outcome), onFailure(outcome)));
        wait(outcome);
        expectCodedOutcome(answer, *outcome);
    }
}

TEST_F(NKHTTPRequestOperationManagerTest, HeadSucceedsWithTheOperationAlone) {
    LoopbackHTTPServer server;
    server.route("/h", LoopbackHTTPServer::fixed(200, {{"Content-Type", "application/json"}}, ""));
    auto manager = std::make_shared<NKHTTPRequestOperationManager>(NSURL::URLWithString(server.url("/")));
    auto outcome = std::make_shared<Outcome>();
    auto operation = manager->HEAD(
        "h", Value(Value::Dictionary{{"q", "1"}}),
        onHeadSuccess(outcome), onFailure(outcome));
    wait(outcome);
    EXPECT_EQ(outcome->arguments, 1);
    EXPECT_EQ(outcome->handle, operation);
    EXPECT_EQ(server.requests().back().method, "HEAD");
    EXPECT_EQ(server.requests().back().target, "/h?q=1");
}

TEST_F(NKHTTPRequestOperationManagerTest, RequestsThatCannotBeBuiltFailWithoutATransfer) {
    LoopbackHTTPServer server;
    auto manager = std::make_shared<NKHTTPRequestOperationManager>(NSURL::URLWithString(server.url("/")));
    struct Case {
        const char* name;
        std::shared_ptr<NKHTTPRequestSerializer> serializer;
        std::string path;
        Value parameters;
        std::string domain;
        long code;
    };
    const Case cases[] = {
        {"unusable URL", NKHTTPRequestSerializer::serializer(), "http://bad host/", Value(), NSURLErrorDomain, NSURLErrorBadURL},
        {"unencodable body", NKJSONRequestSerializer::serializer(), "p", Value(Value::Dictionary{{"x", std::nan("")}}),
         NSCocoaErrorDomain, NSPropertyListWriteInvalidError},
        // What an archive without a serializer decodes to.
        {"no serializer", nullptr, "p", Value(), NKNetworkingErrorDomain, NSURLErrorBadURL},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        manager->setRequestSerializer(c.serializer);
        auto outcome = std::make_shared<Outcome>();
        EXPECT_FALSE(manager->POST(c.path, c.parameters, onSuccess(outcome), onFailure(outcome)));
        if (!c.serializer) {
            EXPECT_FALSE(manager->GET(c.path, c.parameters, nullptr, nullptr));
            EXPECT_FALSE(manager->POST(c.path, c.parameters, [](NKMultipartFormData&) {}, nullptr, nullptr));
        }
        wait(outcome);
        ASSERT_TRUE(outcome->error);
        EXPECT_EQ(outcome->error->domain(), c.domain);
        EXPECT_EQ(outcome->error->code(), c.code);
        EXPECT_FALSE(outcome->handle);
    }
    EXPECT_EQ(server.requestCount(), 0u);
}

std::shared_ptr<NKNetworkReachabilityManager> loopbackReachability() {
    sockaddr_in loopback{};
    loopback.sin_family = AF_INET;
    loopback.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return NKNetworkReachabilityManager::managerForAddress(reinterpret_cast<const sockaddr*>(&loopback));
}

// A manager an application derives to add its own behaviour.
class AppAPIManager : public NKHTTPRequestOperationManager {
public:
    using NKHTTPRequestOperationManager::NKHTTPRequestOperationManager;

protected:
    std::shared_ptr<NKHTTPRequestOperationManager> makeEmpty() const override { return std::make_shared<AppAPIManager>(); }
};

TEST_F(NKHTTPRequestOperationManagerTest, CopiesKeepTheClassAndTheBaseAndResetTheRest) {
    struct Case {
        const char* name;
        std::shared_ptr<NKHTTPRequestOperationManager> manager;
        const char* className;
    };
    const Case cases[] = {
        {"manager", std::make_shared<NKHTTPRequestOperationManager>(NSURL::URLWithString("http://h/api")), "NKHTTPRequestOperationManager"},
        {"subclass", std::make_shared<AppAPIManager>(NSURL::URLWithString("http://h/api")), "AppAPIManager"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto& manager = c.manager;
        EXPECT_EQ(manager->reachabilityManager(), NKNetworkReachabilityManager::sharedManager());
        manager->setRequestSerializer(NKJSONRequestSerializer::serializerWithWritingOptions(1));
        manager->setShouldUseCredentialStorage(false);
        manager->setCredential(NSURLCredential::credentialWithUser("u", "p", NSURLCredentialPersistenceNone));
        manager->setSecurityPolicy(NKSecurityPolicy::policyWithPinningMode(NKSSLPinningModeCertificate));
        manager->setReachabilityManager(loopbackReachability());

        auto copy = manager->copy();
        EXPECT_EQ(copy->className(), c.className);
        EXPECT_EQ(copy->baseURL()->absoluteString(), "http://h/api/");
        EXPECT_NE(copy->requestSerializer(), manager->requestSerializer());
        EXPECT_NE(copy->responseSerializer(), manager->responseSerializer());
        EXPECT_TRUE(std::dynamic_pointer_cast<NKJSONRequestSerializer>(copy->requestSerializer()));
        EXPECT_TRUE(std::dynamic_pointer_cast<NKJSONResponseSerializer>(copy->responseSerializer()));
        EXPECT_NE(copy->operationQueue(), manager->operationQueue());
        EXPECT_TRUE(copy->shouldUseCredentialStorage());
        EXPECT_FALSE(copy->credential());
        EXPECT_EQ(copy->securityPolicy()->SSLPinningMode(), NKSSLPinningModeNone);
        EXPECT_EQ(copy->reachabilityManager(), NKNetworkReachabilityManager::sharedManager());
        EXPECT_NE(copy->description().find(std::string("<") + c.className + ": "), std::string::npos);
    }
}

TEST_F(NKHTTPRequestOperationManagerTest, TheReachabilityManagerIsHeldButNeverStarted) {
    LoopbackHTTPServer server;
    server.route("/p", LoopbackHTTPServer::fixed(200, {{"Content-Type", "application/json"}}, "{}"));
    auto manager = std::make_shared<NKHTTPRequestOperationManager>(NSURL::URLWithString(server.url("/")));
    auto reachability = loopbackReachability();
    manager->setReachabilityManager(reachability);
    auto outcome = std::make_shared<Outcome>();
    manager->GET("p", Value(), onSuccess(outcome), onFailure(outcome));
    wait(outcome);
    EXPECT_FALSE(outcome->error);
    EXPECT_EQ(manager->reachabilityManager(), reachability);
    // Only a started manager ever learns a status.
    EXPECT_EQ(reachability->networkReachabilityStatus(), NKNetworkReachabilityStatusUnknown);
}

TEST_F(NKHTTPRequestOperationManagerTest, ArchivesKeepTheBaseAndTheSerializers) {
    auto manager = std::make_shared<NKHTTPRequestOperationManager>(NSURL::URLWithString("http://h/api"));
    manager->setRequestSerializer(NKJSONRequestSerializer::serializerWithWritingOptions(1));
    EXPECT_NE(manager->description().find("baseURL: http://h/api/, operationQueue: "), std::string::npos);

    auto data = NSKeyedArchiver::archivedDataWithRootObject(Value(std::static_pointer_cast<NSObject>(manager)));
    auto decoded = NSKeyedUnarchiver::unarchiveObjectWithData(*data).objectAs<NKHTTPRequestOperationManager>();
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->baseURL()->absoluteString(), "http://h/api/");
    EXPECT_TRUE(std::dynamic_pointer_cast<NKJSONRequestSerializer>(decoded->requestSerializer()));
}

TEST_F(NKHTTPRequestOperationManagerTest, MultipartBodiesPostedThroughTheManagerParseAsMail) {
    const UploadParts parts = writeUploadParts();

    LoopbackHTTPServer server;
    server.route("/upload", LoopbackHTTPServer::fixed(200, {{"Content-Type", "application/json"}}, R"({"ok":true})"));
    auto manager = std::make_shared<NKHTTPRequestOperationManager>(NSURL::URLWithString(server.url("/")));
    auto outcome = std::make_shared<Outcome>();
    manager->POST(
        "upload", Value(Value::Dictionary{{"title", "caf\xc3\xa9"}, {"tags", Value(Value::Array{"a", "b"})}}),
        [&](NKMultipartFormData& form) { appendUploadParts(form, parts); },
        onSuccess(outcome), onFailure(outcome));
    wait(outcome);
    ASSERT_FALSE(outcome->error) << outcome->error->description();
    EXPECT_EQ(outcome->object, Value(Value::Dictionary{{"ok", true}}));

    std::ostringstream expected;
    expected << "tags[] None text/plain " << sha256Hex("a") << "\n"
             << "tags[] None text/plain " << sha256Hex("b") << "\n"
             << "title None text/plain " << sha256Hex("caf\xc3\xa9") << "\n"
             << uploadPartsAsMail(parts);
    EXPECT_EQ(readAsMail(server.requests().back()), expected.str());
}

} // namespace
