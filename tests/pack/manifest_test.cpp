// The manifest as the import reads it: leniently, options it does not know
// leaving values as they were, failing on a truncated or missing manifest
// with what came before read; and the new profile line.
#include <gtest/gtest.h>

#include <string>

#include "base/error.h"
#include "base/files.h"
#include "pack/manifest.h"
#include "support/temp_folder.h"

namespace kestrel::pack::manifest {
namespace {

using kestrel::testing::TempFolder;

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
}  // namespace kestrel::pack::manifest
