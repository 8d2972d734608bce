// Named stores: reading the stores files and resolving a name to its
// location (kestrel/named_stores.h says what the files hold and which wins).
#include "kestrel/named_stores.h"

#include <algorithm>
#include <map>

#include <fmt/format.h>

#include "base/error.h"
#include "base/errors_ours.h"
#include "base/files.h"
#include "kestrel/env.h"
#include "kestrel/registry.h"
#include "kestrel/store.h"

namespace kestrel::store {
namespace {

bool Blank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trimmed(std::string_view s) {
  while (!s.empty() && Blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && Blank(s.back())) s.remove_suffix(1);
  return s;
}

// What is wrong with a line, named by its file and number. The line is never
// quoted: it may hold a password.
[[noreturn]] void BadLine(const std::string& file, int line, std::string_view what) {
  RaiseWithDetail(Ours::StoresFileLine, fmt::format("{}, line {}: {}", file, line, what));
}

// A location as the file gives it, "~/" made the home folder; a relative
// path would mean another store in every folder a command runs in.
std::string LocationOf(Env& env, std::string_view text, const std::string& file, int line) {
  if (text.empty()) BadLine(file, line, "no location after '='");
  if (IsServerLocation(text) || text.front() == '/') return std::string(text);
  if (text.substr(0, 2) == "~/") {
    const std::string home = HomeFolder(env);
    if (home.empty()) BadLine(file, line, "the location starts with ~/ but no home folder is known");
    return files::Join(home, text.substr(2));
  }
  BadLine(file, line, "the location is neither an absolute path, ~/PATH nor a server location (postgresql://...)");
}

struct FileEntries {
  std::string file;
  std::vector<NamedStore> entries;
};

// Every entry of one file, in its order; a name given twice is a mistake
// that would make the first line a dead one.
FileEntries ReadFile(Env& env, const std::string& file) {
  std::string all;
  try {
    all = files::ReadWholeFile(env, file);
  } catch (const ComError& e) {
    RaiseWithDetail(Ours::StoresFileUnreadable, file + ": " + e.description());
  }
  FileEntries out{file, {}};
  std::map<std::string, int, std::less<>> seen;  // name -> line
  int number = 0;
  for (size_t start = 0; start < all.size();) {
    size_t end = all.find('\n', start);
    if (end == std::string::npos) end = all.size();
    std::string_view raw(all.data() + start, end - start);
    start = end + 1;
    ++number;
    if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
    if (raw.find('\0') != std::string_view::npos) BadLine(file, number, "the line holds a NUL byte");
    if (raw.find('\r') != std::string_view::npos) BadLine(file, number, "a CR inside the line");
    const std::string_view line = Trimmed(raw);
    if (line.empty() || line.front() == '#' || line.front() == ';') continue;
    if (line.front() == '[') BadLine(file, number, "sections are not used: every entry is NAME = LOCATION");
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos) BadLine(file, number, "no '=' after the name");
    const std::string_view name = Trimmed(line.substr(0, eq));
    if (name.empty()) BadLine(file, number, "no name before '='");
    if (!IsStoreName(name)) BadLine(file, number, "the name before '=' is not a store name (letters, digits, - and _)");
    if (const auto it = seen.find(name); it != seen.end())
      BadLine(file, number, fmt::format("the name {} is given on line {} already", name, it->second));
    seen.emplace(std::string(name), number);
    out.entries.push_back({std::string(name), LocationOf(env, Trimmed(line.substr(eq + 1)), file, number),
                           {file, number}, {}});
  }
  return out;
}

// Every stores file that is read, in their order.
std::vector<FileEntries> ReadAll(Env& env) {
  std::vector<FileEntries> out;
  const std::string chosen = env.Variable(std::string(kStoresFileVariable));
  for (const std::string& file : StoresFiles(env)) {
    if (file != chosen && env.KindOf(file) == EntryKind::Missing) continue;
    if (file == chosen && !env.FileExists(file) && !env.FolderExists(file))
      RaiseWithDetail(Ours::StoresFileUnreadable,
                      fmt::format("{}: no such file (${} names it)", file, kStoresFileVariable));
    if (env.FolderExists(file)) RaiseWithDetail(Ours::StoresFileUnreadable, file + ": a folder, not a file");
    out.push_back(ReadFile(env, file));
  }
  return out;
}

}  // namespace

std::vector<std::string> StoresFiles(Env& env) {
  std::vector<std::string> out;
  if (std::string chosen = env.Variable(std::string(kStoresFileVariable)); !chosen.empty())
    out.push_back(std::move(chosen));
  if (std::string user = UserConfigFilePath(env, "stores.ini"); !user.empty()) out.push_back(std::move(user));
  out.emplace_back(kSystemStoresFile);
  // The same file named twice ($KESTREL_STORES naming the user's) is read once.
  for (size_t i = 1; i < out.size(); ++i)
    if (std::find(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(i), out[i]) !=
        out.begin() + static_cast<std::ptrdiff_t>(i))
      out.erase(out.begin() + static_cast<std::ptrdiff_t>(i--));
  return out;
}

std::vector<NamedStore> NamedStores(Env& env) {
  std::map<std::string, NamedStore, std::less<>> by_name;
  for (FileEntries& f : ReadAll(env))
    for (NamedStore& entry : f.entries) {
      auto [it, added] = by_name.try_emplace(entry.name, entry);
      if (!added) it->second.overrides.push_back(entry.place);
    }
  std::vector<NamedStore> out;
  for (auto& [name, entry] : by_name) out.push_back(std::move(entry));
  return out;
}

bool IsStoreName(std::string_view text) {
  const auto alnum = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); };
  // A name never starts with "-", which would read as an option.
  return !text.empty() && alnum(text.front()) &&
         std::all_of(text.begin(), text.end(), [&](char c) { return alnum(c) || c == '-' || c == '_'; });
}

ResolvedStore ResolveStoreLocation(Env& env, const std::string& given) {
  ResolvedStore out{given, std::nullopt, false};
  if (!IsStoreName(given)) return out;
  for (NamedStore& entry : NamedStores(env))
    if (entry.name == given) out.named = std::move(entry);
  if (!out.named) return out;
  if (env.KindOf(given) != EntryKind::Missing)
    out.passed_over = true;
  else
    out.location = out.named->location;
  return out;
}

}  // namespace kestrel::store
