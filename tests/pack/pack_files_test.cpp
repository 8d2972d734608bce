// Pack folder and file names, the application codes refused before any name
// is formed from them, and finding a file's layout by its name; row files:
// values and application data text that would split a row are refused, and
// a row read back of the wrong width names its file and line. The manifest as
// the import reads it: leniently, options it does not know leaving values as
// they were, failing on a truncated or missing manifest with what came before
// read; and the new profile line.
#include <gtest/gtest.h>

#include <string>

#include "base/error.h"
#include "base/errors_ours.h"
#include "base/files.h"
#include "base/row_reader.h"
#include "pack/layout.h"
#include "pack/manifest.h"
#include "pack/naming.h"
#include "pack/row_writer.h"
#include "support/error_of.h"
#include "support/temp_folder.h"

namespace kestrel::pack {
namespace {

using kestrel::testing::CaughtFrom;
using kestrel::testing::ReadFile;
using kestrel::testing::TempFolder;

const std::string S(1, '\x01');

TEST(RowWriterTest, FieldsAndDataThatWouldSplitARowAreRefused) {
  TempFolder dir;
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
  TempFolder dir;
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

TEST(NamingTest, NamesAndTheCodesRefusedBeforeAnyNameIsFormed) {
  EXPECT_EQ(PackFolderName(12, "A1", "B2", true) + " " + PackFolderName(40, "SAP", "SAP", false), "12-A1-B2-S 40-SAP-SAP-M");
  EXPECT_EQ(DataFileName("QZDDI100", "Ab"), "qzddi100Ab.dat");  // the table in lower case, the code as stored
  for (const std::string& code : {std::string(""), std::string(".."), std::string("a/b"), std::string("a\\b"),
                                  std::string("x..y"), std::string("a\0b", 3), std::string("tab\there"),
                                  std::string("line\r\n"), std::string("del\x7f")}) {
    SCOPED_TRACE(QuoteForMessage(code));
    for (auto attempt : {+[](const std::string& c) { CheckApplicationCode(c); },
                         +[](const std::string& c) { (void)DataFileName("qzddi100", c); },
                         +[](const std::string& c) { (void)PackFolderName(1, "A1", c, true); },
                         +[](const std::string& c) { (void)PackFolderName(1, c, "A1", false); }}) {
      const ComError e = kestrel::testing::CaughtFrom([&] { attempt(code); });
      EXPECT_EQ(e.number(), Number(Ours::BadApplicationCode));
      EXPECT_NE(e.description().find(DefaultText(Ours::BadApplicationCode)), std::string::npos);
    }
  }
  for (const char* code : {"A1", "SAP-R3", "x.y", "ÄB", "A B", "~"}) EXPECT_NO_THROW(CheckApplicationCode(code)) << code;
}

// Layouts are found by file or table name without regard to case, as packs
// written by other hands name their files.
TEST(LayoutTest, FilesAreFoundWithoutRegardToCaseAndNamedInTheirOwn) {
  EXPECT_EQ(RuleFileName(kQzmap170, false), "qzmap170.dat");
  EXPECT_EQ(RuleFileName(kQzmap175, true), "Qzmap175.dat");
  EXPECT_EQ(TaggedLayoutOfFile("QZMAP175.DAT"), &kQzmap175);
  EXPECT_EQ(TaggedLayoutOfFile("Qzmap100.dat"), nullptr);
  EXPECT_EQ(RowLayoutOfFile("qzmap100.dat"), &kQzmap100Rows);
  EXPECT_EQ(FindTaggedLayout("qzlib105"), &kQzlib105);
  EXPECT_EQ(FindRowLayout("qzlgy115"), &kQzlgy115Rows);
}

using namespace manifest;  // NOLINT(google-build-using-namespace): its builders and readers

// An export of profile 12 into new profile 7, in the order the export driver puts the pieces.
std::string Exported() {
  return StatusLine(true) +
    FileListBlock(ListLine("qzddi100A1.dat") + ListLine("qzddi100B2.dat"),
                  ListLine("Qzmap100.dat") + ListLine("Qzmap101.dat") + ListLine("qzmap170.dat")) +
    ApplicationBlock(ListLine("A1") + ListLine("B2")) + RevisionsLine(true) + NewProfileLine(7) + SyncLine(false) +
    StartLine("12", "2024-03-05", "14:07:09") + NoteLine("No Conversion Rules Present") +
    SuccessLine("12", "2024-03-05", "14:07:11");
}

std::string Cut(const std::string& before) { return Exported().substr(0, Exported().find(before)); }

TEST(ManifestTest, OptionsAreReadLeniently) {
  const struct { const char* name; std::string text; bool ok; std::string read; } rows[] = {  // text "-": none
      {"whole", Exported(), true, "A1|B2 1 1 7 0 5"},
      {"odd options", "ERRORS\r\n--TESTFILES--\r\n--END TESTFILES--\r\n--APPLS--\r\n--ENDAPPLS--\r\n"
       "ExportRevisions=2\r\nNewProfile=3\r\nExportForSyn=yes", true, " 0 0 4 1 0"},
      {"no file list", "DONE\r\n--APPLS--\r\nA1\r\n--ENDAPPLS--\r\nExportRevisions=0\r\nExportToNewProfile=0\r\n"
       "ExportForSyn=0", false, "old 0 0 4 1 0"},
      {"no manifest", "-", false, "old 0 0 4 1 0"},
      {"cut in the applications", Cut("B2\r\n--ENDAPPLS--"), false, "old 0 0 4 1 5"},
      {"cut before synchronisation", Cut("ExportForSyn"), false, "A1|B2 1 1 7 1 5"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    TempFolder dir;
    if (row.text != "-") kestrel::testing::WriteFile(dir / "exportmr.log", row.text);  // any case of the name
    ManifestOptions o{"old", false, false, 4, true, {}};
    EXPECT_EQ(ReadLogicPackManifest(Env::Default(), dir.path(), o), row.ok);
    EXPECT_EQ(o.applications + " " + std::to_string(o.revisions) + " " + std::to_string(o.new_profile) + " " +
                  std::to_string(o.new_profile_number) + " " + std::to_string(o.for_sync) + " " +
                  std::to_string(o.files.size()),
              row.read);
    // The file list as written: the loaders take only the files it names.
    if (row.ok && !o.files.empty()) {
      EXPECT_EQ(o.files, (std::vector<std::string>{"qzddi100A1.dat", "qzddi100B2.dat", "Qzmap100.dat", "Qzmap101.dat",
                                                   "qzmap170.dat"}));
    }
  }
}

TEST(ManifestTest, NewProfileLineReadsTheNumberFromCharacterTwenty) {
  EXPECT_FALSE(NewProfileValue("ExportToNewProfile=0")->is_new);
  EXPECT_TRUE(NewProfileValue("ExportToNewProfile=7")->is_new);
  EXPECT_EQ(NewProfileValue("ExportToNewProfile:12")->number, 12);  // the 19th character is not looked at
  EXPECT_FALSE(NewProfileValue("ExportToNewProfil=7"));
  EXPECT_THROW(NewProfileValue("ExportToNewProfile=seven"), ComError);
  EXPECT_THROW(NewProfileValue("ExportToNewProfile=40000"), ComError);

}

}  // namespace
}  // namespace kestrel::pack
