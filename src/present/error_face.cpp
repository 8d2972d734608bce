// The one table of what the faces say about a failure.
#include "present/error_face.h"

#include <array>
#include <cctype>
#include <string_view>

#include <fmt/format.h>

#include "kestrel/errors.h"
#include "kestrel/store.h"

namespace kestrel::present {
namespace {

// A failure and what each face says about it. `starts` tells apart the
// texts of one number (each procedure of the component numbers its own
// failures from 1); "" takes any text of the number. In `sentence`, {rest}
// stands for the text after `starts` (trimmed), {word} for its first word,
// {detail} for what the text adds in parentheses (" (Qzmap101.dat, line 1:
// ...)"), {path} for the place's path (left out where there is none) and
// {text} for the whole text. Beside a sentence that is not the whole text,
// the place's path is not shown: it is the export's root, or named in the
// sentence.
// `web_sentence`, where there is one, is the web's sentence instead of
// `sentence`.
struct Row {
  constexpr Row(int32_t n, std::string_view s, std::string_view said, std::string_view cl, std::string_view w,
                std::string_view ws = {})
      : number(n), starts(s), sentence(said), command_line(cl), web(w), web_sentence(ws) {}
  int32_t number;
  std::string_view starts;
  std::string_view sentence;
  std::string_view command_line;
  std::string_view web;
  std::string_view web_sentence;

  std::string_view SentenceOf(Face face) const {
    return face == Face::Web && !web_sentence.empty() ? web_sentence : sentence;
  }
};

constexpr std::string_view kNotAPack =
    "PACK must be a folder an export wrote, such as ROOT/ExportedRules/30-ACC10-ACCX2-M: it holds ExportMR.log";
constexpr std::string_view kProfileList = "The profile list shows the profiles the store holds.";
constexpr std::string_view kExportAgain = "Export the profile again, and choose its pack from the list.";
constexpr std::string_view kReplaceHint =
    "add --replace to delete and replace them (--dry-run shows what the import would change)";
constexpr std::string_view kConfirmHint =
    "Press Import and confirm the replacement in the dialog that names what it replaces.";
constexpr std::string_view kAsExported =
    "The wizard imports only packs that are as their export wrote them: export the profile again.";

constexpr std::array kRows = {
    // The export's own failures.
    Row{1, "Error : Path Not Found ", "The export root {rest} does not exist",
        "create it, or name another with --root (without it: $KESTREL_EXPORT_ROOT, else ~/ImpExpMR)",
        "Create the folder, or start the wizard with an export root that exists."},
    Row{2, "Error : Migration Profile Not found PROFILE NUMBER = ", "The store holds no profile {rest}",
        "`kestrel list --store STORE` lists the profiles it holds", kProfileList},
    Row{3, "Error : Migration Profile Already Exported", "The pack {path} exists already", "add --overwrite to replace it",
        "Tick “Write again into an existing pack folder” to replace it, or open it from the Packs page.",
        "A pack of this profile with these options is already in the export root."},
    Row{4, "Error : --ExportObjectEx-- Parent Profile is missing",
        "A base profile of the profile is missing from the store",
        "`kestrel list --tree --store STORE` shows each profile's base profiles; --single exports the profile alone",
        "Export the profile alone (a single profile) instead."},
    Row{100, "Error : Qzddi100 - No Data Present for Applications",
        "The store holds no row of application {rest} in qzddi100", "", ""},
    // Reading a pack's details.
    Row{1, "ShowLogicPackDetails - Path Not Found ", "The pack folder {rest} does not exist",
        "PACK is the pack folder or archive file `kestrel export` printed", "Choose a pack from the list."},
    Row{2, "ShowLogicPackDetails - Log File Missing ExportMR.log",
        "The folder {path} is not a logic pack: it has no ExportMR.log", kNotAPack, "Choose a pack from the list."},
    Row{3, "ShowLogicPackDetails - Exported Objects are incorrect",
        "The export that wrote the pack {path} failed: its manifest begins with ERRORS",
        "export the profile again", kExportAgain},
    Row{4, "ShowLogicPackDetails - Incorrect log file or log file corrupted",
        "The manifest ExportMR.log of the pack {path} is damaged", "export the profile again", kExportAgain},
    Row{5, "ShowLogicPackDetails - At least one or more data files are missing.",
        "The pack {path} lacks {rest}, a file its manifest lists", "`kestrel ls PACK` lists the files the pack holds",
        kExportAgain},
    Row{100, "Import Migration Profile - ", "The pack file {word} is cut short or damaged{detail}",
        "export the profile again", kExportAgain},
    Row{505, "Could not retrieve installation directory", "The registry file {path} records no installation folder",
        "run `kestrel setup --install-dir DIR` (with --registry FILE to choose the file)",
        "Record an installation folder, then start the wizard again."},
    // SQLite's own words for a table the store lacks (number 1, SQLITE_ERROR).
    Row{1, "no such table: ", "The store has no table {rest}", "", ""},
    // Ours: the text is the sentence already; the faces add the hint.
    Row{static_cast<int32_t>(Ours::ReplaceNotConfirmed),
        "The import would delete and replace what the store holds: the store holds ", "{text}", kReplaceHint,
        kConfirmHint,
        "The import would delete and replace what the store holds ({rest}), which was not confirmed. "
        "Nothing was imported."},
    Row{static_cast<int32_t>(Ours::ReplaceNotConfirmed), "", "{text}", kReplaceHint, kConfirmHint,
        "The import would delete and replace what the store holds, which was not confirmed. Nothing was imported."},
    // The wizard's own: the store changed while the person confirmed, an
    // import runs already, a request without the wizard's token.
    Row{static_cast<int32_t>(Ours::ReplaceNotAsConfirmed), "", "{text}", "",
        "Nothing was imported. Press Import again to see what it replaces now."},
    Row{static_cast<int32_t>(Ours::ImportRunning), "", "{text}", "",
        "Its progress shows on the page that started it; the Run log follows."},
    Row{rt::PermissionDenied, kRequestRefused, "{text}", "",
        "Open the wizard at the address, with its token, printed when the wizard started.",
        "This page has no access to the wizard."},
    Row{static_cast<int32_t>(Ours::PackWithoutSums), "", "{text}",
        "a pack an older export wrote has no sums; --no-sums takes it unchecked (`kestrel ls PACK` lists its files)",
        kAsExported},
    Row{static_cast<int32_t>(Ours::PackSumsMismatch), "", "{text}", "", kAsExported},
    Row{static_cast<int32_t>(Ours::StoreLocked), "", "{text}",
        "--wait SECONDS waits longer for the other program (up to 86400)",
        "Another program is writing to the store; try again once it has finished."},
    Row{static_cast<int32_t>(Ours::PackArchiveExists), "", "{text}", "add --overwrite to replace it", ""},
    Row{static_cast<int32_t>(Ours::PromoteIntoItself), "", "{text}",
        "name another store as the destination (`kestrel stores` lists the named ones)", ""},
    Row{static_cast<int32_t>(Ours::RunNotKept), "", "{text}",
        "`kestrel history --store STORE` lists the runs the store keeps", ""},
    Row{static_cast<int32_t>(Ours::RunUndoneAlready), "", "{text}",
        "`kestrel history --store STORE` shows the run that undid it, which may itself be undone", ""},
    Row{static_cast<int32_t>(Ours::UndoAfterLaterRun), "", "{text}",
        "undo the later run first, or add --force to undo this one anyway", ""},
    Row{static_cast<int32_t>(Ours::NotAProfileStore), "", "{text}",
        "`kestrel init-store FILE` makes an empty profile store, `kestrel demo-store FILE` one with demo data", ""},
    Row{static_cast<int32_t>(Ours::ProfileNotStored), "", "{text}",
        "`kestrel list --store STORE` lists the profiles it holds", kProfileList},
};

// What a server's SQLSTATE says to do, by its class (two characters) or
// the whole code.
struct ServerHint {
  std::string_view code;
  std::string_view command_line;
  std::string_view web;
};

constexpr std::array kServerHints = {
    ServerHint{"08", "is the server running, and does the location name its host, port and database?",
               "The store's server cannot be reached: is it running?"},
    ServerHint{"28", "the server refused the user: check the user of the location, and the password in PGPASSWORD "
                     "or ~/.pgpass", "The store's server refused the wizard's user."},
    ServerHint{"3D000", "the database does not exist: create it on the server, then the store with "
                        "`kestrel init-store LOCATION`", ""},
    ServerHint{"42501", "the location's user lacks a right on the store's tables: ask the database's owner to grant it",
               "The wizard's user lacks a right on the store's tables."},
};

// What to do about a file that is missing, by its name.
struct FileHint {
  std::string_view name;
  std::string_view command_line;
  std::string_view web;
};

constexpr std::array kFileHints = {
    FileHint{"ExportMR.log", kNotAPack,
             "Choose a pack from the list."},
};

// " (SQLSTATE 42P01)" in a server store's text: the code, and the text without it.
std::string TakeSqlState(std::string& text) {
  static constexpr std::string_view kHead = " (SQLSTATE ";
  const size_t at = text.rfind(kHead);
  if (at == std::string::npos || at + kHead.size() + 6 > text.size() || text[at + kHead.size() + 5] != ')')
    return "";
  const std::string code = text.substr(at + kHead.size(), 5);
  for (char c : code)
    if (!std::isdigit(static_cast<unsigned char>(c)) && !std::isupper(static_cast<unsigned char>(c))) return "";
  text.erase(at, kHead.size() + 6);
  return code;
}

std::string_view Trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\r' || s.front() == '\n')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\r' || s.back() == '\n')) s.remove_suffix(1);
  return s;
}

const Row* RowOf(int32_t number, std::string_view text) {
  for (const Row& row : kRows)
    if (row.number == number && text.starts_with(row.starts)) return &row;
  return nullptr;
}

}  // namespace

Said Say(const Error& e, Face face) {
  Said said;
  said.number = e.number();
  said.description = e.description();
  said.place = e.place();
  said.beside = e.place();
  // A failure a procedure's trap caught is said as the one it caught.
  const Error* caught = &e;
  while (caught->caught()) caught = caught->caught();
  const int32_t number = caught->number();
  std::string text = e.description();
  said.sqlstate = TakeSqlState(text);

  const std::string& path = said.place.path;
  said.sentence = text;
  if (const Row* row = RowOf(number, text)) {
    const std::string_view rest = Trimmed(std::string_view(text).substr(row->starts.size()));
    const size_t open = text.find(" (");
    // "The pack {path} exists already" without a path: "The pack exists already".
    std::string pattern(row->SentenceOf(face));
    if (path.empty())
      if (const size_t at = pattern.find(" {path}"); at != std::string::npos) pattern.erase(at, 7);
    said.sentence = fmt::format(fmt::runtime(pattern), fmt::arg("rest", rest),
                                fmt::arg("word", rest.substr(0, rest.find(' '))), fmt::arg("path", path),
                                fmt::arg("detail", open == std::string::npos ? "" : text.substr(open)),
                                fmt::arg("text", text));
    said.hint = face == Face::CommandLine ? row->command_line : row->web;
    // The export names its root as the place of every failure; a sentence
    // about a profile or a root says what it is about.
    if (pattern.find("{text}") == std::string::npos) said.beside.path.clear();
  } else if (!path.empty() && text == RuntimeErrorText(number)) {
    // The file layer's failures carry the run time's text alone, as the
    // component's messages quote it; the face names the file.
    said.sentence = text + ": " + path;
    if (number == rt::FileNotFound)
      for (const FileHint& h : kFileHints)
        if (path.ends_with("/" + std::string(h.name))) said.hint = face == Face::CommandLine ? h.command_line : h.web;
  }
  if (!said.sqlstate.empty())
    for (const ServerHint& h : kServerHints)
      if (said.sqlstate.starts_with(h.code)) said.hint = face == Face::CommandLine ? h.command_line : h.web;
  // A place the sentence names already is not said twice.
  Place& beside = said.beside;
  const std::string at = beside.Text();
  if ((!at.empty() && said.sentence.find(at) != std::string::npos) ||
      (!beside.path.empty() && said.sentence.find(beside.path) != std::string::npos))
    beside = Place{};
  if (!beside.table.empty() && said.sentence.find("table " + beside.table) != std::string::npos) beside.table.clear();
  return said;
}

Json SaidJson(const Said& said, Face face) {
  Json error{{"number", said.number}};
  if (face == Face::Web) {
    error["description"] = JsonText(said.description);
    error["sentence"] = JsonText(said.sentence);
  } else {
    error["description"] = JsonText(said.sentence);
  }
  if (!said.hint.empty()) error["hint"] = said.hint;
  if (!said.sqlstate.empty()) error["sqlstate"] = said.sqlstate;
  error["place"] = PlaceJson(said.place);
  return Json{{"error", std::move(error)}};
}

std::vector<std::string_view> FixedTexts(Face face) {
  const auto of = [face](const auto& row) { return face == Face::CommandLine ? row.command_line : row.web; };
  std::vector<std::string_view> texts;
  for (const Row& row : kRows) texts.insert(texts.end(), {row.SentenceOf(face), of(row)});
  for (const ServerHint& h : kServerHints) texts.push_back(of(h));
  for (const FileHint& h : kFileHints) texts.push_back(of(h));
  return texts;
}

}  // namespace kestrel::present
