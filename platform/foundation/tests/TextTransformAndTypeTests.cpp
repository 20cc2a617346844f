#include "platform/foundation/CFStringTransform.h"
#include "platform/foundation/UTType.h"

#include <gtest/gtest.h>

namespace {

TEST(CFStringTransformTest, LatinTextBecomesASCIIAndTheRestIsRemoved) {
    const std::string transform = "Any-Latin; Latin-ASCII; [:^ASCII:] Remove";
    const std::pair<std::string, std::string> cases[] = {
        {"plain? text", "plain? text"},
        {"Caf\xc3\xa9 Stra\xc3\x9f" "e", "Cafe Strasse"},
        {"\xc3\x85ngstr\xc3\xb6m", "Angstrom"},
        {"a\xe6\x97\xa5" "b", "ab"},
        {"", ""},
    };
    for (const auto& [input, expected] : cases) {
        SCOPED_TRACE(input);
        std::string text = input;
        EXPECT_TRUE(CFStringTransform(text, transform, false));
        EXPECT_EQ(text, expected);
    }
    std::string text = "Caf\xc3\xa9";
    EXPECT_FALSE(CFStringTransform(text, transform, true));
    EXPECT_FALSE(CFStringTransform(text, "Any-Hex", false));
    std::string broken = "a\xff";
    EXPECT_FALSE(CFStringTransform(broken, transform, false));
    EXPECT_EQ(broken, "a\xff");
}

TEST(UTTypeTest, ExtensionsMapToMIMETypesFromTheSystemTable) {
    const std::pair<std::string, std::string> cases[] = {
        {"png", "image/png"}, {"JPG", "image/jpeg"}, {"txt", "text/plain"}, {"json", "application/json"}, {"nosuchext", ""},
    };
    for (const auto& [extension, mime] : cases) {
        SCOPED_TRACE(extension);
        std::string type = UTTypeCreatePreferredIdentifierForTag(kUTTagClassFilenameExtension, extension);
        EXPECT_FALSE(type.empty());
        EXPECT_EQ(UTTypeCopyPreferredTagWithClass(type, kUTTagClassMIMEType), mime);
    }
    EXPECT_EQ(UTTypeCreatePreferredIdentifierForTag(kUTTagClassFilenameExtension, ""), "");
}

} // namespace
