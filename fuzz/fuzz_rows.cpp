// Fuzz target: row files and application data rows, read by the row reader
// and split into fields. The first byte is the width the reader expects
// (0: any); the rest is the file.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "base/row_reader.h"
#include "memory_env.h"

using namespace kestrel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const size_t expected = data[0] % 16;
  const std::string path = "/pack/qzddi150ACCX2.dat";
  fuzzing::MemoryEnv env;
  env.Put(path, std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));
  try {
    auto rows = files::RowReader::Open(env, path, expected);
    std::vector<std::string_view> fields;
    while (rows->Next()) {
      if (expected != 0 && rows->fields().size() != expected) __builtin_trap();
      // n separators always give n + 1 fields, and the fields are the line's.
      files::SplitRow(rows->line(), fields);
      size_t separators = 0;
      for (char c : rows->line()) separators += c == files::kFieldSeparator;
      if (fields.size() != separators + 1) __builtin_trap();
      size_t total = separators;
      for (std::string_view f : fields) total += f.size();
      if (total != rows->line().size()) __builtin_trap();
    }
  } catch (const ComError&) {
  }
  return 0;
}
