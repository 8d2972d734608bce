// Row files: writing single rows and application data text, and reading rows
// back split at character 1.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/error.h"
#include "base/errors_ours.h"
#include "base/files.h"
#include "base/row_reader.h"
#include "pack/row_writer.h"
#include "support/temp_folder.h"

namespace kestrel::pack {
namespace {

using kestrel::testing::TempFolder;

const std::string S(1, '\x01');

TEST(RowWriterTest, RowsJoinFieldsWithCharacterOneAndNullIsEmpty) {
  TempFolder dir;
  auto out = files::TextWriter::Create(Env::Default(), dir / "Qzmap101.dat");
  RowWriter rows(kQzmap101Rows, *out);
  rows.Write({12, 1, "V10", "R2", "C01", 12});
  rows.Write({12, 2, "V09", "R2", "C01", Value()});  // NULL pprf: empty last field, no separator after it
  rows.Write({Value(), Value(), Value(), Value(), Value(), Value()});
  EXPECT_EQ(rows.rows(), 3u);
  out->Close();
  EXPECT_EQ(files::ReadWholeFile(Env::Default(), dir / "Qzmap101.dat"),
            "12" + S + "1" + S + "V10" + S + "R2" + S + "C01" + S + "12\r\n" +
            "12" + S + "2" + S + "V09" + S + "R2" + S + "C01" + S + "\r\n" +
            S + S + S + S + S + "\r\n");
}

TEST(RowWriterTest, AllNullQzmap100RowIsSeventeenSeparators) {
  TempFolder dir;
  auto out = files::TextWriter::Create(Env::Default(), dir / "Qzmap100.dat");
  RowWriter rows(kQzmap100Rows, *out);
  std::vector<Value> nulls(18);
  rows.Write(nulls);
  out->Close();
  EXPECT_EQ(files::ReadWholeFile(Env::Default(), dir / "Qzmap100.dat"), std::string(17, '\x01') + "\r\n");
}

TEST(RowWriterTest, FieldsThatWouldSplitTheRowAreRefused) {
  TempFolder dir;
  auto out = files::TextWriter::Create(Env::Default(), dir / "Qzlgy115.dat");
  RowWriter rows(kQzlgy115Rows, *out);
  rows.Write({"C1", "first", "1", "2"});
  for (const char* bad : {"two\r\nlines", "a\x01" "b"}) {
    try {
      rows.Write({"C2", bad, "1", "2"});
      FAIL() << "written";
    } catch (const ComError& e) {
      EXPECT_EQ(e.number(), Number(Ours::UnwritableValue));
      EXPECT_NE(e.description().find("field 2 of row 2"), std::string::npos) << e.description();
    }
  }
  rows.Write({"C3", "a lone\nLF and a lone\rCR", "1", "2"});
  EXPECT_THROW(rows.Write({"too", "few"}), ComError);
  out->Close();
  EXPECT_EQ(files::ReadWholeFile(Env::Default(), dir / "Qzlgy115.dat"),
            "C1" + S + "first" + S + "1" + S + "2\r\n" + "C3" + S + "a lone\nLF and a lone\rCR" + S + "1" + S + "2\r\n");
}

TEST(DataRowsTest, TextIsWrittenInOnePieceUnchanged) {
  TempFolder dir;
  std::string text = "A1" + S + "0" + S + "Sales ledger" + S + "\r\n" +  // last column NULL
                     "A1" + S + "1" + S + "" + S + "x\r\n";
  auto out = files::TextWriter::Create(Env::Default(), dir / "qzddi101A1.dat");
  EXPECT_EQ(WriteDataRows(*out, text, 4), 2u);
  EXPECT_EQ(WriteDataRows(*out, "", 4), 0u);
  out->Close();
  EXPECT_EQ(files::ReadWholeFile(Env::Default(), dir / "qzddi101A1.dat"), text);
}

TEST(DataRowsTest, RowsBrokenByTheirDataAreRefusedBeforeWriting) {
  TempFolder dir;
  auto out = files::TextWriter::Create(Env::Default(), dir / "qzddi101A1.dat");
  const std::string cases[] = {
      "A1" + S + "a\r\nb" + S + "c\r\n",  // a line break splits the row
      "A1" + S + "a" + S + "b" + S + "c\r\n",  // character 1 inside a field
      "A1" + S + "a" + S + "b",  // no line end after the last row
  };
  for (const auto& text : cases) {
    try {
      WriteDataRows(*out, text, 3);
      FAIL() << "written";
    } catch (const ComError& e) {
      EXPECT_EQ(e.number(), Number(Ours::UnwritableValue));
      EXPECT_NE(e.description().find("qzddi101A1.dat"), std::string::npos);
    }
  }
  out->Close();
  EXPECT_EQ(files::ReadWholeFile(Env::Default(), dir / "qzddi101A1.dat"), "");
}

TEST(RowReaderTest, SplitsLinesAtCharacterOne) {
  std::vector<std::string_view> fields;
  files::SplitRow("", fields);
  EXPECT_EQ(fields, (std::vector<std::string_view>{""}));
  const std::string line = "a" + S + S + "c" + S;  // the fields are views into it
  files::SplitRow(line, fields);
  EXPECT_EQ(fields, (std::vector<std::string_view>{"a", "", "c", ""}));
}

TEST(RowReaderTest, ReadsWhatTheWriterWrote) {
  TempFolder dir;
  {
    auto out = files::TextWriter::Create(Env::Default(), dir / "Qzmap105.dat");
    RowWriter rows(kQzmap105Rows, *out);
    rows.Write({12, "V10", "R2", "C01", "D10", "R2", Value()});
    rows.Write({13, "V11", "R\r", "C01", "D11", "R2", "x"});
    out->Close();
  }
  auto in = files::RowReader::Open(Env::Default(), dir / "Qzmap105.dat", kQzmap105Rows.columns.size());
  ASSERT_TRUE(in->Next());
  EXPECT_EQ(in->fields(), (std::vector<std::string_view>{"12", "V10", "R2", "C01", "D10", "R2", ""}));
  ASSERT_TRUE(in->Next());
  EXPECT_EQ(in->fields()[2], "R\r");
  EXPECT_EQ(in->line_number(), 2u);
  EXPECT_FALSE(in->Next());
}

TEST(RowReaderTest, ARowOfTheWrongWidthNamesFileAndLineWhenACountIsRequired) {
  TempFolder dir;
  {
    auto out = files::TextWriter::Create(Env::Default(), dir / "Qzmap100.dat");
    out->Write(std::string(17, '\x01') + "\r\n" + std::string(16, '\x01') + "\r\n");
    out->Close();
  }
  auto strict = files::RowReader::Open(Env::Default(), dir / "Qzmap100.dat", 18);
  ASSERT_TRUE(strict->Next());
  try {
    strict->Next();
    FAIL() << "a row of 17 fields was accepted";
  } catch (const ComError& e) {
    EXPECT_EQ(e.number(), Number(Ours::MalformedPackFile));
    EXPECT_NE(e.description().find(dir / "Qzmap100.dat"), std::string::npos) << e.description();
    EXPECT_NE(e.description().find("line 2"), std::string::npos) << e.description();
    EXPECT_NE(e.description().find("17 fields where 18"), std::string::npos) << e.description();
  }
  // Without a required count the caller judges the width itself.
  auto lenient = files::RowReader::Open(Env::Default(), dir / "Qzmap100.dat");
  ASSERT_TRUE(lenient->Next());
  ASSERT_TRUE(lenient->Next());
  EXPECT_EQ(lenient->fields().size(), 17u);
}

}  // namespace
}  // namespace kestrel::pack
