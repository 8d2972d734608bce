// A command's long output through a pager when stdout is a terminal, the way
// version-control tools page theirs: $PAGER (none when it is set empty or to
// "cat"), else `less -FRX` where less is installed, which leaves a screenful
// on the terminal and passes colours through. A pipe or a file gets the text
// directly.
#pragma once

#include <string_view>

namespace kestrel::cli {

// Whether stdout is a terminal.
bool StdoutIsTerminal();

// Writes `text` to stdout, through the pager when `allowed` and stdout is a
// terminal; returns when the pager has ended. A pager the user quits early
// takes no more of the text, and is no failure.
void WritePaged(std::string_view text, bool allowed);

}  // namespace kestrel::cli
