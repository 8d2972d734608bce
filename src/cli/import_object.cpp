// Creation of clsImport for the commands, with the registry file and hint,
// and the failure of a refused selection.
#include "import_object.h"

#include <cstdlib>
#include <iostream>
#include <memory>

#include <fmt/format.h>
#include <fmt/ranges.h>

#include "command.h"
#include "output.h"
#include "kestrel/details.h"
#include "kestrel/error.h"
#include "kestrel/errors.h"
#include "kestrel/pack_facts.h"
#include "kestrel/registry.h"
#include "kestrel/store.h"

namespace kestrel::cli {

std::unique_ptr<Kestrel20ImpExp::clsImport> CreateImportObject(const std::string& registry, bool* lookup_failed) {
  kestrel::Env& env = CommandEnv();
  const std::string file = registry.empty() ? kestrel::RegistryFilePath(env) : registry;
  std::unique_ptr<Kestrel20ImpExp::clsImport> object;
  try {
    auto registry_file = std::make_shared<kestrel::RegistryFile>(env, file);
    object = std::make_unique<Kestrel20ImpExp::clsImport>(env, std::move(registry_file));
  } catch (const kestrel::ComError&) {
    if (lookup_failed) *lookup_failed = true;
    throw;
  }
  // The import's work folders and its log live in the recorded folder: one
  // that has gone would fail later with no path to show for it.
  if (std::string folder; object->GetLumoInstallationPath(folder) && !folder.empty() && !env.FolderExists(folder))
    throw kestrel::ComError(kestrel::rt::PathNotFound,
                            fmt::format("{}: the installation folder {} (Path= in {}) does not exist",
                                        kestrel::RuntimeErrorText(kestrel::rt::PathNotFound), folder, file));
  return object;
}

int WithImportObject(const std::string& registry, const std::function<int(Kestrel20ImpExp::clsImport&)>& body) {
  std::unique_ptr<Kestrel20ImpExp::clsImport> object;
  bool lookup_failed = false;
  try {
    object = CreateImportObject(registry, &lookup_failed);
  } catch (const kestrel::ComError& e) {
    int rc = Fail(e.number(), e.description());
    if (lookup_failed)
      std::cerr << "hint: no installation folder is recorded in "
                << (registry.empty() ? kestrel::RegistryFilePath(CommandEnv()) : registry)
                << "; run `kestrel setup --install-dir DIR` (with --registry FILE to choose the file)\n";
    return rc;
  }
  return body(*object);
}

std::string LoginName() {
  kestrel::Env& env = CommandEnv();
  if (std::string name = env.AccountName(); !name.empty()) return name;
  for (const char* name : {"LOGNAME", "USER"})
    if (std::string v = env.Variable(name); !v.empty()) return v;
  return "";
}

SelectionVerdict VerifySelection(Kestrel20ImpExp::clsImport& import, const std::string& details) {
  SelectionVerdict v;
  std::string messages;
  v.passed = import.VerifyUserSelections(details, v.checked, messages);
  v.messages = SplitMessages(messages);
  if (v.passed) {
    std::string check_details = details, check_message;
    if (!import.CheckLogicPack(check_details, check_message)) {
      v.passed = false;
      v.pack_refused = true;
      v.messages.push_back(import.get_ErrorDescription());
      if (!import.RefusedAt().empty()) v.messages.push_back("in " + import.RefusedAt());
    }
  }
  return v;
}

std::string UnconfirmedReplacement(const std::string& checked_details) {
  const std::vector<std::string> replaced = MarkedForReplacement(checked_details);
  if (replaced.empty()) return "";
  return fmt::format("{}: the store holds {}", kestrel::DefaultText(kestrel::Ours::ReplaceNotConfirmed),
                     fmt::join(replaced, ", "));
}

void OpenPack(Kestrel20ImpExp::clsImport& import, const std::string& store, const std::string& pack, bool no_sums) {
  import.putref_DataConnection(OpenStore(store));
  Detail("reading pack " + pack);
  import.put_Path(pack);
  import.SetAllowPackWithoutSums(no_sums);
  // A pack taken without sums cannot be checked for changes: say so once.
  kestrel::Env& env = CommandEnv();
  if (no_sums && env.FolderExists(pack) && !env.FileExists(pack + "/" + std::string(kestrel::kPackSumsFile)))
    Notice(std::string(kestrel::kNoPackSumsNotice));
}

void OpenPackForLoading(Kestrel20ImpExp::clsImport& import, const std::string& store, const std::string& pack,
                        bool no_sums) {
  OpenPack(import, store, pack, no_sums);
  // The store is also the name the bulk loading is given, on this machine.
  import.put_DatabaseName(store);
  import.put_DatabaseServer("local");
}

std::optional<std::string> ProposedDetails(Kestrel20ImpExp::clsImport& import) {
  std::string details;
  if (import.ShowLogicPackDetails(details)) return details;
  Fail(import.get_ErrorNumber(), import.get_ErrorDescription());
  return std::nullopt;
}

namespace {

// The number an "Unexpected Error." report carries, for the exit message.
int32_t ReportedNumber(const std::string& message, int32_t fallback) {
  static constexpr std::string_view kHead = "Unexpected Error.Error Number: ";
  if (message.compare(0, kHead.size(), kHead) != 0) return fallback;
  return static_cast<int32_t>(std::strtol(message.c_str() + kHead.size(), nullptr, 10));
}

}  // namespace

// "error N: DESCRIPTION", then where the check refused the pack, or the
// message when it says something else.
kestrel::ComError FailureOf(Kestrel20ImpExp::clsImport& import, const std::string& message) {
  int32_t number = ReportedNumber(message, import.get_ErrorNumber());
  if (number == 0) number = kestrel::Number(kestrel::Ours::Internal);
  std::string description = import.get_ErrorDescription();
  if (description.empty()) description = message;
  // Every failure says something, even one that left no text behind.
  if (description.empty())
    description = std::string(kestrel::DefaultText(kestrel::Ours::Internal)) +
                  ": the import failed without a reason of its own; see the import log";
  return kestrel::ComError(number, description);
}

int FailWithMessage(Kestrel20ImpExp::clsImport& import, const std::string& message) {
  const kestrel::ComError failure = FailureOf(import, message);
  const std::string description = failure.description();
  int rc = Fail(failure.number(), description);
  if (!import.RefusedAt().empty())
    std::cerr << "The pack was refused and the store left as it was: " << kestrel::store::MaskedText(import.RefusedAt())
              << '\n';
  else if (!message.empty() && message != description)
    std::cerr << kestrel::store::MaskedText(message) << '\n';
  return rc;
}

int FailSelection(Kestrel20ImpExp::clsImport& import, const std::vector<std::string>& messages) {
  int32_t number = import.get_ErrorNumber();
  if (number == 0) number = kestrel::Number(kestrel::Ours::InvalidSelection);
  std::string joined;
  for (const auto& line : messages) joined += (joined.empty() ? "" : " ") + line;
  return Fail(number, joined);
}

}  // namespace kestrel::cli
