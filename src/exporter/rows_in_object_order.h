// Records brought from the order a rule table is read in (its objects' keys)
// into the order a pack writes them (the objects' places), in bounded
// memory: records wait in memory up to a budget; past it they are sorted
// by place and written to a run file, and the runs are merged when read.
// Records of one place come back in the order they were added.
//
// Callers guarantee: Add is not called once Next has been; the folder of
// the run files outlives this object, which deletes them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "kestrel/env.h"

namespace kestrel::exporter {

// Appends an entry (a place, a record and a note) as EntryReader reads it.
void AppendEntry(std::string& out, uint32_t place, std::string_view record, std::string_view note = {});

// A file of entries read forward, one at a time.
class EntryReader {
 public:
  EntryReader(Env& env, const std::string& path);
  // Loads the next entry; false at the end of the file.
  bool Load();
  // The entry loaded, valid until the next Load.
  uint32_t place = 0;
  std::string_view record, note;

 private:
  // Whether `n` bytes past at_ are in the buffer, reading more as needed.
  bool Fill(size_t n);
  std::unique_ptr<SequentialFile> in_;
  std::string path_;
  std::string buffer_;
  size_t at_ = 0;
  std::string entry_;
};

class RowsInObjectOrder {
 public:
  static constexpr size_t kDefaultMemory = 512 * 1024;
  // Runs read side by side at most (each holds a few KiB and a file open).
  static constexpr size_t kMostRuns = 128;

  // Run files are named `run_prefix` + a number, written and read through
  // `env`; `memory` is the bytes of records held before a run is written.
  RowsInObjectOrder(Env& env, std::string run_prefix, size_t memory = kDefaultMemory);
  ~RowsInObjectOrder();
  RowsInObjectOrder(const RowsInObjectOrder&) = delete;
  RowsInObjectOrder& operator=(const RowsInObjectOrder&) = delete;

  // A record of the object at `place` and a note that goes with it (may be
  // empty).
  void Add(uint32_t place, std::string_view record, std::string_view note = {});
  // Writes what is held as a run, so that the memory is free while other
  // work goes on before the records are read.
  void Release();

  // The next record by place, false after the last. Its place, record and
  // note stay valid until the next call.
  bool Next();
  // Whether the next record is at `place`, without moving to it.
  bool NextIsAt(uint32_t place);
  uint32_t place() const { return place_; }
  std::string_view record() const { return record_; }
  std::string_view note() const { return note_; }

  // How many run files there are (for tests and measures).
  size_t runs() const { return files_.size(); }

 private:
  void WriteRun();
  // Merges the runs written into one.
  void MergeRuns();
  // The run whose entry has the lowest place (the first of those with it),
  // SIZE_MAX when every run is read.
  static size_t Lowest(const std::vector<std::unique_ptr<EntryReader>>& runs);
  void StartReading();
  // Moves to the next record by place; false after the last.
  bool Advance();

  Env& env_;
  std::string prefix_;
  size_t memory_;
  // Records held: place, then lengths, then bytes (see the .cpp).
  std::string held_;
  std::vector<std::pair<uint32_t, uint32_t>> order_;  // place and offset into held_
  std::vector<std::string> files_;
  size_t made_ = 0;  // run files made, for their names
  std::vector<std::unique_ptr<EntryReader>> runs_;
  size_t memory_at_ = 0;  // next of order_ to read, once reading
  bool reading_ = false;
  bool peeked_ = false;
  bool has_peeked_ = false;
  size_t last_ = SIZE_MAX;  // the run whose entry is current, SIZE_MAX for none or a held one
  uint32_t place_ = 0;
  std::string_view record_, note_;
};

}  // namespace kestrel::exporter
