// The web wizard's calls, each as the command of the same name runs it.
#include <fmt/format.h>

#include "web/wizard.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <system_error>
#include <vector>

#include "kestrel/cls_export.h"
#include "kestrel/details.h"
#include "kestrel/engine.h"
#include "kestrel/error.h"
#include "kestrel/errors.h"
#include "kestrel/inspect.h"
#include "kestrel/interruption.h"
#include "kestrel/latin1.h"
#include "kestrel/store.h"
#include "present/import_object.h"
#include "present/import_view.h"
#include "present/json.h"
#include "present/store_view.h"
#include "web/access.h"

namespace kestrel::web {
namespace {

using Kestrel20ImpExp::clsImport;
namespace present = kestrel::present;

// A request the page should not have sent: answered with 400.
struct BadRequest {
  int32_t number;
  std::string text;
};

Reply ErrorReply(int status, int32_t number, const std::string& description) {
  return {status, present::ErrorJson(number, description)};
}

[[noreturn]] void Refuse(const std::string& text) {
  throw BadRequest{kestrel::Number(kestrel::Ours::InvalidSelection), text};
}

// Runs a call, turning what it throws into its error reply.
Reply Answer(const std::function<Reply()>& call) {
  try {
    return call();
  } catch (const BadRequest& e) {
    return ErrorReply(400, e.number, e.text);
  } catch (const kestrel::ComError& e) {
    return ErrorReply(422, e.number(), e.description());
  } catch (const std::exception& e) {
    const kestrel::ComError c = kestrel::AsComError(e);
    return ErrorReply(500, c.number(), c.description());
  }
}

Json ParseRequest(const std::string& body) {
  Json request = Json::parse(body, nullptr, false);
  if (request.is_discarded() || !request.is_object()) Refuse("the request is not a JSON object");
  return request;
}

// A text the page typed, back to the stored bytes it stands for.
std::string StoredText(const Json& value, const std::string& what) {
  if (value.is_number_integer()) return std::to_string(value.get<int64_t>());
  if (!value.is_string()) Refuse(what + " is not a text");
  std::optional<std::string> bytes = kestrel::Utf8ToLatin1(value.get<std::string>());
  if (!bytes) Refuse(what + " holds a character no stored byte stands for");
  return *bytes;
}

bool Flag(const Json& request, const char* name) {
  const auto found = request.find(name);
  if (found == request.end() || found->is_null()) return false;
  if (!found->is_boolean()) Refuse(fmt::format("\"{}\" is not true or false", name));
  return found->get<bool>();
}

// A profile number field: 0 when absent, else lowest..kMaxProfileNumber.
int ProfileNumber(const Json& request, const char* name, int lowest) {
  const auto found = request.find(name);
  if (found == request.end() || found->is_null()) return 0;
  if (!found->is_number_integer()) Refuse(fmt::format("\"{}\" is not a profile number", name));
  const int64_t n = found->get<int64_t>();
  if (n < lowest || n > kestrel::kMaxProfile)
    Refuse(fmt::format("\"{}\" must be a profile number from {} to {}", name, lowest, kestrel::kMaxProfile));
  return static_cast<int>(n);
}

// The target entries of the page's table: six fields each, joined by "|",
// refused as `--target` refuses them.
std::vector<std::string> TargetEntries(const Json& request) {
  const auto found = request.find("targets");
  if (found == request.end() || !found->is_array()) Refuse("\"targets\" is not a list of target entries");
  std::vector<std::string> entries;
  for (const Json& fields : *found) {
    if (!fields.is_array() || fields.size() != 6) Refuse("a target entry is a list of six fields");
    std::string entry;
    for (size_t k = 0; k < fields.size(); ++k)
      entry += (k ? "|" : "") + StoredText(fields[k], "a field of a target entry");
    if (std::string problem = kestrel::TargetEntryProblem(entry); !problem.empty()) Refuse(problem);
    entries.push_back(entry);
  }
  return entries;
}

// Everything in a file, "" when there is none.
std::string ReadAll(kestrel::Env& env, const std::string& path) {
  if (!env.FileExists(path)) return "";
  auto file = env.OpenForReading(path);
  std::string text;
  char buffer[65536];
  while (size_t n = file->Read(buffer, sizeof buffer)) text.append(buffer, n);
  return text;
}

std::string LastPart(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

Wizard::Wizard(WizardOptions options) : options_(std::move(options)) {}

std::string Wizard::PacksFolder() const { return Kestrel20ImpExp::clsExport::PacksFolder(options_.export_root); }

Reply Wizard::Profiles() {
  return Answer([&] {
    auto store = kestrel::store::Open(options_.store, options_.wait_seconds);
    const auto profiles = kestrel::inspect::ListProfiles(*store);
    return Reply{200, Json{{"store", present::JsonText(kestrel::store::MaskedLocation(options_.store))},
                           {"profiles", present::ProfilesJson(profiles, false)},
                           {"tree", present::ProfilesJson(profiles, true)}}};
  });
}

Reply Wizard::Export(const std::string& body) {
  return Answer([&] {
    const Json request = ParseRequest(body);
    const int profile = ProfileNumber(request, "profile", 1);
    if (profile == 0) Refuse("\"profile\" names the profile to export");
    const bool single = Flag(request, "single");
    const int new_number = ProfileNumber(request, "new_number", 0);
    const int based_on = ProfileNumber(request, "based_on", 0);
    const bool traverse_parent = Flag(request, "traverse_parent");
    if ((new_number || traverse_parent) && !single)
      Refuse("a new profile number and taking rules from the nearest base profile need a single-profile export");

    Kestrel20ImpExp::clsExport e(kestrel::Env::Default());
    e.putref_DataConnection(kestrel::store::Open(options_.store, options_.wait_seconds));
    e.put_MigrationProfileTobeExported(static_cast<int16_t>(profile));
    e.put_Path(options_.export_root);
    e.put_ExportToSingleProfile(single);
    e.put_NewProfileNumber(static_cast<int16_t>(new_number));
    e.put_ExportRevisionInformation(Flag(request, "revisions"));
    e.put_ExportForSync(Kestrel20ImpExp::Variant(Flag(request, "sync")));
    if (based_on) e.put_ExportBasedOn(Kestrel20ImpExp::Variant(std::to_string(based_on)));
    e.put_traveseparent(traverse_parent);
    e.put_OverWrite(Flag(request, "overwrite"));
    if (!e.ExportMigrationProfiles()) return ErrorReply(422, e.get_ErrorNumber(), e.get_ErrorDescription());
    return Reply{200,
                 Json{{"pack", present::JsonText(LastPart(e.PackFolder()))}, {"folder", present::JsonText(e.PackFolder())}}};
  });
}

Reply Wizard::Packs() {
  return Answer([&] {
    std::vector<std::string> names;
    // The environment lists files only; the names of the pack folders are
    // read here, and each pack through inspect as `ls` reads it.
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(PacksFolder(), ec))
      if (entry.is_directory(ec) && PackNameProblem(entry.path().filename().string()).empty())
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    Json packs = Json::array();
    for (const std::string& name : names) {
      Json pack{{"name", present::JsonText(name)}};
      try {
        const auto contents = kestrel::inspect::InspectPack(kestrel::Env::Default(), PacksFolder() + "/" + name);
        pack["export_succeeded"] = contents.export_succeeded;
        pack["profiles"] = present::PackJson(name, contents)["profiles"];
      } catch (const kestrel::ComError& e) {
        pack["problem"] = present::JsonText(e.description());
      }
      packs.push_back(pack);
    }
    return Reply{200, Json{{"root", present::JsonText(options_.export_root)}, {"packs", packs}}};
  });
}

namespace {

// The folder of the pack the page names: one folder below `packs`.
std::string PackFolderOf(const std::string& packs, const std::string& name) {
  if (std::string problem = PackNameProblem(name); !problem.empty())
    throw BadRequest{kestrel::rt::PathNotFound, problem};
  const std::string folder = packs + "/" + name;
  if (!kestrel::Env::Default().FolderExists(folder))
    throw kestrel::ComError(kestrel::rt::PathNotFound, fmt::format("there is no pack {} in {}", name, packs));
  return folder;
}

// The object for a pack, connected as `verify` and `import` connect it, and
// the details ShowLogicPackDetails proposes. A pack without sums is refused:
// the wizard has no way to say it was meant.
std::unique_ptr<clsImport> OpenForImport(const WizardOptions& o, const std::string& folder, std::string& proposal) {
  auto import = present::CreateImportObject(kestrel::Env::Default(), o.registry);
  import->putref_DataConnection(kestrel::store::Open(o.store, o.wait_seconds));
  import->put_Path(folder);
  // The store is also the name the bulk loading is given, on this machine.
  import->put_DatabaseName(o.store);
  import->put_DatabaseServer("local");
  if (!import->ShowLogicPackDetails(proposal))
    throw kestrel::ComError(import->get_ErrorNumber(), import->get_ErrorDescription());
  return import;
}

std::string PackName(const Json& request) {
  const auto found = request.find("pack");
  if (found == request.end() || !found->is_string()) Refuse("\"pack\" names the pack");
  return StoredText(*found, "\"pack\"");
}

// The import (or dry run) on the job's thread, with its progress reported to
// the job; the outcome carries the summary or the error, and the lines the
// run log gained.
ImportJob::Outcome RunImport(clsImport& import, const std::string& details, bool dry_run, ImportJob& job) {
  kestrel::Env& env = kestrel::Env::Default();
  const size_t log_before = ReadAll(env, import.RunLogPath()).size();
  import.SetProgress(
      [&job](const std::string& what, int64_t done, int64_t total) { job.Progress(what, done, total); });
  import.SetNotice([&job](const std::string& line) { job.Notice(line); });
  import.SetLockWait(kestrel::store::kDefaultLockWaitSeconds);
  import.SetDryRun(dry_run);
  ImportJob::Outcome outcome;
  std::string run_details = details, message;
  try {
    kestrel::ClearInterruption();
    outcome.succeeded = import.ImportLogicPack(run_details, message);
    if (outcome.succeeded) {
      outcome.result =
          Json{{"summary", present::ImportSummaryJson(kestrel::ParseDetails(run_details), import.Summary())}};
    } else {
      const kestrel::ComError failure = present::FailureOf(import, message);
      outcome.result = ErrorReply(422, failure.number(), failure.description()).body;
      outcome.result["refused_at"] = present::JsonText(import.RefusedAt());
    }
  } catch (const std::exception& e) {
    const kestrel::ComError c = kestrel::AsComError(e);
    outcome.result = ErrorReply(500, c.number(), c.description()).body;
  }
  const std::string log = ReadAll(env, import.RunLogPath());
  outcome.log = kestrel::Latin1ToUtf8(log.size() >= log_before ? log.substr(log_before) : log);
  return outcome;
}

}  // namespace

Reply Wizard::Pack(const std::string& name) {
  try {
    const std::string folder = PackFolderOf(PacksFolder(), name);
    return Answer([&] {
      Json reply{{"name", present::JsonText(name)},
                 {"contents", present::PackJson(name, kestrel::inspect::InspectPack(kestrel::Env::Default(), folder))}};
      std::string proposal;
      OpenForImport(options_, folder, proposal);
      reply["details"] = present::DetailsJson(proposal, kestrel::ParseDetails(proposal));
      return Reply{200, reply};
    });
  } catch (const BadRequest& e) {
    return ErrorReply(400, e.number, e.text);
  } catch (const kestrel::ComError& e) {
    return ErrorReply(404, e.number(), e.description());
  }
}

Reply Wizard::Verify(const std::string& body) {
  return Answer([&] {
    const Json request = ParseRequest(body);
    const std::string folder = PackFolderOf(PacksFolder(), PackName(request));
    const std::vector<std::string> targets = TargetEntries(request);
    std::string proposal;
    auto import = OpenForImport(options_, folder, proposal);
    const present::SelectionVerdict v = present::VerifySelection(*import, kestrel::DetailsWithTargets(proposal, targets));
    Json reply = present::VerdictJson(v);
    Json replaces = Json::array();
    for (const auto& what : kestrel::MarkedForReplacement(v.checked)) replaces.push_back(present::JsonText(what));
    reply["replaces"] = replaces;
    return Reply{200, reply};
  });
}

Reply Wizard::Run(const std::string& body, bool dry_run) {
  const Reply running = ErrorReply(409, kestrel::Number(kestrel::Ours::ImportRunning),
                                   std::string(kestrel::DefaultText(kestrel::Ours::ImportRunning)));
  if (job_.Running()) return running;
  return Answer([&] {
    const Json request = ParseRequest(body);
    const std::string folder = PackFolderOf(PacksFolder(), PackName(request));
    const std::vector<std::string> targets = TargetEntries(request);
    const bool replace = Flag(request, "replace");
    std::string user = present::LoginName(kestrel::Env::Default());
    if (const auto found = request.find("user"); found != request.end() && !found->is_null())
      user = StoredText(*found, "\"user\"");

    std::string proposal;
    std::shared_ptr<clsImport> import = OpenForImport(options_, folder, proposal);
    import->put_LastModifiedUser(user);
    const std::string details = kestrel::DetailsWithTargets(proposal, targets);
    // As `import` does: the selection verified, and consent to replace what
    // the store holds, unless everything is rolled back anyway.
    std::string checked, messages;
    if (!import->VerifyUserSelections(details, checked, messages)) {
      present::SelectionVerdict v{false, false, checked, kestrel::SplitMessages(messages)};
      Reply refused = ErrorReply(
          422, import->get_ErrorNumber() ? import->get_ErrorNumber() : kestrel::Number(kestrel::Ours::InvalidSelection),
          "the selection does not pass");
      refused.body["verdict"] = present::VerdictJson(v);
      return refused;
    }
    if (const std::string refusal = present::UnconfirmedReplacement(checked); !refusal.empty() && !replace && !dry_run)
      return ErrorReply(422, kestrel::Number(kestrel::Ours::ReplaceNotConfirmed), refusal);

    const bool started = job_.Start(dry_run, [import, details, dry_run](ImportJob& job) {
      return RunImport(*import, details, dry_run, job);
    });
    if (!started) return running;
    return Reply{202, Json{{"started", true}, {"dry_run", dry_run}}};
  });
}

Reply Wizard::Progress() const { return Reply{200, job_.Status()}; }

Reply Wizard::Log() const { return Reply{200, Json{{"log", job_.LastLog()}}}; }

}  // namespace kestrel::web
