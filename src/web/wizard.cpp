// The web wizard's calls, each as the command of the same name runs it.
#include <fmt/format.h>

#include "web/wizard.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <system_error>
#include <vector>

#include "kestrel/engine.h"
#include "kestrel/error.h"
#include "kestrel/errors.h"
#include "kestrel/inspect.h"
#include "kestrel/latin1.h"
#include "kestrel/run_log_text.h"
#include "kestrel/store.h"
#include "present/diff_view.h"
#include "present/error_face.h"
#include "present/import_view.h"
#include "present/json.h"
#include "present/store_view.h"
#include "present/targets.h"
#include "web/access.h"

namespace kestrel::web {
namespace {

namespace present = kestrel::present;

// A request the page should not have sent: answered with 400.
struct BadRequest {
  int32_t number;
  std::string text;
};

Reply ErrorReply(int status, const kestrel::Error& e) { return {status, ErrorBody(e)}; }

Reply ErrorReply(int status, int32_t number, const std::string& description) {
  return ErrorReply(status, kestrel::Error(number, description));
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
    return ErrorReply(422, e);
  } catch (const std::exception& e) {
    return ErrorReply(500, kestrel::AsComError(e));
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

// A number field of the page's table left empty: said as the row of the
// table it is in, before the engine would read it as a number.
void RefuseEmptyNumbers(const Json& fields, size_t row) {
  const auto empty = [&](size_t k) { return fields[k].is_string() && fields[k].get<std::string>().empty(); };
  if (empty(0))
    Refuse(fmt::format("Row {} of the target list has no number to import its pack profile as: give a profile "
                       "number from 1 to {}.",
                       row + 1, kestrel::kMaxProfile));
  if (empty(3))
    Refuse(fmt::format("Row {} of the target list has no parent: give the number of the profile it derives from, "
                       "or 0 for none.",
                       row + 1));
}

// The targets of the page's table: six fields each, refused as `--target`
// refuses them.
std::vector<kestrel::Target> Targets(const Json& request) {
  const auto found = request.find("targets");
  if (found == request.end() || !found->is_array()) Refuse("\"targets\" is not a list of target entries");
  std::vector<kestrel::Target> targets;
  for (const Json& fields : *found) {
    if (!fields.is_array() || fields.size() != 6) Refuse("a target entry is a list of six fields");
    RefuseEmptyNumbers(fields, targets.size());
    std::vector<std::string> texts;
    for (const Json& field : fields) texts.push_back(StoredText(field, "a field of a target entry"));
    std::string problem;
    const std::optional<kestrel::Target> target = present::TargetOfFields(texts, problem);
    if (!target) Refuse(problem);
    targets.push_back(*target);
  }
  return targets;
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

Json ErrorBody(const kestrel::Error& e) {
  // A store's location may carry its password: masked, as the command line does.
  present::Said said = present::Say(e, present::Face::Web);
  said.description = kestrel::store::MaskedText(said.description);
  said.sentence = kestrel::store::MaskedText(said.sentence);
  said.place.path = kestrel::store::MaskedText(said.place.path);
  return present::SaidJson(said, present::Face::Web);
}

Wizard::Wizard(WizardOptions options) : options_(std::move(options)) {}

std::string Wizard::PacksFolder() const { return kestrel::PacksFolder(options_.export_root); }

Reply Wizard::Profiles() {
  return Answer([&] {
    const auto profiles = kestrel::Store::Open(options_.store, options_.wait_seconds).Profiles();
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

    kestrel::ExportRequest export_request;
    export_request.profile = profile;
    export_request.root = options_.export_root;
    export_request.single_profile = single;
    export_request.new_number = new_number;
    export_request.revisions = Flag(request, "revisions");
    export_request.for_sync = Flag(request, "sync");
    export_request.based_on = based_on;
    export_request.traverse_parent = traverse_parent;
    export_request.overwrite = Flag(request, "overwrite");
    kestrel::Store store = kestrel::Store::Open(options_.store, options_.wait_seconds);
    const kestrel::ExportReport report = kestrel::Export(store, export_request);
    return Reply{200,
                 Json{{"pack", present::JsonText(LastPart(report.folder))}, {"folder", present::JsonText(report.folder)}}};
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

// The request of a pack the page names, as `verify` and `import` make it.
// A pack without sums is refused: the wizard has no way to say it was meant.
kestrel::ImportRequest RequestFor(const WizardOptions& o, const std::string& folder,
                                  std::vector<kestrel::Target> targets = {}) {
  kestrel::ImportRequest request;
  request.pack = folder;
  request.targets = std::move(targets);
  request.wait_seconds = o.wait_seconds;
  request.registry = o.registry;
  return request;
}

// The context of the wizard's calls: they keep the installation's run log
// as the command line does.
kestrel::Context LoggedContext() {
  kestrel::Context context;
  context.run_log = kestrel::AppendRunLog;
  return context;
}

// The pack's profiles as the import reads them, and the proposal for them.
struct Proposal {
  std::vector<kestrel::PackProfile> sources;
  std::vector<kestrel::Target> targets;
};

Proposal ProposalFor(kestrel::Store& store, const std::string& folder) {
  const kestrel::PackReader reader(folder);
  Proposal p;
  p.targets = reader.Proposal(store);
  p.sources = present::ImportSources(reader.Info(), store);
  return p;
}

std::string PackName(const Json& request) {
  const auto found = request.find("pack");
  if (found == request.end() || !found->is_string()) Refuse("\"pack\" names the pack");
  return StoredText(*found, "\"pack\"");
}

// The verdict on the request's selection: its findings, then the check of
// the pack with it; the targets as the verification marks them.
Json VerdictOf(kestrel::Store& store, const kestrel::ImportRequest& request, bool& passed) {
  const Proposal proposal = ProposalFor(store, request.pack);
  const std::vector<kestrel::Error> findings = kestrel::Verify(store, request, LoggedContext());
  std::vector<std::string> messages;
  for (const kestrel::Error& e : findings) messages.push_back(e.text());
  passed = findings.empty();
  if (passed) {
    try {
      kestrel::Check(store, request, LoggedContext());
    } catch (const kestrel::Error& e) {
      passed = false;
      messages.push_back(e.text());
      if (!e.place().Empty()) messages.push_back("in " + e.place().Text());
    }
  }
  const std::vector<kestrel::Target> marked = kestrel::Targets(store, request, LoggedContext());
  Json verdict = present::VerdictJson(proposal.sources, marked, passed, messages);
  Json replaces = Json::array();
  for (const auto& what : kestrel::WouldReplace(marked))
    replaces.push_back(present::JsonText(what));
  verdict["replaces"] = replaces;
  return verdict;
}

// The import (or dry run) on the job's thread, with its progress reported to
// the job and the job's stop flag handed on; the outcome carries the summary
// or the error, and the lines the run log gained.
ImportJob::Outcome RunImport(const WizardOptions& o, const kestrel::ImportRequest& request, ImportJob& job) {
  kestrel::Env& env = kestrel::Env::Default();
  const size_t log_before = ReadAll(env, o.run_log).size();
  kestrel::Context context = LoggedContext();
  context.progress = [&job](const std::string& what, int64_t done, int64_t total) { job.Progress(what, done, total); };
  context.notice = [&job](const std::string& line) { job.Notice(line); };
  context.stop = &job.StopFlag();
  ImportJob::Outcome outcome;
  try {
    kestrel::Store store = kestrel::Store::Open(o.store, o.wait_seconds);
    const kestrel::ImportReport report = kestrel::Import(store, request, context);
    outcome.succeeded = true;
    outcome.result = Json{{"summary", present::ImportSummaryJson(report)}};
  } catch (const kestrel::Error& e) {
    outcome.result = ErrorBody(e);
    outcome.result["refused_at"] = present::JsonText(e.place().file.empty() ? "" : e.place().Text());
  } catch (const std::exception& e) {
    outcome.result = ErrorBody(kestrel::AsComError(e));
  }
  const std::string log = ReadAll(env, o.run_log);
  outcome.log = kestrel::Latin1ToUtf8(log.size() >= log_before ? log.substr(log_before) : log);
  return outcome;
}

// What the import would replace that the person did not confirm, when the
// page asked them ("replaces": what its dialog named): the store may have
// changed while the dialog was open. "" when nothing, or when not asked.
std::string Unconfirmed(const Json& request, kestrel::Store& store, const kestrel::ImportRequest& import) {
  const auto confirmed = request.find("replaces");
  if (confirmed == request.end() || confirmed->is_null()) return "";
  if (!confirmed->is_array()) Refuse("\"replaces\" is not a list of what the import replaces");
  std::string unconfirmed;
  for (const std::string& what : kestrel::WouldReplace(kestrel::Targets(store, import)))
    if (std::find(confirmed->begin(), confirmed->end(), present::JsonText(what)) == confirmed->end())
      unconfirmed += (unconfirmed.empty() ? "" : ", ") + what;
  return unconfirmed;
}

}  // namespace

Reply Wizard::Pack(const std::string& name) {
  try {
    const std::string folder = PackFolderOf(PacksFolder(), name);
    return Answer([&] {
      Json reply{{"name", present::JsonText(name)},
                 {"contents", present::PackJson(name, kestrel::inspect::InspectPack(kestrel::Env::Default(), folder))}};
      kestrel::Store store = kestrel::Store::Open(options_.store, options_.wait_seconds);
      const Proposal proposal = ProposalFor(store, folder);
      reply["details"] = present::DetailsJson(proposal.sources, proposal.targets);
      return Reply{200, reply};
    });
  } catch (const BadRequest& e) {
    return ErrorReply(400, e.number, e.text);
  } catch (const kestrel::ComError& e) {
    return ErrorReply(404, e);
  }
}

Reply Wizard::Verify(const std::string& body) {
  return Answer([&] {
    const Json request = ParseRequest(body);
    const std::string folder = PackFolderOf(PacksFolder(), PackName(request));
    kestrel::Store store = kestrel::Store::Open(options_.store, options_.wait_seconds);
    bool passed = false;
    return Reply{200, VerdictOf(store, RequestFor(options_, folder, Targets(request)), passed)};
  });
}

Reply Wizard::Check(const std::string& body) {
  return Answer([&] {
    const Json request = ParseRequest(body);
    const std::string name = PackName(request);
    const std::string folder = PackFolderOf(PacksFolder(), name);
    kestrel::Store store = kestrel::Store::Open(options_.store, options_.wait_seconds);
    try {
      kestrel::Check(store, RequestFor(options_, folder, Targets(request)));
    } catch (const kestrel::Error& e) {
      Reply refused = ErrorReply(422, e);
      refused.body["refused_at"] = present::JsonText(e.place().Empty() ? "" : e.place().Text());
      return refused;
    }
    return Reply{200, Json{{"pack", present::JsonText(name)}, {"passed", true}}};
  });
}

Reply Wizard::Run(const std::string& body, bool dry_run) {
  const Reply running = ErrorReply(409, kestrel::Number(kestrel::Ours::ImportRunning),
                                   std::string(kestrel::DefaultText(kestrel::Ours::ImportRunning)));
  if (job_.Running()) return running;
  return Answer([&] {
    const Json request = ParseRequest(body);
    const std::string folder = PackFolderOf(PacksFolder(), PackName(request));
    kestrel::ImportRequest import = RequestFor(options_, folder, Targets(request));
    import.replace = Flag(request, "replace") ? kestrel::ReplacePolicy::Replace : kestrel::ReplacePolicy::Refuse;
    import.dry_run = dry_run;
    if (const auto found = request.find("user"); found != request.end() && !found->is_null())
      import.user = StoredText(*found, "\"user\"");

    // As `import` does: the selection verified first; a refused one is
    // answered at once, with the verdict.
    kestrel::Store store = kestrel::Store::Open(options_.store, options_.wait_seconds);
    if (const kestrel::SelectionVerdict selection = kestrel::Verdict(store, import, LoggedContext()); selection.refusal) {
      bool passed = false;
      Reply refused = ErrorReply(422, selection.refusal->number(), "The selection does not pass:");
      refused.body["verdict"] = VerdictOf(store, import, passed);
      return refused;
    }
    if (const std::string more = Unconfirmed(request, store, import); !more.empty())
      return ErrorReply(409, kestrel::Number(kestrel::Ours::ReplaceNotAsConfirmed),
                        fmt::format("{}: the import would now also replace {}",
                                    kestrel::DefaultText(kestrel::Ours::ReplaceNotAsConfirmed), more));
    const bool started = job_.Start(dry_run, [options = options_, import](ImportJob& job) {
      return RunImport(options, import, job);
    });
    if (!started) return running;
    return Reply{202, Json{{"started", true}, {"dry_run", dry_run}}};
  });
}

Reply Wizard::Diff(const std::string& pack, const std::string& context) {
  std::string folder;
  try {
    folder = PackFolderOf(PacksFolder(), pack);
  } catch (const BadRequest& e) {
    return ErrorReply(400, e.number, e.text);
  } catch (const kestrel::ComError& e) {
    return ErrorReply(404, e);
  }
  return Answer([&] {
    int lines = 3;
    if (!context.empty()) {
      const auto [end, ec] = std::from_chars(context.data(), context.data() + context.size(), lines);
      if (ec != std::errc() || end != context.data() + context.size() || lines < 0 || lines > 1000000)
        Refuse("\"context\" is the number of unchanged lines around a change, from 0");
    }
    kestrel::diff::Options options;
    options.lock_wait_seconds = options_.wait_seconds;
    const kestrel::diff::Result r =
        kestrel::Diff({kestrel::diff::Side::Kind::Pack, folder, 0}, {kestrel::diff::Side::Kind::Store, options_.store, 0},
                      options);
    Json reply = present::DiffJson(r, true, lines);
    reply["pack"] = present::JsonText(pack);
    reply["store"] = present::JsonText(kestrel::store::MaskedLocation(options_.store));
    return Reply{200, reply};
  });
}

Reply Wizard::Progress() const { return Reply{200, job_.Status()}; }

Reply Wizard::Log() const { return Reply{200, Json{{"log", job_.LastLog()}}}; }

}  // namespace kestrel::web
