#include "platform/uikit/UIScreenDescription.h"

#include <gtest/gtest.h>

#include <string>

// Names come from the device (files, songs, pages): control characters and invisible marks in them
// show as escapes, so no name adds a line of its own to the screen, reaches the terminal as an
// escape sequence or hides a character.
TEST(UIScreenDescriptionTest, ControlCharactersShowAsEscapes) {
    const struct {
        std::string line, shown;
    } cases[] = {
        {"  0: Notes.txt  [send]", "  0: Notes.txt  [send]"},
        {"  5: two\nerror: spoofed  [send]", "  5: two\\nerror: spoofed  [send]"},
        {"tab\there\rback", "tab\\there\\rback"},
        {"esc\x1b[31mred\x7f", "esc\\x1b[31mred\\x7f"},
        {std::string("nul\0byte", 8), "nul\\x00byte"},
        {"caf\xc3\xa9 \xe6\x97\xa5 \xf0\x9f\x8e\xb5", "caf\xc3\xa9 \xe6\x97\xa5 \xf0\x9f\x8e\xb5"},  // text beyond ASCII stands
        {"csi\xc2\x9b" "31m \xc2\x85next \xc2\xa0", "csi\\u009b31m \\u0085next \xc2\xa0"},           // C1 controls, not NBSP
        {"txt.\xe2\x80\xaegnp \xe2\x81\xa6" "a\xe2\x81\xa9 \xe2\x80\x8e",
         "txt.\\u202egnp \\u2066a\\u2069 \\u200e"},                                         // overrides, isolates, marks
        {"bad \xff\xc3 \xc0\xaf \xed\xa0\x80 \xe2\x80", "bad \\xff\\xc3 \\xc0\\xaf \\xed\\xa0\\x80 \\xe2\\x80"}, // not UTF-8
        {"end \xf4\x90\x80\x80", "end \\xf4\\x90\\x80\\x80"},                                   // past U+10FFFF
    };
    for (const auto& c : cases) {
        UIScreenDescription description;
        description.addLine(c.line);
        EXPECT_EQ(description.text(), c.shown + "\n");
    }
}
