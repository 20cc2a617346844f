#include "platform/foundation/NSString.h"

#include "platform/foundation/NSError.h"

#include <gtest/gtest.h>

namespace {

struct PathCase {
    const char* path;
    const char* last;
    const char* deletingLast;
    const char* extension;
};

TEST(NSStringPaths, ComponentsAndExtensions) {
    const PathCase cases[] = {
        {"/tmp/scratch.tiff", "scratch.tiff", "/tmp", "tiff"},
        {"/tmp/scratch", "scratch", "/tmp", ""},
        {"/tmp/", "tmp", "/", ""},
        {"/tmp", "tmp", "/", ""},
        {"scratch///", "scratch", "", ""},
        {"/", "/", "/", ""},
        {"", "", "", ""},
        {"/var/mobile/.hidden", ".hidden", "/var/mobile", ""},
        {"/a/b.tar.gz", "b.tar.gz", "/a", "gz"},
        {"//a//b", "b", "/a", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(NSString::lastPathComponent(c.path), c.last);
        EXPECT_EQ(NSString::stringByDeletingLastPathComponent(c.path), c.deletingLast);
        EXPECT_EQ(NSString::pathExtension(c.path), c.extension);
    }
}

TEST(NSStringPaths, Appending) {
    EXPECT_EQ(NSString::stringByAppendingPathComponent("/", "tmp"), "/tmp");
    EXPECT_EQ(NSString::stringByAppendingPathComponent("/tmp/", "/x/"), "/tmp/x");
    EXPECT_EQ(NSString::stringByAppendingPathComponent("", "x"), "x");
    EXPECT_EQ(NSString::stringByAppendingPathComponent("/tmp", ""), "/tmp");
    EXPECT_EQ(NSString::stringByAppendingPathComponent("a", "b/c"), "a/b/c");
    EXPECT_EQ(NSString::stringByAppendingPathExtension("/tmp/Folder", "zip"), "/tmp/Folder.zip");
    EXPECT_EQ(NSString::stringByDeletingPathExtension("/tmp/a.zip"), "/tmp/a");
    EXPECT_EQ(NSString::pathComponents("/tmp/scratch"), (std::vector<std::string>{"/", "tmp", "scratch"}));
    EXPECT_EQ(NSString::pathComponents("/tmp/"), (std::vector<std::string>{"/", "tmp", "/"}));
    EXPECT_EQ(NSString::stringByStandardizingPath("/a/./b/../c//d"), "/a/c/d");
    EXPECT_EQ(NSString::stringByStandardizingPath("/../x"), "/x");
    EXPECT_EQ(NSString::stringByStandardizingPath("a/../../x"), "../x");
}

TEST(NSStringFormat, ConversionsAndObjects) {
    auto error = NSError::errorWithDomain("D", 7, {{NSLocalizedDescriptionKey, "boom"}});
    EXPECT_EQ(NSString::stringWithFormat("%@/track/%@", std::string("http://h"), "release"), "http://h/track/release");
    EXPECT_EQ(NSString::stringWithFormat("%d %ld %lld %u %x %05.1f %s %%", -3, 4L, 5LL, 6u, 255, 2.25, "s"),
              "-3 4 5 6 ff 002.2 s %");
    EXPECT_EQ(NSString::stringWithFormat("[TKZipArchive] Error: %@", error->localizedDescription()), "[TKZipArchive] Error: boom");
    EXPECT_EQ(NSString::stringWithFormat("%@", std::shared_ptr<NSError>()), "(null)");
    EXPECT_EQ(NSString::stringWithFormat("%@", Value(42)), "42");
    EXPECT_EQ(NSString::stringWithFormat("%-4s|%4s|%.2s", "a", "b", "xyz"), "a   |   b|xy");
    EXPECT_EQ(NSString::stringWithFormat("%d %d", 1), "1 0");
    EXPECT_EQ(NSString::stringWithFormat("%hhd", 300), "44");
}

TEST(NSStringFormat, UnicharConversionsAndLegacyUpperCaseFormsTakeTheirArgument) {
    // A conversion that took no argument would shift every later one.
    EXPECT_EQ(NSString::stringWithFormat("%-4ld%-10S 0x%0*llx %@", 3L, "Tandrel", 8, 0xbeefULL, "main + 4"),
              "3   Tandrel    0x0000beef main + 4");
    EXPECT_EQ(NSString::stringWithFormat("%S|%3S|%.2S", "ab", "c", "xyz"), "ab|  c|xy");
    EXPECT_EQ(NSString::stringWithFormat("%C%C %d", static_cast<unsigned short>('A'), static_cast<unsigned short>(0xE9), 5),
              "A\xC3\xA9 5");
    EXPECT_EQ(NSString::stringWithFormat("%D %U %O %d", -7L, 8UL, 8UL, 9), "-7 8 10 9");
}

TEST(NSStringCompare, NumericSearchAndUTF16) {
    EXPECT_EQ(NSString::compareNumeric("file9", "file10"), NSOrderedAscending);
    EXPECT_EQ(NSString::compareNumeric("file010", "file10"), NSOrderedSame);
    EXPECT_EQ(NSString::compareNumeric("b", "a"), NSOrderedDescending);
    EXPECT_EQ(NSString::compareNumeric("1.10", "1.9"), NSOrderedDescending);
    EXPECT_EQ(NSString::lengthUTF16("a\xC3\xA9\xF0\x9F\x98\x80"), 4u);
    EXPECT_EQ(NSString::utf8(NSString::utf16("h\xC3\xA9llo \xF0\x9F\x98\x80")), "h\xC3\xA9llo \xF0\x9F\x98\x80");
    EXPECT_FALSE(NSString::isValidUTF8("\xC3"));
    EXPECT_TRUE(NSString::isValidUTF8("\xEF\xBF\xBD"));
}

TEST(NSStringHash, StableValues) {
    // The values are part of file names on the device: they must never change.
    EXPECT_EQ(NSString::hash(""), 0xcbf29ce484222325ull);
    EXPECT_EQ(NSString::hash("a"), NSString::hash("a"));
    EXPECT_NE(NSString::hash("ab"), NSString::hash("ba"));
    EXPECT_EQ(NSString::hash("a"), 0x089be207b544f1e4ull);
}

TEST(NSStringEscapes, RoundTripAndErrors) {
    EXPECT_EQ(NSString::stringByAddingPercentEscapes("a b/c?d=e&f\xC3\xA9"), "a%20b/c?d=e&f%C3%A9");
    EXPECT_EQ(NSString::stringByAddingPercentEncoding("a b&c", NSString::URLQueryAllowed), "a%20b&c");
    EXPECT_EQ(NSString::stringByRemovingPercentEncoding("a%20b%C3%A9"), std::optional<std::string>("a b\xC3\xA9"));
    EXPECT_EQ(NSString::stringByRemovingPercentEncoding("bad%2"), std::nullopt);
    EXPECT_EQ(NSString::stringByRemovingPercentEncoding("%zz"), std::nullopt);
    EXPECT_EQ(NSString::stringByRemovingPercentEncoding("%C3"), std::nullopt);
}

} // namespace
