#include "netkit/NKHTTPResponseSerializer.h"
#include "platform/net/NSHTTPURLResponse.h"

#include <gtest/gtest.h>

namespace {

NSHTTPURLResponsePtr response(long status, const std::string& contentType = "text/plain") {
    NSHTTPHeaderFields fields;
    if (!contentType.empty()) fields["Content-Type"] = contentType;
    return std::make_shared<NSHTTPURLResponse>(NSURL::URLWithString("http://example.com/a"), status, "HTTP/1.1", fields);
}

TEST(NKHTTPResponseSerializerTest, AcceptsSuccessAndAnyTypeByDefault) {
    auto serializer = NKHTTPResponseSerializer::serializer();
    NSErrorPtr error;
    EXPECT_TRUE(serializer->validateResponse(response(200), NSData::dataWithString("x"), &error));
    EXPECT_FALSE(error);
    EXPECT_TRUE(serializer->validateResponse(nullptr, nullptr, &error));
    auto plain = std::make_shared<NSURLResponse>(NSURL::URLWithString("file:///a"), "text/plain", 1, "");
    EXPECT_TRUE(serializer->validateResponse(plain, nullptr, &error));
}

TEST(NKHTTPResponseSerializerTest, UnacceptableStatusGivesAFilledError) {
    auto serializer = NKHTTPResponseSerializer::serializer();
    auto notFound = response(404);
    NSErrorPtr error;
    auto body = NSData::dataWithString("missing");
    Value object = serializer->responseObjectForResponse(notFound, body, &error);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), "NKNetworkingErrorDomain");
    EXPECT_EQ(error->code(), -1011);
    EXPECT_EQ(error->localizedDescription(), "Request failed: not found (404)");
    EXPECT_EQ(error->userInfo().size(), 3u);
    EXPECT_EQ(error->userInfoValue(NSURLErrorFailingURLErrorKey).objectAs<NSURL>(), notFound->URL());
    EXPECT_EQ(error->userInfoValue(NKNetworkingOperationFailingURLResponseErrorKey).objectAs<NSHTTPURLResponse>(), notFound);
    // The body comes back even though it failed.
    EXPECT_EQ(object.objectAs<NSData>(), body);
}

TEST(NKHTTPResponseSerializerTest, ContentTypeAndStatusErrorsChain) {
    struct Case {
        const char* name;
        long status;
        std::string body;
        bool expectError;
        long code;
        bool expectUnderlying;
    };
    const Case cases[] = {
        {"status and type, with body", 500, "x", true, -1011, true},
        {"status and type, empty body", 500, "", true, -1011, false},
        {"type only, empty body", 200, "", false, 0, false},
        {"type only, with body", 200, "x", true, -1016, false},
    };
    for (const Case& c : cases) {
        auto serializer = NKHTTPResponseSerializer::serializer();
        serializer->setAcceptableContentTypes(std::set<std::string>{"application/json"});
        NSErrorPtr error = NSError::errorWithDomain("sentinel", 1);
        EXPECT_FALSE(serializer->validateResponse(response(c.status, "text/html; charset=utf-8"), NSData::dataWithString(c.body), &error))
            << c.name;
        ASSERT_EQ(error != nullptr, c.expectError) << c.name;
        if (!error) continue;
        EXPECT_EQ(error->code(), c.code) << c.name;
        auto underlying = error->underlyingError();
        EXPECT_EQ(underlying != nullptr, c.expectUnderlying) << c.name;
        if (underlying) {
            EXPECT_EQ(underlying->code(), -1016);
            EXPECT_EQ(underlying->localizedDescription(), "Request failed: unacceptable content-type: text/html");
        }
    }
}

TEST(NKHTTPResponseSerializerTest, NilStatusCodesAcceptAnyStatus) {
    auto serializer = NKHTTPResponseSerializer::serializer();
    serializer->setAcceptableStatusCodes(nullptr);
    EXPECT_TRUE(serializer->validateResponse(response(503), nullptr, nullptr));
}

TEST(NKHTTPResponseSerializerTest, ErrorChaining) {
    auto e = NSError::errorWithDomain("d", 1);
    auto u = NSError::errorWithDomain("u", 2);
    EXPECT_EQ(NKErrorWithUnderlyingError(nullptr, u), u);
    EXPECT_EQ(NKErrorWithUnderlyingError(e, nullptr), e);
    auto chained = NKErrorWithUnderlyingError(e, u);
    EXPECT_EQ(chained->domain(), "d");
    EXPECT_EQ(chained->underlyingError(), u);
    EXPECT_EQ(NKErrorWithUnderlyingError(chained, NSError::errorWithDomain("v", 3)), chained);
}

TEST(NKHTTPResponseSerializerTest, CopyKeepsTheSetsButNotTheEncoding) {
    auto serializer = NKHTTPResponseSerializer::serializer();
    serializer->setStringEncoding(NSASCIIStringEncoding);
    serializer->setAcceptableContentTypes(std::set<std::string>{"a/b"});
    serializer->setAcceptableStatusCodes(NSIndexSet::indexSetWithIndex(201));
    auto copy = serializer->copy();
    EXPECT_EQ(copy->stringEncoding(), NSUTF8StringEncoding);
    EXPECT_EQ(copy->acceptableContentTypes(), serializer->acceptableContentTypes());
    EXPECT_TRUE(copy->acceptableStatusCodes()->isEqual(serializer->acceptableStatusCodes().get()));
    EXPECT_NE(copy->acceptableStatusCodes(), serializer->acceptableStatusCodes());
}

} // namespace
