// What the import's operations work through: the store connection, the
// installation (its registry, folder and run log), the progress callback and
// the Env that is their way to the system.
// The operations read these and act through them but never replace them; the
// caller keeps the connection and the registry alive for the call.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "base/env.h"
#include "base/registry.h"

namespace kestrel {
namespace store { class Connection; }

namespace importer {

using ImportProgressFn = std::function<void(const std::string& what, int64_t done)>;

// Where the installation keeps its working files, below its folder.
inline constexpr std::string_view kTempSubfolder = "LumoStudio/tmp";

struct ImportContext {
  // Every operation reaches files, the clock, the environment and child
  // processes through `env`, which must outlive the context.
  explicit ImportContext(Env& env) : env_(&env) {}

  std::shared_ptr<store::Connection> DataConnection;
  std::shared_ptr<Registry> RegistryComponent;
  std::string InstallationPath;  // found through the registry when the object is created
  std::string ImportLogPath;     // the run log, in the installation's temporary folder
  ImportProgressFn Progress;

  Env& env() const { return *env_; }
  // The installation's temporary folder.
  std::string TempFolder() const;
  void Report(const std::string& what, int64_t done) const {
    if (Progress) Progress(what, done);
  }

 private:
  Env* env_;
};

// The connection the caller set; raises 91 "Object variable or With block
// variable not set" when there is none.
store::Connection& ConnectionOf(const ImportContext& cx);

}  // namespace importer
}  // namespace kestrel
