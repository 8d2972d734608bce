// ExportMR.sums, the file an export writes beside its pack files so that a
// pack changed afterwards (cut short, edited, a file added or taken away) is
// known before an import reads it: each file of the pack with its size in
// bytes, its number of lines and its SHA-256. One writer and one reader.
//
// The file holds a title line, then one line per file in the order of the
// names' bytes: the SHA-256 in lower-case hex, the size, the number of lines
// (the lines a reader of pack files sees: CR LF ends one, and bytes after
// the last CR LF are one more), each followed by a blank, then the name.
// Every line ends with CR LF. Readers of the other pack files ignore it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "kestrel/env.h"
#include "kestrel/pack_facts.h"

namespace kestrel::pack {

// The file's name, and the notice an import logs when it takes a pack
// without one (hosts read both in kestrel/pack_facts.h).
inline constexpr std::string_view kSumsFile = kPackSumsFile;
inline constexpr std::string_view kNoSumsNotice = kNoPackSumsNotice;

struct FileSum {
  std::string name;    // the name within the pack folder
  uint64_t size = 0;   // in bytes
  uint64_t lines = 0;
  std::string sha256;  // 64 lower-case hex digits
};

// Measures bytes handed over a piece at a time, as they are written or read:
// the one count of a pack file's size, lines and SHA-256.
class SumBuilder {
 public:
  explicit SumBuilder(bool count_lines = true);
  ~SumBuilder();
  SumBuilder(const SumBuilder&) = delete;
  SumBuilder& operator=(const SumBuilder&) = delete;
  void Add(std::string_view piece);
  // The sum of every byte added; the builder is spent.
  FileSum Finish(std::string name);

 private:
  void Take(std::string_view piece);
  struct Digest;
  std::unique_ptr<Digest> digest_;
  bool count_lines_;
  FileSum sum_;
  std::string pending_;  // small pieces wait here, so the digest sees large ones
  char before_piece_ = '\0';
  bool ends_with_line_end_ = false;
};

// Measures the file at `path`, read as every pack file is (a link is refused).
// Counting its lines costs as much as its digest; with `count_lines` false
// `lines` stays 0.
FileSum MeasureFile(Env& env, const std::string& path, std::string name, bool count_lines = true);

class MeasuringEnv;

// Writes ExportMR.sums into `folder`, listing every regular file there but
// itself and the export's spool file. The caller writes it last, when every
// other file of the pack is closed. A file `written` measured as it was
// written is not read again.
void WriteSums(Env& env, const std::string& folder, const MeasuringEnv* written = nullptr);

// The entries of `folder`'s ExportMR.sums, in the file's order. A line
// outside the format raises Ours::MalformedPackFile naming the file and line;
// a line whose name is not that of a file inside the folder (empty, a path
// separator, "..", a control character) Ours::SumsNameOutsidePack, before
// anything else is read.
std::vector<FileSum> ReadSums(Env& env, const std::string& folder);

// A pack folder whose files matched their sums, each file with the stamp it
// had before it was read. A check of the same folder whose files all keep
// their stamps (and no file added or taken away) need not read them again:
// a host that shows a pack's details and then imports it checks it once.
struct VerifiedSums {
  std::string folder;
  std::vector<std::pair<std::string, FileStamp>> files;  // by name, in byte order
};

// Checks `folder` against its ExportMR.sums. False when the pack has none
// (an older exporter wrote it). Raises Ours::PackSumsMismatch naming the file
// when a listed file is missing or differs in size or hash (naming the
// difference in lines where there is one), or when a .dat file of the folder
// is not listed; a listed name that is a link, folder or device raises
// Ours::NotARegularFile. A file whose size and hash match is not read a
// second time to count its lines. With `memo`, a folder it holds whose
// stamps are unchanged passes without being read, and a folder that passes
// is recorded there (nothing is recorded where the Env has no stamps).
bool VerifySums(Env& env, const std::string& folder, VerifiedSums* memo = nullptr);

}  // namespace kestrel::pack
