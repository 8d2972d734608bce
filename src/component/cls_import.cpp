// clsImport's creation and property procedures; the operations are in the importer.
#include "kestrel/cls_import.h"

#include "base/error.h"
#include "base/files.h"
#include "importer/entry_points.h"
#include "importer/import_context.h"
#include "importer/import_driver.h"
#include "importer/import_options.h"
#include "importer/import_results.h"
#include "importer/import_unit.h"
#include "importer/install.h"
#include "importer/pack_sums_check.h"
#include "importer/planned_pack.h"
#include "kestrel/interruption.h"
#include "kestrel/run_log_text.h"
#include "pack/component_text.h"

namespace Kestrel20ImpExp {

clsImport::clsImport() : clsImport(kestrel::Env::Default()) {}

clsImport::clsImport(kestrel::Env& env) : clsImport(env, kestrel::CreateRegistry(env)) {}

clsImport::clsImport(std::shared_ptr<kestrel::Registry> registry) : clsImport(kestrel::Env::Default(), std::move(registry)) {}

struct clsImport::State {
  explicit State(kestrel::Env& env) : context_(env) {}
  kestrel::importer::ImportOptions options_;
  kestrel::importer::ImportContext context_;
  kestrel::importer::ImportResults results_;
};

clsImport::clsImport(kestrel::Env& env, std::shared_ptr<kestrel::Registry> registry)
    : state_(std::make_unique<State>(env)) {
  state_->context_.RegistryComponent = std::move(registry);
  // The signal handlers and the web server stop an import through the one
  // process-wide request.
  state_->context_.Stop = &kestrel::InterruptionFlag();
  // The run log reads as the original component wrote it.
  state_->context_.RunLog = kestrel::AppendRunLog;
  Create();
}

clsImport::~clsImport() = default;

void clsImport::SetProgress(kestrel::ProgressFn progress) { state_->context_.Progress = std::move(progress); }
void clsImport::SetNotice(kestrel::NoticeFn notice) { state_->context_.Notice = std::move(notice); }
void clsImport::SetLockWait(int seconds) { state_->options_.LockWaitSeconds = seconds; }
void clsImport::SetDryRun(bool dry_run) { state_->options_.DryRun = dry_run; }
void clsImport::SetKeepWork(bool keep) { state_->options_.KeepWork = keep; }
void clsImport::SetAllowPackWithoutSums(bool allow) { state_->options_.AllowPackWithoutSums = allow; }
const kestrel::ImportSummary& clsImport::Summary() const { return state_->results_.Summary; }
const kestrel::Error& clsImport::Failure() const { return state_->results_.Error.value(); }
const std::string& clsImport::RefusedAt() const { return state_->results_.RefusedAt; }
const std::string& clsImport::RunLogPath() const { return state_->context_.ImportLogPath; }

void clsImport::Create() {
  // A failure here ends the construction: it reaches the host as the
  // constructor's exception, as the object it would be read from is gone.
  state_->context_.InstallationPath = kestrel::importer::InstallationFolder(state_->context_);
  state_->context_.ImportLogPath = kestrel::files::Join(state_->context_.TempFolder(), "importmr.log");
}

void clsImport::put_LastModifiedUser(const std::string& value) { state_->options_.LastModifiedUser = value; }
std::string clsImport::get_LastModifiedUser() const { return state_->options_.LastModifiedUser; }
int16_t clsImport::get_ErrorNumber() const { return state_->results_.Error.NumberAsRead(); }
std::string clsImport::get_ErrorDescription() const {
  return kestrel::pack::ComponentDescription(state_->results_.Error.value());
}
void clsImport::putref_DataConnection(std::shared_ptr<kestrel::store::Connection> connection) {
  state_->context_.DataConnection = std::move(connection);
}
void clsImport::put_Path(const std::string& value) { state_->options_.Path = value; }
std::string clsImport::get_Path() const { return state_->options_.Path; }
void clsImport::put_DatabaseServer(const std::string& value) { state_->options_.DatabaseServer = value; }
void clsImport::put_DatabaseName(const std::string& value) { state_->options_.DatabaseName = value; }
void clsImport::put_DatabaseUser(const std::string& value) { state_->options_.DatabaseUser = value; }
void clsImport::put_DatabasePassword(const std::string& value) { state_->options_.DatabasePassword = value; }

bool clsImport::LoadToMAP150() {
  // Its one file is read as the import reads it: after the pack's sums.
  try {
    kestrel::importer::CheckPackSums(state_->options_, state_->context_);
  } catch (const kestrel::Error& e) {
    state_->results_.Error.Set(e.number(), e.description());
    return false;
  }
  kestrel::Error message(0, "");
  auto& r = state_->results_;
  return kestrel::importer::RunAsOneUnit(
      state_->options_, state_->context_, r, message, [this, &r](const kestrel::importer::ImportContext& unit) {
        try {
          kestrel::importer::LoadToMAP150(kestrel::importer::PlannedPackOf(state_->options_, r), r.HeaderMap, unit);
          return true;
        } catch (const kestrel::Failure& e) {
          r.Error.Set(e);
          return false;
        }
      });
}
namespace {

// Runs a driving call with the host's message, which the call replaces with
// its own where it has one, and words the message for the host.
template <class Call>
bool WithMessage(std::string& strErrorMessage, Call&& call) {
  kestrel::Error message(0, strErrorMessage);
  const bool ok = call(message);
  strErrorMessage = kestrel::pack::ComponentDescription(message);
  return ok;
}

}  // namespace

bool clsImport::ImportLogicPack(std::string& strLPDetails, std::string& strErrorMessage) {
  return WithMessage(strErrorMessage, [&](kestrel::Error& message) {
    return kestrel::importer::ImportLogicPack(state_->options_, state_->context_, state_->results_, strLPDetails,
                                              message);
  });
}
bool clsImport::CheckLogicPack(std::string& strLPDetails, std::string& strErrorMessage) {
  return WithMessage(strErrorMessage, [&](kestrel::Error& message) {
    return kestrel::importer::CheckLogicPack(state_->options_, state_->context_, state_->results_, strLPDetails,
                                             message);
  });
}
bool clsImport::VerifyUserSelections(std::string strInLPDetails, std::string& strOutLPDetails,
                                     std::string& strErrorMessage) {
  return WithMessage(strErrorMessage, [&](kestrel::Error& message) {
    kestrel::importer::Verification v =
        kestrel::importer::VerifyUserSelections(state_->context_, strInLPDetails, strOutLPDetails);
    if (v.reported) state_->results_.Error.Set(*v.reported);
    message = std::move(v.message);
    return v.passed;
  });
}
bool clsImport::ShowLogicPackDetails(std::string& strLPDetails) {
  try {
    strLPDetails = kestrel::importer::DetailsText(
        kestrel::importer::ShowLogicPackDetails(state_->options_, state_->context_, state_->results_.Manifest));
    return true;
  } catch (const kestrel::Failure& e) {
    // The host reads the number and text; the place is the engine's.
    state_->results_.Error.Set(e.number(), e.description());
    return false;
  }
}
bool clsImport::GetDepthOfProfile(int32_t& lMprf, int32_t& lPprf, int32_t& lDpth) {
  return kestrel::importer::GetDepthOfProfile(state_->context_, lMprf, lPprf, lDpth);
}
bool clsImport::GetDevelopmentVRC(int32_t& lMprfIn, std::vector<std::string>& strArray) {
  try {
    strArray = kestrel::importer::GetDevelopmentVRC(state_->options_, state_->context_, state_->results_.Manifest,
                                                    lMprfIn);
    return true;
  } catch (const kestrel::Failure& e) {
    state_->results_.Error.Set(e);
    return false;
  }
}
bool clsImport::GetLumoInstallationPath(std::string& strPath) {
  try {
    strPath = kestrel::importer::InstallationFolder(state_->context_);
    return true;
  } catch (const kestrel::Error& e) {
    state_->results_.Error.Set(e.number(), e.description());
    return false;
  }
}

}  // namespace Kestrel20ImpExp
