#pragma once
// A row of a section, as tables address their rows. A small value: the table makes and compares
// a great many of them.

#include <compare>
#include <string>

struct NSIndexPath {
    long section = 0;
    long row = 0;

    static NSIndexPath indexPathForRowInSection(long row, long section) { return {section, row}; }
    auto operator<=>(const NSIndexPath&) const = default;
    std::string description() const;
};
