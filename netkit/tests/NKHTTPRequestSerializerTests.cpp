#include "netkit/NKHTTPRequestSerializer.h"
#include "netkit/NKMultipartBodyStream.h"
#include "platform/foundation/NSKeyedArchiver.h"
#include "platform/foundation/NSKeyedUnarchiver.h"
#include "platform/net/NSURLError.h"
#include "platform/system/DeviceProfile.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/testsupport/RunLoopSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

namespace {

class NKHTTPRequestSerializerTest : public DeviceTest {
protected:
    void TearDown() override {
        DeviceProfile::reset();
        DeviceTest::TearDown();
    }
    static std::string body(const NSURLRequestPtr& request) {
        return request->HTTPBody() ? std::string(request->HTTPBody()->stringView()) : std::string("<none>");
    }
};

Value sampleParameters() {
    return Value(Value::Dictionary{{"n", Value()},
                                   {"c", Value(Value::Dictionary{{"d", "e"}})},
                                   {"b", Value(Value::Array{"1", "2"})},
                                   {"a", "x y"}});
}

TEST_F(NKHTTPRequestSerializerTest, ParametersGoIntoTheQueryOrAFormBody) {
    struct Case {
        const char* name;
        const char* method;
        const char* url;
        Value parameters;
        const char* expectedURL;
        const char* expectedBody;
        const char* expectedContentType;
    };
    const Value nested(Value::Dictionary{
        {"user", Value(Value::Dictionary{{"tags", Value(Value::Array{"x", "y"})}, {"name", "a"}})}});
    const Case cases[] = {
        {"flattened in key order", "GET", "http://h/p", sampleParameters(), "http://h/p?a=x%20y&b[]=1&b[]=2&c[d]=e&n", "<none>", ""},
        {"nested", "DELETE", "http://h/p", nested, "http://h/p?user[name]=a&user[tags][]=x&user[tags][]=y", "<none>", ""},
        {"existing query", "HEAD", "http://h/p?z=1", Value(Value::Dictionary{{"q", "a&b=c"}}), "http://h/p?z=1&q=a%26b%3Dc", "<none>", ""},
        {"lower-case get", "get", "http://h/p", Value(Value::Dictionary{{"q", "1"}}), "http://h/p?q=1", "<none>", ""},
        {"empty GET", "GET", "http://h/p", Value(Value::Dictionary{}), "http://h/p?", "<none>", ""},
        {"no parameters", "POST", "http://h/p", Value(), "http://h/p", "<none>", ""},
        {"empty POST", "POST", "http://h/p", Value(Value::Dictionary{}), "http://h/p", "",
         "application/x-www-form-urlencoded; charset=utf-8"},
        {"form body", "PUT", "http://h/p", Value(Value::Dictionary{{"k[]", "\xc3\xa9/?"}, {"i", 3}}), "http://h/p",
         "i=3&k[]=%C3%A9%2F%3F", "application/x-www-form-urlencoded; charset=utf-8"},
    };
    auto serializer = NKHTTPRequestSerializer::serializer();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        NSErrorPtr error;
        auto request = serializer->requestWithMethod(c.method, c.url, c.parameters, &error);
        ASSERT_TRUE(request);
        EXPECT_FALSE(error);
        EXPECT_EQ(request->URL()->absoluteString(), c.expectedURL);
        EXPECT_EQ(body(request), c.expectedBody);
        EXPECT_EQ(request->valueForHTTPHeaderField("Content-Type"), c.expectedContentType);
    }
}

TEST_F(NKHTTPRequestSerializerTest, SettingsAndHeadersReachTheRequestButTheRequestsOwnHeadersWin) {
    auto serializer = NKHTTPRequestSerializer::serializer();
    serializer->setTimeoutInterval(12);
    serializer->setAllowsCellularAccess(false);
    serializer->setHTTPShouldUsePipelining(true);
    serializer->setNetworkServiceType(NSURLNetworkServiceTypeBackground);
    serializer->setCachePolicy(NSURLRequestReloadIgnoringLocalCacheData);
    serializer->setValueForHTTPHeaderField("yes", "X-Default");
    auto request = serializer->requestWithMethod("POST", "http://h/p", Value());
    EXPECT_EQ(request->timeoutInterval(), 12);
    EXPECT_FALSE(request->allowsCellularAccess());
    EXPECT_TRUE(request->HTTPShouldUsePipelining());
    EXPECT_EQ(request->networkServiceType(), NSURLNetworkServiceTypeBackground);
    EXPECT_EQ(request->cachePolicy(), NSURLRequestReloadIgnoringLocalCacheData);
    EXPECT_EQ(request->valueForHTTPHeaderField("X-Default"), "yes");

    auto own = NSURLRequest::requestWithURL(NSURL::URLWithString("http://h/p"));
    own->setHTTPMethod("POST");
    own->setValueForHTTPHeaderField("Mine/1.0", "User-Agent");
    own->setValueForHTTPHeaderField("text/plain", "Content-Type");
    auto serialized = serializer->requestBySerializingRequest(own, Value(Value::Dictionary{{"a", "b"}}), nullptr);
    EXPECT_EQ(serialized->valueForHTTPHeaderField("User-Agent"), "Mine/1.0");
    EXPECT_EQ(serialized->valueForHTTPHeaderField("Content-Type"), "text/plain");
    EXPECT_EQ(serialized->valueForHTTPHeaderField("X-Default"), "yes");
    EXPECT_EQ(body(serialized), "a=b");
}

TEST_F(NKHTTPRequestSerializerTest, AnUnusableURLStringGivesNoRequestAndABadURLError) {
    NSErrorPtr error;
    EXPECT_FALSE(NKHTTPRequestSerializer::serializer()->requestWithMethod("GET", "http://bad host/", Value(), &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), NSURLErrorDomain);
    EXPECT_EQ(error->code(), NSURLErrorBadURL);
}

TEST_F(NKHTTPRequestSerializerTest, AcceptLanguageWeighsAtMostSixLanguages) {
    struct Case {
        const char* name;
        const char* all;
        const char* language;
        const char* expected;
    };
    const Case cases[] = {
        {"none", "C", "", ""},
        {"two", "en_US.UTF-8", "fr", "fr;q=1, en-US;q=0.9"},
        {"seven", "en_US.UTF-8", "de:fr:it:es:nl:pt", "de;q=1, fr;q=0.9, it;q=0.8, es;q=0.7, nl;q=0.6, pt;q=0.5"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        setenv("LC_ALL", c.all, 1);
        setenv("LANGUAGE", c.language, 1);
        EXPECT_EQ(NKHTTPRequestSerializer::serializer()->HTTPRequestHeaders()["Accept-Language"], c.expected);
    }
    unsetenv("LC_ALL");
    unsetenv("LANGUAGE");
}

// The main bundle is made once per process: each User-Agent case is a test of its own.
void useBundle(const TemporaryFolder& folder, const std::string& executable) {
    std::ofstream(folder.path() + "/Info.plist")
        << "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><dict><key>CFBundleExecutable</key><string>"
        << executable << "</string><key>CFBundleVersion</key><string>2.3</string></dict></plist>";
    setenv("TANDREL_RESOURCES", folder.path().c_str(), 1);
    DeviceProfile::update([](DeviceProfile& p) {
        p.model = "iPad";
        p.systemVersion = "7.1";
        p.screenScale = 2;
    });
}

TEST_F(NKHTTPRequestSerializerTest, UserAgentNamesTheAppAndTheDevice) {
    TemporaryFolder folder;
    useBundle(folder, "Sample");
    EXPECT_EQ(NKHTTPRequestSerializer::serializer()->HTTPRequestHeaders()["User-Agent"], "Sample/2.3 (iPad; iOS 7.1; Scale/2.00)");
}

TEST_F(NKHTTPRequestSerializerTest, UserAgentIsMadeASCII) {
    TemporaryFolder folder;
    useBundle(folder, "S\xc3\xa4mpl\xc3\xa9\xe6\x97\xa5");
    EXPECT_EQ(NKHTTPRequestSerializer::serializer()->HTTPRequestHeaders()["User-Agent"], "Sample/2.3 (iPad; iOS 7.1; Scale/2.00)");
}

TEST_F(NKHTTPRequestSerializerTest, AuthorizationHeaders) {
    const std::pair<std::pair<std::string, std::string>, std::string> cases[] = {
        {{"", ""}, "Basic Og=="},
        {{"user", "pass"}, "Basic dXNlcjpwYXNz"},
        {{"\xc3\xbc", "p\xc3\xa4ssword"}, "Basic w7w6cMOkc3N3b3Jk"},
    };
    auto serializer = NKHTTPRequestSerializer::serializer();
    for (const auto& [credentials, expected] : cases) {
        serializer->setAuthorizationHeaderFieldWithUsernamePassword(credentials.first, credentials.second);
        EXPECT_EQ(serializer->HTTPRequestHeaders()["Authorization"], expected);
    }
    serializer->setAuthorizationHeaderFieldWithToken("abc");
    EXPECT_EQ(serializer->HTTPRequestHeaders()["Authorization"], "Token token=\"abc\"");
    serializer->clearAuthorizationHeader();
    EXPECT_FALSE(serializer->HTTPRequestHeaders().count("Authorization"));
}

TEST_F(NKHTTPRequestSerializerTest, CopiesAndArchivesKeepHeadersButNotSettings) {
    auto serializer = NKHTTPRequestSerializer::serializer();
    serializer->setTimeoutInterval(30);
    serializer->setValueForHTTPHeaderField("v", "X-Kept");
    serializer->setQueryStringSerializationWithBlock([](const NSURLRequestPtr&, const Value&, NSErrorPtr*) {
        return std::optional<std::string>("custom");
    });
    auto copy = serializer->copy();
    EXPECT_EQ(copy->timeoutInterval(), 60);
    EXPECT_EQ(copy->HTTPRequestHeaders(), serializer->HTTPRequestHeaders());
    EXPECT_EQ(copy->requestWithMethod("GET", "http://h/", Value(Value::Dictionary{}))->URL()->absoluteString(), "http://h/?custom");

    serializer->setQueryStringSerializationWithStyle(0);
    auto decoded = NSKeyedUnarchiver::unarchiveObjectWithData(*NSKeyedArchiver::archivedDataWithRootObject(Value(serializer)))
                       .objectAs<NKHTTPRequestSerializer>();
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->HTTPRequestHeaders(), serializer->HTTPRequestHeaders());
    EXPECT_EQ(decoded->timeoutInterval(), 60);
}

TEST_F(NKHTTPRequestSerializerTest, MultipartRequestsCarryParametersAsParts) {
    auto serializer = NKHTTPRequestSerializer::serializer();
    Value parameters(Value::Dictionary{{"n", Value()}, {"t", "text"}, {"d", Value(Value::Data{'\x01', '\x02'})}});
    auto request = serializer->multipartFormRequestWithMethod("POST", "http://h/up", parameters, [](NKMultipartFormData& form) {
        form.appendPartWithFileData(NSData::dataWithString("F"), "f", "f.txt", "text/plain");
    });
    ASSERT_TRUE(request);
    auto stream = std::dynamic_pointer_cast<NKMultipartBodyStream>(request->HTTPBodyStream());
    ASSERT_TRUE(stream);
    ASSERT_EQ(stream->HTTPBodyParts().size(), 4u);
    EXPECT_EQ(stream->HTTPBodyParts()[1]->headers()[0].second, "form-data; name=\"n\"");
    EXPECT_EQ(stream->HTTPBodyParts()[1]->bodyContentLength(), 0u);
    EXPECT_EQ(stream->HTTPBodyParts()[0]->bodyContentLength(), 2u);
    EXPECT_EQ(request->valueForHTTPHeaderField("Content-Length"), std::to_string(stream->contentLength()));
}

TEST_F(NKHTTPRequestSerializerTest, SpoolingWritesEveryByteOrReportsTheStreamError) {
    auto serializer = NKHTTPRequestSerializer::serializer();
    auto multipart = [&] {
        return serializer->multipartFormRequestWithMethod("POST", "http://h/up", Value(), [](NKMultipartFormData& form) {
            form.appendPartWithFileData(NSData::dataWithString(std::string(5000, 'z')), "f", "f.bin", "application/octet-stream");
        });
    };
    auto request = multipart();
    auto expectedLength = std::dynamic_pointer_cast<NKMultipartBodyStream>(request->HTTPBodyStream())->contentLength();
    bool done = false;
    NSErrorPtr result = NSError::errorWithDomain("unset", 0);
    auto spooled = serializer->requestWithMultipartFormRequestWritingStreamContentsToFile(
        request, NSURL::fileURLWithPath("/tmp/spool.bin"), [&](const NSErrorPtr& error) {
            result = error;
            done = true;
        });
    EXPECT_FALSE(spooled->HTTPBodyStream());
    ASSERT_TRUE(runMainUntil([&] { return done; }));
    EXPECT_FALSE(result);
    EXPECT_EQ(readFile("/tmp/spool.bin").size(), expectedLength);

    done = false;
    serializer->requestWithMultipartFormRequestWritingStreamContentsToFile(
        multipart(), NSURL::fileURLWithPath("/no/such/folder/spool.bin"), [&](const NSErrorPtr& error) {
            result = error;
            done = true;
        });
    ASSERT_TRUE(runMainUntil([&] { return done; }));
    ASSERT_TRUE(result);
    EXPECT_EQ(result->code(), ENOENT);

    bool called = false;
    auto plain = serializer->requestWithMethod("POST", "http://h/", Value());
    auto same = serializer->requestWithMultipartFormRequestWritingStreamContentsToFile(
        plain, NSURL::fileURLWithPath("/tmp/x"), [&](const NSErrorPtr&) { called = true; });
    drainMain();
    EXPECT_FALSE(called);
    EXPECT_EQ(same->URL()->absoluteString(), "http://h/");
}

} // namespace
