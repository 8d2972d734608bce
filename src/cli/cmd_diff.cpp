// `kestrel diff A B`: what differs between two logic packs, a pack and a
// store profile, or two store profiles, profile by profile and object by
// object; with a store alone as B (or A), what importing the pack would
// change there. A summary first, then every object that differs; --stat the
// summary only, --json everything for scripts.
#include <iostream>
#include <map>
#include <string>

#include <fmt/format.h>

#include "command.h"
#include "kestrel/diff.h"
#include "kestrel/engine.h"
#include "kestrel/store.h"
#include "lock_wait.h"
#include "output.h"

namespace kestrel::cli {
namespace {

using kestrel::diff::Bytes;
using kestrel::diff::Change;
using kestrel::diff::Result;
using kestrel::diff::Scope;
using kestrel::diff::TableCounts;

// The exit code of --exit-code when the sides differ.
constexpr int kDiffersExit = 3;

struct DiffOptions {
  std::string a, b;
  bool json = false;
  bool stat = false;
  bool exit_code = false;
  bool load_dates = false;
};

std::string ScopeName(const Scope& s) {
  switch (s.kind) {
    case Scope::Kind::Application: return "application " + ForStdout(s.application);
    case Scope::Kind::Shared: return "shared";
    case Scope::Kind::Profile: break;
  }
  if (!s.b_profile) return fmt::format("profile {} (A only)", *s.a_profile);
  if (!s.a_profile) return fmt::format("profile {} (B only)", *s.b_profile);
  if (*s.a_profile == *s.b_profile) return fmt::format("profile {}", *s.a_profile);
  return fmt::format("profile {} / {}", *s.a_profile, *s.b_profile);
}

std::string_view ChangeWord(Change::Kind k) {
  switch (k) {
    case Change::Kind::Added: return "added";
    case Change::Kind::Removed: return "removed";
    case Change::Kind::Changed: break;
  }
  return "changed";
}

void PrintSummary(std::ostream& out, const DiffOptions& o, const Result& r) {
  out << (r.Equal() ? "equal: " : "differ: ") << ForStdout(kestrel::store::MaskedText(o.a)) << " and "
      << ForStdout(kestrel::store::MaskedText(o.b)) << '\n';
  if (r.profiles_replaced) out << "the import would replace profiles: " << ListForStdout(*r.profiles_replaced) << '\n';
  if (r.applications_replaced)
    out << "the import would replace applications: " << ListForStdout(*r.applications_replaced) << '\n';
  for (const auto& [scope, tables] : r.counts) {
    std::map<std::string_view, TableCounts> kinds;  // the tables' counts summed per kind
    for (const auto& [table, c] : tables) {
      TableCounts& k = kinds[kestrel::diff::KindOfTable(table)];
      k.added += c.added, k.removed += c.removed, k.changed += c.changed, k.same += c.same;
    }
    for (const auto& [kind, c] : kinds)
      if (c.Differs())
        out << ScopeName(scope) << ", " << kind << ": " << c.added << " added, " << c.removed << " removed, "
            << c.changed << " changed, " << c.same << " the same\n";
  }
}

void PrintValueLines(std::ostream& out, char mark, const Bytes& value) {
  if (!value) {
    out << "      " << mark << " (not set)\n";
    return;
  }
  std::string_view rest = *value;
  for (;;) {
    const size_t end = rest.find("\r\n");
    out << "      " << mark << ' ' << ForStdout(rest.substr(0, end)) << '\n';
    if (end == std::string_view::npos) break;
    rest.remove_prefix(end + 2);
  }
}

void PrintDetails(std::ostream& out, const Result& r) {
  for (const auto& c : r.changes) {
    out << ChangeWord(c.kind) << ' ' << c.table << ' ' << ScopeName(c.scope) << ':';
    for (const auto& [column, value] : c.key) out << ' ' << column << '=' << ForStdout(value);
    out << '\n';
    for (const auto& f : c.fields) {
      out << "    " << f.column << '\n';
      PrintValueLines(out, '-', f.a);
      PrintValueLines(out, '+', f.b);
    }
  }
}


Json Text(const Bytes& b) { return b ? JsonText(*b) : Json(nullptr); }

void PutScope(Json& j, const Scope& s) {
  switch (s.kind) {
    case Scope::Kind::Profile:
      j["scope"] = "profile";
      j["a_profile"] = s.a_profile ? Json(*s.a_profile) : Json(nullptr);
      j["b_profile"] = s.b_profile ? Json(*s.b_profile) : Json(nullptr);
      break;
    case Scope::Kind::Application:
      j["scope"] = "application";
      j["application"] = Latin1ToUtf8(s.application);
      break;
    case Scope::Kind::Shared: j["scope"] = "shared"; break;
  }
}

Json AsJson(const DiffOptions& o, const Result& r, bool details) {
  Json j;
  j["a"] = Latin1ToUtf8(kestrel::store::MaskedText(o.a));
  j["b"] = Latin1ToUtf8(kestrel::store::MaskedText(o.b));
  j["equal"] = r.Equal();
  if (r.profiles_replaced) j["profiles_replaced"] = *r.profiles_replaced;
  if (r.applications_replaced) {
    j["applications_replaced"] = Json::array();
    for (const auto& a : *r.applications_replaced) j["applications_replaced"].push_back(Text(a));
  }
  j["summary"] = Json::array();
  for (const auto& [scope, tables] : r.counts)
    for (const auto& [table, c] : tables) {
      Json row;
      PutScope(row, scope);
      row["table"] = table;
      row["kind"] = kestrel::diff::KindOfTable(table);
      row["added"] = c.added;
      row["removed"] = c.removed;
      row["changed"] = c.changed;
      row["same"] = c.same;
      j["summary"].push_back(std::move(row));
    }
  if (!details) return j;
  j["changes"] = Json::array();
  for (const auto& c : r.changes) {
    Json row;
    row["change"] = ChangeWord(c.kind);
    PutScope(row, c.scope);
    row["table"] = c.table;
    row["kind"] = kestrel::diff::KindOfTable(c.table);
    row["key"] = Json::object();
    for (const auto& [column, value] : c.key) row["key"][column] = Latin1ToUtf8(value);
    row["fields"] = Json::array();
    for (const auto& f : c.fields) row["fields"].push_back({{"column", f.column}, {"a", Text(f.a)}, {"b", Text(f.b)}});
    j["changes"].push_back(std::move(row));
  }
  return j;
}

int RunDiff(const DiffOptions& o) {
  using kestrel::diff::Side;
  // An archive side is read as the folder it unpacks to.
  const auto side = [](const std::string& s) {
    return kestrel::diff::ParseSide(CommandEnv(), NamesPackArchive(s) ? PackFolder(s) : s);
  };
  const Side a = side(o.a), b = side(o.b);
  kestrel::diff::Options options;
  options.load_dates = o.load_dates;
  options.lock_wait_seconds = LockWaitSeconds();
  const Result r = kestrel::Diff(a, b, options, CommandContext());
  if (o.json)
    PrintJson(std::cout, AsJson(o, r, !o.stat));
  else {
    PrintSummary(std::cout, o, r);
    if (!o.stat) PrintDetails(std::cout, r);
  }
  std::cout.flush();
  return o.exit_code && !r.Equal() ? kDiffersExit : 0;
}

void DeclareDiffOptions(CLI::App& sub, DiffOptions& o) {
  sub.add_option("A", o.a, "a logic pack (folder, archive file, or - for an archive on standard input), STORE:PROFILE, or a store alone when B is a pack")->required();
  sub.add_option("B", o.b, "a logic pack (folder, archive file, or - for an archive on standard input), STORE:PROFILE, or a store alone when A is a pack")->required();
  sub.add_flag("--json", o.json, "write the summary and every difference as one JSON object");
  AddWaitOption(sub);
  sub.add_flag("--stat", o.stat, "the summary only");
  sub.add_flag("--exit-code", o.exit_code, "exit 3 when the sides differ (0 when they are equal)");
  sub.add_flag("--load-dates", o.load_dates,
               "compare the load dates of rules and libraries too (left out by default: they only say when a "
               "row was loaded)");
  sub.footer(
      "A store alone (no :PROFILE) beside a pack shows what importing the pack would change: each pack profile "
      "against the store's profile the import would replace. Objects are matched by key, never by their place "
      "in a file. Exit 0 whether the sides are equal or not (unless --exit-code), 1 on a failure, 2 on a usage "
      "error.");
  sub.parse_complete_callback([&sub, &o] {
    using kestrel::diff::Side;
    const auto store_alone = [](const std::string& s) {
      return !NamesPackArchive(s) && kestrel::diff::ParseSide(CommandEnv(), s).kind == Side::Kind::Store;
    };
    const auto pack = [](const std::string& s) {
      return NamesPackArchive(s) || kestrel::diff::ParseSide(CommandEnv(), s).kind == Side::Kind::Pack;
    };
    if ((store_alone(o.a) && !pack(o.b)) || (store_alone(o.b) && !pack(o.a)))
      throw CLI::ValidationError(sub.get_name(),
                                 fmt::format("a store without :PROFILE is compared only with a logic pack folder ({} "
                                             "is neither a folder nor STORE:PROFILE)",
                                             store_alone(o.a) ? o.a : o.b));
  });
}

const Registration kDiff{"diff", "show what differs between two logic packs or store profiles", DeclareDiffOptions,
                         RunDiff};

}  // namespace
}  // namespace kestrel::cli
