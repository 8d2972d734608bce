// Waiting for a store's write lock by asking again, briefly apart, and what a
// wait for another program's lock that ran out reports.
#include "store/lock_wait.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include <fmt/format.h>
#include <fmt/ranges.h>

#include "base/errors_ours.h"
#include "base/text.h"
#include "store/open.h"

namespace kestrel::store {
namespace {

// Short enough that a lock let go is taken at once, long enough that the
// wait costs nothing.
constexpr std::chrono::milliseconds kLockPoll{25};

bool IsWordCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '"' ||
         c == '.';
}

}  // namespace

bool WaitForWriteLock(const WriteLockOptions& options, const std::function<bool()>& take) {
  const auto deadline = std::chrono::steady_clock::now() + options.wait;
  bool told = false;
  while (!take()) {
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline || (options.interrupted && options.interrupted())) return false;
    if (!told && options.waiting) options.waiting();
    told = true;
    std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(kLockPoll, deadline - now));
  }
  return true;
}

std::vector<std::string> TablesNamed(std::string_view statement) {
  // Words in quotes are values, not names: they are skipped whole.
  std::vector<std::string> words;
  for (size_t i = 0; i < statement.size();) {
    if (statement[i] == '\'') {
      i = statement.find('\'', i + 1);
      i = i == std::string_view::npos ? statement.size() : i + 1;
    } else if (IsWordCharacter(statement[i])) {
      const size_t start = i;
      while (i < statement.size() && IsWordCharacter(statement[i])) ++i;
      words.emplace_back(statement.substr(start, i - start));
    } else {
      ++i;
    }
  }
  std::vector<std::string> tables;
  for (size_t i = 0; i + 1 < words.size(); ++i) {
    const std::string keyword = text::LowerAscii(words[i]);
    if (keyword != "from" && keyword != "join" && keyword != "into" && keyword != "update" && keyword != "table")
      continue;
    std::string name = words[i + 1];
    std::erase(name, '"');
    // The store's catalogue is read by everyone and locked by no one.
    const std::string lower = text::LowerAscii(name);
    if (lower == "select" || lower.starts_with("sqlite_") || lower.starts_with("pg_") ||
        lower.starts_with("information_schema."))
      continue;
    if (const size_t dot = name.rfind('.'); dot != std::string::npos) name.erase(0, dot + 1);
    if (name.empty()) continue;
    if (std::find(tables.begin(), tables.end(), name) == tables.end()) tables.push_back(name);
  }
  return tables;
}

ComError LockNotHad(const std::string& location, std::string_view statement, std::chrono::milliseconds waited) {
  const std::vector<std::string> tables = TablesNamed(statement);
  std::string what;
  if (!tables.empty()) what = fmt::format("{} {} of ", tables.size() == 1 ? "table" : "tables", fmt::join(tables, ", "));
  const std::string detail = fmt::format("{}{} (waited {:g} s)", what, MaskedLocation(location),
                                         std::chrono::duration<double>(waited).count());
  return ComError(Number(Ours::StoreLocked), TextWithDetail(Ours::StoreLocked, detail));
}

}  // namespace kestrel::store
