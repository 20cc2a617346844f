#pragma once
// Text made safe to show on one line of a terminal or a log, and typed back as it shows.
//
// Every character that would act on a terminal, break the line, turn the direction of the text
// around it or show as nothing is written as an escape: "\n", "\t", "\r", "\xNN" for the other
// ASCII controls and for every byte that is not part of well-formed UTF-8, "\uXXXX" (or
// "\UXXXXXXXX" past U+FFFF) for C1 controls, line and paragraph separators and the invisible
// format characters (zero-width spaces and joiners, direction marks, embeddings, overrides and
// isolates, the byte-order mark, the Arabic letter mark, soft hyphens, tags). A backslash is
// written "\\", so that a name holding a backslash and "n" never reads as one holding a line
// break; and a space at the very end is written "\x20", so that it shows and can be typed back.
// Anything else, other scripts and emoji included, stands as it is.
//
// Text a person typed (a command line echoed back) is already written in these escapes: shown
// with its backslashes as they are, it reads as typed.

#include <string>
#include <string_view>

enum class PrintableBackslash { Escaped, AsTyped };

std::string PrintableText(std::string_view text, PrintableBackslash backslash = PrintableBackslash::Escaped);
