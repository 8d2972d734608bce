// The web wizard's JSON interface, apart from HTTP: each call takes what the
// page sent (already past the access checks) and answers with a status and
// a JSON body in the shapes the command line's --json prints (present/):
// list, export, the packs below the export root, a pack's details, verify,
// check, dry run and import (on a thread of their own, one at a time), their
// progress and the last run log.
//
// Errors answer ErrorBody's JSON with 400 for a
// request the page should not have sent, 404 for a pack that is not there,
// 409 while an import runs or for a replacement not confirmed, 422 where
// the engine refused.
#pragma once

#include <string>

#include "kestrel/error.h"
#include "kestrel/store.h"
#include "web/import_job.h"

namespace kestrel::web {

struct WizardOptions {
  std::string store;        // the store location, as --store gives it
  std::string export_root;  // where exports write and packs are listed
  std::string registry;     // the registry file of the installation ("" for the default)
  std::string run_log;       // the installation's run log, which imports append to
  // The longest wait for a lock another program holds on the store.
  int wait_seconds = kestrel::store::kDefaultLockWaitSeconds;
};

// {"error": {"number", "description": the error's own text (for scripts),
// "sentence" and "hint": what the page shows, "sqlstate", "place"}}: the
// body of every error answer, in the wizard's words (present::Say). The
// HTTP server's refusals answer with it too.
Json ErrorBody(const kestrel::Error& e);

struct Reply {
  int status = 200;
  Json body;
};

class Wizard {
 public:
  explicit Wizard(WizardOptions options);

  // GET /api/profiles: {"store", "profiles" (as `list --json`), "tree" (as `list --tree --json`)}.
  Reply Profiles();
  // POST /api/export {"profile", "single", "new_number", "revisions", "sync",
  // "based_on", "traverse_parent", "overwrite"}: {"pack": NAME, "folder"}.
  Reply Export(const std::string& body);
  // GET /api/packs: {"root", "packs": [{"name", "export_succeeded", "profiles"}]}.
  Reply Packs();
  // GET /api/packs/NAME: {"name", "contents" (as `ls --json`), "details" (as `show --json`)}.
  Reply Pack(const std::string& name);
  // POST /api/verify {"pack", "targets": [[six fields], ...]}: as `verify --json`.
  Reply Verify(const std::string& body);
  // POST /api/check {"pack", "targets"}: whether every file the import would
  // load reads and converts, as `check` finds: {"pack", "passed"}, or 422
  // with the error and "refused_at" (file and line).
  Reply Check(const std::string& body);
  // POST /api/dry-run and /api/import {"pack", "targets", "replace", "user",
  // "replaces"}: verified first (422 with the messages when refused); with
  // "replaces" (what the person confirmed it replaces) refused with 409 when
  // it would replace anything else; then started: 202.
  Reply Run(const std::string& body, bool dry_run);
  // GET /api/diff?pack=NAME[&context=N]: what importing the pack would change
  // in the store, as `diff --json PACK STORE` prints it (hunks with N lines
  // of context, 3 unless given).
  Reply Diff(const std::string& pack, const std::string& context);
  // GET /api/progress: the running or last job (ImportJob::Status).
  Reply Progress() const;
  // GET /api/log: {"log": the run log lines the last import or dry run wrote}.
  Reply Log() const;
  // Stops a running import (it rolls back); the wizard waits for it when it goes.
  void Stop() { job_.Stop(); }

 private:
  std::string PacksFolder() const;
  WizardOptions options_;
  ImportJob job_;
};

}  // namespace kestrel::web
