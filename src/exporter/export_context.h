// What the steps of an export work with besides the host's options: the
// store, the folder the pack goes to, the manifest being written, the rule
// files the single-profile pack keeps open, and where progress goes. A
// clsExport keeps one for its whole life, on the Env it was given; tests
// build their own. The caller
// sets DataConnection (or leaves it empty, which the steps report as 91) and
// PackFolder before running a step on its own.
#pragma once

#include "kestrel/progress.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "base/files.h"
#include "base/spooled_text.h"
#include "pack/measuring_env.h"

namespace kestrel {
namespace store { class Connection; }

namespace exporter {

// Progress for people: what is being done and how many rows or objects so far.
using kestrel::ProgressFn;

struct ExportContext {
 private:
  // First, so that it goes last: the writers below report to it when they go.
  std::unique_ptr<pack::MeasuringEnv> env_;

 public:
  // Every step reaches files, the clock and the environment through `env`,
  // which must outlive the context; the files written are measured on the
  // way, for the pack's sums.
  explicit ExportContext(Env& env) : env_(std::make_unique<pack::MeasuringEnv>(env)), ManifestText(env) {}

  std::shared_ptr<store::Connection> DataConnection;
  // The folder the pack's files go in. The run starts from the export root
  // and moves here into the pack folder once it exists.
  std::string PackFolder;
  // The pack folder of the profile, once its name is known: what a failure
  // is about (the pack there already, for one), while PackFolder may still
  // be the root.
  std::string ProfilePackFolder;
  ProgressFn Progress;
  // The manifest's progress text; past a threshold it waits in a spool file
  // in the pack folder (see ExportMigrationProfiles).
  SpooledText ManifestText;
  std::unique_ptr<files::TextWriter> ManifestStream;
  // The rule files of the single-profile pack, by file name; some stay open
  // until the context goes.
  std::map<std::string, std::unique_ptr<files::TextWriter>> RuleStreams;
  // Rows (records of a tagged record file) written per file name, as each
  // writer counted them: a file's writer adds its count once it is done
  // (the rule files of a single-profile pack, object by object).
  std::map<std::string, int64_t, std::less<>> RowsWritten;

  // The connection the caller set; raises 91 "Object variable or With block
  // variable not set" when there is none.
  store::Connection& Connection() const;
  Env& env() const { return *env_; }
  // The measures of the files written through env().
  pack::MeasuringEnv& Written() const { return *env_; }
  // The path of a file of the pack folder.
  std::string PackFile(std::string_view name) const { return files::Join(PackFolder, name); }
  // `total`: the step's rows or objects in all, 0 when not known.
  void Report(const std::string& what, int64_t done, int64_t total = 0) const {
    if (Progress) Progress(what, done, total);
  }
  void CountRows(std::string_view file, int64_t rows);
  // TAB + text + date + three blanks + time + CR LF.
  void AppendProgress(std::string_view text);
  // TAB + text + CR LF.
  void AppendNote(std::string_view text);
};

}  // namespace exporter
}  // namespace kestrel
