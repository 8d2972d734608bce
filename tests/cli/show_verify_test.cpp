// kestrel show and kestrel verify: the readable table, the raw details, JSON,
// exit codes, and --target entries refused as usage errors.
#include <gmock/gmock.h>

#include "base/files.h"
#include "base/value.h"
#include "importer/selection.h"
#include "pack/row_writer.h"
#include "support/store_builder.h"
#include "support/run_kestrel.h"
#include "support/temp_folder.h"

namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;
using kestrel::testing::RunKestrel;
using kestrel::testing::RunResult;
using kestrel::testing::TempFolder;

void WriteRows(const std::string& path, const std::vector<std::vector<std::string>>& rows, size_t width) {
  auto out = kestrel::files::TextWriter::Create(kestrel::Env::Default(), path);
  kestrel::pack::RowWriter writer(width, *out);
  for (const auto& row : rows) {
    std::vector<kestrel::Value> values(row.begin(), row.end());
    writer.Write(values);
  }
  out->Close();
}

std::vector<std::string> Header(const std::string& n, const std::string& sapp, const std::string& tapp) {
  return {n, sapp, tapp, "X" + n, "c", "ab1", "", "", "", "Profile " + n, "N", "1", "owner", "", "", "", "", ""};
}

// An installation recorded in a registry file of the test, a store holding
// profile 12 on A, C and the application A, and a pack of 5 on A, B derived
// from 3, with the applications' definitions and no rules.
class ShowVerifyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(RunKestrel({"setup", "--install-dir", t_ / "lumo", "--registry", Registry()}).exit_code, 0);
    kestrel::testing::StoreBuilder::Empty(Store())->ExecuteScript(
        "insert into qzddi100 (appl, extn) values ('A', 0);"
        "insert into qzmap100 (mprf, sapp, tapp, vers, rele, cust, deph) values (12, 'A', 'C', 'X12', 'c', 'ab1', 1);"
        "insert into qzmap101 (mprf, levl, vers, rele, cust, pprf) values (12, 1, 'X12', 'c', 'ab1', 12);");

    kestrel::files::CreateFolder(kestrel::Env::Default(), Pack());
    WriteRows(Pack() + "/Qzmap100.dat", {Header("5", "A", "B"), Header("3", "A", "B")}, 18);
    WriteRows(Pack() + "/Qzmap101.dat", {{"5", "1", "X5", "c", "ab1", "5"}, {"5", "2", "X3", "c", "ab1", "3"}, {"3", "1", "X3", "c", "ab1", "3"}}, 6);
    WriteRows(Pack() + "/qzddi100A.dat", {{"A", "Application A", "1.0", "2024-03-11 09:14:26", "0"}}, 5);
    WriteRows(Pack() + "/qzddi100B.dat", {{"B", "Application B", "2.0", "2024-03-11 09:14:26", "1"}}, 5);
    // A pack without rules: verify checks that the import could load it.
    for (const char* name : {"Qzlib100.dat", "Qzmap120.dat", "Qzmap130.dat", "Qzmap140.dat", "Qzmap160.dat", "qzmap170.dat", "Qzmap150.dat"})
      kestrel::testing::WriteFile(Pack() + "/" + name, "");
    kestrel::testing::WriteFile(Pack() + "/ExportMR.log",
                                "SUCCESS\r\n--TESTFILES--\r\nqzddi100A.dat\r\nqzddi100B.dat\r\nQzmap100.dat\r\n"
                                "Qzmap101.dat\r\n--END TESTFILES--\r\n--APPLS--\r\nA\r\nB\r\n--ENDAPPLS--\r\n"
                                "ExportRevisions=0\r\nExportToNewProfile=0\r\nExportForSyn=0");
  }
  std::string Registry() const { return t_ / "registry.ini"; }
  std::string Store() const { return t_ / "store.db"; }
  std::string Pack() const { return t_ / "pack"; }
  RunResult Run(const std::string& command, std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {command, Pack(), "--store", Store(), "--registry", Registry()};
    args.insert(args.end(), extra.begin(), extra.end());
    return RunKestrel(args);
  }

 private:
  TempFolder t_;
};

const std::string kProposal = "3|A|B|0|0|1\x01" "5|A|B|3|0|1\r3|A*|B|0*|0|1\x01" "5|A*|B|3*|0|1";

TEST_F(ShowVerifyTest, ShowAndVerifyPrintTheProposalAndTheVerdict) {
  const struct {
    std::string command;
    std::vector<std::string> options;
    int exit_code;
    std::vector<std::string> out_has;
    std::string err_start;
  } rows[] = {
      // Checked and marked again from the proposal without markers.
      {"verify", {"--raw"}, 0, {kProposal}, ""},
      {"verify", {}, 0, {"The selection passes."}, ""},
      {"show", {"--json"}, 0,
       {"\"details\":\"3|A|B|0|0|1\\u00015|A|B|3|0|1\\u000d3|A*|B|0*|0|1",
        "\"target\":[{\"profile\":\"3\",\"source_application\":\"A*\""},
       ""},
      {"verify", {"--target", "20|A|C|0|0|1", "--target", "7|A|B|9|0|1"}, 1,
       {"The selection does not pass:\n"
        "Profile Number (7) should be greater than the derived from profile (9) .\n"
        "Profiles 12 already exists with the application combination A, C. You have to "
        "derive an update profile for 20 from existing profiles.\n"},
       "error 504: "},
      {"verify", {"--json", "--target", "13|A|B|12|0|1", "--target", "14|A|B|13|0|1"}, 0,
       {"\"passed\":true,\"messages\":[]",
        "{\"profile\":\"13\",\"source_application\":\"A*\",\"target_application\":\"B\",\"parent\":\"12\""},
       ""},
      // Markers and malformed entries are usage errors.
      {"verify", {"--target", "3|A|B|0*|0|1", "--target", "5|A|B|3|0|1"}, 2, {}, ""},
      {"verify", {"--target", "3|A|B|0|0", "--target", "5|A|B|3|0|1"}, 2, {}, ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.command + " " + ::testing::PrintToString(row.options));
    const RunResult r = Run(row.command, row.options);
    EXPECT_EQ(r.exit_code, row.exit_code) << r.err;
    for (const auto& text : row.out_has) EXPECT_THAT(r.out, HasSubstr(text));
    EXPECT_THAT(r.err, StartsWith(row.err_start));
    if (row.exit_code == 2) { EXPECT_THAT(r.out + "|" + r.err, ::testing::MatchesRegex("\\|.*--target.*")); }
  }
  EXPECT_EQ(Run("show", {"--raw"}).out, kProposal);
  EXPECT_THAT(Run("show", {"--json"}).out, ::testing::Not(HasSubstr("\"passed\"")));
}

TEST_F(ShowVerifyTest, ShowTableHasOneProfilePerRowAndExplainsTheMarkers) {
  auto r = Run("show");
  ASSERT_EQ(r.exit_code, 0) << r.err;
  auto lines = kestrel::importer::SplitList(r.out, "\n");
  ASSERT_GE(lines.size(), 4u) << r.out;
  EXPECT_THAT(lines[0], StartsWith("#  Pack profile"));
  EXPECT_THAT(lines[1], ::testing::MatchesRegex("0 +3 +A +B +0 +0 +1 +\\| +3 +A\\* +B +0\\*"));
  EXPECT_THAT(lines[2], ::testing::MatchesRegex("1 +5 +A +B +3 +0 +1 +\\| +5 +A\\* +B +3\\*"));
  EXPECT_THAT(r.out, HasSubstr("Markers:"));
}

}  // namespace
