// Texts, JSON and tables on stdout, and the notices of -q and -v on stderr.
#include "output.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <clocale>
#include <cstring>
#include <iostream>

#include <fmt/format.h>
#include <fmt/ranges.h>

#include "command.h"
#include "kestrel/store.h"

namespace kestrel::cli {
namespace {

Verbosity g_verbosity = Verbosity::Normal;

// Whether stdout is a terminal that shows UTF-8: decided once, from the
// locale the environment names (LC_ALL, LC_CTYPE, LANG, as setlocale reads
// them).
bool StdoutDecodes() {
  static const bool decodes = [] {
    if (::isatty(STDOUT_FILENO) != 1) return false;
    const char* locale = std::setlocale(LC_CTYPE, "");
    if (locale == nullptr) return false;
    std::string name = locale;
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
    std::setlocale(LC_CTYPE, "C");
    return name.find("utf-8") != std::string::npos || name.find("utf8") != std::string::npos;
  }();
  return decodes;
}

size_t DisplayWidth(const std::string& cell) {
  if (!StdoutDecodes()) return cell.size();
  return static_cast<size_t>(
      std::count_if(cell.begin(), cell.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

}  // namespace

std::string ForStdout(std::string_view bytes) {
  return StdoutDecodes() ? Latin1ToUtf8(bytes) : std::string(bytes);
}

std::string ListForStdout(const std::vector<int64_t>& numbers) {
  return numbers.empty() ? "none" : fmt::format("{}", fmt::join(numbers, ", "));
}

std::string ListForStdout(const std::vector<std::string>& texts) {
  if (texts.empty()) return "none";
  return ForStdout(fmt::format("{}", fmt::join(texts, ", ")));
}

void PrintJson(std::ostream& out, const Json& value) { out << value.dump() << '\n'; }

void PrintTable(std::ostream& out, const std::vector<std::vector<std::string>>& rows,
                const std::vector<size_t>& right_aligned) {
  std::vector<size_t> width;
  for (const auto& r : rows) {
    if (width.size() < r.size()) width.resize(r.size(), 0);
    for (size_t c = 0; c < r.size(); ++c) width[c] = std::max(width[c], DisplayWidth(r[c]));
  }
  for (const auto& r : rows) {
    std::string line;
    for (size_t c = 0; c < r.size(); ++c) {
      if (c) line += "  ";
      const std::string pad(width[c] - DisplayWidth(r[c]), ' ');
      const bool right = std::find(right_aligned.begin(), right_aligned.end(), c) != right_aligned.end();
      line += right ? pad + r[c] : r[c] + pad;
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    out << line << '\n';
  }
}

Verbosity CurrentVerbosity() { return g_verbosity; }
void SetVerbosity(Verbosity v) { g_verbosity = v; }

void Notice(const std::string& line) {
  if (g_verbosity == Verbosity::Quiet) return;
  EndProgress();
  std::cerr << kestrel::store::MaskedText(line) << '\n';
}

void Detail(const std::string& line) {
  if (g_verbosity != Verbosity::Verbose) return;
  EndProgress();
  std::cerr << kestrel::store::MaskedText(line) << '\n';
}

}  // namespace kestrel::cli
