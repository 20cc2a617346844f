#include "sdk/adviews/VuderuCallParams.h"

#include <gtest/gtest.h>

TEST(VuderuCallParams, DecodesValuesAsThePageEscapedThem) {
    struct Case {
        const char* raw;
        const char* decoded;
    } cases[] = {
        {"a+b", "a b"},                            // "+" is a blank
        {"a%2Bb", "a+b"},                          // an escaped plus stays a plus
        {"caf%E9", "caf\xC3\xA9"},                 // escape() of "café": a Latin-1 byte
        {"caf%C3%A9", "caf\xC3\xA9"},              // bytes that form UTF-8
        {"%u20AC%u00E9", "\xE2\x82\xAC\xC3\xA9"},  // escape() of "€é"
        {"%uD83D%uDE00", "\xF0\x9F\x98\x80"},      // a surrogate pair
        {"%uD83D", "\xEF\xBF\xBD"},                // a lone surrogate
        {"100%", "100%"},                          // a "%" that starts no escape
        {"%zz%4", "%zz%4"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(VuderuCallParams::decodeValue(c.raw), c.decoded) << c.raw;
}

TEST(VuderuCallParams, SplitsPairsSkippingPiecesWithoutEquals) {
    const auto pairs = VuderuCallParams::parse("event=open&flag&url=a=b&event=close&empty=");
    EXPECT_EQ(pairs.size(), 3u);
    EXPECT_EQ(pairs.at("event"), "close");
    EXPECT_EQ(pairs.at("url"), "a");
    EXPECT_EQ(pairs.at("empty"), "");
    EXPECT_EQ(pairs.count("flag"), 0u);
}
