#include "platform/foundation/NSURL.h"

#include <gtest/gtest.h>

namespace {

TEST(NSURLTest, ComponentsOfNetworkURLs) {
    auto url = NSURL::URLWithString("HTTP://user:pw@Example.com:8080/a/b%20c.mp4?x=1&y=2#frag");
    ASSERT_TRUE(url);
    EXPECT_EQ(url->scheme(), "http");
    EXPECT_EQ(url->host(), "Example.com");
    EXPECT_EQ(url->port(), 8080);
    EXPECT_EQ(url->user(), "user");
    EXPECT_EQ(url->password(), "pw");
    EXPECT_EQ(url->path(), "/a/b c.mp4");
    EXPECT_EQ(url->query(), "x=1&y=2");
    EXPECT_EQ(url->fragment(), "frag");
    EXPECT_EQ(url->lastPathComponent(), "b c.mp4");
    EXPECT_EQ(url->pathExtension(), "mp4");
    EXPECT_FALSE(url->isFileURL());
    // The scheme compares in lower case but the URL's text keeps it as written.
    EXPECT_EQ(url->absoluteString(), "HTTP://user:pw@Example.com:8080/a/b%20c.mp4?x=1&y=2#frag");
    auto relative = NSURL::URLWithString("c.plist", NSURL::URLWithString("bridgeAPIvA:///tmp/b"));
    ASSERT_TRUE(relative);
    EXPECT_EQ(relative->scheme(), "bridgeapiva");
    EXPECT_EQ(relative->absoluteString(), "bridgeAPIvA:///tmp/c.plist");

    auto bare = NSURL::URLWithString("https://h");
    EXPECT_EQ(bare->path(), "");
    EXPECT_EQ(bare->port(), std::nullopt);
    EXPECT_EQ(bare->query(), std::nullopt);
}

TEST(NSURLTest, RefusesTextAURLCannotHold) {
    for (const char* bad : {"http://a b", "http://h/%zz", "http://h/\xC3\xA9", "", "http://h/%4"}) {
        EXPECT_EQ(NSURL::URLWithString(bad), nullptr) << bad;
    }
    EXPECT_TRUE(NSURL::URLWithString("tandrel://http://www.youtube.com/watch?v=abc"));
}

// What a page navigates to keeps escape()'s "%uXXXX" as written; what a URL cannot hold is escaped.
TEST(NSURLTest, NavigationTextKeepsBarePercents) {
    auto url = NSURL::URLWithNavigationText("vuderu://vuderucall?event=note&text=caf%E9%20%u20AC x\xC3\xA9");
    ASSERT_TRUE(url);
    EXPECT_EQ(url->absoluteString(), "vuderu://vuderucall?event=note&text=caf%E9%20%u20AC%20x%C3%A9");
    EXPECT_EQ(url->query(), "event=note&text=caf%E9%20%u20AC%20x%C3%A9");
    EXPECT_EQ(url->host(), "vuderucall");
    EXPECT_FALSE(NSURL::URLWithNavigationText("no/scheme"));
}

TEST(NSURLTest, ResolvesRelativeReferences) {
    auto base = NSURL::URLWithString("http://a/b/c/d;p?q");
    const std::pair<const char*, const char*> cases[] = {
        {"g", "http://a/b/c/g"},       {"./g", "http://a/b/c/g"},     {"g/", "http://a/b/c/g/"},
        {"/g", "http://a/g"},          {"//g", "http://g"},           {"?y", "http://a/b/c/d;p?y"},
        {"#s", "http://a/b/c/d;p?q#s"}, {"", "http://a/b/c/d;p?q"},   {"../g", "http://a/b/g"},
        {"../../../g", "http://a/g"},  {"g?y#s", "http://a/b/c/g?y#s"},
    };
    for (const auto& [ref, expected] : cases) {
        auto url = NSURL::URLWithString(ref, base);
        ASSERT_TRUE(url) << ref;
        EXPECT_EQ(url->absoluteString(), expected) << ref;
    }
}

TEST(NSURLTest, FileURLs) {
    auto url = NSURL::fileURLWithPath("/var/mobile/Tandrel/my file.txt", false);
    EXPECT_EQ(url->absoluteString(), "file:///var/mobile/Tandrel/my%20file.txt");
    EXPECT_TRUE(url->isFileURL());
    EXPECT_EQ(url->path(), "/var/mobile/Tandrel/my file.txt");
    EXPECT_EQ(NSURL::fileURLWithPath("/tmp", true)->absoluteString(), "file:///tmp/");
    EXPECT_EQ(NSURL::fileURLWithPath("/tmp", true)->path(), "/tmp");
    EXPECT_EQ(url->URLByAppendingPathComponent("x")->absoluteString(), "file:///var/mobile/Tandrel/my%20file.txt/x");
    EXPECT_TRUE(url->isEqual(NSURL::URLWithString("file:///var/mobile/Tandrel/my%20file.txt").get()));
}

} // namespace
