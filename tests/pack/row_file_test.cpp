// Row files: values and application data text that would split a row are
// refused, and a row read back of the wrong width names its file and line.
#include <gtest/gtest.h>

#include <string>

#include "base/errors_ours.h"
#include "base/files.h"
#include "base/row_reader.h"
#include "pack/row_writer.h"
#include "support/error_of.h"
#include "support/temp_folder.h"

namespace kestrel::pack {
namespace {

using kestrel::testing::CaughtFrom;
using kestrel::testing::ReadFile;

const std::string S(1, '\x01');

TEST(RowWriterTest, FieldsAndDataThatWouldSplitARowAreRefused) {
  kestrel::testing::TempFolder dir;
  auto out = files::TextWriter::Create(Env::Default(), dir / "Qzlgy115.dat");
  RowWriter rows(kQzlgy115Rows, *out);
  rows.Write({"C1", "first", "1", "2"});
  for (const char* bad : {"two\r\nlines", "a\x01" "b"}) {
    ComError e = CaughtFrom([&] { rows.Write({"C2", bad, "1", "2"}); });
    EXPECT_EQ(e.number(), Number(Ours::UnwritableValue));
    EXPECT_NE(e.description().find("field 2 of row 2"), std::string::npos) << e.description();
  }
  rows.Write({"C3", "a lone\nLF and a lone\rCR", "1", "2"});
  EXPECT_THROW(rows.Write({"too", "few"}), ComError);
  // Application data text: a line break or character 1 inside a field, or no line end after the last row.
  for (const std::string& text : {"A1" + S + "a\r\nb" + S + "c\r\n", "A1" + S + "a" + S + "b" + S + "c\r\n",
                                  "A1" + S + "a" + S + "b"}) {
    ComError e = CaughtFrom([&] { WriteDataRows(*out, text, 3); });
    EXPECT_EQ(e.number(), Number(Ours::UnwritableValue));
    EXPECT_NE(e.description().find("Qzlgy115.dat"), std::string::npos);
  }
  out->Close();
  EXPECT_EQ(ReadFile(dir / "Qzlgy115.dat"),
            "C1" + S + "first" + S + "1" + S + "2\r\n" + "C3" + S + "a lone\nLF and a lone\rCR" + S + "1" + S + "2\r\n");
}

// Rows of empty fields only: 18, then 17 in a last line without CR LF.
TEST(RowReaderTest, ARowOfTheWrongWidthNamesFileAndLineWhenACountIsRequired) {
  kestrel::testing::TempFolder dir;
  kestrel::testing::WriteFile(dir / "Qzmap100.dat", std::string(17, '\x01') + "\r\n" + std::string(16, '\x01'));
  auto strict = files::RowReader::Open(Env::Default(), dir / "Qzmap100.dat", 18);
  ASSERT_TRUE(strict->Next());
  const ComError e = CaughtFrom([&] { strict->Next(); });
  EXPECT_EQ(e.number(), Number(Ours::MalformedPackFile));
  EXPECT_NE(e.description().find(dir / "Qzmap100.dat" + ", line 2"), std::string::npos) << e.description();
  EXPECT_NE(e.description().find("17 fields where 18"), std::string::npos) << e.description();
  // Without a required count the caller judges the width itself.
  auto lenient = files::RowReader::Open(Env::Default(), dir / "Qzmap100.dat");
  ASSERT_TRUE(lenient->Next() && lenient->Next());
  EXPECT_EQ(lenient->fields().size(), 17u);
}

}  // namespace
}  // namespace kestrel::pack
