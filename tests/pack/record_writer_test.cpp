// Tagged records as the writers put them on disk: line counts, NULL handling,
// the conditional lines, the mapping object identity, the failures on NULL
// and the refusal of values that would break the format.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/error.h"
#include "base/errors_ours.h"
#include "base/files.h"
#include "pack/record_writer.h"
#include "store/connection.h"
#include "store/open.h"
#include "support/temp_folder.h"

namespace kestrel::pack {
namespace {

using kestrel::testing::TempFolder;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find("\r\n", pos);
    EXPECT_NE(end, std::string::npos) << "text does not end with CR LF";
    if (end == std::string::npos) break;
    out.push_back(text.substr(pos, end - pos));
    pos = end + 2;
  }
  return out;
}

NamedValues Rule120() {
  return NamedValues{{"mprf", 12},        {"vers", "V10"},   {"rele", "R2"},      {"cust", "C01"},
                     {"tcpac", "PAC"},    {"tcmod", "MOD"},  {"tflno", "003"},    {"ldat", "2024-03-05 14:07:09"},
                     {"prtx", "MOVE A"},  {"stat", "A"},     {"vari", "X1"},      {"stbl", "T"},
                     {"comt", "a rule"},  {"txtn", "123"},   {"isms", Value()},   {"logn", "jdoe"},
                     {"lusr", "admin"}};
}

std::string WriteOne(const TaggedLayout& layout, const FieldSource& row, RecordOptions options = {}) {
  TempFolder dir;
  auto out = files::TextWriter::Create(Env::Default(), dir / std::string(layout.file));
  TaggedRecordWriter writer(layout, *out, options);
  writer.Write(row);
  out->Close();
  return files::ReadWholeFile(Env::Default(), dir / std::string(layout.file));
}

TEST(RecordWriterTest, Qzmap120RecordHas21LinesAfterMoAnd23ForSync) {
  auto normal = Lines(WriteOne(kQzmap120, Rule120()));
  ASSERT_EQ(normal.size(), 22u);
  EXPECT_EQ(normal[0], "MO");
  EXPECT_EQ(normal, (std::vector<std::string>{
                        "MO", ":MPRF:12", ":VERS:V10", ":RELE:R2", ":CUST:C01", ":TCPAC:PAC", ":TCMOD:MOD",
                        ":TFLNO:003", ":LDAT:2024-03-05 14:07:09", ":PRTX:START", "MOVE A", ":PRTX:END",
                        ":STAT:A", ":VARI:X1", ":STBL:T", ":COMT:START", "a rule", ":COMT:END", ":TEXT:", "123",
                        ":TEXT:END", ":ISMS:0"}));

  auto sync = Lines(WriteOne(kQzmap120, Rule120(), {.for_sync = true}));
  ASSERT_EQ(sync.size(), 24u);
  EXPECT_EQ(sync[22], ":LOGN:jdoe");
  EXPECT_EQ(sync[23], ":LUSR:admin");
}

TEST(RecordWriterTest, MappingObjectRecordsCarryTheExportedIdentityWithoutLdat) {
  Identity id{9, "V90", "R9", "C09"};
  auto lines = Lines(WriteOne(kQzmap120, Rule120(), {.with_ldat = false, .identity = &id}));
  ASSERT_EQ(lines.size(), 21u);
  EXPECT_EQ(lines[1], ":MPRF:9");
  EXPECT_EQ(lines[2], ":VERS:V90");
  EXPECT_EQ(lines[3], ":RELE:R9");
  EXPECT_EQ(lines[4], ":CUST:C09");
  EXPECT_EQ(lines[5], ":TCPAC:PAC");  // the rest is the row's own
  EXPECT_EQ(lines[8], ":PRTX:START");
}

TEST(RecordWriterTest, NullIsmsIsZeroTaggedInQzmap120AndBareInQzmap125) {
  NamedValues r125{{"mprf", 12}, {"vers", "V10"}, {"rele", "R2"},  {"cust", "C01"},  {"tcpac", "P"},
                   {"tcmod", "M"}, {"tflno", "1"}, {"revi", 3},     {"prtx", Value()}, {"logn", Value()},
                   {"vari", "v"},  {"csta", "C"},  {"stbl", "S"},   {"txtn", "t"},     {"isms", Value()},
                   {"comt", Value()}};
  auto lines = Lines(WriteOne(kQzmap125, r125));
  ASSERT_EQ(lines.size(), 1u + 8 + 3 + 4 + 3 + 1 + 3);
  EXPECT_EQ(lines[9], ":PRTX:START");
  EXPECT_EQ(lines[10], "");  // NULL block: one empty line
  EXPECT_EQ(lines[12], ":LOGN:");  // NULL tag line: the tag alone
  EXPECT_EQ(lines[19], "0");
  EXPECT_EQ(lines[20], ":COMT:START");
  EXPECT_EQ(lines[21], "");

  auto l120 = Lines(WriteOne(kQzmap120, Rule120()));
  EXPECT_EQ(l120.back(), ":ISMS:0");
}

TEST(RecordWriterTest, NullAndEmptyBlocksAreWrittenAlikeAndMultiLineTextSpansLines) {
  auto with = [](Value prtx) {
    auto row = Rule120();
    row.Set("prtx", std::move(prtx));
    return WriteOne(kQzmap120, row);
  };
  EXPECT_EQ(with(Value()), with(""));
  auto lines = Lines(with("IF A\r\nTHEN B\r\n"));
  EXPECT_EQ(lines[9], ":PRTX:START");
  EXPECT_EQ(lines[10], "IF A");
  EXPECT_EQ(lines[11], "THEN B");
  EXPECT_EQ(lines[12], "");
  EXPECT_EQ(lines[13], ":PRTX:END");
}

TEST(RecordWriterTest, Qzlib105AlwaysCarriesPexpZero) {
  NamedValues row{{"mprf", 4},      {"vers", "V"},   {"rele", "R"}, {"cust", "C"},     {"fnam", "FN"},
                  {"revi", 2},      {"rinf", "r"},   {"isid", "i"}, {"cdat", "2024-01-01 00:00:00"},
                  {"pexp", 1},      {"usrn", "u"},   {"fdef", "f"}, {"comt", Value()}};
  auto lines = Lines(WriteOne(kQzlib105, row));
  EXPECT_EQ(lines[0], "FUNC");
  EXPECT_EQ(lines[12], ":PEXP:0");
  EXPECT_EQ(lines[13], ":USRN:u");
}

TEST(RecordWriterTest, NullInAColumnThatMustHaveTextFailsWith94AfterTheLinesBefore) {
  TempFolder dir;
  {
    auto out = files::TextWriter::Create(Env::Default(), dir / "Qzmap110.dat");
    TaggedRecordWriter writer(kQzmap110, *out);
    NamedValues row{{"mprf", 1}, {"vers", "V"}, {"rele", "R"}, {"cust", "C"}, {"tcpac", "P"},
                    {"tcmod", "M"}, {"tflno", "F"}, {"revi", 1}, {"rinf", "x"}, {"isid", "I"},
                    {"sdat", Value()}, {"pexp", 0}, {"logn", Value()}};
    try {
      writer.Write(row);
      FAIL() << "NULL sdat was written";
    } catch (const ComError& e) {
      EXPECT_EQ(e.number(), rt::InvalidUseOfNull);
      EXPECT_EQ(e.description(), "Invalid use of Null");
    }
    EXPECT_EQ(writer.records(), 0u);
    out->Close();
  }
  auto lines = Lines(files::ReadWholeFile(Env::Default(), dir / "Qzmap110.dat"));
  ASSERT_EQ(lines.size(), 1u + 8 + 3 + 1);
  EXPECT_EQ(lines.back(), ":ISID:I");  // the :SDAT: line is not begun

  for (const char* column : {"func", "defn"}) {
    SCOPED_TRACE(column);
    NamedValues fn{{"func", "ADD"}, {"defn", "a+b"}, {"help", Value()}};
    fn.Set(column, Value());
    auto out = files::TextWriter::Create(Env::Default(), dir / "Qzmap150.dat");
    TaggedRecordWriter writer(kQzmap150, *out);
    EXPECT_THROW(writer.Write(fn), ComError);
    out->Close();
    auto text = files::ReadWholeFile(Env::Default(), dir / "Qzmap150.dat");
    // The file ends after the start line of the failing block.
    std::string expected = std::string(column) == "func" ? ":FUNC:START\r\n"
                                                          : ":FUNC:START\r\nADD\r\n:FUNC:END\r\n:DEFN:START\r\n";
    EXPECT_EQ(text, expected);
  }
  // help may be NULL.
  NamedValues fn{{"func", "ADD"}, {"defn", "a+b"}, {"help", Value()}};
  EXPECT_EQ(WriteOne(kQzmap150, fn),
            ":FUNC:START\r\nADD\r\n:FUNC:END\r\n:DEFN:START\r\na+b\r\n:DEFN:END\r\n:HELP:START\r\n\r\n:HELP:END\r\n");
}

TEST(RecordWriterTest, ValuesThatWouldBreakTheFormatAreRefusedWithoutWritingTheRecord) {
  struct Case {
    const char* column;
    Value value;
  };
  const Case cases[] = {
      {"prtx", "A\r\n:PRTX:END\r\nB"},   // a line equal to the end line
      {"prtx", ":PRTX:START"},           // a line equal to the start line
      {"txtn", "x\r\n:TEXT:"},
      {"stat", "A\r\nB"},                // a line break in a tag line
      {"vari", "a\r\n:STBL:x"},          // a continued line that looks like the next tag
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.column);
    TempFolder dir;
    auto out = files::TextWriter::Create(Env::Default(), dir / "Qzmap120.dat");
    TaggedRecordWriter writer(kQzmap120, *out);
    writer.Write(Rule120());
    auto bad = Rule120();
    bad.Set(c.column, c.value);
    try {
      writer.Write(bad);
      FAIL() << "written";
    } catch (const ComError& e) {
      EXPECT_EQ(e.number(), Number(Ours::UnwritableValue));
      EXPECT_NE(e.description().find(std::string("column ") + c.column), std::string::npos) << e.description();
    }
    out->Close();
    EXPECT_EQ(Lines(files::ReadWholeFile(Env::Default(), dir / "Qzmap120.dat")).size(), 22u);  // the first record only
  }
  // Lines that merely contain the tags, and a lone CR or LF, are fine.
  auto row = Rule120();
  row.Set("prtx", "x :PRTX:END\r\n:PRTX:ENDING");
  row.Set("stat", "A\nB\rC");
  row.Set("vari", "a\r\n b :STBL:");
  EXPECT_NO_THROW(WriteOne(kQzmap120, row));
}

// A row the way the store hands it out: columns by position.
struct FakeRow {
  std::vector<std::string> names;
  std::vector<Value> values;
  int FieldCount() const { return static_cast<int>(names.size()); }
  const std::string& FieldName(int i) const { return names[static_cast<size_t>(i)]; }
  Value Fields(int i) const { return values[static_cast<size_t>(i)]; }
};

TEST(RecordWriterTest, ABoundRowIsReadByPositionWhateverTheColumnOrder) {
  FakeRow row{{"CFLNO", "cmod", "cpac", "bflno", "bmod", "bpac", "cust", "rele", "vers", "mprf", "extra"},
              {"F2", "M2", "P2", "F1", "M1", "P1", "C", "R", "V", 7, "ignored"}};
  auto binding = BindColumnsOf(kQzmap170, row);
  EXPECT_EQ(WriteOne(kQzmap170, BoundRow<FakeRow>(row, binding)),
            "MSCRIPTS\r\n:MPRF:7\r\n:VERS:V\r\n:RELE:R\r\n:CUST:C\r\n:BPAC:P1\r\n:BMOD:M1\r\n:BFLNO:F1\r\n"
            ":CPAC:P2\r\n:CMOD:M2\r\n:CFLNO:F2\r\n");

  FakeRow narrow{{"mprf"}, {7}};
  auto partial = BindColumnsOf(kQzmap170, narrow);
  try {
    WriteOne(kQzmap170, BoundRow<FakeRow>(narrow, partial));
    FAIL();
  } catch (const ComError& e) {
    EXPECT_EQ(e.number(), Number(Ours::Internal));
    EXPECT_NE(e.description().find("vers"), std::string::npos);
  }

  // Binding the same layout again, to columns in yet another order, and back.
  FakeRow reordered{{"mprf", "vers", "rele", "cust", "cpac", "cmod", "cflno", "bpac", "bmod", "bflno"},
                    {8, "V8", "R8", "C8", "P4", "M4", "F4", "P3", "M3", "F3"}};
  auto again = BindColumnsOf(kQzmap170, reordered);
  EXPECT_EQ(WriteOne(kQzmap170, BoundRow<FakeRow>(reordered, again)),
            "MSCRIPTS\r\n:MPRF:8\r\n:VERS:V8\r\n:RELE:R8\r\n:CUST:C8\r\n:BPAC:P3\r\n:BMOD:M3\r\n:BFLNO:F3\r\n"
            ":CPAC:P4\r\n:CMOD:M4\r\n:CFLNO:F4\r\n");
  EXPECT_EQ(BindColumnsOf(kQzmap170, row), binding);
  EXPECT_EQ(BindColumnsOf(kQzmap170, reordered), again);
  EXPECT_NE(again, binding);
}

TEST(RecordWriterTest, AStoreRecordsetFeedsTheWriterDirectly) {
  TempFolder dir;
  auto db = store::Create(dir / "store.db");
  db->Execute("create table qzmap170 (mprf integer, vers text, rele text, cust text, bpac text, bmod text, "
              "bflno text, cpac text, cmod text, cflno text)");
  db->Execute("insert into qzmap170 values (5, 'V', 'R', 'C', 'B1', 'M1', '01', 'C1', 'N1', null)");
  auto rs = db->OpenRecordset("select * from qzmap170");
  auto binding = BindColumnsOf(kQzmap170, *rs);
  auto out = files::TextWriter::Create(Env::Default(), dir / "qzmap170.dat");
  TaggedRecordWriter writer(kQzmap170, *out);
  for (; !rs->IsEOF(); rs->MoveNext()) writer.Write(BoundRow<store::Recordset>(*rs, binding));
  out->Close();
  EXPECT_EQ(files::ReadWholeFile(Env::Default(), dir / "qzmap170.dat"),
            "MSCRIPTS\r\n:MPRF:5\r\n:VERS:V\r\n:RELE:R\r\n:CUST:C\r\n:BPAC:B1\r\n:BMOD:M1\r\n:BFLNO:01\r\n"
            ":CPAC:C1\r\n:CMOD:N1\r\n:CFLNO:\r\n");
}

TEST(RecordWriterTest, TextsLentByTheStoreAreCheckedAndWrittenAsValuesAre) {
  TempFolder dir;
  auto db = store::Create(dir / "store.db");
  db->Execute("create table qzmap170 (mprf integer, vers text, rele text, cust text, bpac blob, bmod text, "
              "bflno text, cpac text, cmod text, cflno text)");
  db->Execute("insert into qzmap170 values (5, 'V', 'R', 'C', cast('B''1' as blob), '', '07', 'C1', 'N1', 3)");
  db->Execute("insert into qzmap170 values (6, 'V', 'R', 'C', 'B2', 'M2', 'two\r\nlines', 'C2', 'N2', 'F2')");
  auto rs = db->OpenRecordset("select * from qzmap170 order by mprf");
  auto binding = BindColumnsOf(kQzmap170, *rs);
  auto out = files::TextWriter::Create(Env::Default(), dir / "qzmap170.dat");
  TaggedRecordWriter writer(kQzmap170, *out);
  // A blob, an empty text and a number beside texts, under another identity.
  Identity other{Value(int64_t{9}), Value("X42U"), Value("c"), Value("ab1")};
  RecordOptions options;
  options.identity = &other;
  TaggedRecordWriter renumbered(kQzmap170, *out, options);
  renumbered.Write(BoundRow<store::Recordset>(*rs, binding));
  rs->MoveNext();
  // A line break in a tag line is refused, the record left out.
  try {
    writer.Write(BoundRow<store::Recordset>(*rs, binding));
    FAIL();
  } catch (const ComError& e) {
    EXPECT_EQ(e.number(), Number(Ours::UnwritableValue));
    EXPECT_NE(e.description().find("bflno"), std::string::npos);
  }
  out->Close();
  EXPECT_EQ(files::ReadWholeFile(Env::Default(), dir / "qzmap170.dat"),
            "MSCRIPTS\r\n:MPRF:9\r\n:VERS:X42U\r\n:RELE:c\r\n:CUST:ab1\r\n:BPAC:B'1\r\n:BMOD:\r\n:BFLNO:07\r\n"
            ":CPAC:C1\r\n:CMOD:N1\r\n:CFLNO:3\r\n");
}

TEST(RecordWriterTest, NumbersAreWrittenAsDecimalText) {
  auto row = Rule120();
  row.Set("mprf", int64_t{-32768});
  row.Set("isms", 1);
  auto lines = Lines(WriteOne(kQzmap120, row));
  EXPECT_EQ(lines[1], ":MPRF:-32768");
  EXPECT_EQ(lines.back(), ":ISMS:1");
}

}  // namespace
}  // namespace kestrel::pack
