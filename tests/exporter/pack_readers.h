// Reading back what an export wrote, for the export tests: the records of a
// tagged file by column and the lines of a file. Callers pass folders that exist.
#pragma once

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "pack/layout.h"
#include "pack/record_reader.h"
#include "support/temp_folder.h"

namespace kestrel::testing {

// The records of a tagged file of the pack, each as column -> text (unset columns left out).
using Record = std::map<std::string, std::string>;
inline std::vector<Record> RecordsOf(const std::string& pack_folder, const pack::TaggedLayout& layout,
                                     bool for_sync = false) {
  auto in = pack::TaggedRecordReader::Open(Env::Default(), pack_folder, layout, {.for_sync = for_sync});
  std::vector<Record> out;
  for (pack::TaggedRecord r; in->Next(r);) {
    Record& rec = out.emplace_back();
    for (size_t i = 0; i < layout.fields.size(); ++i)
      if (r.IsSet(i)) rec[std::string(layout.fields[i].column)] = r.Text(i);
  }
  return out;
}

// The values of one column over the records, sorted ("<unset>" where unset).
inline std::vector<std::string> ColumnOf(const std::vector<Record>& records, const std::string& column) {
  std::vector<std::string> out;
  for (const auto& r : records) out.push_back(r.count(column) ? r.at(column) : "<unset>");
  std::sort(out.begin(), out.end());
  return out;
}

// The file's lines (CR LF ends a line; a last line without it counts too).
inline std::vector<std::string> LinesOf(const std::string& path) { return CrLfLines(ReadFile(path)); }

}  // namespace kestrel::testing
