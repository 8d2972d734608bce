// The one seam to the file system: folders, files and 8-bit text streams.
// Every failure is a ComError with the run time's number (53 missing file,
// 76 missing folder, 70 no permission, else errno and its text).
// Paths join with "/". Text is bytes: nothing is ever transcoded.
#pragma once

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Kestrel20ImpExp::files {

std::string Join(std::string_view folder, std::string_view name);

bool FolderExists(const std::string& path);
bool FileExists(const std::string& path);
void CreateFolder(const std::string& path);          // fails when it exists or the parent is missing
void CreateFolders(const std::string& path);         // mkdir -p
void DeleteFile(const std::string& path);            // fails when missing
void CopyFile(const std::string& from, const std::string& to);  // overwrites
void RenameFile(const std::string& from, const std::string& to);
std::vector<std::string> ListFiles(const std::string& folder);  // names only, unsorted
std::string ReadWholeFile(const std::string& path);
class TextWriter;
// Writes the bytes of the file at `path` into `out`, a piece at a time.
void AppendFileTo(const std::string& path, TextWriter& out);

// Finds `name` in `folder`: the exact name first, else the one file whose name
// equals it without regard to case. Two such files raise Ours::AmbiguousFileName.
// Returns the full path of the match, or nullopt when there is none.
std::optional<std::string> ResolveInFolder(const std::string& folder, std::string_view name);
// Like ResolveInFolder, but a missing file gives the path of the exact name
// (so that opening it fails with 53 naming what was asked for).
std::string PathInFolder(const std::string& folder, std::string_view name);
bool FileExistsInFolder(const std::string& folder, std::string_view name);

// A file written through a buffer; lines end with CR LF. The file is created
// anew (an existing one is replaced). Close flushes; the destructor closes.
class TextWriter {
 public:
  static std::unique_ptr<TextWriter> Create(const std::string& path);
  static std::unique_ptr<TextWriter> Append(const std::string& path);  // creates when missing
  // As Create, but only the owner may read or write the file, an existing
  // one included, before anything is written: for files holding a password.
  static std::unique_ptr<TextWriter> CreatePrivate(const std::string& path);
  ~TextWriter();
  TextWriter(const TextWriter&) = delete;
  TextWriter& operator=(const TextWriter&) = delete;

  void WriteLine(std::string_view text);   // text + CR LF
  void Write(std::string_view text);       // text, nothing added
  void Flush();
  void Close();
  const std::string& path() const { return path_; }

 private:
  TextWriter(std::FILE* f, std::string path);
  void Check(bool ok);
  std::FILE* file_;
  std::string path_;
};

// Reads lines one at a time. In pack and data files (the default) only CR LF
// ends a line: a lone CR or LF stays part of the line. Configuration files
// that people edit accept LF alone too (`lf_ends_line`).
class TextReader {
 public:
  static std::unique_ptr<TextReader> Open(const std::string& path, bool lf_ends_line = false);
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
  TextReader(std::FILE* f, std::string path, bool lf_ends_line);
  bool Fill();
  std::FILE* file_;
  std::string path_;
  bool lf_ends_line_;
  std::vector<char> buf_;
  size_t pos_ = 0;
  size_t len_ = 0;
  bool eof_ = false;
  size_t line_number_ = 0;
};

}  // namespace Kestrel20ImpExp::files
