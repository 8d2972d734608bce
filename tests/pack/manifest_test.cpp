// The manifest as the import reads it: leniently, options it does not know
// leaving values as they were, failing on a truncated or missing manifest
// with what came before read; the new profile line; and reading up to a marker.
#include <gtest/gtest.h>

#include <string>

#include "base/error.h"
#include "base/files.h"
#include "pack/manifest.h"
#include "support/error_of.h"
#include "support/temp_folder.h"

namespace kestrel::pack::manifest {
namespace {

using kestrel::testing::TempFolder;

// The text of an export of profile 12 into new profile 7, in the order the
// export driver puts the pieces.
std::string Exported(bool success) {
  std::string data = ListLine("qzddi100A1.dat") + ListLine("qzddi100B2.dat");
  std::string rules = ListLine("Qzmap100.dat") + ListLine("Qzmap101.dat") + ListLine("qzmap170.dat");
  std::string text = FileListBlock(data, rules) + ApplicationBlock(ListLine("A1") + ListLine("B2")) +
                     RevisionsLine(true) + NewProfileLine(7) + SyncLine(false) +
                     StartLine("12", "2024-03-05", "14:07:09") + NoteLine("No Conversion Rules Present");
  if (success) return StatusLine(true) + text + SuccessLine("12", "2024-03-05", "14:07:11");
  return StatusLine(false) + text + FailureLines(999, "UnSpecified Error: --Qzmap120--94   Invalid use of Null");
}

std::string Cut(const std::string& text, const std::string& before) { return text.substr(0, text.find(before)); }

TEST(ManifestTest, OptionsAreReadLeniently) {
  const std::string full = Exported(true);
  struct Row {
    const char* name;
    std::string text;  // "-" for no manifest at all
    bool ok;
    ManifestOptions read;  // from {"old", false, false, 4, true}
  };
  const Row rows[] = {
      {"success", full, true, {"A1|B2", true, true, 7, false}},
      {"failure", Exported(false), true, {"A1|B2", true, true, 7, false}},
      {"odd options", "ERRORS\r\n--TESTFILES--\r\n--END TESTFILES--\r\n--APPLS--\r\n--ENDAPPLS--\r\n"
       "ExportRevisions=2\r\nNewProfile=3\r\nExportForSyn=yes", true, {"", false, false, 4, true}},
      {"no file list", "DONE\r\n--APPLS--\r\nA1\r\n--ENDAPPLS--\r\nExportRevisions=0\r\nExportToNewProfile=0\r\n"
       "ExportForSyn=0", false, {"old", false, false, 4, true}},
      {"a new number that is no number", Cut(full, "ExportToNewProfile") + "ExportToNewProfile=x\r\nExportForSyn=1",
       false, {"A1|B2", true, false, 4, true}},
      {"no manifest", "-", false, {"old", false, false, 4, true}},
      {"cut before the file list", Cut(full, "--TESTFILES--"), false, {"old", false, false, 4, true}},
      {"cut in the file list", Cut(full, "--END TESTFILES--"), false, {"old", false, false, 4, true}},
      {"cut before the applications", Cut(full, "--APPLS--"), false, {"old", false, false, 4, true}},
      {"cut in the applications", Cut(full, "B2\r\n--ENDAPPLS--"), false, {"old", false, false, 4, true}},
      {"cut before the revisions", Cut(full, "ExportRevisions"), false, {"A1|B2", false, false, 4, true}},
      {"cut before the new number", Cut(full, "ExportToNewProfile"), false, {"A1|B2", true, false, 4, true}},
      {"cut before synchronisation", Cut(full, "ExportForSyn"), false, {"A1|B2", true, true, 7, true}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TempFolder dir;
    // The name is matched without regard to case.
    if (row.text != "-") kestrel::testing::WriteFile(dir / "exportmr.log", row.text);
    ManifestOptions o{"old", false, false, 4, true};
    EXPECT_EQ(ReadLogicPackManifest(Env::Default(), dir.path(), o), row.ok);
    EXPECT_EQ(o.applications, row.read.applications);
    EXPECT_EQ(o.revisions, row.read.revisions);
    EXPECT_EQ(o.new_profile, row.read.new_profile);
    EXPECT_EQ(o.new_profile_number, row.read.new_profile_number);
    EXPECT_EQ(o.for_sync, row.read.for_sync);
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

TEST(ManifestTest, LinesReaderCollectsUpToAMarker) {
  TempFolder dir;
  kestrel::testing::WriteFile(dir / "ExportMR.log", Exported(true));
  auto lines = Lines::Open(Env::Default(), dir.path());
  EXPECT_EQ(lines->Next(), "SUCCESS");
  EXPECT_EQ(lines->Next(), "--TESTFILES--");
  EXPECT_EQ(lines->Until(kFilesEnd), (std::vector<std::string>{"qzddi100A1.dat", "qzddi100B2.dat", "Qzmap100.dat",
                                                               "Qzmap101.dat", "qzmap170.dat"}));
  EXPECT_EQ(lines->line_number(), 8u);
  EXPECT_EQ(kestrel::testing::ErrorOf([&] { lines->Until("--NOT THERE--"); }), rt::InputPastEnd);
}

}  // namespace
}  // namespace kestrel::pack::manifest
