// clsImport as both faces drive it for a pack.
#include "present/import_object.h"

#include <cstdlib>

#include <fmt/format.h>
#include <fmt/ranges.h>

#include "kestrel/details.h"
#include "kestrel/errors.h"
#include "kestrel/registry.h"

namespace kestrel::present {

std::unique_ptr<Kestrel20ImpExp::clsImport> CreateImportObject(kestrel::Env& env, const std::string& registry,
                                                               bool* lookup_failed) {
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

std::string LoginName(kestrel::Env& env) {
  if (std::string name = env.AccountName(); !name.empty()) return name;
  for (const char* name : {"LOGNAME", "USER"})
    if (std::string v = env.Variable(name); !v.empty()) return v;
  return "";
}

SelectionVerdict VerifySelection(Kestrel20ImpExp::clsImport& import, const std::string& details) {
  SelectionVerdict v;
  std::string messages;
  v.passed = import.VerifyUserSelections(details, v.checked, messages);
  v.messages = kestrel::SplitMessages(messages);
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
  const std::vector<std::string> replaced = kestrel::MarkedForReplacement(checked_details);
  if (replaced.empty()) return "";
  return fmt::format("{}: the store holds {}", kestrel::DefaultText(kestrel::Ours::ReplaceNotConfirmed),
                     fmt::join(replaced, ", "));
}

namespace {

// The number an "Unexpected Error." report carries, for the exit message.
int32_t ReportedNumber(const std::string& message, int32_t fallback) {
  static constexpr std::string_view kHead = "Unexpected Error.Error Number: ";
  if (message.compare(0, kHead.size(), kHead) != 0) return fallback;
  return static_cast<int32_t>(std::strtol(message.c_str() + kHead.size(), nullptr, 10));
}

}  // namespace

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

}  // namespace kestrel::present
