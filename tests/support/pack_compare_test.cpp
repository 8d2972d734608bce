// The pack comparison the round-trip tests rely on: it must see every real
// difference and none in the manifest's dates and times.
#include <gtest/gtest.h>

#include <string>

#include "pack/manifest.h"
#include "support/pack_compare.h"
#include "support/temp_folder.h"

namespace kestrel::testing {
namespace {

// The rule file is created as `disk_name` and listed as "Qzmap120.dat".
void MakePack(const TempFolder& dir, const std::string& disk_name, const std::string& second_rule,
              const std::string& date, const std::string& time) {
  WriteFile(dir / disk_name, ":TCPAC:P1\r\n:PRTX:MOVE A TO B\r\n:TCPAC:P2\r\n:PRTX:" + second_rule + "\r\n");
  namespace m = pack::manifest;
  WriteFile(dir / "ExportMR.log", m::StatusLine(true) + m::FileListBlock("", m::ListLine("Qzmap120.dat")) +
                                      m::ApplicationBlock("") + m::RevisionsLine(false) + m::NewProfileLine(0) +
                                      m::SyncLine(false) + m::StartLine("12", date, time) +
                                      m::ProgressLine("Exporting Qzmap120 Started : ", date, time) +
                                      m::SuccessLine("12", date, time));
}

// The round trips rely on the comparison: it must see a changed record, a
// missing or extra file and a changed manifest, and nothing in the dates.
TEST(PackCompareTest, SeesEveryDifferenceButTheTimes) {
  TempFolder a, b, c;
  MakePack(a, "Qzmap120.dat", "IF X", "2024-03-05", "14:07:09");
  MakePack(b, "QZMAP120.DAT", "IF X", "2025-11-30", "09:00:01");
  EXPECT_EQ(ComparePacks(a.path(), b.path()), "");

  MakePack(c, "Qzmap120.dat", "IF Y", "2024-03-05", "14:07:09");
  const std::string diff = ComparePacks(a.path(), c.path());
  EXPECT_NE(diff.find("Qzmap120.dat differs at line 4"), std::string::npos) << diff;
  EXPECT_NE(diff.find("\":PRTX:IF Y\""), std::string::npos) << diff;
  EXPECT_EQ(diff.find("MOVE A TO B"), std::string::npos) << diff;  // only the line that differs

  WriteFile(a / "qzddi100A1.dat", "A1\x01" "0\r\n");
  EXPECT_NE(ComparePacks(a.path(), b.path()).find("missing from " + b.path() + ": qzddi100A1.dat"),
            std::string::npos);
  EXPECT_NE(ComparePacks(b.path(), a.path()).find("not expected in " + a.path() + ": qzddi100A1.dat"),
            std::string::npos);
  ReplaceIn(c / "ExportMR.log", "ExportForSyn=0", "ExportForSyn=1");
  EXPECT_NE(ComparePacks(b.path(), c.path()).find("ExportMR.log differs at line 9"), std::string::npos);
}

}  // namespace
}  // namespace kestrel::testing
