// The pack comparison the round-trip tests rely on: it must see every real
// difference and none in the manifest's dates and times.
#include <gtest/gtest.h>

#include <string>

#include "base/files.h"
#include "pack/manifest.h"
#include "pack/record_writer.h"
#include "support/pack_compare.h"
#include "support/temp_folder.h"

namespace kestrel::testing {
namespace {


kestrel::pack::NamedValues Object(std::string tcpac, std::string prtx) {
  return {{"mprf", 12},    {"vers", "V"},   {"rele", "R"},  {"cust", "C"},    {"tcpac", tcpac}, {"tcmod", "M"},
          {"tflno", "1"},  {"ldat", "2024-01-02 03:04:05"}, {"prtx", prtx},   {"stat", "A"},    {"vari", ""},
          {"stbl", ""},    {"comt", kestrel::Value()},            {"txtn", "t"},    {"isms", 0}};
}

// The rule file is created as `disk_name` and listed as "Qzmap120.dat".
void MakePack(const TempFolder& dir, const std::string& disk_name, const std::string& second_prtx,
              const std::string& date, const std::string& time) {
  auto out = kestrel::files::TextWriter::Create(Env::Default(), dir / disk_name);
  pack::TaggedRecordWriter writer(pack::kQzmap120, *out);
  writer.Write(Object("P1", "MOVE A TO B"));
  writer.Write(Object("P2", second_prtx));
  out->Close();
  WriteFile(dir / "ExportMR.log",
            pack::manifest::StatusLine(true) + pack::manifest::FileListBlock("", pack::manifest::ListLine("Qzmap120.dat")) + pack::manifest::ApplicationBlock("") +
                pack::manifest::RevisionsLine(false) + pack::manifest::NewProfileLine(0) + pack::manifest::SyncLine(false) + pack::manifest::StartLine("12", date, time) +
                pack::manifest::ProgressLine("Exporting Qzmap120 Started : ", date, time) + pack::manifest::SuccessLine("12", date, time));
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
  EXPECT_NE(diff.find("Qzmap120.dat differs at line 33"), std::string::npos) << diff;
  EXPECT_NE(diff.find("\"IF Y\""), std::string::npos) << diff;
  EXPECT_EQ(diff.find("MOVE A TO B"), std::string::npos) << diff;  // only the record that differs

  WriteFile(a / "qzddi100A1.dat", "A1\x01" "0\r\n");
  EXPECT_NE(ComparePacks(a.path(), b.path()).find("missing from " + b.path() + ": qzddi100A1.dat"),
            std::string::npos);
  EXPECT_NE(ComparePacks(b.path(), a.path()).find("not expected in " + a.path() + ": qzddi100A1.dat"),
            std::string::npos);
  std::string manifest = kestrel::files::ReadWholeFile(Env::Default(), c / "ExportMR.log");
  WriteFile(c / "ExportMR.log", manifest.replace(manifest.find("ExportForSyn=0"), 14, "ExportForSyn=1"));
  EXPECT_NE(ComparePacks(b.path(), c.path()).find("ExportMR.log differs at line 9"), std::string::npos);
}

}  // namespace
}  // namespace kestrel::testing
