// A pack file's records read and converted on a second thread, some batches
// ahead of the loader that stores them, so that reading the pack and writing
// the store share the machine's two cores.
//
// The loader sees exactly what LoadedRecords gives it: the same rows in the
// same order, and a failure to read or convert raised at the record where
// LoadedRecords raises it, after every row before it. When the loader stops
// early (the store refused a row, or the import was interrupted), dropping
// this object stops the reading. The Env, plan and header map must outlive
// it and be safe to use from the second thread while the loader works
// (reading files and the clock; nothing of the store is touched there).
// Internal to the import and its tests.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <mutex>
#include <string>
#include <vector>

#include "base/background_queue.h"
#include "importer/loaders.h"

namespace kestrel::importer {

class RecordsAhead {
 public:
  // Opens the file as LoadedRecords does: a missing file raises 53 here.
  RecordsAhead(Env& env, const PlannedPack& planned, const std::vector<std::string>& header_map, Loader loader,
               const pack::TaggedLayout& layout);
  ~RecordsAhead();
  RecordsAhead(const RecordsAhead&) = delete;
  RecordsAhead& operator=(const RecordsAhead&) = delete;

  // As LoadedRecords::Next: the next row, false at the end of the file.
  bool Next(LoadedRow& row);
  // As LoadedRecords::record_line: the first line of the row handed out
  // last, or of the record being read when Next raised.
  size_t record_line() const { return line_; }
  void Close();

 private:
  struct Batch {
    std::vector<LoadedRow> rows;  // storage kept from batch to batch
    size_t count = 0;             // rows filled
    std::exception_ptr failure;   // what stopped the reading after them
    size_t failure_line = 0;      // the record being read then
    bool last = false;            // nothing comes after this batch
  };
  void ReadAll();  // on the second thread
  void Stop();

  LoadedRecords records_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Batch> ready_, spare_;
  bool stop_ = false;
  Batch current_;  // the loader's, being handed out
  size_t at_ = 0;
  size_t line_ = 0;
  BackgroundQueue reader_{1};  // last: it stops before what it reads goes
};

}  // namespace kestrel::importer
