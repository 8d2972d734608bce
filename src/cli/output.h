// How every command writes what it reports: stored texts (8-bit bytes) shown
// on a terminal or in JSON, JSON itself, padded tables, and how much the user
// asked to hear (-q, -v). Callers write stdout through these so that a text
// looks the same from every command.
#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "kestrel/latin1.h"
#include "present/json.h"

namespace kestrel::cli {

using kestrel::present::Json;
using kestrel::present::JsonNumberOrText;
using kestrel::present::JsonText;

using kestrel::Latin1ToUtf8;

// A stored text as stdout should carry it (present/shown_text.h): decoded
// from Latin-1 to UTF-8 when the locale is UTF-8, on a terminal, a pipe or a
// file alike; the stored bytes under another locale or with --bytes. Every
// command prints stored text through this; a text the user typed (a path, a
// store's location) is printed as typed, never through it.
std::string ForStdout(std::string_view bytes);

// An application code typed on the command line as the store holds it
// (present::StoredFromTyped under the locale; --bytes takes it as typed).
std::string StoredFromTyped(std::string_view typed);

// --bytes: stored texts on stdout as the stored bytes, whatever the locale.
void ShowStoredBytes(bool bytes);

// Profile numbers, and stored texts as stdout should carry them, separated by
// ", "; "none" for an empty list.
std::string ListForStdout(const std::vector<int64_t>& numbers);
std::string ListForStdout(const std::vector<std::string>& texts);

// The JSON value on one line, then a line end. Stdout carries one JSON
// document at most: what a command prints there is its report.
void PrintJson(std::ostream& out, const Json& value);

// --json: a failure is reported on stdout as well, as {"error": {...}}
// (present::ErrorJson), unless the command has printed its report there
// already, which then carries the error itself.
void WantJson(bool json);
bool JsonFailureWanted();

// Rows of cells as columns two blanks apart, each as wide as its widest cell
// (measured in characters where ForStdout decodes, else in bytes).
// Columns listed in `right_aligned` are padded on the left. Trailing blanks
// are dropped.
void PrintTable(std::ostream& out, const std::vector<std::vector<std::string>>& rows,
                const std::vector<size_t>& right_aligned = {});

// -q and -v: how much a command says beside its result.
enum class Verbosity { Quiet, Normal, Verbose };
Verbosity CurrentVerbosity();
void SetVerbosity(Verbosity v);

// A notice on stderr (unless -q): something the user should know that is not
// the result.
void Notice(const std::string& line);
// A line on stderr only with -v.
void Detail(const std::string& line);

// The consent a change needs: none with --yes (`yes`); else `question()`
// asked on stderr and answered on stdin, which must be a terminal. Throws
// Ours::ChangeNotConfirmed when there is none to ask on or the answer does
// not start with y.
void RequireConsent(bool yes, const std::function<std::string()>& question);

}  // namespace kestrel::cli
