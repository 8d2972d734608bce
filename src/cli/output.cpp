// Texts, JSON and tables on stdout, and the notices of -q and -v on stderr.
#include "output.h"

#include <unistd.h>

#include <algorithm>
#include <iostream>
#include <optional>

#include <fmt/format.h>
#include <fmt/ranges.h>

#include "command.h"
#include "kestrel/errors.h"
#include "kestrel/store.h"
#include "present/shown_text.h"

namespace kestrel::cli {
namespace {

Verbosity g_verbosity = Verbosity::Normal;

// How stored texts are shown: set by --bytes, else read once from the
// locale.
std::optional<kestrel::present::ShownEncoding> g_encoding;

kestrel::present::ShownEncoding Encoding() {
  if (!g_encoding) g_encoding = kestrel::present::EncodingOfLocale(CommandEnv());
  return *g_encoding;
}

size_t DisplayWidth(const std::string& cell) { return kestrel::present::ShownWidth(cell, Encoding()); }

}  // namespace

std::string ForStdout(std::string_view bytes) { return kestrel::present::ShownText(bytes, Encoding()); }

std::string StoredFromTyped(std::string_view typed) { return kestrel::present::StoredFromTyped(typed, Encoding()); }

void ShowStoredBytes(bool bytes) {
  g_encoding = bytes ? kestrel::present::ShownEncoding::StoredBytes : kestrel::present::EncodingOfLocale(CommandEnv());
}

std::string ListForStdout(const std::vector<int64_t>& numbers) {
  return numbers.empty() ? "none" : fmt::format("{}", fmt::join(numbers, ", "));
}

std::string ListForStdout(const std::vector<std::string>& texts) {
  if (texts.empty()) return "none";
  return ForStdout(fmt::format("{}", fmt::join(texts, ", ")));
}

namespace {
bool g_json_wanted = false, g_json_printed = false;
}  // namespace

void PrintJson(std::ostream& out, const Json& value) {
  out << value.dump() << '\n';
  if (&out == &std::cout) g_json_printed = true;
}

void WantJson(bool json) { g_json_wanted = json; }

bool JsonFailureWanted() { return g_json_wanted && !g_json_printed; }

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

void RequireConsent(bool yes, const std::function<std::string()>& question) {
  if (yes) return;
  const auto refuse = [](const std::string& why) {
    const auto code = kestrel::Ours::ChangeNotConfirmed;
    throw kestrel::Error(kestrel::Number(code), std::string(kestrel::DefaultText(code)) + why);
  };
  if (::isatty(STDIN_FILENO) != 1) refuse(": no terminal to ask on (stdin is not one)");
  EndProgress();
  std::cout << std::flush;
  std::cerr << question() << " [y/N] " << std::flush;
  std::string answer;
  if (!std::getline(std::cin, answer) || answer.empty() || (answer[0] != 'y' && answer[0] != 'Y')) refuse("");
}

}  // namespace kestrel::cli
