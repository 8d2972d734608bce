// The import run log: line form, creation and appending, silence when it
// cannot be written, the reversal of arrays with its lines, and the
// "Unexpected Error." report.
#include <gtest/gtest.h>

#include <filesystem>

#include "base/datetime.h"
#include "importer/run_log.h"
#include "store/connection.h"
#include "support/temp_folder.h"
#include "import_parts.h"

namespace kestrel::importer {
namespace {

using testing::ImportParts;

using kestrel::testing::ReadFile;
using kestrel::testing::TempFolder;

class RunLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(t_ / "LumoStudio/tmp");
    s_.cx.ImportLogPath = t_ / "LumoStudio/tmp/importmr.log";
    s_.env.FixTime(DateTime{2024, 3, 5, 14, 7, 9});
  }
  std::string Log() { return ReadFile(s_.cx.ImportLogPath); }

  TempFolder t_;
  ImportParts s_;
};

TEST_F(RunLogTest, CreatesTheLogThenAppends) {
  ASSERT_FALSE(std::filesystem::exists(s_.cx.ImportLogPath));
  WriteImportLog(s_.cx, kImportLogicPackBanner);
  EXPECT_EQ(Log(), "2024-03-05 14:07:09 " + std::string(kImportLogicPackBanner) + "\r\n");

  s_.env.FixTime(DateTime{2024, 3, 5, 14, 7, 31});
  WriteImportLog(s_.cx, "Profile 12 imported as 40 (X41U_01_STD)");
  EXPECT_EQ(Log(), "2024-03-05 14:07:09 " + std::string(kImportLogicPackBanner) +
                       "\r\n2024-03-05 14:07:31 Profile 12 imported as 40 (X41U_01_STD)\r\n");
}

TEST_F(RunLogTest, MessagesKeepTheirBytes) {
  WriteImportLog(s_.cx, "");
  WriteImportLog(s_.cx, "Profiles 12, 15 already exists<BR>M\xE9nage");
  EXPECT_EQ(Log(), "2024-03-05 14:07:09 \r\n2024-03-05 14:07:09 Profiles 12, 15 already exists<BR>M\xE9nage\r\n");
}

TEST_F(RunLogTest, AnUnwritableLogLosesTheLineSilently) {
  s_.cx.ImportLogPath = t_ / "missing-folder/importmr.log";
  EXPECT_NO_THROW(WriteImportLog(s_.cx, "lost"));
  EXPECT_FALSE(std::filesystem::exists(t_ / "missing-folder"));

  // A folder where the log should be can be neither appended to nor replaced.
  s_.cx.ImportLogPath = t_ / "LumoStudio/tmp";
  EXPECT_NO_THROW(WriteImportLog(s_.cx, "lost"));
  EXPECT_TRUE(std::filesystem::is_directory(s_.cx.ImportLogPath));
}

TEST_F(RunLogTest, ReversesThreeElementsAndLogsThem) {
  std::vector<std::string> profiles{"10_X40_01_STD", "20_X41U_01_STD", "30_X42U_01_STD"};
  ReverseStringArray(s_.cx, profiles);
  EXPECT_EQ(profiles, (std::vector<std::string>{"30_X42U_01_STD", "20_X41U_01_STD", "10_X40_01_STD"}));
  EXPECT_EQ(Log(),
            "2024-03-05 14:07:09 Sorting array ...\r\n"
            "2024-03-05 14:07:09 0---->30_X42U_01_STD\r\n"
            "2024-03-05 14:07:09 1---->20_X41U_01_STD\r\n"
            "2024-03-05 14:07:09 2---->10_X40_01_STD\r\n");
}

TEST_F(RunLogTest, FewerThanTwoElementsStayAndLogNothing) {
  std::vector<std::string> one{"a"};
  ReverseStringArray(s_.cx, one);
  EXPECT_EQ(one, std::vector<std::string>{"a"});
  std::vector<std::string> none;
  ReverseStringArray(s_.cx, none);
  EXPECT_TRUE(none.empty());
  EXPECT_FALSE(std::filesystem::exists(s_.cx.ImportLogPath));

  std::vector<std::string> two{"a", "b"};
  ReverseStringArray(s_.cx, two);
  EXPECT_EQ(two, (std::vector<std::string>{"b", "a"}));
}

TEST(UnexpectedErrorReportTest, JoinsThePiecesWithNothingBetween) {
  EXPECT_EQ(UnexpectedErrorReport(ComError(100, "ExportMR.log could not be read.")),
            "Unexpected Error.Error Number: 100Description: ExportMR.log could not be read.");
  EXPECT_EQ(UnexpectedErrorReport(ComError(-2147217900, "near \"12and\": syntax error")),
            "Unexpected Error.Error Number: -2147217900Description: near \"12and\": syntax error");
}

}  // namespace
}  // namespace kestrel::importer
