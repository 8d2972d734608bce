// Tagged records read back: the loaders' drops and trims apply only where
// they belong, the optional lines are recognised, and every kind of
// malformed file names its file and line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/error.h"
#include "base/errors_ours.h"
#include "base/files.h"
#include "pack/record_reader.h"
#include "pack/record_writer.h"
#include "support/temp_folder.h"

namespace kestrel::pack {
namespace {

using kestrel::testing::TempFolder;

void WriteAll(const std::string& path, const TaggedLayout& layout, const std::vector<NamedValues>& rows,
              RecordOptions options = {}) {
  auto out = files::TextWriter::Create(Env::Default(), path);
  TaggedRecordWriter writer(layout, *out, options);
  for (const auto& row : rows) writer.Write(row);
  out->Close();
}

std::vector<TaggedRecord> ReadAll(const std::string& folder, const TaggedLayout& layout, ReadOptions options = {}) {
  auto in = TaggedRecordReader::Open(Env::Default(), folder, layout, options);
  std::vector<TaggedRecord> records;
  TaggedRecord r;
  while (in->Next(r)) records.push_back(r);
  return records;
}

// A record of `layout` with every column "v" (mprf 1) but `column`.
NamedValues RecordWith(const TaggedLayout& layout, std::string_view column, Value value) {
  NamedValues row;
  for (const auto& f : layout.fields) row.Set(f.column, f.column == "mprf" ? Value(1) : Value("v"));
  row.Set(column, std::move(value));
  return row;
}

TEST(RecordReaderTest, LeadingLinesAreDroppedAndValuesTrimmedWhereTheLoaderDoes) {
  struct Row {
    const TaggedLayout& layout;
    const char* column;
    std::string written, read;  // "<unset>": the column stays unset
  };
  const Row rows[] = {
      {kQzmap120, "prtx", "\r\na\r\n", "a\r\n"},  // a leading empty line left out, the last one kept
      {kQzmap120, "prtx", "  \r\nkeep", "  \r\nkeep"},  // a blank line is not empty
      {kQzmap120, "prtx", "", ""},
      {kQzmap120, "comt", "\r\nx\r\n\r\ny", "x\r\n\r\ny"},
      {kQzmap120, "comt", "  \r\n \r\n", "<unset>"},  // only blank lines
      {kQzmap120, "comt", "", "<unset>"},
      {kQzmap120, "stat", " A ", "A"},
      {kQzmap120, "stbl", " T", "T"},
      {kQzmap120, "vari", " x1 \r\n y ", "x1\r\n y "},  // the first line trimmed, the continuation as it stands
      {kQzmap120, "isms", " 1 ", "1"},
      // The revision files keep what qzmap120 drops.
      {kQzmap125, "prtx", "\r\na\r\n", "\r\na\r\n"},
      {kQzmap125, "comt", "  \r\nc", "  \r\nc"},
      {kQzmap125, "vari", " x1 \r\n y ", "x1 \r\n y"},  // trimmed as a whole
      {kQzmap125, "revi", " 3 ", "3"},
      {kQzmap125, "logn", " u ", "u"},
      {kQzmap125, "csta", "   ", ""},
      {kQzmap125, "isms", " 1 ", " 1 "},  // the bare line is taken whole
      {kQzmap130, "qury", "\r\n\r\n  \r\nselect 1", "  \r\nselect 1"},  // empty lines dropped, blank kept
      {kQzmap130, "txtn", "\r\nt", "\r\nt"},
      {kQzmap130, "icod", " I ", "I"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.layout.table) + "." + row.column + " [" + row.written + "]");
    TempFolder dir;
    WriteAll(dir / std::string(row.layout.file), row.layout, {RecordWith(row.layout, row.column, row.written)});
    auto rs = ReadAll(dir.path(), row.layout);
    ASSERT_EQ(rs.size(), 1u);
    const auto at = static_cast<size_t>(row.layout.IndexOf(row.column));
    EXPECT_EQ(rs[0].IsSet(at) ? rs[0].Text(at) : "<unset>", row.read);
  }
}

TEST(RecordReaderTest, OptionalLinesOfQzmap120) {
  TempFolder dir;
  Identity id{9, "V9", "R9", "C9"};
  auto row = RecordWith(kQzmap120, "isms", Value());
  row.Set("logn", " jdoe ");
  WriteAll(dir / "Qzmap120.dat", kQzmap120, {row}, {.with_ldat = false, .for_sync = true, .identity = &id});
  auto rs = ReadAll(dir.path(), kQzmap120, {.for_sync = true});
  ASSERT_EQ(rs.size(), 1u);
  EXPECT_FALSE(rs[0].IsSet(kQzmap120.IndexOf("ldat")));  // the loader stamps the time of loading
  EXPECT_EQ(rs[0].Text(kQzmap120.IndexOf("mprf")), "9");
  EXPECT_EQ(rs[0].Text(kQzmap120.IndexOf("isms")), "0");
  EXPECT_TRUE(rs[0].HadTag(kQzmap120.IndexOf("isms")));
  EXPECT_EQ(rs[0].Text(kQzmap120.IndexOf("logn")), "jdoe");
  EXPECT_EQ(rs[0].Text(kQzmap120.IndexOf("lusr")), "v");

  // An isms line without its tag is the value as it stands.
  files::TextWriter::Create(Env::Default(), dir / "Qzmap120.dat")
      ->Write("MO\r\n:MPRF:1\r\n:VERS:V\r\n:RELE:R\r\n:CUST:C\r\n:TCPAC:P\r\n:TCMOD:M\r\n:TFLNO:F\r\n"
              ":PRTX:START\r\n\r\n:PRTX:END\r\n:STAT:\r\n:VARI:\r\n:STBL:\r\n:COMT:START\r\n\r\n:COMT:END\r\n"
              ":TEXT:\r\n\r\n:TEXT:END\r\n 1 \r\n");
  rs = ReadAll(dir.path(), kQzmap120);
  ASSERT_EQ(rs.size(), 1u);
  EXPECT_EQ(rs[0].Text(kQzmap120.IndexOf("isms")), " 1 ");
  EXPECT_FALSE(rs[0].HadTag(kQzmap120.IndexOf("isms")));
}

struct MalformedCase {
  const char* name;
  std::string content;
  size_t line;
  const char* what;
};

const std::string kRecord170 =
    "MSCRIPTS\r\n:MPRF:1\r\n:VERS:V\r\n:RELE:R\r\n:CUST:C\r\n:BPAC:B\r\n:BMOD:M\r\n:BFLNO:F\r\n:CPAC:P\r\n"
    ":CMOD:D\r\n:CFLNO:L\r\n";

TEST(RecordReaderTest, LinesOutsideTheFormatNameTheFileAndLine) {
  const std::string mid =
      ":FUNC:START\r\nf\r\n:FUNC:END\r\n:DEFN:START\r\nd\r\n:DEFN:END\r\n:HELP:START\r\nh\r\n:HELP:END\r\n";
  const MalformedCase cases[] = {
      {"Qzmap170.dat", kRecord170 + "\r\n" + kRecord170, 12, "outside any record"},
      {"Qzmap170.dat", kRecord170 + "\r\n", 12, "outside any record"},
      {"Qzmap170.dat", "junk\r\n" + kRecord170, 1, "outside any record"},
      {"Qzmap170.dat", kRecord170 + "junk", 12, "outside any record"},  // a last line without CR LF
      {"Qzmap170.dat", kRecord170.substr(0, kRecord170.find(":CMOD:")) + ":CMOD:D", 10, "file ends within the record"},
      {"Qzmap170.dat", kRecord170.substr(0, kRecord170.find(":CMOD:")), 9, "file ends within the record"},
      {"Qzmap170.dat", kRecord170.substr(0, kRecord170.find(":BMOD:")) + kRecord170.substr(kRecord170.find(":BFLNO:")),
       7, "beginning with \":BMOD:\""},
      {"Qzmap150.dat", mid + ":FUNC:START\r\ng\r\n:DEFN:START\r\n", 12, "no end line"},
      {"Qzmap150.dat", mid + ":FUNC:START\r\ng\r\n", 11, "no end line \":FUNC:END\""},
      {"Qzmap150.dat", ":FUNC:START\r\nf\r\n:FUNC:START\r\nf\r\n:FUNC:END\r\n", 3, "before the next one opens"},
      {"Qzmap150.dat", ":FUNC:START\r\n:FUNC:END\r\n:DEFN:START\r\nd\r\n:DEFN:END\r\n:HELP:START\r\n\r\n:HELP:END\r\n",
       2, "holds no line"},
      {"Qzmap150.dat", "f\r\n:FUNC:END\r\n", 1, "block start line"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.content);
    TempFolder dir;
    auto out = files::TextWriter::Create(Env::Default(), dir / c.name);
    out->Write(c.content);
    out->Close();
    const TaggedLayout& layout = std::string(c.name) == "Qzmap150.dat" ? kQzmap150 : kQzmap170;
    try {
      ReadAll(dir.path(), layout);
      ADD_FAILURE() << "read without complaint";
    } catch (const ComError& e) {
      EXPECT_EQ(e.number(), Number(Ours::MalformedPackFile));
      const std::string& d = e.description();
      EXPECT_NE(d.find(dir / c.name + ", line " + std::to_string(c.line) + ":"), std::string::npos) << d;
      EXPECT_NE(d.find(c.what), std::string::npos) << d;
    }
  }
}

TEST(RecordReaderTest, LogonLinesOfASyncPackAreStrayWhenNotAsked) {
  TempFolder dir;
  WriteAll(dir / "Qzmap120.dat", kQzmap120, {RecordWith(kQzmap120, "prtx", "p")}, {.for_sync = true});
  EXPECT_EQ(ReadAll(dir.path(), kQzmap120, {.for_sync = true}).size(), 1u);
  try {
    ReadAll(dir.path(), kQzmap120);
    FAIL();
  } catch (const ComError& e) {
    // MO and 21 lines; then the :LOGN: line.
    EXPECT_NE(e.description().find("line 23: a line outside any record"), std::string::npos) << e.description();
  }
}

}  // namespace
}  // namespace kestrel::pack
