// An Env that measures each file written through it while its bytes pass,
// so that the sums of a pack need not read its files again once they are
// written. It forwards everything to the Env it wraps.
//
// Writing and measuring happen behind the writer, on a second thread: the
// bytes of a file go in pieces of some 64 KiB, a few pieces at most waiting
// at a time, so that the thread reading the store does not wait for the
// disk or the digest. A write the wrapped Env refused is raised to the
// writer at its next hand-over of a piece, Flush or Close, of that file or
// of any other file of this Env (the first refusal, until ForgetClosed);
// what the wrapped Env's files see is what they saw before, in larger appends.
//
// A caller must keep the wrapped Env alive as long as this one, and this one
// as long as any file object it handed out. A measure is kept only for a file
// created (or replaced) through this Env and closed with every byte written,
// with no other writer of it open meanwhile; appending to it, renaming it or
// deleting it through this Env drops its measure. A file changed behind this
// Env's back keeps a stale one: the caller writes its files through it alone.
#pragma once

#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "base/background_queue.h"
#include "kestrel/env.h"
#include "pack/sums.h"

namespace kestrel::pack {

class MeasuringEnv : public EnvWrapper {
 public:
  explicit MeasuringEnv(Env& inner);
  ~MeasuringEnv() override;

  // The measure of the file at `path` (spelt as it was opened), if kept.
  std::optional<FileSum> Measured(const std::string& path) const;
  // Drops the measures kept so far: a file may have changed behind this
  // Env's back since (a run begins with it). Writers open now keep theirs.
  // A refused write of an earlier run is forgotten too.
  void ForgetClosed();

  void DeleteFile(const std::string& path) override;
  void RenameFile(const std::string& from, const std::string& to) override;
  std::unique_ptr<WritableFile> OpenForWriting(const std::string& path, WriteMode mode) override;

 private:
  class MeasuringFile;
  struct Entry {
    std::optional<FileSum> sum;
    int writers = 0;       // writers of the path open now
    bool crossed = false;  // two writers were open at once: its bytes are anyone's guess
  };
  void Forget(const std::string& path);
  void Closed(const std::string& path, std::optional<FileSum> sum);
  // The second thread's side: the first write refused, for every writer.
  void Refused(std::exception_ptr failure);
  void RethrowRefusal();

  std::map<std::string, Entry> files_;
  std::mutex refusal_mutex_;
  std::exception_ptr refusal_;
  BackgroundQueue behind_;  // last: it stops before what its jobs reach goes
};

}  // namespace kestrel::pack
