#include "platform/uikit/UIScreenDescription.h"

#include <gtest/gtest.h>

#include <string>

// Names come from the device (files, songs, pages): control characters in them show as escapes, so
// no name adds a line of its own to the screen or reaches the terminal as an escape sequence.
TEST(UIScreenDescriptionTest, ControlCharactersShowAsEscapes) {
    const struct {
        std::string line, shown;
    } cases[] = {
        {"  0: Notes.txt  [send]", "  0: Notes.txt  [send]"},
        {"  5: two\nerror: spoofed  [send]", "  5: two\\nerror: spoofed  [send]"},
        {"tab\there\rback", "tab\\there\\rback"},
        {"esc\x1b[31mred\x7f", "esc\\x1b[31mred\\x7f"},
        {std::string("nul\0byte", 8), "nul\\x00byte"},
        {"caf\xc3\xa9 \xe2\x80\xae", "caf\xc3\xa9 \xe2\x80\xae"},  // text beyond ASCII stands as it is
    };
    for (const auto& c : cases) {
        UIScreenDescription description;
        description.addLine(c.line);
        EXPECT_EQ(description.text(), c.shown + "\n");
    }
}
