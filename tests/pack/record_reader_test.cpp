// Tagged records read back: every layout round-trips through its writer, the
// loaders' drops and trims apply only where they belong, the optional lines
// are recognised, and every kind of malformed file names its file and line.
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

// Values for every column of a layout: multi-line texts, one ending in CR LF,
// for blocks; a continued value with two lines; plain texts elsewhere.
NamedValues Sample(const TaggedLayout& layout, int n) {
  NamedValues row;
  for (const auto& f : layout.fields) {
    std::string tag = std::to_string(n) + "-" + std::string(f.column);
    if (f.kind == FieldKind::Block)
      row.Set(f.column, "first " + tag + "\r\n\r\n  indented\r\n");
    else if (!f.continued_until.empty())
      row.Set(f.column, "V" + tag + "\r\ncontinued " + tag);
    else if (f.column == "mprf")
      row.Set(f.column, 100 + n);
    else
      row.Set(f.column, tag);
  }
  return row;
}

// NULL wherever the layout lets a column be NULL.
NamedValues Nulls(const TaggedLayout& layout) {
  NamedValues row;
  for (const auto& f : layout.fields) row.Set(f.column, f.null_fails ? Value("x") : Value());
  return row;
}

std::string ExpectedText(const Field& f, const Value& written) {
  if (f.kind == FieldKind::Fixed) return std::string(f.constant);
  if (written.IsNull()) return std::string(f.null_text);
  return written.Text();
}

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

TEST(RecordReaderTest, EveryLayoutRoundTrips) {
  for (const auto* layout : kTaggedLayouts) {
    SCOPED_TRACE(std::string(layout->file));
    TempFolder dir;
    std::vector<NamedValues> rows = {Sample(*layout, 1), Nulls(*layout), Sample(*layout, 2)};
    WriteAll(dir / std::string(layout->file), *layout, rows, {.for_sync = true});
    auto records = ReadAll(dir.path(), *layout, {.for_sync = true});
    ASSERT_EQ(records.size(), rows.size());
    for (size_t r = 0; r < rows.size(); ++r) {
      SCOPED_TRACE("record " + std::to_string(r + 1));
      for (size_t i = 0; i < layout->fields.size(); ++i) {
        const Field& f = layout->fields[i];
        SCOPED_TRACE(std::string(f.column));
        std::string expected = ExpectedText(f, rows[r].Get(i, f));
        if (f.blank_unset && expected.empty()) {
          // A blank comment leaves the column unset.
          EXPECT_FALSE(records[r].IsSet(i));
          EXPECT_EQ(records[r].Text(i), "");
          continue;
        }
        EXPECT_TRUE(records[r].IsSet(i));
        EXPECT_EQ(records[r].Text(i), expected);
      }
    }
    EXPECT_EQ(records[0].line(), 1u);
  }
}

NamedValues Rule120(std::string prtx, std::string comt) {
  return NamedValues{{"mprf", 12},   {"vers", "V10"}, {"rele", "R2"},   {"cust", "C01"},          {"tcpac", "PAC"},
                     {"tcmod", "M"}, {"tflno", "3"},  {"ldat", "2024-03-05 14:07:09"},            {"prtx", prtx},
                     {"stat", " A "}, {"vari", " x1 \r\n y "}, {"stbl", " T"}, {"comt", comt},    {"txtn", "123"},
                     {"isms", " 1 "}, {"logn", " jdoe "},      {"lusr", "admin "}};
}

TEST(RecordReaderTest, Qzmap120DropsLeadingLinesAndTrimsWhereTheLoaderDoes) {
  TempFolder dir;
  WriteAll(dir / "Qzmap120.dat", kQzmap120,
           {Rule120("\r\na\r\n", "\r\nx\r\n\r\ny"), Rule120("  \r\nkeep", "  \r\n \r\n"), Rule120("", "")});
  auto rs = ReadAll(dir.path(), kQzmap120);
  ASSERT_EQ(rs.size(), 3u);
  const int prtx = kQzmap120.IndexOf("prtx"), comt = kQzmap120.IndexOf("comt");
  const int stat = kQzmap120.IndexOf("stat"), vari = kQzmap120.IndexOf("vari"), stbl = kQzmap120.IndexOf("stbl");
  const int isms = kQzmap120.IndexOf("isms"), logn = kQzmap120.IndexOf("logn"), lusr = kQzmap120.IndexOf("lusr");
  EXPECT_EQ(rs[0].Text(prtx), "a\r\n");              // leading empty line left out, the last one kept
  EXPECT_EQ(rs[0].Text(comt), "x\r\n\r\ny");
  EXPECT_EQ(rs[1].Text(prtx), "  \r\nkeep");         // a blank line is not empty: kept in prtx
  EXPECT_FALSE(rs[1].IsSet(comt));                   // only blank lines: comt stays unset
  EXPECT_FALSE(rs[2].IsSet(comt));
  EXPECT_TRUE(rs[2].IsSet(prtx));
  EXPECT_EQ(rs[2].Text(prtx), "");
  EXPECT_EQ(rs[0].Text(stat), "A");
  EXPECT_EQ(rs[0].Text(vari), "x1\r\n y ");          // the first line trimmed, the continuation as it stands
  EXPECT_EQ(rs[0].Text(stbl), "T");
  EXPECT_EQ(rs[0].Text(isms), "1");
  EXPECT_TRUE(rs[0].HadTag(isms));
  // Not a synchronisation pack: the two lines are neither written nor read.
  EXPECT_FALSE(rs[0].IsSet(logn));
  EXPECT_FALSE(rs[0].IsSet(lusr));
}

TEST(RecordReaderTest, RevisionFilesKeepWhatQzmap120Drops) {
  TempFolder dir;
  NamedValues r125{{"mprf", 12},     {"vers", "V"},          {"rele", "R"},      {"cust", "C"},
                   {"tcpac", "P"},   {"tcmod", "M"},         {"tflno", "F"},     {"revi", " 3 "},
                   {"prtx", "\r\na\r\n"}, {"logn", " u "},   {"vari", " x1 \r\n y "}, {"csta", "   "},
                   {"stbl", "S"},    {"txtn", "t"},          {"isms", " 1 "},    {"comt", "  \r\nc"}};
  WriteAll(dir / "Qzmap125.dat", kQzmap125, {r125});
  auto rs = ReadAll(dir.path(), kQzmap125);
  ASSERT_EQ(rs.size(), 1u);
  const auto& r = rs[0];
  EXPECT_EQ(r.Text(kQzmap125.IndexOf("prtx")), "\r\na\r\n");
  EXPECT_EQ(r.Text(kQzmap125.IndexOf("comt")), "  \r\nc");
  EXPECT_EQ(r.Text(kQzmap125.IndexOf("vari")), "x1 \r\n y");  // trimmed as a whole
  EXPECT_EQ(r.Text(kQzmap125.IndexOf("revi")), "3");
  EXPECT_EQ(r.Text(kQzmap125.IndexOf("logn")), "u");
  EXPECT_EQ(r.Text(kQzmap125.IndexOf("csta")), "");  // only blanks: trimmed to nothing
  EXPECT_EQ(r.Text(kQzmap125.IndexOf("isms")), " 1 ");  // the bare line is taken whole
  EXPECT_FALSE(r.HadTag(kQzmap125.IndexOf("isms")));

  NamedValues r130{{"mprf", 1}, {"vers", "V"},  {"rele", "R"},  {"cust", "C"},  {"tcpac", "P"}, {"tcmod", "M"},
                   {"tflno", "F"}, {"scpac", "SP"}, {"scmod", "SM"}, {"sflno", "SF"}, {"icod", " I "},
                   {"qury", "\r\n\r\n  \r\nselect 1"}, {"txtn", "\r\nt"}};
  WriteAll(dir / "Qzmap130.dat", kQzmap130, {r130});
  auto q = ReadAll(dir.path(), kQzmap130);
  ASSERT_EQ(q.size(), 1u);
  EXPECT_EQ(q[0].Text(kQzmap130.IndexOf("qury")), "  \r\nselect 1");  // empty lines dropped, blank kept
  EXPECT_EQ(q[0].Text(kQzmap130.IndexOf("txtn")), "\r\nt");
  EXPECT_EQ(q[0].Text(kQzmap130.IndexOf("icod")), "I");
}

TEST(RecordReaderTest, OptionalLinesOfQzmap120) {
  TempFolder dir;
  Identity id{9, "V9", "R9", "C9"};
  auto row = Rule120("p", "c");
  row.Set("isms", Value());
  WriteAll(dir / "Qzmap120.dat", kQzmap120, {row}, {.with_ldat = false, .for_sync = true, .identity = &id});
  auto rs = ReadAll(dir.path(), kQzmap120, {.for_sync = true});
  ASSERT_EQ(rs.size(), 1u);
  EXPECT_FALSE(rs[0].IsSet(kQzmap120.IndexOf("ldat")));  // the loader stamps the time of loading
  EXPECT_EQ(rs[0].Text(kQzmap120.IndexOf("mprf")), "9");
  EXPECT_EQ(rs[0].Text(kQzmap120.IndexOf("prtx")), "p");
  EXPECT_EQ(rs[0].Text(kQzmap120.IndexOf("isms")), "0");
  EXPECT_EQ(rs[0].Text(kQzmap120.IndexOf("logn")), "jdoe");
  EXPECT_EQ(rs[0].Text(kQzmap120.IndexOf("lusr")), "admin");

  // An isms line without its tag is the value as it stands.
  files::TextWriter::Create(Env::Default(), dir / "Qzmap120.dat")
      ->Write("MO\r\n:MPRF:1\r\n:VERS:V\r\n:RELE:R\r\n:CUST:C\r\n:TCPAC:P\r\n:TCMOD:M\r\n:TFLNO:F\r\n"
              ":PRTX:START\r\n\r\n:PRTX:END\r\n:STAT:\r\n:VARI:\r\n:STBL:\r\n:COMT:START\r\n\r\n:COMT:END\r\n"
              ":TEXT:\r\n\r\n:TEXT:END\r\n 1 \r\n");
  rs = ReadAll(dir.path(), kQzmap120);
  ASSERT_EQ(rs.size(), 1u);
  EXPECT_EQ(rs[0].Text(kQzmap120.IndexOf("isms")), " 1 ");
  EXPECT_FALSE(rs[0].HadTag(kQzmap120.IndexOf("isms")));
  EXPECT_EQ(rs[0].Text(kQzmap120.IndexOf("txtn")), "");
}

TEST(RecordReaderTest, FileNamesAreMatchedWithoutRegardToCase) {
  TempFolder dir;
  NamedValues row{{"mprf", 1},     {"vers", "V"},  {"rele", "R"},  {"cust", "C"},   {"bpac", "B"}, {"bmod", "M"},
                  {"bflno", "F"},  {"revi", 1},    {"cpac", "CP"}, {"cmod", "CM"},  {"cflno", "CF"}, {"logn", Value()}};
  WriteAll(dir / "qzmap175.dat", kQzmap175, {row});  // as the rule table writer names it
  EXPECT_EQ(ReadAll(dir.path(), kQzmap175).size(), 1u);
  TempFolder empty;
  try {
    TaggedRecordReader::Open(Env::Default(), empty.path(), kQzmap175);
    FAIL();
  } catch (const ComError& e) {
    EXPECT_EQ(e.number(), rt::FileNotFound);
  }
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
  WriteAll(dir / "Qzmap120.dat", kQzmap120, {Rule120("p", "c")}, {.for_sync = true});
  EXPECT_EQ(ReadAll(dir.path(), kQzmap120, {.for_sync = true}).size(), 1u);
  try {
    ReadAll(dir.path(), kQzmap120);
    FAIL();
  } catch (const ComError& e) {
    // MO, 21 lines and one continuation line of vari; then the :LOGN: line.
    EXPECT_NE(e.description().find("line 24: a line outside any record"), std::string::npos) << e.description();
  }
}

TEST(RecordReaderTest, AnEmptyFileHasNoRecords) {
  TempFolder dir;
  files::TextWriter::Create(Env::Default(), dir / "Qzmap130.dat")->Close();
  EXPECT_TRUE(ReadAll(dir.path(), kQzmap130).empty());
}

}  // namespace
}  // namespace kestrel::pack
