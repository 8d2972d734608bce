// The manifest: its line shapes assembled as the export driver assembles them,
// and the import's lenient reading of successful, failed, truncated and odd
// manifests.
#include <gtest/gtest.h>

#include <string>

#include "base/datetime.h"
#include "base/error.h"
#include "base/files.h"
#include "pack/manifest.h"
#include "pack/naming.h"
#include "support/fault_env.h"
#include "support/temp_folder.h"

namespace kestrel::pack::manifest {
namespace {

using kestrel::testing::TempFolder;

// The text of an export of profile 12 into new profile 7, in the order the
// export driver puts the pieces.
std::string Exported(bool success) {
  std::string data = ListLine("qzddi100A1.dat") + ListLine("qzddi100B2.dat");
  std::string rules = ListLine("Qzmap100.dat") + ListLine("Qzmap101.dat") + ListLine("qzmap170.dat");
  std::string body = NewProfileLine(7) + SyncLine(false) + StartLine("12", "2024-03-05", "14:07:09") +
                     ProgressLine("Exporting Qzmap100 Started : ", "2024-03-05", "14:07:10") +
                     NoteLine("No Conversion Rules Present");
  std::string text = FileListBlock(data, rules) + ApplicationBlock(ListLine("A1") + ListLine("B2")) +
                     RevisionsLine(true) + body;
  if (success) return StatusLine(true) + text + SuccessLine("12", "2024-03-05", "14:07:11");
  return StatusLine(false) + text + FailureLines(999, "UnSpecified Error: --Qzmap120--94   Invalid use of Null");
}

void WriteManifest(const TempFolder& dir, const std::string& text, const std::string& name = "ExportMR.log") {
  auto out = files::TextWriter::Create(Env::Default(), dir / name);
  out->Write(text);
  out->Close();
}

TEST(ManifestTest, OptionsAreReadLeniently) {
  struct Row {
    const char* name;
    std::string text;
    ManifestOptions read;
  };
  const Row rows[] = {
      {"success", Exported(true), {"A1|B2", true, true, 7, false}},
      {"failure", Exported(false), {"A1|B2", true, true, 7, false}},
      // Texts it does not know leave the values as they were.
      {"odd options", "ERRORS\r\n--TESTFILES--\r\n--END TESTFILES--\r\n--APPLS--\r\n--ENDAPPLS--\r\n"
       "ExportRevisions=2\r\nNewProfile=3\r\nExportForSyn=yes", {"", false, false, 4, true}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TempFolder dir;
    WriteManifest(dir, row.text, "exportmr.log");  // the name matched without regard to case
    ManifestOptions o{"old", false, false, 4, true};
    ASSERT_TRUE(ReadLogicPackManifest(Env::Default(), dir.path(), o));
    EXPECT_EQ(o.applications, row.read.applications);
    EXPECT_EQ(o.revisions, row.read.revisions);
    EXPECT_EQ(o.new_profile, row.read.new_profile);
    EXPECT_EQ(o.new_profile_number, row.read.new_profile_number);
    EXPECT_EQ(o.for_sync, row.read.for_sync);
  }
}

TEST(ManifestTest, ATruncatedOrMissingManifestFails) {
  std::string full = Exported(true);
  // Cut inside each of the parts the reader needs.
  for (const char* cut_before : {"--TESTFILES--", "--END TESTFILES--", "--APPLS--", "B2\r\n--ENDAPPLS--",
                                 "ExportRevisions", "ExportToNewProfile", "ExportForSyn"}) {
    SCOPED_TRACE(cut_before);
    TempFolder dir;
    WriteManifest(dir, full.substr(0, full.find(cut_before)));
    ManifestOptions o;
    EXPECT_FALSE(ReadLogicPackManifest(Env::Default(), dir.path(), o));
  }
  TempFolder dir;
  WriteManifest(dir, full.substr(0, full.find("ExportForSyn")));
  ManifestOptions o;
  EXPECT_FALSE(ReadLogicPackManifest(Env::Default(), dir.path(), o));
  EXPECT_EQ(o.applications, "A1|B2");  // what was read before the end stays read
  EXPECT_EQ(o.new_profile_number, 7);

  TempFolder empty;
  EXPECT_FALSE(ReadLogicPackManifest(Env::Default(), empty.path(), o));
}

TEST(ManifestTest, NewProfileLineReadsTheNumberFromCharacterTwenty) {
  EXPECT_FALSE(NewProfileValue("ExportToNewProfile=0")->is_new);
  auto seven = NewProfileValue("ExportToNewProfile=7");
  ASSERT_TRUE(seven);
  EXPECT_TRUE(seven->is_new);
  EXPECT_EQ(seven->number, 7);
  EXPECT_EQ(NewProfileValue("ExportToNewProfile:12")->number, 12);  // the 19th character is not looked at
  EXPECT_FALSE(NewProfileValue("ExportToNewProfil=7"));
  EXPECT_THROW(NewProfileValue("ExportToNewProfile=seven"), ComError);
  EXPECT_THROW(NewProfileValue("ExportToNewProfile=40000"), ComError);

  TempFolder dir;
  WriteManifest(dir, "SUCCESS\r\n--TESTFILES--\r\n--END TESTFILES--\r\n--APPLS--\r\nA1\r\n--ENDAPPLS--\r\n"
                     "ExportRevisions=0\r\nExportToNewProfile=x\r\nExportForSyn=1");
  ManifestOptions o;
  EXPECT_FALSE(ReadLogicPackManifest(Env::Default(), dir.path(), o));
}

TEST(ManifestTest, LinesReaderCollectsUpToAMarker) {
  TempFolder dir;
  WriteManifest(dir, Exported(true));
  auto lines = Lines::Open(Env::Default(), dir.path());
  EXPECT_EQ(lines->Next(), "SUCCESS");
  EXPECT_EQ(lines->Next(), "--TESTFILES--");
  auto names = lines->Until(kFilesEnd);
  EXPECT_EQ(names, (std::vector<std::string>{"qzddi100A1.dat", "qzddi100B2.dat", "Qzmap100.dat", "Qzmap101.dat",
                                             "qzmap170.dat"}));
  EXPECT_EQ(lines->line_number(), 8u);
  try {
    lines->Until("--NOT THERE--");
    FAIL();
  } catch (const ComError& e) {
    EXPECT_EQ(e.number(), rt::InputPastEnd);
  }
}

}  // namespace
}  // namespace kestrel::pack::manifest
