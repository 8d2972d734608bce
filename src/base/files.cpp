// Folders, files and text streams on top of an Env's primitives.
#include "base/files.h"

#include <cstring>
#include <random>

#include <fmt/format.h>

#include "base/error.h"
#include "base/errors_ours.h"
#include "base/text.h"

namespace kestrel::files {
namespace {

constexpr size_t kBufferSize = 1 << 16;

// Hands what is left of `in` to `take`, a buffer at a time.
template <typename Take>
void ReadPieces(SequentialFile& in, size_t piece, Take take) {
  std::vector<char> buf(piece);
  while (size_t n = in.Read(buf.data(), buf.size())) take(std::string_view(buf.data(), n));
}

[[noreturn]] void RefuseEntry(const std::string& path, EntryKind kind) {
  const char* what = kind == EntryKind::Link     ? "a symbolic link"
                     : kind == EntryKind::Folder ? "a folder"
                                                 : "a FIFO, socket or device";
  Raise(Ours::NotARegularFile, fmt::format("{}: {} is {}", DefaultText(Ours::NotARegularFile), path, what));
}

}  // namespace

std::string Join(std::string_view folder, std::string_view name) {
  std::string out(folder);
  if (!out.empty() && out.back() != '/') out += '/';
  out += name;
  return out;
}

void CreateFolder(Env& env, const std::string& path) {
  if (!env.CreateFolder(path)) RaiseRuntime(rt::FileAlreadyExists, path);
}

void CreateFolders(Env& env, const std::string& path) {
  if (path.empty() || env.FolderExists(path)) return;
  auto slash = path.find_last_of('/');
  if (slash != std::string::npos && slash > 0) CreateFolders(env, path.substr(0, slash));
  env.CreateFolder(path);  // something already there is no failure of this step
}

void DeleteFolderTree(Env& env, const std::string& path) {
  for (const auto& name : env.ListFiles(path)) env.DeleteFile(Join(path, name));
  env.DeleteFolder(path);
}

std::string CreateUniqueFolder(Env& env, const std::string& parent, std::string_view prefix) {
  static constexpr std::string_view kLetters = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::random_device seed;
  std::mt19937_64 pick(seed());
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name(prefix);
    for (int i = 0; i < 6; ++i) name += kLetters[pick() % kLetters.size()];
    const std::string path = Join(parent, name);
    if (env.CreateFolder(path)) return path;
  }
  Raise(Ours::Internal, fmt::format("no new folder could be created in {}", parent));
}

void CopyFile(Env& env, const std::string& from, const std::string& to) {
  auto in = env.OpenForReading(from);
  auto out = env.OpenForWriting(to, WriteMode::Replace);
  std::vector<char> buf(kBufferSize);
  while (size_t n = in->Read(buf.data(), buf.size())) out->Append(std::string_view(buf.data(), n));
  out->Close();
}

std::string ReadWholeFile(Env& env, const std::string& path) {
  return ReadRest(*env.OpenForReading(path));
}

std::string ReadRest(SequentialFile& in) {
  std::string out;
  ReadPieces(in, 1 << 14, [&](std::string_view piece) { out.append(piece); });
  return out;
}

void AppendFileTo(Env& env, const std::string& path, TextWriter& out) { AppendRestTo(*env.OpenForReading(path), out); }

void AppendRestTo(SequentialFile& in, TextWriter& out) {
  ReadPieces(in, kBufferSize, [&](std::string_view piece) { out.Write(piece); });
}

std::optional<std::string> ResolveInFolder(Env& env, const std::string& folder, std::string_view name) {
  std::string exact = Join(folder, name);
  const EntryKind kind = env.KindOf(exact);
  if (kind == EntryKind::File) return exact;
  if (kind != EntryKind::Missing) RefuseEntry(exact, kind);
  if (!env.FolderExists(folder)) return std::nullopt;
  std::optional<std::string> found;
  for (const auto& candidate : env.ListFiles(folder)) {
    if (!text::EqualNoCase(candidate, name)) continue;
    if (found)
      Raise(Ours::AmbiguousFileName, fmt::format("{}: {} in {}", DefaultText(Ours::AmbiguousFileName), name, folder));
    found = Join(folder, candidate);
  }
  // The listing names what links point at too: the match itself must be a file.
  if (found) {
    const EntryKind found_kind = env.KindOf(*found);
    if (found_kind != EntryKind::File) RefuseEntry(*found, found_kind);
  }
  return found;
}

std::string PathInFolder(Env& env, const std::string& folder, std::string_view name) {
  auto found = ResolveInFolder(env, folder, name);
  return found ? *found : Join(folder, name);
}

bool FileExistsInFolder(Env& env, const std::string& folder, std::string_view name) {
  return ResolveInFolder(env, folder, name).has_value();
}

// ---- TextWriter ----

TextWriter::TextWriter(std::unique_ptr<WritableFile> file, std::string path)
    : file_(std::move(file)), path_(std::move(path)) {}

std::unique_ptr<TextWriter> TextWriter::Create(Env& env, const std::string& path) {
  return std::unique_ptr<TextWriter>(new TextWriter(env.OpenForWriting(path, WriteMode::Replace), path));
}

std::unique_ptr<TextWriter> TextWriter::CreatePrivate(Env& env, const std::string& path) {
  return std::unique_ptr<TextWriter>(new TextWriter(env.OpenForWriting(path, WriteMode::ReplacePrivate), path));
}

std::unique_ptr<TextWriter> TextWriter::Append(Env& env, const std::string& path) {
  return std::unique_ptr<TextWriter>(new TextWriter(env.OpenForWriting(path, WriteMode::Append), path));
}

TextWriter::~TextWriter() = default;

void TextWriter::Write(std::string_view text) {
  if (!file_) RaiseRuntime(rt::BadFileNameOrNumber, path_);
  if (!text.empty()) file_->Append(text);
}

void TextWriter::WriteLine(std::string_view text) {
  Write(text);
  Write("\r\n");
}

void TextWriter::Flush() {
  if (file_) file_->Flush();
}

void TextWriter::Close() {
  if (!file_) return;
  std::unique_ptr<WritableFile> file = std::move(file_);
  file->Close();
}

// ---- TextReader ----

TextReader::TextReader(std::unique_ptr<SequentialFile> file, std::string path, bool lf_ends_line)
    : file_(std::move(file)), path_(std::move(path)), lf_ends_line_(lf_ends_line), buf_(kBufferSize) {}

std::unique_ptr<TextReader> TextReader::Open(Env& env, const std::string& path, bool lf_ends_line) {
  return std::unique_ptr<TextReader>(new TextReader(env.OpenForReading(path), path, lf_ends_line));
}

TextReader::~TextReader() = default;

void TextReader::Close() { file_.reset(); }

bool TextReader::Fill() {
  if (eof_ || !file_) return false;
  if (pos_ > 0) {
    std::memmove(buf_.data(), buf_.data() + pos_, len_ - pos_);
    len_ -= pos_;
    pos_ = 0;
  }
  if (len_ == buf_.size()) buf_.resize(buf_.size() * 2);
  size_t n = file_->Read(buf_.data() + len_, buf_.size() - len_);
  if (n == 0) {
    eof_ = true;
    return false;
  }
  len_ += n;
  return true;
}

bool TextReader::AtEndOfStream() {
  if (pos_ < len_) return false;
  return !Fill();
}

bool TextReader::ReadLine(std::string& line) {
  std::string_view view;
  if (!ReadLine(view)) return false;
  line.assign(view);
  return true;
}

bool TextReader::ReadLine(std::string_view& line) {
  if (AtEndOfStream()) return false;
  // Pack files: find each CR and look at the byte after it. Configuration
  // files: find the LF; a CR just before it belongs to the line end.
  const char wanted = lf_ends_line_ ? '\n' : '\r';
  size_t scan = pos_;
  for (;;) {
    const char* base = buf_.data();
    while (scan < len_) {
      const void* hit = std::memchr(base + scan, wanted, len_ - scan);
      if (hit == nullptr) break;
      const size_t i = static_cast<size_t>(static_cast<const char*>(hit) - base);
      if (lf_ends_line_) {
        const size_t end = (i > pos_ && base[i - 1] == '\r') ? i - 1 : i;
        line = std::string_view(base + pos_, end - pos_);
        pos_ = i + 1;
        ++line_number_;
        return true;
      }
      if (i + 1 == len_) break;  // the LF may come with the next read
      if (base[i + 1] == '\n') {
        line = std::string_view(base + pos_, i - pos_);
        pos_ = i + 2;
        ++line_number_;
        return true;
      }
      scan = i + 1;  // a lone CR stays part of the line
    }
    // Keep a trailing CR in view: its LF may come with the next read.
    scan = len_ > pos_ ? len_ - 1 : len_;
    size_t offset = scan - pos_;
    if (!Fill()) {
      line = std::string_view(buf_.data() + pos_, len_ - pos_);
      pos_ = len_;
      ++line_number_;
      return true;
    }
    scan = pos_ + offset;
  }
}

std::string TextReader::ReadLine() {
  std::string line;
  if (!ReadLine(line)) RaiseRuntime(rt::InputPastEnd, path_);
  return line;
}

}  // namespace kestrel::files
