#pragma once
// Text made safe to show on one line of a terminal or a log, and typed back as it shows.
//
// Every character that would act on a terminal, break the line, turn the direction of the text
// around it or show as nothing is written as an escape: "\n", "\t", "\r", "\xNN" for the other
// ASCII controls and for every byte that is not part of well-formed UTF-8, "\uXXXX" (or
// "\UXXXXXXXX" past U+FFFF) for C1 controls, line and paragraph separators and the invisible
// format characters (zero-width spaces and joiners, direction marks, embeddings, overrides and
// isolates, the byte-order mark, the Arabic letter mark, soft hyphens, tags). Anything else, other
// scripts and emoji included, stands as it is; a backslash stands as itself, so plain paths and
// texts read as they are.

#include <string>
#include <string_view>

std::string PrintableText(std::string_view text);
