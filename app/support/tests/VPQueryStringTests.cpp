#include "app/support/NSString+QueryString.h"
#include "app/support/NSURL+QueryString.h"
#include "app/support/VPYoutubeParser.h"

#include <gtest/gtest.h>

namespace {

TEST(VPQueryStringTest, DecodesURLFormat) {
    struct Case {
        const char* text;
        std::optional<std::string> decoded;
    };
    const Case cases[] = {
        {"a+b%20c", "a b c"},
        {"%2B", "+"},
        {"1%2C2", "1,2"},
        {"caf%C3%A9", "caf\xC3\xA9"},
        {"", ""},
        {"%", std::nullopt},
        {"%4", std::nullopt},
        {"%ZZ", std::nullopt},
        {"%E9", std::nullopt},  // not UTF-8
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(NSString_QueryString::stringByDecodingURLFormat(c.text), c.decoded);
    }
}

TEST(VPQueryStringTest, QueryTextToDictionary) {
    struct Case {
        const char* text;
        VPQueryDictionary dictionary;
    };
    const Case cases[] = {
        {"a=1&a=2&b=3", {{"a", {"1", "2"}}, {"b", {"3"}}}},
        {"a&b=2", {{"b", {"2"}}}},
        {"k=x+y&c=1%2C2", {{"k", {"x y"}}, {"c", {"1,2"}}}},
        {"k=v=w", {{"k", {"v"}}}},
        {"k=%E9&ok=1", {{"ok", {"1"}}}},
        {"%ZZ=1&k=%4", {}},
        {"a+b=c%26d", {{"a b", {"c&d"}}}},
        {"k=&k=2", {{"k", {"", "2"}}}},
        {"", {}},
        {"&&=", {{"", {""}}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(NSString_QueryString::dictionaryFromQueryStringComponents(c.text), c.dictionary);
    }
}

TEST(VPQueryStringTest, URLQueryToDictionary) {
    auto url = NSURL::URLWithString("http://host/p?v=abc&t=30&v=def#frag");
    ASSERT_TRUE(url);
    EXPECT_EQ(NSURL_QueryString::dictionaryForQueryString(*url), (VPQueryDictionary{{"v", {"abc", "def"}}, {"t", {"30"}}}));
    EXPECT_TRUE(NSURL_QueryString::dictionaryForQueryString(*NSURL::URLWithString("http://host/p")).empty());
}

TEST(VPQueryStringTest, VideoIDsFromPageAddresses) {
    struct Case {
        const char* address;
        std::optional<std::string> id;
    };
    const Case cases[] = {
        {"http://youtu.be/abc123", "abc123"},
        {"http://youtu.be/abc123/more?v=other", "abc123"},
        {"http://youtu.be/", std::nullopt},
        {"http://www.youtube.com/embed/emb42?autoplay=1", "emb42"},
        {"http://www.youtube.com/embed", std::nullopt},
        {"https://youtube.googleapis.com/v/api7", "api7"},
        {"https://youtube.googleapis.com/v", std::nullopt},
        {"www.youtube.com/v/bare9", "bare9"},
        {"www.youtube.com/watch", std::nullopt},
        {"http://www.youtube.com/watch?v=page1&t=30", "page1"},
        {"http://www.youtube.com/watch?t=30&v=page2", "page2"},
        {"http://www.youtube.com/watch?t=30", std::nullopt},
        {"http://www.youtube.com/watch?v=", std::nullopt},
        {"http://www.youtube.com/watch?v=%E9", std::nullopt},
        {"http://www.youtube.com/watch?v=a%2Bb+c", "a+b c"},
        {"http://www.youtube.com/watch?v=x%26y%3Dz", "x&y=z"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.address);
        auto url = NSURL::URLWithString(c.address);
        ASSERT_TRUE(url);
        EXPECT_EQ(VPYoutubeParser::youtubeIDFromYoutubeURL(url), c.id);
    }
    EXPECT_EQ(VPYoutubeParser::youtubeIDFromYoutubeURL(nullptr), std::nullopt);
}

TEST(VPQueryStringTest, ThumbnailSizeNames) {
    EXPECT_EQ(VPYoutubeParser::thumbnailSizeName(0), "default");
    EXPECT_EQ(VPYoutubeParser::thumbnailSizeName(1), "mqdefault");
    EXPECT_EQ(VPYoutubeParser::thumbnailSizeName(2), "hqdefault");
    EXPECT_EQ(VPYoutubeParser::thumbnailSizeName(3), "maxresdefault");
    EXPECT_EQ(VPYoutubeParser::thumbnailSizeName(4), "default");
    EXPECT_EQ(VPYoutubeParser::thumbnailSizeName(-1), "default");
}

} // namespace
