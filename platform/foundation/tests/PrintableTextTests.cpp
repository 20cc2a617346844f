// Text shown on a terminal line: what would act on the terminal, break the line, turn the text
// around or show as nothing is written as an escape, as are a backslash and the spaces at the end
// (so that each text shows differently and reads back); every other character stands as it is.

#include "platform/foundation/PrintableText.h"

#include <gtest/gtest.h>

TEST(PrintableText, EscapesWhatActsOrHidesAndKeepsEveryOtherCharacter) {
    const struct {
        const char* text;
        const char* shown;
    } cases[] = {
        {"plain name.txt", "plain name.txt"},
        {"C:\\dir\\a b", "C:\\\\dir\\\\a b"},
        {"back\\nslash", "back\\\\nslash"},
        {"trailing  ", "trailing\\x20\\x20"},
        {"  leading and inner  spaces.", "  leading and inner  spaces."},
        {" ", "\\x20"},
        {"caf\xc3\xa9 \xe6\x97\xa5\xe6\x9c\xac \xf0\x9f\x8e\xb5", "caf\xc3\xa9 \xe6\x97\xa5\xe6\x9c\xac \xf0\x9f\x8e\xb5"},
        {"a\nb\tc\rd", "a\\nb\\tc\\rd"},
        {"\x1b[2J\x07\x7f", "\\x1b[2J\\x07\\x7f"},
        {"c1\xc2\x85\xc2\x9b", "c1\\u0085\\u009b"},
        {"soft\xc2\xadhyphen", "soft\\u00adhyphen"},
        {"\xe2\x80\xae" "fdp.exe", "\\u202efdp.exe"},
        {"iso\xe2\x81\xa6late\xe2\x81\xa9", "iso\\u2066late\\u2069"},
        {"zw\xe2\x80\x8bsp\xe2\x80\x8cnj\xe2\x80\x8dj", "zw\\u200bsp\\u200cnj\\u200dj"},
        {"lrm\xe2\x80\x8e rlm\xe2\x80\x8f alm\xd8\x9c", "lrm\\u200e rlm\\u200f alm\\u061c"},
        {"line\xe2\x80\xa8para\xe2\x80\xa9", "line\\u2028para\\u2029"},
        {"\xef\xbb\xbf" "bom", "\\ufeffbom"},
        {"tag\xf3\xa0\x80\x81", "tag\\U000e0001"},
        {"bad\xff\xc3(\xed\xa0\x80", "bad\\xff\\xc3(\\xed\\xa0\\x80"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shown);
        EXPECT_EQ(PrintableText(c.text), c.shown);
    }
    // A NUL inside the text, too.
    EXPECT_EQ(PrintableText(std::string_view("nul\0end", 7)), "nul\\x00end");
}

// A name holding a backslash and "n" and one holding a line break show apart; a line a person
// typed keeps its backslashes (its escapes are the person's), while its raw controls still show
// as escapes.
TEST(PrintableText, BackslashesTellNamesApartAndTypedLinesKeepTheirs) {
    EXPECT_NE(PrintableText("a\\nb.txt"), PrintableText("a\nb.txt"));
    EXPECT_EQ(PrintableText("tap a\\\\nb.txt\x1b ", PrintableBackslash::AsTyped), "tap a\\\\nb.txt\\x1b\\x20");
    EXPECT_EQ(PrintableText("tap C:\\dir", PrintableBackslash::AsTyped), "tap C:\\dir");
}
