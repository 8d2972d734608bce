// Writing, reading and checking ExportMR.sums.
#include "pack/sums.h"

// OpenSSL's plain SHA-256 functions, not its EVP interface: the
// first EVP digest of a process loads the library's provider and its table
// of every algorithm, some 2 MiB of memory an import or export otherwise
// never needs; these run the same processor-specific code. They are marked
// deprecated in OpenSSL 3 but kept there. The library is loaded the first
// time a sum is taken, not with libkestrel.so: relocating it costs a process
// some 2 ms at its start, and the bulk loader, which never sums anything, is
// started once for each data file of a pack.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/sha.h>

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <charconv>
#include <exception>
#include <memory>
#include <optional>

#include "base/background_queue.h"
#include "base/errors_ours.h"
#include "base/files.h"
#include "base/text.h"
#include "kestrel/modules.h"
#include "pack/measuring_env.h"
#include "pack/naming.h"

namespace kestrel::pack {
namespace {

constexpr std::string_view kTitle = "Kestrel pack sums: SHA-256, bytes, lines, file";
// A file is read for its measure this much at a time.
constexpr size_t kPiece = 1 << 16;
// Pieces shorter than this are gathered before the digest takes them; longer
// ones it takes as they come. A builder given whole pieces keeps no room.
constexpr size_t kGathered = 1 << 14;
constexpr size_t kHexDigits = 64;

// The CR LFs of `p` whose LF is not its first byte. A tagged rule file has a
// line for every field, a dozen bytes on average: a memchr per line would
// cost more than the digest. Blocks of a fixed length let the compiler
// compare many bytes at once; the count of a block fits a byte.
uint64_t CrLfsAfterFirstByte(const char* p, size_t n) {
  constexpr size_t kBlock = 255;
  uint64_t count = 0;
  size_t i = 1;
  for (; i + kBlock <= n; i += kBlock) {
    unsigned char in_block = 0;
    for (size_t j = i; j < i + kBlock; ++j) in_block += static_cast<unsigned char>((p[j] == '\n') & (p[j - 1] == '\r'));
    count += in_block;
  }
  for (; i < n; ++i) count += static_cast<uint64_t>((p[i] == '\n') & (p[i - 1] == '\r'));
  return count;
}

[[noreturn]] void RaiseDigestFailure(std::string_view why = {}) {
  std::string text = "SHA-256 could not be computed";
  if (!why.empty()) text += fmt::format(": {}", why);
  RaiseWithDetail(Ours::Internal, text);
}

// The SHA-256 functions of libcrypto, loaded once per process.
struct Sha256Functions {
  decltype(&SHA256_Init) init = nullptr;
  decltype(&SHA256_Update) update = nullptr;
  decltype(&SHA256_Final) final = nullptr;
};

const Sha256Functions& Sha256() {
  struct Loaded {
    Sha256Functions f;
    std::string failure;
  };
  static const Loaded loaded = [] {
    Loaded l;
    auto load = [&l](const char* name) { return LoadSystemLibraryEntry(KESTREL_LIBCRYPTO_SONAME, name, l.failure); };
    if (void* a = load("SHA256_Init")) l.f.init = reinterpret_cast<decltype(&SHA256_Init)>(a);
    if (void* a = load("SHA256_Update")) l.f.update = reinterpret_cast<decltype(&SHA256_Update)>(a);
    if (void* a = load("SHA256_Final")) l.f.final = reinterpret_cast<decltype(&SHA256_Final)>(a);
    return l;
  }();
  if (loaded.f.init == nullptr || loaded.f.update == nullptr || loaded.f.final == nullptr)
    RaiseDigestFailure(loaded.failure);
  return loaded.f;
}

std::string Hex(const unsigned char* bytes, size_t count) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(count * 2);
  for (size_t i = 0; i < count; ++i) {
    out += kDigits[bytes[i] >> 4];
    out += kDigits[bytes[i] & 15];
  }
  return out;
}

bool IsSumsOrSpool(std::string_view name) {
  return text::EqualNoCase(name, kSumsFile) || name == kManifestSpoolFile;
}

bool IsDataFile(std::string_view name) {
  return name.size() > 4 && text::EqualNoCase(name.substr(name.size() - 4), ".dat");
}

// A whole number of the sums file; nullopt for anything else.
std::optional<uint64_t> Count(std::string_view digits) {
  uint64_t value = 0;
  if (digits.empty()) return std::nullopt;
  auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (ec != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
  return value;
}

bool IsHexDigest(std::string_view text) {
  return text.size() == kHexDigits &&
         std::all_of(text.begin(), text.end(), [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

[[noreturn]] void RaiseMismatch(const std::string& path, const std::string& what) {
  RaiseWithDetail(Ours::PackSumsMismatch, path + " " + what);
}

// Every file of `folder` with its stamp, by name; nullopt when one has none.
std::optional<std::vector<std::pair<std::string, FileStamp>>> StampsOf(Env& env, const std::string& folder) {
  std::vector<std::string> names = files::ListFiles(env, folder);
  std::sort(names.begin(), names.end());
  std::vector<std::pair<std::string, FileStamp>> stamps;
  for (auto& name : names) {
    std::optional<FileStamp> stamp = env.StampOf(files::Join(folder, name));
    if (!stamp) return std::nullopt;
    stamps.emplace_back(std::move(name), *stamp);
  }
  return stamps;
}

// What reading a listed file gave: its path (none when it is missing) and
// measure, or the failure that stopped it.
struct Reading {
  std::optional<std::string> path;
  FileSum sum;
  std::exception_ptr failure;
};

// Finds and measures every listed file, two at a time: the second core reads
// and digests one while this thread does another. Every file is read even
// after a failure; the caller looks at them in the list's order, so that the
// fault reported is the one a reading of one file after another meets first.
std::vector<Reading> ReadListed(Env& env, const std::string& folder, const std::vector<FileSum>& listed) {
  std::vector<Reading> readings(listed.size());
  std::atomic<size_t> next{0};
  auto read_rest = [&] {
    for (size_t i; (i = next.fetch_add(1)) < listed.size();) {
      Reading& reading = readings[i];
      try {
        reading.path = files::ResolveInFolder(env, folder, listed[i].name);
        if (reading.path) reading.sum = MeasureFile(env, *reading.path, listed[i].name, false);
      } catch (...) {
        reading.failure = std::current_exception();
      }
    }
  };
  BackgroundQueue second(1);
  if (listed.size() > 1) second.Submit(read_rest);
  read_rest();
  second.Drain();
  return readings;
}

}  // namespace

struct SumBuilder::Digest {
  const Sha256Functions& sha = Sha256();
  SHA256_CTX ctx{};
};

SumBuilder::SumBuilder(bool count_lines) : digest_(std::make_unique<Digest>()), count_lines_(count_lines) {
  if (digest_->sha.init(&digest_->ctx) != 1) RaiseDigestFailure();
}

SumBuilder::~SumBuilder() = default;

void SumBuilder::Add(std::string_view piece) {
  if (pending_.size() + piece.size() < kGathered) {
    if (pending_.capacity() < kGathered) pending_.reserve(kGathered);
    pending_.append(piece);
    return;
  }
  Take(pending_);
  pending_.clear();
  if (piece.size() >= kGathered)
    Take(piece);
  else
    pending_.append(piece);
}

void SumBuilder::Take(std::string_view piece) {
  const size_t n = piece.size();
  if (n == 0) return;
  if (digest_->sha.update(&digest_->ctx, piece.data(), n) != 1) RaiseDigestFailure();
  sum_.size += n;
  if (!count_lines_) return;
  // Lines end at CR LF, which may straddle two pieces; bytes after the last
  // line end make one more line.
  const char* const start = piece.data();
  if (before_piece_ == '\r' && start[0] == '\n') ++sum_.lines;
  sum_.lines += CrLfsAfterFirstByte(start, n);
  ends_with_line_end_ = start[n - 1] == '\n' && (n == 1 ? before_piece_ : start[n - 2]) == '\r';
  before_piece_ = start[n - 1];
}

FileSum SumBuilder::Finish(std::string name) {
  Take(pending_);
  pending_.clear();
  if (count_lines_ && sum_.size > 0 && !ends_with_line_end_) ++sum_.lines;
  std::array<unsigned char, SHA256_DIGEST_LENGTH> digest{};
  if (digest_->sha.final(digest.data(), &digest_->ctx) != 1) RaiseDigestFailure();
  FileSum sum = std::move(sum_);
  sum.name = std::move(name);
  sum.sha256 = Hex(digest.data(), digest.size());
  return sum;
}

FileSum MeasureFile(Env& env, const std::string& path, std::string name, bool count_lines) {
  SumBuilder builder(count_lines);
  auto in = env.OpenForReading(path);
  std::vector<char> buffer(kPiece);
  while (size_t n = in->Read(buffer.data(), buffer.size())) builder.Add(std::string_view(buffer.data(), n));
  return builder.Finish(std::move(name));
}

void WriteSums(Env& env, const std::string& folder, const MeasuringEnv* written) {
  std::vector<std::string> names;
  for (auto& name : files::ListFiles(env, folder))
    if (!IsSumsOrSpool(name)) names.push_back(std::move(name));
  std::sort(names.begin(), names.end());
  auto out = files::TextWriter::Create(env, files::Join(folder, kSumsFile));
  out->WriteLine(kTitle);
  for (const auto& name : names) {
    const std::string path = files::Join(folder, name);
    std::optional<FileSum> measured = written ? written->Measured(path) : std::nullopt;
    const FileSum sum = measured ? std::move(*measured) : MeasureFile(env, path, name);
    out->WriteLine(fmt::format("{} {} {} {}", sum.sha256, sum.size, sum.lines, name));
  }
  out->Close();
}

std::vector<FileSum> ReadSums(Env& env, const std::string& folder) {
  const std::string path = files::PathInFolder(env, folder, kSumsFile);
  auto in = files::TextReader::Open(env, path);
  std::vector<FileSum> sums;
  std::string line;
  if (!in->ReadLine(line) || line != kTitle)
    RaiseMalformedPackFile(path, 1, "expected the title line", line);
  while (in->ReadLine(line)) {
    // Digest, size and lines end at the first three blanks; the name is the rest.
    const size_t a = line.find(' ');
    const size_t b = a == std::string::npos ? a : line.find(' ', a + 1);
    const size_t c = b == std::string::npos ? b : line.find(' ', b + 1);
    std::optional<uint64_t> size, lines;
    if (c != std::string::npos) {
      size = Count(std::string_view(line).substr(a + 1, b - a - 1));
      lines = Count(std::string_view(line).substr(b + 1, c - b - 1));
    }
    if (c == std::string::npos || !IsHexDigest(std::string_view(line).substr(0, a)) || !size || !lines)
      RaiseMalformedPackFile(path, in->line_number(), "expected a SHA-256, a size, a line count and a file name",
                             line);
    // A name is only ever joined to the pack folder: one that could reach
    // outside it is refused before any file is looked at, so that a pack
    // cannot have a file elsewhere measured against a sum it guesses.
    std::string name = line.substr(c + 1);
    if (const std::string_view why = WhyNotAFileName(name); !why.empty())
      RaiseWithDetail(Ours::SumsNameOutsidePack,
                      fmt::format("{}, line {}: the name {} {}", path, in->line_number(), QuoteForMessage(name), why));
    sums.push_back(FileSum{std::move(name), *size, *lines, line.substr(0, a)});
  }
  return sums;
}

bool VerifySums(Env& env, const std::string& folder, VerifiedSums* memo) {
  // Stamps taken before the files are read: a file changed while it is read
  // gets a later stamp, and the next check reads it again.
  std::optional<std::vector<std::pair<std::string, FileStamp>>> stamps;
  if (memo) {
    stamps = StampsOf(env, folder);
    if (stamps && memo->folder == folder && memo->files == *stamps) return true;
    *memo = VerifiedSums{};
  }
  if (!files::ResolveInFolder(env, folder, kSumsFile)) return false;
  const std::vector<FileSum> listed = ReadSums(env, folder);
  const std::vector<Reading> readings = ReadListed(env, folder, listed);
  for (size_t i = 0; i < listed.size(); ++i) {
    const FileSum& expected = listed[i];
    const Reading& reading = readings[i];
    if (reading.failure) std::rethrow_exception(reading.failure);
    if (!reading.path) RaiseMismatch(files::Join(folder, expected.name), "is listed but missing");
    const std::string& path = *reading.path;
    FileSum actual = reading.sum;
    if (actual.size != expected.size)
      RaiseMismatch(path, fmt::format("has {} bytes, listed {}", actual.size, expected.size));
    if (actual.sha256 == expected.sha256) continue;
    actual = MeasureFile(env, path, expected.name);
    if (actual.lines != expected.lines)
      RaiseMismatch(path, fmt::format("has {} lines, listed {}", actual.lines, expected.lines));
    RaiseMismatch(path, "has another SHA-256 than listed");
  }
  for (const auto& name : files::ListFiles(env, folder)) {
    if (!IsDataFile(name)) continue;
    const bool is_listed = std::any_of(listed.begin(), listed.end(),
                                       [&](const FileSum& s) { return text::EqualNoCase(s.name, name); });
    if (!is_listed) RaiseMismatch(files::Join(folder, name), "is not listed");
  }
  if (stamps) *memo = VerifiedSums{folder, std::move(*stamps)};
  return true;
}

}  // namespace kestrel::pack
