// `kestrel diff A B`: what differs between two logic packs, a pack and a
// store profile, or two store profiles, profile by profile and object by
// object, from A to B; with a store alone beside a pack, what importing the
// pack would change in the store. Shown as a unified diff would show it
// (present/diff_view.h), paged and coloured on a terminal; --json for
// scripts. The exit code answers as diff's does: 0 equal, 1 different, 2
// trouble.
#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include <fmt/format.h>
#include <fmt/ranges.h>

#include "command.h"
#include "kestrel/diff.h"
#include "kestrel/engine.h"
#include "lock_wait.h"
#include "output.h"
#include "pager.h"
#include "present/diff_view.h"

namespace kestrel::cli {
namespace {

using kestrel::present::DiffTextOptions;

// The exit codes: the sides are equal, they differ, no answer (a usage error
// or a failure, each said on stderr).
constexpr int kEqualExit = 0;
constexpr int kDifferExit = 1;
constexpr int kTroubleExit = 2;

struct DiffOptions {
  std::string a, b;
  bool json = false;
  bool stat = false;
  bool name_only = false;
  bool load_dates = false;
  bool no_pager = false;
  int context = 3;
  std::string color = "auto";
  std::vector<std::string> tables;
};

// Colours on a terminal (unless NO_COLOR is set, or the terminal is dumb),
// always or never as --color says.
bool ColourWanted(const std::string& when) {
  if (when != "auto") return when == "always";
  const std::string no_color = CommandEnv().Variable("NO_COLOR");
  return StdoutIsTerminal() && no_color.empty() && CommandEnv().Variable("TERM") != "dumb";
}

// A stored text as the terminal or the pipe should get it; on a terminal the
// control characters a pack may hold are shown as \xNN instead of being
// obeyed.
std::string Shown(std::string_view bytes) {
  std::string text = ForStdout(bytes);
  if (!StdoutIsTerminal()) return text;
  std::string out;
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if ((u < 0x20 && c != '\t') || u == 0x7F)
      out += fmt::format("\\x{:02X}", u);
    else
      out += c;
  }
  return out;
}

int Compare(const DiffOptions& o) {
  using kestrel::diff::Side;
  // An archive side is read as the folder it unpacks to; a store side may be a name.
  const auto side = [](const std::string& s) {
    Side parsed = kestrel::diff::ParseSide(CommandEnv(), NamesPackArchive(s) ? PackFolder(s) : s);
    if (parsed.kind != Side::Kind::Pack) parsed.location = ResolveStore(parsed.location);
    return parsed;
  };
  const Side a = side(o.a), b = side(o.b);
  // The sides are shown as the user named them (a store's name, "-" for an
  // archive on stdin), not as what they were resolved to.
  const auto named = [](const std::string& typed, const Side& resolved) {
    Side shown = resolved;
    shown.location = resolved.kind == Side::Kind::Pack
                         ? typed
                         : kestrel::diff::ParseSide(CommandEnv(), typed).location;
    return shown;
  };
  const Side a_named = named(o.a, a), b_named = named(o.b, b);
  kestrel::diff::Options options;
  options.load_dates = o.load_dates;
  options.lock_wait_seconds = LockWaitSeconds();
  options.tables = o.tables;
  kestrel::diff::Result r = kestrel::Diff(a, b, options, CommandContext());
  // A pack beside a store alone is compared from the store's side.
  const bool swapped = a.kind == Side::Kind::Pack && b.kind == Side::Kind::Store;
  r.a = swapped ? b_named : a_named;
  r.b = swapped ? a_named : b_named;
  std::ostringstream text;
  if (o.json) {
    PrintJson(text, kestrel::present::DiffJson(r, !o.stat, o.context));
  } else {
    DiffTextOptions shown;
    shown.mode = o.name_only ? DiffTextOptions::Mode::NameOnly
                 : o.stat    ? DiffTextOptions::Mode::Stat
                             : DiffTextOptions::Mode::Full;
    shown.context = o.context;
    shown.colour = ColourWanted(o.color);
    shown.shown = Shown;
    kestrel::present::WriteDiffText(text, r, shown);
  }
  WritePaged(text.str(), !o.no_pager && !o.json);
  return r.Equal() ? kEqualExit : kDifferExit;
}

int RunDiff(const DiffOptions& o) {
  // A failure is said as every command says it, and answered with the exit
  // code of trouble, which no comparison returns.
  bool answered = false;
  const int rc = Guard([&] {
    const int differ = Compare(o);
    answered = true;
    return differ;
  });
  return answered ? rc : kTroubleExit;
}

void DeclareDiffOptions(CLI::App& sub, DiffOptions& o) {
  sub.add_option("A", o.a, "a logic pack (folder, archive file, or - for an archive on standard input), STORE:PROFILE, or a store alone when B is a pack")->required();
  sub.add_option("B", o.b, "a logic pack (folder, archive file, or - for an archive on standard input), STORE:PROFILE, or a store alone when A is a pack")->required();
  CLI::Option* json = sub.add_flag("--json", o.json, "write the summary and every difference, each field, as one JSON object");
  AddWaitOption(sub);
  CLI::Option* stat = sub.add_flag("--stat", o.stat, "the summary only");
  sub.add_flag("--name-only", o.name_only, "one line per object that differs (what, table, profile, key), nothing else")
      ->excludes(stat)
      ->excludes(json);
  sub.add_option("-U,--unified", o.context,
                 "unchanged lines shown around the changed lines of a multi-line value, 0 to 1000000 (default 3)")
      ->type_name("N")
      ->check(CLI::Range(0, 1000000));
  sub.add_option("--color", o.color, "colours: auto (the default: on a terminal, unless NO_COLOR is set), always or never")
      ->type_name("WHEN")
      ->check(CLI::IsMember({"auto", "always", "never"}));
  sub.add_flag("--no-pager", o.no_pager, "write to the terminal directly instead of through $PAGER (less -FRX)");
  sub.add_option("--table", o.tables,
                 "compare only this table (qzmap120, qzddi150, ...); repeatable, or comma-separated")
      ->type_name("TABLE")
      ->delimiter(',')
      ->check(CLI::Validator(
          [](std::string& table) {
            const std::vector<std::string> tables = kestrel::diff::Tables();
            if (std::find(tables.begin(), tables.end(), table) != tables.end()) return std::string();
            return fmt::format("no logic pack carries a table {} (the tables: {})", table, fmt::join(tables, ", "));
          },
          ""));
  sub.add_flag("--load-dates", o.load_dates,
               "compare the load dates of rules and libraries too (left out by default: they only say when a "
               "row was loaded)");
  sub.footer(
      "Lines starting with - are A's, lines with + B's. A store alone (no :PROFILE) beside a pack shows what "
      "importing the pack would change in the store, in either order: - the store's, + the pack's. Objects are "
      "matched by key, never by their place in a file; a multi-line value shows its changed lines with -U lines "
      "of context. On a terminal the output is paged ($PAGER, else less -FRX) and coloured "
      "(unless $NO_COLOR is set).\n"
      "Exit status: 0 the sides are equal, 1 they differ, 2 trouble (a usage error, or a failure with "
      "\"error N: ...\" on stderr).");
  sub.parse_complete_callback([&o] {
    using kestrel::diff::Side;
    const auto store_alone = [](const std::string& s) {
      return !NamesPackArchive(s) && kestrel::diff::ParseSide(CommandEnv(), s).kind == Side::Kind::Store;
    };
    const auto pack = [](const std::string& s) {
      return NamesPackArchive(s) || kestrel::diff::ParseSide(CommandEnv(), s).kind == Side::Kind::Pack;
    };
    for (const std::string* typed : {&o.a, &o.b}) {
      const Side side = NamesPackArchive(*typed) ? Side{} : kestrel::diff::ParseSide(CommandEnv(), *typed);
      if (side.kind == Side::Kind::StoreProfile && (side.profile < 1 || side.profile > kestrel::kMaxProfile))
        throw CLI::ValidationError(*typed, fmt::format("{} is not a profile number (1 to {})", side.profile,
                                                       kestrel::kMaxProfile));
    }
    if ((store_alone(o.a) && !pack(o.b)) || (store_alone(o.b) && !pack(o.a)))
      throw CLI::ValidationError(store_alone(o.a) ? o.b : o.a,
                                 "neither a logic pack folder nor STORE:PROFILE, and the other side is a store "
                                 "without :PROFILE, which is compared only with a pack");
  });
}

const Registration kDiff{"diff", "show what differs between two logic packs or store profiles", DeclareDiffOptions,
                         RunDiff};

}  // namespace
}  // namespace kestrel::cli
