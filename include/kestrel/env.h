// The one seam between Kestrel and the operating system: files and folders,
// the clock, environment variables and child processes. The component and
// the command line reach the system through an Env handed down to them, so
// that a test can put its own in place (one that makes writes fail, fills
// the disk or fixes the time).
//
// A caller must keep an Env alive as long as any file object it handed out;
// Env::Default() lives as long as the program. An export writes its files,
// and an import reads a pack's records, on a second thread of Kestrel's own
// while the first one goes on: an Env must take calls from two threads at
// once (one file object is used by one thread at a time). Failures are
// ComError with the run time's numbers: 53 a missing file, 76 a missing
// folder, 70 no permission, else errno and its text. Paths join with "/";
// the bytes of a file are never transcoded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kestrel/date_time.h"
#include "kestrel/export.h"

namespace kestrel {

// A file being written. Append takes all of the bytes or raises; the bytes
// reach the file by Flush or Close at the latest. Dropping the object without
// Close closes it and lets go of any failure, as a stream does at the end of
// its scope.
class KESTREL_API WritableFile {
 public:
  virtual ~WritableFile() = default;
  virtual void Append(std::string_view data) = 0;
  virtual void Flush() = 0;
  virtual void Close() = 0;
};

// A file read from its start to its end.
class KESTREL_API SequentialFile {
 public:
  virtual ~SequentialFile() = default;
  // Reads up to `size` bytes into `buffer` and returns how many; 0 at the end.
  virtual size_t Read(char* buffer, size_t size) = 0;
};

// An exclusive lock on a file, held until the object goes or the process
// ends, however it ends.
class KESTREL_API FileLock {
 public:
  virtual ~FileLock() = default;
};

enum class WriteMode {
  Replace,         // created anew; an existing file is emptied
  Append,          // written after what is there; created when missing
  ReplacePrivate,  // as Replace, but only the owner may read or write the file,
                   // an existing one included, before anything is written
};

// How RenameFolder treats a folder already at the new name.
enum class FolderRename {
  NoReplace,  // raises 58 "File already exists" and changes nothing
  Exchange,   // the two folders swap names: the new name must be taken
};

// What is at a path itself: a symbolic link is a Link, whatever it points at.
enum class EntryKind { Missing, File, Folder, Link, Other };

// How a child process ended and the end of what it wrote.
struct ChildOutcome {
  int status = 0;         // its exit code, or the number of the signal that ended it
  bool signaled = false;  // ended by a signal
  std::string output;     // standard output and error, as one stream
};

// What tells, without reading a regular file, that it is as it was: writing
// to it, cutting it or putting another file in its place changes the stamp.
struct FileStamp {
  uint64_t device = 0;
  uint64_t inode = 0;
  uint64_t size = 0;
  int64_t modified_ns = 0;  // its content's last change
  int64_t changed_ns = 0;   // its entry's last change (a rename or touch that keeps the time)
  bool operator==(const FileStamp&) const = default;
};

class KESTREL_API Env {
 public:
  virtual ~Env() = default;

  // The machine's own.
  static Env& Default();

  // ---- Files and folders ----
  virtual bool FolderExists(const std::string& path) = 0;
  // A regular file (a folder of the name is none).
  virtual bool FileExists(const std::string& path) = 0;
  // Creates one folder. False, with nothing done, when something of that
  // name is already there; a missing parent raises 76.
  virtual bool CreateFolder(const std::string& path) = 0;
  virtual void DeleteFile(const std::string& path) = 0;  // a missing file raises 53
  // Removes an empty folder; one that is missing or not empty raises.
  virtual void DeleteFolder(const std::string& path) = 0;
  // What is at `path`, a symbolic link not followed.
  virtual EntryKind KindOf(const std::string& path) = 0;
  virtual void RenameFile(const std::string& from, const std::string& to) = 0;
  // Gives the folder `from` the name `to` (in the same file system) in one
  // step, so that a reader of `to` sees one whole folder or the other, never
  // a mix. With Exchange, `from` afterwards names what `to` named.
  virtual void RenameFolder(const std::string& from, const std::string& to, FolderRename how) = 0;
  // The names of the regular files in `folder`, in no fixed order.
  virtual std::vector<std::string> ListFiles(const std::string& folder) = 0;
  // The names of the folders in `folder` (links to folders left out), in no
  // fixed order.
  virtual std::vector<std::string> ListFolders(const std::string& folder) = 0;
  // Creates the file `path`, which must not exist yet, and holds its lock:
  // the file appears under its name already locked, so that no TryLockFile
  // ever takes it first. Raises as OpenForWriting does.
  virtual std::unique_ptr<FileLock> CreateLockedFile(const std::string& path) = 0;
  // Takes the lock of the existing regular file `path` without waiting;
  // nullptr when there is no such file or its lock is held (by another
  // process, or another lock of this one).
  virtual std::unique_ptr<FileLock> TryLockFile(const std::string& path) = 0;
  virtual std::unique_ptr<WritableFile> OpenForWriting(const std::string& path, WriteMode mode) = 0;
  // Reads what is at `path` itself: a symbolic link there is not followed,
  // so that a file cannot make Kestrel read another one. A folder raises
  // EISDIR; a link, FIFO or device raises Ours::NotARegularFile naming the
  // path, before anything is read (a FIFO never makes the open wait).
  virtual std::unique_ptr<SequentialFile> OpenForReading(const std::string& path) = 0;
  // The stamp of the regular file at `path` (a link not followed); nullopt
  // when nothing regular is there, when this Env cannot tell, or when the
  // file changed so lately that a second change within the same tick of the
  // file system's clock could leave its stamp as it is. A caller that wanted
  // to skip reading the file then reads it.
  virtual std::optional<FileStamp> StampOf(const std::string& path) {
    (void)path;
    return std::nullopt;
  }

  // ---- The clock ----
  // The present local date and time.
  virtual DateTime Now() = 0;

  // ---- The environment ----
  // The value of an environment variable; "" when it is not set, which
  // every reader treats as it treats an empty value.
  virtual std::string Variable(const std::string& name) = 0;
  // The folder of the running program.
  virtual std::string ProgramFolder() = 0;
  // The account running the program, as the system's account database has
  // it: its login name and home folder ("" for what it does not say).
  virtual std::string AccountName() = 0;
  virtual std::string AccountHome() = 0;

  // ---- Child processes ----
  // Runs `program` with `arguments` (the program's own name not among them)
  // and waits for it. A program named without "/" is looked up on PATH.
  // Standard input is empty; standard output and error are captured as one
  // stream, of which at least the last `output_kept` bytes are returned.
  // A program that cannot be started raises its errno.
  virtual ChildOutcome RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                                  size_t output_kept) = 0;
};

// An Env that hands every call to another one: the base of an Env that
// changes a few calls (a test's faults, an export's measuring) and passes the
// rest on. The other Env must outlive this one.
class KESTREL_API EnvWrapper : public Env {
 public:
  explicit EnvWrapper(Env& target) : target_(target) {}
  Env& target() const { return target_; }

  bool FolderExists(const std::string& path) override { return target_.FolderExists(path); }
  bool FileExists(const std::string& path) override { return target_.FileExists(path); }
  bool CreateFolder(const std::string& path) override { return target_.CreateFolder(path); }
  void DeleteFile(const std::string& path) override { target_.DeleteFile(path); }
  void DeleteFolder(const std::string& path) override { target_.DeleteFolder(path); }
  EntryKind KindOf(const std::string& path) override { return target_.KindOf(path); }
  void RenameFile(const std::string& from, const std::string& to) override { target_.RenameFile(from, to); }
  void RenameFolder(const std::string& from, const std::string& to, FolderRename how) override {
    target_.RenameFolder(from, to, how);
  }
  std::vector<std::string> ListFiles(const std::string& folder) override { return target_.ListFiles(folder); }
  std::vector<std::string> ListFolders(const std::string& folder) override { return target_.ListFolders(folder); }
  std::unique_ptr<FileLock> CreateLockedFile(const std::string& path) override {
    return target_.CreateLockedFile(path);
  }
  std::unique_ptr<FileLock> TryLockFile(const std::string& path) override { return target_.TryLockFile(path); }
  std::unique_ptr<WritableFile> OpenForWriting(const std::string& path, WriteMode mode) override {
    return target_.OpenForWriting(path, mode);
  }
  std::unique_ptr<SequentialFile> OpenForReading(const std::string& path) override {
    return target_.OpenForReading(path);
  }
  std::optional<FileStamp> StampOf(const std::string& path) override { return target_.StampOf(path); }
  DateTime Now() override { return target_.Now(); }
  std::string Variable(const std::string& name) override { return target_.Variable(name); }
  std::string ProgramFolder() override { return target_.ProgramFolder(); }
  std::string AccountName() override { return target_.AccountName(); }
  std::string AccountHome() override { return target_.AccountHome(); }
  ChildOutcome RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                          size_t output_kept) override {
    return target_.RunProgram(program, arguments, output_kept);
  }

 private:
  Env& target_;
};

}  // namespace kestrel
