#pragma once
// A row of a section, as tables address their rows. A small value: the table makes and compares
// a great many of them.

#include <compare>
#include <string>

struct NSIndexPath {
    long section = 0;
    long row = 0;

    static NSIndexPath indexPathForRowInSection(long row, long section) { return {section, row}; }
    // Collection views number their items as tables number their rows.
    static NSIndexPath indexPathForItemInSection(long item, long section) { return {section, item}; }
    long item() const { return row; }
    auto operator<=>(const NSIndexPath&) const = default;
    std::string description() const;
};
