// A pack file's records read and converted on a second thread, some batches
// ahead of the loader that stores them (base/read_ahead.h), so that reading
// the pack and writing the store share the machine's two cores.
//
// The loader sees exactly what LoadedRecords gives it: the same rows in the
// same order, and a failure to read or convert raised at the record where
// LoadedRecords raises it, after every row before it. When the import's pack
// check has the file (ImportContext::Check), the second thread also runs it
// on every record: its refusal is raised at that record, like a failure to
// convert, and the check keeps its verdict. When the loader stops
// early (the store refused a row, or the import was interrupted), dropping
// this object stops the reading. The Env, plan and header map must outlive
// it and be safe to use from the second thread while the loader works
// (reading files and the clock; nothing of the store is touched there).
// Internal to the import and its tests.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "base/read_ahead.h"
#include "importer/loaded_records.h"
#include "importer/pack_check.h"

namespace kestrel::importer {

class RecordsAhead {
 public:
  // Opens the file as LoadedRecords does: a missing file raises 53 here.
  RecordsAhead(const ImportContext& cx, const PlannedPack& planned, const std::vector<std::string>& header_map,
               Loader loader, const pack::TaggedLayout& layout);

  // As LoadedRecords::Next: the next row, false at the end of the file.
  bool Next(LoadedRow& row);
  // As LoadedRecords::record_line: the first line of the row handed out
  // last, or of the record being read when Next raised.
  size_t record_line() const { return line_; }
  void Close();

 private:
  LoadedRecords records_;
  RuleFileCheck* check_;  // nullptr: the file is loaded unchecked
  size_t failure_line_ = 0;  // written by the second thread before its failure is handed over
  size_t line_ = 0;
  ReadAhead<LoadedRow> ahead_;  // last: it reads from what comes before
};

}  // namespace kestrel::importer
