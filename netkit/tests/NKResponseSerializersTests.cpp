#include "netkit/NKCompoundResponseSerializer.h"
#include "netkit/NKJSONResponseSerializer.h"
#include "netkit/NKPropertyListResponseSerializer.h"
#include "netkit/NKXMLParserResponseSerializer.h"
#include "platform/foundation/NSKeyedArchiver.h"
#include "platform/foundation/NSKeyedUnarchiver.h"
#include "platform/foundation/NSXMLParser.h"
#include "platform/net/NSHTTPURLResponse.h"
#include "platform/net/NSURLError.h"
#include "platform/testsupport/ArchivedCopy.h"

#include <gtest/gtest.h>

namespace {

NSHTTPURLResponsePtr responseSerializersResponse(long status, const std::string& contentType) {
    NSHTTPHeaderFields fields;
    fields["Content-Type"] = contentType;
    return std::make_shared<NSHTTPURLResponse>(NSURL::URLWithString("http://example.com/r"), status, "HTTP/1.1", fields);
}

NSDataPtr responseSerializersBody(const std::string& text) { return NSData::dataWithString(text); }

NSErrorPtr beneath(const NSErrorPtr& error) { return error ? error->underlyingError() : nullptr; }

struct JSONCase {
    const char* name;
    long status;
    const char* contentType;
    std::string body;
    Value expected;
    long errorCode;          // 0: no error
    long underlyingCode = 0; // 0: nothing beneath
};

TEST(NKJSONResponseSerializerTest, Table) {
    const JSONCase cases[] = {
        {.name = "parsed", .status = 200, .contentType = "application/json", .body = R"({"a":[1,"x"]})",
         .expected = Value(Value::Dictionary{{"a", Value(Value::Array{1, "x"})}}), .errorCode = 0},
        // Refused by type: never parsed, so even broken JSON gives only the type error.
        {.name = "html refused", .status = 200, .contentType = "text/html", .body = "{broken", .expected = Value(),
         .errorCode = NSURLErrorCannotDecodeContentData},
        {.name = "500 with JSON", .status = 500, .contentType = "application/json", .body = "[true]",
         .expected = Value(Value::Array{true}), .errorCode = NSURLErrorBadServerResponse},
        {.name = "ISO-8859-1", .status = 200, .contentType = "text/json; charset=ISO-8859-1", .body = "[\"caf\xe9\"]",
         .expected = Value(Value::Array{"caf\xc3\xa9"}), .errorCode = 0},
        {.name = "one blank", .status = 200, .contentType = "application/json", .body = " ", .expected = Value(), .errorCode = 0},
        {.name = "empty", .status = 200, .contentType = "application/json", .body = "", .expected = Value(), .errorCode = 0},
        {.name = "malformed", .status = 200, .contentType = "application/json", .body = "{", .expected = Value(),
         .errorCode = 3840},
        {.name = "malformed under 404", .status = 404, .contentType = "application/json", .body = "{", .expected = Value(),
         .errorCode = 3840, .underlyingCode = NSURLErrorBadServerResponse},
        // Bytes that are not UTF-8 fail loudly instead of passing for an empty answer.
        {.name = "undecodable", .status = 200, .contentType = "application/json", .body = "[\"\xff\xfe\"]",
         .expected = Value(), .errorCode = NSURLErrorCannotDecodeContentData},
        {.name = "undecodable under 500", .status = 500, .contentType = "application/json", .body = "\xc3", .expected = Value(),
         .errorCode = NSURLErrorCannotDecodeContentData, .underlyingCode = NSURLErrorBadServerResponse},
    };
    for (const JSONCase& c : cases) {
        SCOPED_TRACE(c.name);
        NSErrorPtr error;
        Value object = NKJSONResponseSerializer::serializer()->responseObjectForResponse(responseSerializersResponse(c.status, c.contentType),
                                                                                        responseSerializersBody(c.body), &error);
        EXPECT_EQ(object, c.expected);
        EXPECT_EQ(error ? error->code() : 0, c.errorCode);
        EXPECT_EQ(beneath(error) ? beneath(error)->code() : 0, c.underlyingCode);
    }
}

TEST(NKJSONResponseSerializerTest, RemovesKeysWithNullValuesAtEveryDepth) {
    auto serializer = NKJSONResponseSerializer::serializer();
    serializer->setRemovesKeysWithNullValues(true);
    NSErrorPtr error;
    Value object = serializer->responseObjectForResponse(responseSerializersResponse(200, "application/json"),
                                                         responseSerializersBody(R"({"a":null,"b":[null,{"c":null}]})"), &error);
    EXPECT_FALSE(error);
    EXPECT_EQ(object, Value(Value::Dictionary{{"b", Value(Value::Array{Value(), Value(Value::Dictionary{})})}}));
}

TEST(NKResponseSerializersTest, XMLGivesAnUnrunParserAndPlistParses) {
    NSErrorPtr error;
    Value parser = NKXMLParserResponseSerializer::serializer()->responseObjectForResponse(responseSerializersResponse(200, "text/xml"),
                                                                                         responseSerializersBody("<a/>"), &error);
    ASSERT_TRUE(parser.objectAs<NSXMLParser>());
    EXPECT_TRUE(parser.objectAs<NSXMLParser>()->parse());
    EXPECT_TRUE(NKXMLParserResponseSerializer::serializer()
                    ->responseObjectForResponse(responseSerializersResponse(200, "application/json"), responseSerializersBody("<a/>"), &error)
                    .isNull());
    EXPECT_EQ(error->code(), NSURLErrorCannotDecodeContentData);

    auto plist = NKPropertyListResponseSerializer::serializer();
    error.reset();
    const std::string xml = "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>k</key><integer>3</integer></dict></plist>";
    EXPECT_EQ(plist->responseObjectForResponse(responseSerializersResponse(200, "application/x-plist"), responseSerializersBody(xml), &error),
              Value(Value::Dictionary{{"k", 3}}));
    EXPECT_FALSE(error);
    EXPECT_TRUE(plist->responseObjectForResponse(responseSerializersResponse(200, "application/x-plist"), responseSerializersBody("nope"), &error).isNull());
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), NSPropertyListReadCorruptError);
}

TEST(NKResponseSerializersTest, CompoundTakesTheFirstObjectAndKeepsThePriorError) {
    auto compound = NKCompoundResponseSerializer::compoundSerializerWithResponseSerializers(
        {NKJSONResponseSerializer::serializer(), NKPropertyListResponseSerializer::serializer()});
    auto prior = NSError::errorWithDomain("prior", 1);
    NSErrorPtr error = prior;
    const std::string xml = "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><true/></array></plist>";
    EXPECT_EQ(compound->responseObjectForResponse(responseSerializersResponse(200, "application/x-plist"), responseSerializersBody(xml), &error),
              Value(Value::Array{true}));
    EXPECT_EQ(error, prior);

    // Nobody takes it: the body itself, with the compound's own validation.
    error.reset();
    auto data = responseSerializersBody("raw");
    Value object = compound->responseObjectForResponse(responseSerializersResponse(404, "text/plain"), data, &error);
    EXPECT_EQ(object.objectAs<NSData>(), data);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), NSURLErrorBadServerResponse);
}

TEST(NKResponseSerializersTest, ArchivingAndCopyingKeepOwnSettings) {
    auto json = NKJSONResponseSerializer::serializerWithReadingOptions(4);
    json->setRemovesKeysWithNullValues(true);
    json->setAcceptableStatusCodes(nullptr);
    auto decoded = archivedCopy(json);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->readingOptions(), 4u);
    EXPECT_FALSE(decoded->removesKeysWithNullValues());
    EXPECT_FALSE(decoded->acceptableStatusCodes());
    auto copied = std::dynamic_pointer_cast<NKJSONResponseSerializer>(json->copy());
    ASSERT_TRUE(copied);
    EXPECT_EQ(copied->readingOptions(), 4u);
    EXPECT_TRUE(copied->acceptableStatusCodes());

    auto plist = NKPropertyListResponseSerializer::serializerWithFormat(NSPropertyListBinaryFormat_v1_0, 2);
    auto decodedPlist = archivedCopy(plist);
    ASSERT_TRUE(decodedPlist);
    EXPECT_EQ(decodedPlist->format(), NSPropertyListBinaryFormat_v1_0);
    EXPECT_EQ(decodedPlist->readOptions(), 2u);

    auto compound = NKCompoundResponseSerializer::compoundSerializerWithResponseSerializers({json, plist});
    auto decodedCompound = archivedCopy(compound);
    ASSERT_TRUE(decodedCompound);
    ASSERT_EQ(decodedCompound->responseSerializers().size(), 2u);
    EXPECT_TRUE(std::dynamic_pointer_cast<NKPropertyListResponseSerializer>(decodedCompound->responseSerializers()[1]));
    EXPECT_TRUE(archivedCopy(NKXMLParserResponseSerializer::serializer()));
}

} // namespace
