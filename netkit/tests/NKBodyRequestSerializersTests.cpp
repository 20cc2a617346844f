#include "netkit/NKJSONRequestSerializer.h"
#include "netkit/NKPropertyListRequestSerializer.h"
#include "platform/foundation/NSJSONSerialization.h"
#include "platform/foundation/NSPropertyListSerialization.h"
#include "platform/testsupport/DeviceTest.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

class NKBodyRequestSerializersTest : public DeviceTest {};

const Value kParameters(Value::Dictionary{{"q", "x"}, {"n", 2}});

std::string text(const NSDataPtr& data) { return data ? std::string(data->stringView()) : "<none>"; }

TEST_F(NKBodyRequestSerializersTest, BodiesAreJSONOrPropertyListsAndQueriesStayQueries) {
    std::vector<std::pair<std::string, std::shared_ptr<NKHTTPRequestSerializer>>> serializers = {
        {"application/json; charset=utf-8", NKJSONRequestSerializer::serializer()},
        {"application/x-plist; charset=utf-8", NKPropertyListRequestSerializer::serializer()},
    };
    for (auto& [contentType, serializer] : serializers) {
        SCOPED_TRACE(contentType);
        serializer->setStringEncoding(NSISOLatin1StringEncoding);
        auto get = serializer->requestWithMethod("GET", "http://h/p", kParameters);
        EXPECT_EQ(get->URL()->absoluteString(), "http://h/p?n=2&q=x");
        EXPECT_FALSE(get->HTTPBody());

        NSErrorPtr error;
        auto post = serializer->requestWithMethod("POST", "http://h/p", kParameters, &error);
        ASSERT_TRUE(post);
        EXPECT_FALSE(error);
        EXPECT_EQ(post->valueForHTTPHeaderField("Content-Type"), contentType);
        EXPECT_FALSE(post->valueForHTTPHeaderField("User-Agent").empty());
        ASSERT_TRUE(post->HTTPBody());
        std::optional<Value> decoded = contentType.find("json") != std::string::npos
                                           ? NSJSONSerialization::JSONObjectWithData(*post->HTTPBody())
                                           : NSPropertyListSerialization::propertyListWithData(*post->HTTPBody());
        ASSERT_TRUE(decoded);
        EXPECT_EQ(*decoded, kParameters);

        auto none = serializer->requestWithMethod("POST", "http://h/p", Value());
        EXPECT_FALSE(none->HTTPBody());
        EXPECT_EQ(none->valueForHTTPHeaderField("Content-Type"), "");

        auto own = NSURLRequest::requestWithURL(NSURL::URLWithString("http://h/p"));
        own->setHTTPMethod("PUT");
        own->setValueForHTTPHeaderField("text/x-mine", "Content-Type");
        auto kept = serializer->requestBySerializingRequest(own, kParameters, nullptr);
        EXPECT_EQ(kept->valueForHTTPHeaderField("Content-Type"), "text/x-mine");
        EXPECT_TRUE(kept->HTTPBody());
    }
    auto plist = NKPropertyListRequestSerializer::serializer()->requestWithMethod("POST", "http://h/p", kParameters);
    EXPECT_EQ(text(plist->HTTPBody()).rfind("<?xml", 0), 0u);
}

TEST_F(NKBodyRequestSerializersTest, AnEncoderFailureGivesNoRequestButTheEncodersError) {
    const Value notJSON(Value::Dictionary{{"x", std::nan("")}});
    const Value notPlist(Value::Dictionary{{"x", Value()}});
    std::vector<std::tuple<std::string, std::shared_ptr<NKHTTPRequestSerializer>, Value>> cases = {
        {"JSON", NKJSONRequestSerializer::serializer(), notJSON},
        {"plist", NKPropertyListRequestSerializer::serializer(), notPlist},
    };
    for (auto& [name, serializer, parameters] : cases) {
        SCOPED_TRACE(name);
        NSErrorPtr error;
        EXPECT_FALSE(serializer->requestWithMethod("POST", "http://h/p", parameters, &error));
        ASSERT_TRUE(error);
        EXPECT_EQ(error->domain(), NSCocoaErrorDomain);
        EXPECT_FALSE(serializer->requestWithMethod("POST", "http://h/p", parameters));
    }
}

TEST_F(NKBodyRequestSerializersTest, CopiesKeepOwnOptionsOnly) {
    auto json = NKJSONRequestSerializer::serializerWithWritingOptions(NSJSONWritingPrettyPrinted);
    json->setAuthorizationHeaderFieldWithToken("t");
    auto copy = std::dynamic_pointer_cast<NKJSONRequestSerializer>(json->copy());
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->writingOptions(), NSJSONWritingPrettyPrinted);
    EXPECT_FALSE(copy->HTTPRequestHeaders().count("Authorization"));
    auto plist = std::dynamic_pointer_cast<NKPropertyListRequestSerializer>(
        NKPropertyListRequestSerializer::serializerWithFormat(NSPropertyListBinaryFormat_v1_0, 0)->copy());
    ASSERT_TRUE(plist);
    EXPECT_EQ(plist->format(), NSPropertyListBinaryFormat_v1_0);
}

} // namespace
