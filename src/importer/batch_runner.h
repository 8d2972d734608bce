// Runs the bulk-load batch file of an application without a shell: each line
// is one `bcp` command whose arguments are split here and handed to the
// program directly, so nothing in a value (a "$", a backquote) is ever
// interpreted. Internal to the import and its tests.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "kestrel/env.h"

namespace kestrel::importer {

// The arguments of one line: split at blanks; a pair of double quotes groups
// what lies between them (blanks included) and is removed, so `""` is an
// empty argument; nothing else is interpreted. A CR at the end of the line
// is dropped. A blank line gives no arguments.
std::vector<std::string> SplitBatchLine(std::string_view line);

// The program that runs the lines: KESTREL_BCP when set (a name without "/"
// is looked up on PATH), else the `bcp` next to the running program, else,
// for a host that loaded libkestrel.so (Python, a C program), the one beside
// the library as built or in the bin folder beside an installation's lib;
// when none is there, the one next to the program (which the error names).
std::string BulkCopyProgram(Env& env);

// Runs the lines of `batch_path` one after the other with `program` in place
// of their first argument, which must be "bcp". A line whose data file (the
// argument after "in") does not exist is skipped: there is nothing to load.
// Standard input is empty; what a line writes is kept for the message. A
// line that does not exit with 0 raises Ours::BulkLoadFailed naming the line
// and the table and quoting the end of its output; later lines do not run.
// A program that cannot be started raises its errno.
void RunBatchFile(Env& env, const std::string& batch_path, const std::string& program);

}  // namespace kestrel::importer
