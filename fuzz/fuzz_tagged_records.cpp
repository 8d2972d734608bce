// Fuzz target: the tagged record reader over any bytes as a pack's record
// file. The first byte picks the layout (and whether the pack is read for
// synchronisation); the rest is the file.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "memory_env.h"
#include "pack/layout.h"
#include "pack/record_reader.h"

using namespace kestrel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const pack::TaggedLayout& layout = *pack::kTaggedLayouts[data[0] % pack::kTaggedLayouts.size()];
  pack::ReadOptions options;
  options.for_sync = (data[0] & 0x80) != 0;
  fuzzing::MemoryEnv env;
  env.Put("/pack/" + std::string(layout.file), std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));
  try {
    auto reader = pack::TaggedRecordReader::Open(env, "/pack", layout, options);
    pack::TaggedRecord record;
    while (reader->Next(record)) {
      // A record always carries one entry per field of its layout.
      if (record.size() != layout.fields.size()) __builtin_trap();
      for (size_t i = 0; i < record.size(); ++i)
        if (!record.IsSet(i) && !record.Text(i).empty()) __builtin_trap();
    }
  } catch (const ComError&) {
    // Refusing damaged input is the reader's job; only crashes are findings.
  }
  return 0;
}
