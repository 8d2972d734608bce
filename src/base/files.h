// Folders, files and 8-bit text streams, on top of an Env.
// Every failure is a ComError with the run time's number (53 missing file,
// 76 missing folder, 70 no permission, else errno and its text).
// Paths join with "/". Text is bytes: nothing is ever transcoded.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kestrel/env.h"

namespace kestrel::files {

std::string Join(std::string_view folder, std::string_view name);

inline bool FolderExists(Env& env, const std::string& path) { return env.FolderExists(path); }
inline bool FileExists(Env& env, const std::string& path) { return env.FileExists(path); }
void CreateFolder(Env& env, const std::string& path);   // fails when it exists or the parent is missing
void CreateFolders(Env& env, const std::string& path);  // mkdir -p
inline void DeleteFile(Env& env, const std::string& path) { env.DeleteFile(path); }  // fails when missing
// Removes the files of `path`, then the folder itself; raises when an entry
// other than a regular file keeps it from going.
void DeleteFolderTree(Env& env, const std::string& path);
// Creates a new folder in `parent` named `prefix` + random letters and
// digits; a name is taken only when this call made the folder, so two
// callers never share one. Returns its path; raises as CreateFolder does.
std::string CreateUniqueFolder(Env& env, const std::string& parent, std::string_view prefix);
void CopyFile(Env& env, const std::string& from, const std::string& to);  // overwrites
inline void RenameFile(Env& env, const std::string& from, const std::string& to) { env.RenameFile(from, to); }
// Names only, in no fixed order.
inline std::vector<std::string> ListFiles(Env& env, const std::string& folder) { return env.ListFiles(folder); }
std::string ReadWholeFile(Env& env, const std::string& path);
class TextWriter;
// Writes the bytes of the file at `path` into `out`, a piece at a time.
void AppendFileTo(Env& env, const std::string& path, TextWriter& out);
// What is left to read of `in`: into a string, or into `out` a piece at a time.
std::string ReadRest(SequentialFile& in);
void AppendRestTo(SequentialFile& in, TextWriter& out);

// Finds `name` in `folder`: the exact name first, else the one file whose name
// equals it without regard to case. Two such files raise Ours::AmbiguousFileName.
// Returns the full path of the match, or nullopt when there is none. The
// match must be a regular file of the folder itself: a symbolic link, folder,
// FIFO or device of that name raises Ours::NotARegularFile naming it, so that
// nothing outside a pack is ever read through one of its names.
std::optional<std::string> ResolveInFolder(Env& env, const std::string& folder, std::string_view name);
// Like ResolveInFolder, but a missing file gives the path of the exact name
// (so that opening it fails with 53 naming what was asked for).
std::string PathInFolder(Env& env, const std::string& folder, std::string_view name);
bool FileExistsInFolder(Env& env, const std::string& folder, std::string_view name);

// A file written through a buffer; lines end with CR LF. The file is created
// anew (an existing one is replaced). Close flushes; the destructor closes.
// Each Write, and each half of WriteLine (the text, then its end), is one
// append to the Env's file.
class TextWriter {
 public:
  static std::unique_ptr<TextWriter> Create(Env& env, const std::string& path);
  static std::unique_ptr<TextWriter> Append(Env& env, const std::string& path);  // creates when missing
  // As Create, but only the owner may read or write the file, an existing
  // one included, before anything is written: for files holding a password.
  static std::unique_ptr<TextWriter> CreatePrivate(Env& env, const std::string& path);
  ~TextWriter();
  TextWriter(const TextWriter&) = delete;
  TextWriter& operator=(const TextWriter&) = delete;

  void WriteLine(std::string_view text);   // text + CR LF
  void Write(std::string_view text);       // text, nothing added
  void Flush();
  void Close();
  const std::string& path() const { return path_; }

 private:
  TextWriter(std::unique_ptr<WritableFile> file, std::string path);
  std::unique_ptr<WritableFile> file_;
  std::string path_;
};

// Reads lines one at a time. In pack and data files (the default) only CR LF
// ends a line: a lone CR or LF stays part of the line. Configuration files
// that people edit accept LF alone too (`lf_ends_line`).
class TextReader {
 public:
  static std::unique_ptr<TextReader> Open(Env& env, const std::string& path, bool lf_ends_line = false);
  ~TextReader();
  TextReader(const TextReader&) = delete;
  TextReader& operator=(const TextReader&) = delete;

  bool AtEndOfStream();
  // The next line without its end; raises 62 "Input past end of file" at the end.
  std::string ReadLine();
  // The next line, or false at the end of the file.
  bool ReadLine(std::string& line);
  // The next line as a view into the reader's buffer, without copying it:
  // valid until the next read. False at the end of the file.
  bool ReadLine(std::string_view& line);
  // 1-based number of the line last read.
  size_t line_number() const { return line_number_; }
  const std::string& path() const { return path_; }
  void Close();

 private:
  TextReader(std::unique_ptr<SequentialFile> file, std::string path, bool lf_ends_line);
  bool Fill();
  std::unique_ptr<SequentialFile> file_;
  std::string path_;
  bool lf_ends_line_;
  std::vector<char> buf_;
  size_t pos_ = 0;
  size_t len_ = 0;
  bool eof_ = false;
  size_t line_number_ = 0;
};

}  // namespace kestrel::files
