// POSIX implementation of the file seam.
#include "component/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "component/error.h"
#include "component/errors_ours.h"
#include "component/text.h"

namespace Kestrel20ImpExp::files {
namespace {

constexpr size_t kBufferSize = 1 << 16;

bool IsDir(const std::string& path) {
  struct stat st{};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// A missing parent folder is "Path not found", a missing file "File not found".
[[noreturn]] void RaiseOpen(int err, const std::string& path) {
  if (err == ENOENT) {
    auto slash = path.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !IsDir(path.substr(0, slash)))
      RaiseErrno(err, true);
  }
  RaiseErrno(err, false);
}

}  // namespace

std::string Join(std::string_view folder, std::string_view name) {
  std::string out(folder);
  if (!out.empty() && out.back() != '/') out += '/';
  out += name;
  return out;
}

bool FolderExists(const std::string& path) { return !path.empty() && IsDir(path); }

bool FileExists(const std::string& path) {
  struct stat st{};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

void CreateFolder(const std::string& path) {
  if (::mkdir(path.c_str(), 0777) != 0) {
    if (errno == EEXIST) RaiseRuntime(rt::FileAlreadyExists);
    RaiseErrno(errno, true);
  }
}

void CreateFolders(const std::string& path) {
  if (path.empty() || IsDir(path)) return;
  auto slash = path.find_last_of('/');
  if (slash != std::string::npos && slash > 0) CreateFolders(path.substr(0, slash));
  if (::mkdir(path.c_str(), 0777) != 0 && errno != EEXIST) RaiseErrno(errno, true);
}

void DeleteFile(const std::string& path) {
  if (::unlink(path.c_str()) != 0) RaiseOpen(errno, path);
}

void CopyFile(const std::string& from, const std::string& to) {
  std::FILE* in = std::fopen(from.c_str(), "rb");
  if (!in) RaiseOpen(errno, from);
  std::FILE* out = std::fopen(to.c_str(), "wb");
  if (!out) {
    int err = errno;
    std::fclose(in);
    RaiseOpen(err, to);
  }
  std::vector<char> buf(kBufferSize);
  size_t n;
  int err = 0;
  while ((n = std::fread(buf.data(), 1, buf.size(), in)) > 0)
    if (std::fwrite(buf.data(), 1, n, out) != n) {
      err = errno ? errno : EIO;
      break;
    }
  if (!err && std::ferror(in)) err = errno ? errno : EIO;
  std::fclose(in);
  if (std::fclose(out) != 0 && !err) err = errno ? errno : EIO;
  if (err) RaiseErrno(err);
}

void RenameFile(const std::string& from, const std::string& to) {
  if (std::rename(from.c_str(), to.c_str()) != 0) RaiseOpen(errno, from);
}

std::vector<std::string> ListFiles(const std::string& folder) {
  std::vector<std::string> names;
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) RaiseErrno(errno, true);
  while (dirent* e = ::readdir(dir)) {
    std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    if (FileExists(Join(folder, name))) names.push_back(std::move(name));
  }
  ::closedir(dir);
  return names;
}

std::string ReadWholeFile(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) RaiseOpen(errno, path);
  std::string out;
  char buf[1 << 14];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
  int err = std::ferror(f) ? (errno ? errno : EIO) : 0;
  std::fclose(f);
  if (err) RaiseErrno(err);
  return out;
}

void AppendFileTo(const std::string& path, TextWriter& out) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) RaiseOpen(errno, path);
  std::vector<char> buf(kBufferSize);
  size_t n;
  try {
    while ((n = std::fread(buf.data(), 1, buf.size(), f)) > 0) out.Write(std::string_view(buf.data(), n));
  } catch (...) {
    std::fclose(f);
    throw;
  }
  int err = std::ferror(f) ? (errno ? errno : EIO) : 0;
  std::fclose(f);
  if (err) RaiseErrno(err);
}

std::optional<std::string> ResolveInFolder(const std::string& folder, std::string_view name) {
  std::string exact = Join(folder, name);
  if (FileExists(exact)) return exact;
  if (!IsDir(folder)) return std::nullopt;
  std::optional<std::string> found;
  for (const auto& candidate : ListFiles(folder)) {
    if (!text::EqualNoCase(candidate, name)) continue;
    if (found)
      Raise(Ours::AmbiguousFileName,
            std::string(DefaultText(Ours::AmbiguousFileName)) + ": " + std::string(name) + " in " + folder);
    found = Join(folder, candidate);
  }
  return found;
}

std::string PathInFolder(const std::string& folder, std::string_view name) {
  auto found = ResolveInFolder(folder, name);
  return found ? *found : Join(folder, name);
}

bool FileExistsInFolder(const std::string& folder, std::string_view name) {
  return ResolveInFolder(folder, name).has_value();
}

// ---- TextWriter ----

TextWriter::TextWriter(std::FILE* f, std::string path) : file_(f), path_(std::move(path)) {
  std::setvbuf(file_, nullptr, _IOFBF, kBufferSize);
}

std::unique_ptr<TextWriter> TextWriter::Create(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) RaiseOpen(errno, path);
  return std::unique_ptr<TextWriter>(new TextWriter(f, path));
}

std::unique_ptr<TextWriter> TextWriter::CreatePrivate(const std::string& path) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) RaiseOpen(errno, path);
  // A file that existed keeps its mode through open: narrow it first.
  if (::fchmod(fd, 0600) != 0) {
    int err = errno;
    ::close(fd);
    RaiseErrno(err);
  }
  std::FILE* f = ::fdopen(fd, "wb");
  if (!f) {
    int err = errno;
    ::close(fd);
    RaiseErrno(err);
  }
  return std::unique_ptr<TextWriter>(new TextWriter(f, path));
}

std::unique_ptr<TextWriter> TextWriter::Append(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "ab");
  if (!f) RaiseOpen(errno, path);
  return std::unique_ptr<TextWriter>(new TextWriter(f, path));
}

TextWriter::~TextWriter() {
  if (file_) std::fclose(file_);
}

void TextWriter::Check(bool ok) {
  if (!ok) RaiseErrno(errno ? errno : EIO);
}

void TextWriter::Write(std::string_view text) {
  if (!file_) RaiseRuntime(rt::BadFileNameOrNumber);
  if (!text.empty()) Check(std::fwrite(text.data(), 1, text.size(), file_) == text.size());
}

void TextWriter::WriteLine(std::string_view text) {
  Write(text);
  Write("\r\n");
}

void TextWriter::Flush() {
  if (file_) Check(std::fflush(file_) == 0);
}

void TextWriter::Close() {
  if (!file_) return;
  std::FILE* f = file_;
  file_ = nullptr;
  if (std::fclose(f) != 0) RaiseErrno(errno ? errno : EIO);
}

// ---- TextReader ----

TextReader::TextReader(std::FILE* f, std::string path, bool lf_ends_line)
    : file_(f), path_(std::move(path)), lf_ends_line_(lf_ends_line), buf_(kBufferSize) {}

std::unique_ptr<TextReader> TextReader::Open(const std::string& path, bool lf_ends_line) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) RaiseOpen(errno, path);
  if (IsDir(path)) {
    std::fclose(f);
    RaiseErrno(EISDIR);
  }
  return std::unique_ptr<TextReader>(new TextReader(f, path, lf_ends_line));
}

TextReader::~TextReader() {
  if (file_) std::fclose(file_);
}

void TextReader::Close() {
  if (file_) std::fclose(file_);
  file_ = nullptr;
}

bool TextReader::Fill() {
  if (eof_ || !file_) return false;
  if (pos_ > 0) {
    std::memmove(buf_.data(), buf_.data() + pos_, len_ - pos_);
    len_ -= pos_;
    pos_ = 0;
  }
  if (len_ == buf_.size()) buf_.resize(buf_.size() * 2);
  size_t n = std::fread(buf_.data() + len_, 1, buf_.size() - len_, file_);
  if (n == 0) {
    if (std::ferror(file_)) RaiseErrno(errno ? errno : EIO);
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
  if (!ReadLine(line)) RaiseRuntime(rt::InputPastEnd);
  return line;
}

}  // namespace Kestrel20ImpExp::files
