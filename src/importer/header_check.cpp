// The header file, the chain file and the applications' extn checked before
// the details are proposed or the import planned: every value the import reads
// from them as a number or as a code, so that a pack the import would fail on
// half-way, or read as something else (a text that is no number reads as 0),
// is refused naming its file and line.
#include "importer/header_check.h"

#include <memory>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include <fmt/format.h>

#include "base/errors_ours.h"
#include "base/files.h"
#include "base/row_reader.h"
#include "base/text.h"
#include "importer/pack_file_refusals.h"
#include "importer/plan_lookups.h"
#include "importer/selection.h"
#include "pack/naming.h"
#include "pack/text_checks.h"

namespace kestrel::importer {
namespace {

// A whole number as the export writes one (digits after an optional sign),
// blanks around it allowed as the import's reading allows them.
bool IsWholeNumber(std::string_view field) {
  field = text::TrimBlanks(field);
  if (!field.empty() && (field.front() == '-' || field.front() == '+')) field.remove_prefix(1);
  return !field.empty() && field.find_first_not_of("0123456789") == std::string_view::npos;
}

// Field `index` (0-based) of a row, which the import reads as a number.
void RequireWholeNumber(const std::vector<std::string_view>& fields, size_t index, std::string_view what,
                        const std::string& path, size_t line) {
  if (!IsWholeNumber(fields[index]))
    RaiseMalformedPackFile(path, line, fmt::format("{} (field {}) is not a whole number", what, index + 1),
                           fields[index]);
}

// Two codes of one pack that differ only by case would name the same data
// files on a folder that ignores case, and be loaded twice.
void RefuseCaseTwin(std::vector<std::string>& codes, const std::string& code, const std::string& path,
                    size_t line) {
  for (const std::string& seen : codes) {
    if (seen == code) return;
    if (text::LowerAscii(seen) == text::LowerAscii(code))
      RaiseWithDetail(Ours::ApplicationCodesDifferByCase,
                      QuoteForMessage(code) + " and " + QuoteForMessage(seen) + " in " + Place(path, line));
  }
  codes.push_back(code);
}

// Every row of the chain file is read by the details for a profile's parent;
// a row of another width would be skipped there and its profile become a
// root, and a number that is no number would read as 0.
void CheckChainFile(Env& env, const std::string& folder) {
  const std::optional<std::string> found = files::ResolveInFolder(env, folder, "Qzmap101.dat");
  if (!found) return;
  std::unique_ptr<files::RowReader> rows;
  try {
    rows = files::RowReader::Open(env, *found);
    while (rows->Next()) {
      const size_t line = rows->line_number();
      if (line == 1) pack::RefuseByteOrderMark(rows->line(), *found);
      const size_t width = rows->fields().size();
      if (width != kChainFieldCount)
        throw ComError(kHeaderLineError, fmt::format("{} ({}: {} fields, {} wanted)", kChainFileCorrupt,
                                                     Place(*found, line), width, kChainFieldCount));
      RequireWholeNumber(rows->fields(), 0, "the profile number", *found, line);
      RequireWholeNumber(rows->fields(), 1, "the level", *found, line);
      RequireWholeNumber(rows->fields(), 5, "the parent profile number", *found, line);
    }
  } catch (const ComError& e) {
    RaiseAt(e, *found, rows ? rows->line_number() : 0);
  }
}

// The details offer each application with the extn of the first line of its
// "qzddi100" data file (its last field), and the selection is verified
// against it: a text there would read as 0 and the import fail later on
// the derivation it gives. An empty field is the stored NULL.
void CheckApplicationExtns(Env& env, const std::string& folder, const std::vector<std::string>& codes) {
  for (const std::string& code : codes) {
    std::optional<std::string> found;
    try {
      found = files::ResolveInFolder(env, folder, pack::DataFileName("qzddi100", code));
      if (!found) continue;
      auto rows = files::RowReader::Open(env, *found);
      if (!rows->Next() || rows->line().empty()) continue;
      const std::string_view extn = rows->fields().back();
      if (!text::TrimBlanks(extn).empty())
        RequireWholeNumber(rows->fields(), rows->fields().size() - 1, "the application's extn", *found, 1);
    } catch (const ComError& e) {
      if (found) RaiseAt(e, *found, 1);
      kestrel::Place place;
      place.path = folder;
      throw Error(e.number(), e.description(), std::move(place));
    }
  }
}

// The header lines: the application codes of the lines of the header's width.
std::vector<std::string> CheckHeaderLines(files::TextReader& in, const ImportOptions& o) {
  const std::string& path = in.path();
  std::string line;
  size_t lines = 0;
  std::vector<std::string> codes;
  try {
    while (in.ReadLine(line)) {
      ++lines;
      if (lines == 1) pack::RefuseByteOrderMark(line, path);
      RefuseNul(line, "the header line");
      const std::vector<std::string> fields = text::Split(line, o.FieldSeparator);
      if (fields.size() != kHeaderFieldCount) continue;
      if (!IsWholeNumber(fields[0]))
        RaiseMalformedPackFile(path, lines, "the profile number (field 1) is not a whole number", fields[0]);
      CheckProfileField(fields[0], "the profile number", "of the header line");
      CheckImportedApplicationCode(fields[1], "in the header line");
      CheckImportedApplicationCode(fields[2], "in the header line");
      RefuseCaseTwin(codes, fields[1], path, lines);
      RefuseCaseTwin(codes, fields[2], path, lines);
    }
    in.Close();
  } catch (const ComError& e) {
    RaiseAt(e, path, in.line_number());
  }
  if (lines == 0)
    RaiseAt(ComError(Number(Ours::NothingToImport),
                     TextWithDetail(Ours::NothingToImport,
                                    "the header file holds no line, so every rule would lose its profile")),
            path, 0);
  return codes;
}

}  // namespace

std::optional<Error> CheckHeaderFile(Env& env, const ImportOptions& o) {
  if (!files::FolderExists(env, o.Path)) return std::nullopt;
  const std::optional<std::string> found = files::ResolveInFolder(env, o.Path, "Qzmap100.dat");
  if (!found) return std::nullopt;
  auto in = files::TextReader::Open(env, *found);
  try {
    const std::vector<std::string> codes = CheckHeaderLines(*in, o);
    CheckChainFile(env, o.Path);
    CheckApplicationExtns(env, o.Path, codes);
    return std::nullopt;
  } catch (const Error& e) {
    // A refusal names its place; a failure that names none (a file that
    // cannot be opened, a name that matches two files) is no refusal of
    // the pack and goes on up.
    if (e.place().Empty()) throw;
    return e;
  }
}

}  // namespace kestrel::importer
