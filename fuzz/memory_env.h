// An Env whose files live in memory, for the fuzz targets: each run hands a
// reader its input as a file without touching the disk. Folders are implied
// by the files in them (a file "/pack/a.dat" makes "/pack" exist); the clock
// is fixed and there are no variables, accounts or child processes.
// A caller keeps the Env alive as long as any file object it handed out.
#pragma once

#include <cerrno>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "kestrel/env.h"
#include "kestrel/error.h"

namespace kestrel::fuzzing {

class MemoryEnv : public Env {
 public:
  // Puts a file in place, replacing one of that path.
  void Put(const std::string& path, std::string_view content) { files_[path] = std::string(content); }
  // The content of a file; "" when there is none.
  std::string Content(const std::string& path) const {
    auto it = files_.find(path);
    return it == files_.end() ? std::string() : it->second;
  }

  bool FolderExists(const std::string& path) override {
    const std::string prefix = path + "/";
    for (const auto& [name, content] : files_)
      if (name.compare(0, prefix.size(), prefix) == 0) return true;
    return false;
  }
  bool FileExists(const std::string& path) override { return files_.count(path) != 0; }
  bool CreateFolder(const std::string&) override { return true; }
  // Folders exist only through the files in them.
  void DeleteFolder(const std::string&) override {}
  // Everything kept here is a regular file; nothing is a link.
  EntryKind KindOf(const std::string& path) override {
    if (FileExists(path)) return EntryKind::File;
    return FolderExists(path) ? EntryKind::Folder : EntryKind::Missing;
  }
  void DeleteFile(const std::string& path) override {
    if (files_.erase(path) == 0) throw ComError(53, "File not found: " + path);
  }
  void RenameFile(const std::string& from, const std::string& to) override {
    auto it = files_.find(from);
    if (it == files_.end()) throw ComError(53, "File not found: " + from);
    std::string content = std::move(it->second);
    files_.erase(it);
    files_[to] = std::move(content);
  }
  // Every file below `from` takes the name below `to` (and those below `to`
  // the name below `from`, when exchanged).
  void RenameFolder(const std::string& from, const std::string& to, FolderRename how) override {
    if (how == FolderRename::NoReplace)
      for (const auto& [path, content] : files_)
        if (path.rfind(to + "/", 0) == 0) throw ComError(58, "File already exists");
    std::map<std::string, std::string> moved;
    for (auto it = files_.begin(); it != files_.end();) {
      const bool below_from = it->first.rfind(from + "/", 0) == 0;
      const bool below_to = it->first.rfind(to + "/", 0) == 0;
      if (!below_from && !(below_to && how == FolderRename::Exchange)) {
        ++it;
        continue;
      }
      const std::string& old_base = below_from ? from : to;
      const std::string& new_base = below_from ? to : from;
      moved[new_base + it->first.substr(old_base.size())] = std::move(it->second);
      it = files_.erase(it);
    }
    files_.merge(moved);
  }
  // No folder is kept of its own, and nothing runs beside a fuzz target to
  // take a lock.
  std::vector<std::string> ListFolders(const std::string&) override { return {}; }
  std::unique_ptr<FileLock> CreateLockedFile(const std::string& path) override {
    files_[path];
    return std::make_unique<FileLock>();
  }
  std::unique_ptr<FileLock> TryLockFile(const std::string& path) override {
    return files_.count(path) ? std::make_unique<FileLock>() : nullptr;
  }
  std::vector<std::string> ListFiles(const std::string& folder) override {
    std::vector<std::string> names;
    const std::string prefix = folder + "/";
    for (const auto& [name, content] : files_)
      if (name.compare(0, prefix.size(), prefix) == 0 && name.find('/', prefix.size()) == std::string::npos)
        names.push_back(name.substr(prefix.size()));
    return names;
  }
  std::unique_ptr<WritableFile> OpenForWriting(const std::string& path, WriteMode mode) override {
    if (mode != WriteMode::Append) files_[path].clear();
    return std::make_unique<Writer>(files_[path]);
  }
  std::unique_ptr<SequentialFile> OpenForReading(const std::string& path) override {
    auto it = files_.find(path);
    if (it == files_.end()) throw ComError(53, "File not found: " + path);
    return std::make_unique<Reader>(it->second);
  }

  DateTime Now() override { return DateTime{2026, 12, 6, 18, 30, 0}; }
  std::string Variable(const std::string&) override { return {}; }
  std::string ProgramFolder() override { return "/bin"; }
  std::string AccountName() override { return {}; }
  std::string AccountHome() override { return {}; }
  ChildOutcome RunProgram(const std::string& program, const std::vector<std::string>&, size_t) override {
    throw ComError(ENOENT, "No child processes in memory: " + program);
  }

 private:
  class Reader : public SequentialFile {
   public:
    explicit Reader(const std::string& content) : content_(content) {}
    size_t Read(char* buffer, size_t size) override {
      size_t n = content_.size() - pos_ < size ? content_.size() - pos_ : size;
      content_.copy(buffer, n, pos_);
      pos_ += n;
      return n;
    }

   private:
    const std::string& content_;
    size_t pos_ = 0;
  };
  class Writer : public WritableFile {
   public:
    explicit Writer(std::string& content) : content_(content) {}
    void Append(std::string_view data) override { content_.append(data); }
    void Flush() override {}
    void Close() override {}

   private:
    std::string& content_;
  };

  std::map<std::string, std::string> files_;
};

}  // namespace kestrel::fuzzing
