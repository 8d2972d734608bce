// An Env that measures each file written through it while its bytes pass,
// so that the sums of a pack need not read its files again once they are
// written. It forwards everything to the Env it wraps.
//
// A caller must keep the wrapped Env alive as long as this one, and this one
// as long as any file object it handed out. A measure is kept only for a file
// created (or replaced) through this Env and closed with every byte written,
// with no other writer of it open meanwhile; appending to it, renaming it or
// deleting it through this Env drops its measure. A file changed behind this
// Env's back keeps a stale one: the caller writes its files through it alone.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "kestrel/env.h"
#include "pack/sums.h"

namespace kestrel::pack {

class MeasuringEnv : public EnvWrapper {
 public:
  explicit MeasuringEnv(Env& inner) : EnvWrapper(inner) {}

  // The measure of the file at `path` (spelt as it was opened), if kept.
  std::optional<FileSum> Measured(const std::string& path) const;
  // Drops the measures kept so far: a file may have changed behind this
  // Env's back since (a run begins with it). Writers open now keep theirs.
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

  std::map<std::string, Entry> files_;
};

}  // namespace kestrel::pack
