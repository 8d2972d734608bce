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

class MeasuringEnv : public Env {
 public:
  explicit MeasuringEnv(Env& inner) : inner_(inner) {}

  // The measure of the file at `path` (spelt as it was opened), if kept.
  std::optional<FileSum> Measured(const std::string& path) const;
  // Drops the measures kept so far: a file may have changed behind this
  // Env's back since (a run begins with it). Writers open now keep theirs.
  void ForgetClosed();

  bool FolderExists(const std::string& path) override { return inner_.FolderExists(path); }
  bool FileExists(const std::string& path) override { return inner_.FileExists(path); }
  bool CreateFolder(const std::string& path) override { return inner_.CreateFolder(path); }
  void DeleteFile(const std::string& path) override;
  void DeleteFolder(const std::string& path) override { inner_.DeleteFolder(path); }
  EntryKind KindOf(const std::string& path) override { return inner_.KindOf(path); }
  void RenameFile(const std::string& from, const std::string& to) override;
  std::vector<std::string> ListFiles(const std::string& folder) override { return inner_.ListFiles(folder); }
  std::unique_ptr<WritableFile> OpenForWriting(const std::string& path, WriteMode mode) override;
  std::unique_ptr<SequentialFile> OpenForReading(const std::string& path) override {
    return inner_.OpenForReading(path);
  }
  std::optional<FileStamp> StampOf(const std::string& path) override { return inner_.StampOf(path); }
  DateTime Now() override { return inner_.Now(); }
  std::string Variable(const std::string& name) override { return inner_.Variable(name); }
  std::string ProgramFolder() override { return inner_.ProgramFolder(); }
  std::string AccountName() override { return inner_.AccountName(); }
  std::string AccountHome() override { return inner_.AccountHome(); }
  ChildOutcome RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                          size_t output_kept) override {
    return inner_.RunProgram(program, arguments, output_kept);
  }

 private:
  class MeasuringFile;
  struct Entry {
    std::optional<FileSum> sum;
    int writers = 0;       // writers of the path open now
    bool crossed = false;  // two writers were open at once: its bytes are anyone's guess
  };
  void Forget(const std::string& path);
  void Closed(const std::string& path, std::optional<FileSum> sum);

  Env& inner_;
  std::map<std::string, Entry> files_;
};

}  // namespace kestrel::pack
