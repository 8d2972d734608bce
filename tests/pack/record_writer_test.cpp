// Tagged records as the writers put them on disk: the refusal of values
// that would break the format, before any line of the record is written.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/files.h"
#include "pack/record_writer.h"
#include "support/error_of.h"
#include "support/temp_folder.h"

namespace kestrel::pack {
namespace {

// Writes `rows` into a new file; what the file holds then, and the failure
// of the last row ("" when every row was written).
std::pair<std::string, std::string> Write(const TaggedLayout& layout, const std::vector<const FieldSource*>& rows) {
  kestrel::testing::TempFolder dir;
  auto out = files::TextWriter::Create(Env::Default(), dir / std::string(layout.file));
  TaggedRecordWriter writer(layout, *out);
  ComError failure = kestrel::testing::CaughtFrom([&] {
    for (const auto* row : rows) writer.Write(*row);
  });
  out->Close();
  return {kestrel::testing::ReadFile(dir / std::string(layout.file)), failure.number() ? failure.description() : ""};
}

TEST(RecordWriterTest, ValuesThatWouldBreakTheFormatAreRefusedWithoutWritingTheRecord) {
  const NamedValues good{{"mprf", 12},       {"vers", "V10"},  {"rele", "R2"},    {"cust", "C01"},
                         {"tcpac", "PAC"},   {"tcmod", "MOD"}, {"tflno", "003"},  {"ldat", "2024-03-05 14:07:09"},
                         {"prtx", "MOVE A"}, {"stat", "A"},    {"vari", "X1"},    {"stbl", "T"},
                         {"comt", "a rule"}, {"txtn", "123"},  {"isms", Value()}, {"logn", "jdoe"}};
  const std::string one_record = Write(kQzmap120, {&good}).first;
  EXPECT_NE(one_record.find("\r\n:ISMS:0\r\n"), std::string::npos) << "a NULL isms is tagged in qzmap120";
  const struct { const char* column; const char* value; bool refused; } rows[] = {
      {"prtx", "A\r\n:PRTX:END\r\nB", true},  // a line equal to the end line
      {"prtx", ":PRTX:START", true},          // a line equal to the start line
      {"txtn", "x\r\n:TEXT:", true},
      {"stat", "A\r\nB", true},               // a line break in a tag line
      {"vari", "a\r\n:STBL:x", true},         // a continued line that looks like the next tag
      // Lines that merely contain the tags, and a lone CR or LF, are fine.
      {"prtx", "x :PRTX:END\r\n:PRTX:ENDING", false}, {"stat", "A\nB\rC", false}, {"vari", "a\r\n b :STBL:", false},
      {"vari", ":STBL:x\r\nb", false},       // the first line follows the value's own tag
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.value);
    NamedValues bad = good;
    bad.Set(row.column, row.value);
    auto [written, failure] = Write(kQzmap120, {&good, &bad});
    EXPECT_EQ(written == one_record, row.refused);
    EXPECT_EQ(failure.find(std::string("column ") + row.column) != std::string::npos, row.refused) << failure;
    EXPECT_EQ(failure.empty(), !row.refused);
  }
}

}  // namespace
}  // namespace kestrel::pack
