// Tagged records: read back, the loaders' drops and trims apply only where
// they belong, and every kind of malformed file names its file and line;
// written, values that would break the format are refused before any line
// of the record is written.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/errors_ours.h"
#include "base/files.h"
#include "pack/record_reader.h"
#include "pack/record_writer.h"
#include "support/error_of.h"
#include "support/temp_folder.h"

namespace kestrel::pack {
namespace {

using kestrel::testing::CaughtFrom;
using kestrel::testing::TempFolder;
using kestrel::testing::WriteFile;

std::vector<TaggedRecord> ReadAll(const std::string& folder, const TaggedLayout& layout, ReadOptions options = {}) {
  auto in = TaggedRecordReader::Open(Env::Default(), folder, layout, options);
  std::vector<TaggedRecord> records;
  for (TaggedRecord r; in->Next(r);) records.push_back(r);
  return records;
}

// One record of `layout`, every column "v" (mprf 1) but `column`, written into `dir`.
void WriteOne(const std::string& dir, const TaggedLayout& layout, std::string_view column, Value value,
              RecordOptions options = {}) {
  NamedValues row;
  for (const auto& f : layout.fields) row.Set(f.column, f.column == "mprf" ? Value(1) : Value("v"));
  row.Set(column, std::move(value));
  auto out = files::TextWriter::Create(Env::Default(), dir + "/" + std::string(layout.file));
  TaggedRecordWriter(layout, *out, options).Write(row);
  out->Close();
}

TEST(RecordReaderTest, LeadingLinesAreDroppedAndValuesTrimmedWhereTheLoaderDoes) {
  struct Row { const TaggedLayout& layout; const char* column; std::string written, read; };  // "<unset>": left unset
  const Row rows[] = {
      {kQzmap120, "prtx", "\r\na\r\n", "a\r\n"},  // a leading empty line left out, the last one kept
      {kQzmap120, "prtx", "  \r\nkeep", "  \r\nkeep"},  // a blank line is not empty
      {kQzmap120, "comt", "\r\nx\r\n\r\ny", "x\r\n\r\ny"},
      {kQzmap120, "comt", "  \r\n \r\n", "<unset>"},  // only blank lines
      {kQzmap120, "vari", " x1 \r\n y ", "x1\r\n y "},  // the first line trimmed, the continuation as it stands
      // The revision files keep what qzmap120 drops.
      {kQzmap125, "prtx", "\r\na\r\n", "\r\na\r\n"},
      {kQzmap125, "comt", "  \r\nc", "  \r\nc"},
      {kQzmap125, "vari", " x1 \r\n y ", "x1 \r\n y"},  // trimmed as a whole
      {kQzmap125, "isms", " 1 ", " 1 "},  // the bare line is taken whole
      {kQzmap130, "qury", "\r\n\r\n  \r\nselect 1", "  \r\nselect 1"},  // empty lines dropped, blank kept
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.layout.table) + "." + row.column + " [" + row.written + "]");
    TempFolder dir;
    WriteOne(dir.path(), row.layout, row.column, row.written);
    auto rs = ReadAll(dir.path(), row.layout);
    ASSERT_EQ(rs.size(), 1u);
    const auto at = static_cast<size_t>(row.layout.IndexOf(row.column));
    EXPECT_EQ(rs[0].IsSet(at) ? rs[0].Text(at) : "<unset>", row.read);
  }
}

TEST(RecordReaderTest, LinesOutsideTheFormatNameTheFileAndLine) {
  const std::string r170 =
      "MSCRIPTS\r\n:MPRF:1\r\n:VERS:V\r\n:RELE:R\r\n:CUST:C\r\n:BPAC:B\r\n:BMOD:M\r\n:BFLNO:F\r\n:CPAC:P\r\n"
      ":CMOD:D\r\n:CFLNO:L\r\n";
  const std::string mid =
      ":FUNC:START\r\nf\r\n:FUNC:END\r\n:DEFN:START\r\nd\r\n:DEFN:END\r\n:HELP:START\r\nh\r\n:HELP:END\r\n";
  const struct { const TaggedLayout& layout; std::string content; size_t line; const char* what; } cases[] = {
      {kQzmap170, "junk\r\n" + r170, 1, "outside any record"},
      {kQzmap170, r170 + "junk", 12, "outside any record"},  // a last line without CR LF
      {kQzmap170, r170.substr(0, r170.find(":CMOD:")) + ":CMOD:D", 10, "file ends within the record"},
      {kQzmap170, r170.substr(0, r170.find(":BMOD:")) + r170.substr(r170.find(":BFLNO:")), 7,
       "beginning with \":BMOD:\""},
      {kQzmap150, mid + ":FUNC:START\r\ng\r\n:DEFN:START\r\n", 12, "no end line"},
      {kQzmap150, mid + ":FUNC:START\r\ng\r\n", 11, "no end line \":FUNC:END\""},
      {kQzmap150, ":FUNC:START\r\nf\r\n:FUNC:START\r\nf\r\n:FUNC:END\r\n", 3, "before the next one opens"},
      {kQzmap150, ":FUNC:START\r\n:FUNC:END\r\n:DEFN:START\r\nd\r\n:DEFN:END\r\n:HELP:START\r\n\r\n:HELP:END\r\n",
       2, "holds no line"},
      {kQzmap150, "f\r\n:FUNC:END\r\n", 1, "block start line"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.content);
    TempFolder dir;
    const std::string path = dir / std::string(c.layout.file);
    WriteFile(path, c.content);
    const ComError e = CaughtFrom([&] { ReadAll(dir.path(), c.layout); });
    EXPECT_EQ(e.number(), Number(Ours::MalformedPackFile));
    EXPECT_NE(e.description().find(path + ", line " + std::to_string(c.line) + ":"), std::string::npos)
        << e.description();
    EXPECT_NE(e.description().find(c.what), std::string::npos) << e.description();
  }
}

// Writes `rows` into a new file; what the file holds then, and the failure
// of the last row ("" when every row was written).
std::pair<std::string, std::string> Write(const TaggedLayout& layout, const std::vector<const FieldSource*>& rows,
                                          RecordOptions options = {}) {
  kestrel::testing::TempFolder dir;
  auto out = files::TextWriter::Create(Env::Default(), dir / std::string(layout.file));
  TaggedRecordWriter writer(layout, *out, options);
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
      {"prtx", "A\r\r\n:PRTX:END", true},     // the end line after a line ending in a lone CR
      {"prtx", "A\r\n\r\n:PRTX:START\r\nB", true},  // the start line after an empty line
      {"stat", "A\r\nB", true},               // a line break in a tag line
      {"stat", "A\r\r\n", true},              // a line break after a lone CR
      {"stat", "released to production\r\n", true},  // a long value's break at its end
      {"vari", "a\r\n:STBL:x", true},         // a continued line that looks like the next tag
      // Lines that merely contain the tags, and a lone CR or LF, are fine.
      {"prtx", "x :PRTX:END\r\n:PRTX:ENDING", false}, {"stat", "A\nB\rC", false}, {"vari", "a\r\n b :STBL:", false},
      {"vari", ":STBL:x\r\nb", false},       // the first line follows the value's own tag
      {"prtx", ":PRTX:END\r", false}, {"prtx", "\r:PRTX:START", false}, {"stat", "A\r", false},
      {"stat", "released\rto\nproduction", false},
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

// A read may select only the columns a writer reads (the single-profile
// export does): the records come out the same as from whole rows.
TEST(RecordWriterTest, TheColumnsReadAloneWriteTheSameRecords) {
  const Identity exported{Value(30), Value("X42U"), Value("R1"), Value("cu02")};
  const struct { const char* what; RecordOptions options; } cases[] = {
      {"a profile's own records", {}},
      {"mapping objects, without :LDAT:, as the exported profile's", {false, false, &exported}},
      {"mapping objects for synchronisation", {false, true, &exported}},
  };
  for (const TaggedLayout* layout : kTaggedLayouts)
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(layout->table) + ": " + c.what);
      const std::vector<std::string_view> read = ColumnsRead(*layout, c.options);
      NamedValues whole, narrow;
      bool has_mprf = false;
      for (const Field& f : layout->fields) {
        if (f.column.empty()) continue;
        has_mprf = has_mprf || f.column == "mprf";
        const Value v = f.column == "mprf" ? Value(12) : Value(std::string(f.column) + " of row 1");
        whole.Set(f.column, v);
        if (std::find(read.begin(), read.end(), f.column) != read.end()) narrow.Set(f.column, v);
      }
      const auto [from_whole, whole_failure] = Write(*layout, {&whole}, c.options);
      const auto [from_narrow, narrow_failure] = Write(*layout, {&narrow}, c.options);
      EXPECT_EQ(whole_failure + narrow_failure, "");
      EXPECT_EQ(from_narrow, from_whole);
      // The exported profile's identity stands in for the row's own.
      EXPECT_EQ(std::find(read.begin(), read.end(), "mprf") != read.end(), has_mprf && !c.options.identity);
    }
}

}  // namespace
}  // namespace kestrel::pack
