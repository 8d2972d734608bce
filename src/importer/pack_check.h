// The check of a logic pack before an import: the whole pack read and
// converted as the loaders will (PackCheck; CheckLogicPackFiles in
// import/transaction.h runs it to its end), after the header file's own check
// (importer/header_check.h), which comes before the import is planned.
// Internal to the import and its tests.
#pragma once

#include <atomic>
#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/error.h"
#include "kestrel/env.h"
#include "importer/import_context.h"
#include "importer/import_options.h"
#include "importer/loaded_records.h"
#include "importer/pack_file_refusals.h"
#include "importer/planned_pack.h"
#include "pack/layout.h"

namespace kestrel::importer {

// The check of one library, rule or function file, record by record as the
// file is read and converted, whether by the check's own reading or by the
// loader's: a rule's profile must be one of the pack's, then column by column
// no text value may hold a NUL byte and the column must be in the store's
// table. It keeps its verdict: every record passed, or the first refusal with
// the file and line. One thread at a time reads a file; the verdict is read
// once that thread is done.
class RuleFileCheck {
 public:
  enum class Verdict { Unread, Passed, Refused };

  // A reading of the file begins: records are counted from the first.
  void Begin();
  // Raises the check's refusal of the record that starts at `line`, and
  // keeps it as the verdict.
  void Inspect(const LoadedRow& row, size_t line);
  // The reading failed at `line`: keeps the refusal the import would have
  // given (the loader's trap around a conversion failure), unless Inspect
  // already kept one.
  void Failed(const std::exception& ex, size_t line);
  // Every record of the file passed.
  void Passed();
  // Reads the file through Inspect with its loader's own conversion, up to
  // the first refusal or until `stop` is set.
  void ReadThrough(Env& env, const PlannedPack& planned, const std::vector<std::string>& header_map,
                   const std::atomic<bool>& stop);
  Verdict verdict() const { return verdict_; }

 private:
  friend class PackCheck;
  // What the file is and what it is checked against, set up by PackCheck.
  const pack::TaggedLayout* layout_ = nullptr;
  Loader loader_ = Loader::Library;
  std::string path_;
  const std::vector<int64_t>* profiles_ = nullptr;  // a rule's profile must be one; nullptr: any
  std::vector<char> in_store_;            // per field of the layout: the table has its column
  std::optional<ComError> table_refused_; // the store could not read the table
  std::atomic<int64_t>* total_ = nullptr; // where the import's progress finds the count
  // The verdict.
  Verdict verdict_ = Verdict::Unread;
  int64_t rows_ = 0;
  PackRefusal refusal_{Error(0, ""), ""};
};

// Reads and converts every file the import will load, exactly as the loaders
// do, and writes nothing. It comes in two parts: Start checks everything the
// store is asked about (the widths of the chosen application codes, every
// application data file against the tables and their unique keys, the
// columns of every table the pack loads) and the header file; Finish checks
// the library, rule and function files. An import loads those files between
// the two, the loaders' reading checking each of them (ForFile), so that a
// pack is read once; Finish then reads only what the load did not read
// through, and the import must roll back when Finish refuses the pack. When
// `read_ahead`, Start begins reading the rule files on two worker threads;
// otherwise (a load follows) it leaves the application data files to a
// thread of their own, read beside the load, unless a unique key makes their
// rows be looked up in the store, and their verdict comes first in Finish.
// `planned` and the context must outlive the object; dropping it stops the
// reading. Each part gives its refusal, the error as the import would have
// raised it and the file and line, or nothing when the pack passed; the
// first refusal in the order the import loads comes first.
class PackCheck {
 public:
  PackCheck(const PlannedPack& planned, const ImportContext& cx);
  ~PackCheck();
  PackCheck(const PackCheck&) = delete;
  PackCheck& operator=(const PackCheck&) = delete;

  std::optional<PackRefusal> Start(bool read_ahead);
  // The check of a file the loaders read (by its layout), or nullptr when the
  // check has none; only after a Start that refused nothing.
  RuleFileCheck* ForFile(const pack::TaggedLayout& layout);
  // Only after a Start that refused nothing, and once no loader reads a file any
  // more; logs the end of the check.
  std::optional<PackRefusal> Finish();

 private:
  struct Reading;
  // Waits for the check of the application data when it runs beside the
  // load; its refusal, when it refused the pack.
  std::optional<PackRefusal> ApplicationDataRefusal();

  const PlannedPack& planned_;
  const ImportContext& cx_;
  std::unique_ptr<Reading> reading_;
};

}  // namespace kestrel::importer
