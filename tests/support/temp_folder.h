// Test helpers: a temporary folder removed with its contents at the end of a
// test; writing, reading and editing a file in one call; a folder's files;
// how often a text holds a part, its CR LF lines, and runs of every byte.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace kestrel::testing {

class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kestrel-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Writes `content` byte for byte, creating the folders on the way.
inline void WriteFile(const std::string& path, const std::string& content) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Replaces the first `from` in a file by `to`; the test fails when the file
// does not hold it, so that a row never passes on an undamaged pack.
inline void ReplaceIn(const std::string& path, const std::string& from, const std::string& to) {
  std::string text = ReadFile(path);
  const size_t at = text.find(from);
  ASSERT_NE(at, std::string::npos) << from << " not in " << path;
  WriteFile(path, text.replace(at, from.size(), to));
}

// What a folder holds, each name with its bytes (a subfolder's: none).
inline std::map<std::string, std::string> FilesIn(const std::string& folder) {
  std::map<std::string, std::string> files;
  for (const auto& f : std::filesystem::directory_iterator(folder)) files[f.path().filename()] = ReadFile(f.path());
  return files;
}

// How many times `part` occurs in `text`, overlaps counted.
inline size_t Count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

// The bytes from `first` to 255, in order.
inline std::string BytesFrom(int first) {
  std::string bytes;
  for (int b = first; b < 256; ++b) bytes += static_cast<char>(b);
  return bytes;
}

// The lines of a text, each ended by CR LF (a last line without it counts too).
inline std::vector<std::string> CrLfLines(std::string_view text) {
  std::vector<std::string> lines;
  for (size_t pos = 0, end; pos < text.size(); pos = end + 2) {
    end = std::min(text.find("\r\n", pos), text.size());
    lines.emplace_back(text.substr(pos, end - pos));
  }
  return lines;
}

}  // namespace kestrel::testing
