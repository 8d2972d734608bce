// ExportMR.sums: what a file's measure is (lines as the pack readers count
// them), that what the export writes reads back, and which changes to a pack
// the check catches and names.
#include "pack/sums.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "base/errors_ours.h"
#include "support/error_of.h"
#include "support/temp_folder.h"

namespace kestrel::pack {
namespace {

using kestrel::testing::CaughtFrom;
using kestrel::testing::TempFolder;
using kestrel::testing::WriteFile;

TEST(PackSumsTest, SizeLinesAndDigestOfAFile) {
  struct Row {
    std::string content;
    uint64_t lines;
    std::string sha256;
  };
  const Row rows[] = {
      {"", 0, "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", 1, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {":MPRF:10\r\n:APPL:ACC10\r\n", 2, ""},
      {":MPRF:10\r\n:APPL:ACC", 2, ""},
      // A lone CR or LF stays part of its line, as the pack readers see it.
      {"Zeile\reins\nzwei\r\n", 1, ""},
      {"\r\n\r\n\r\n", 3, ""},
  };
  TempFolder dir;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.content);
    WriteFile(dir / "Qzmap120.dat", row.content);
    const FileSum sum = MeasureFile(Env::Default(), dir / "Qzmap120.dat", "Qzmap120.dat");
    EXPECT_EQ(sum.name, "Qzmap120.dat");
    EXPECT_EQ(sum.size, row.content.size());
    EXPECT_EQ(sum.lines, row.lines);
    ASSERT_EQ(sum.sha256.size(), 64u);
    if (!row.sha256.empty()) {
      EXPECT_EQ(sum.sha256, row.sha256);
    }
  }
}

// A pack of three files, its sums written as the export writes them.
class PackSumsCheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteFile(dir_ / "ExportMR.log", "SUCCESS\r\n--TESTFILES--\r\nQzmap120.dat\r\n--END TESTFILES--\r\n");
    WriteFile(dir_ / "Qzmap120.dat", ":MPRF:10\x01:SAPP:ACC10\r\n:MPRF:20\x01:SAPP:ACC10\r\n");
    WriteFile(dir_ / "qzddi100ACCX2.dat", "ACCX2\x01" "Debitoren\x01" "2.0\r\n");
    WriteSums(Env::Default(), dir_.path());
  }
  TempFolder dir_;
};

TEST_F(PackSumsCheckTest, EveryChangeIsRefusedNamingTheFile) {
  struct Row {
    std::string name;
    std::string file;     // written with `content`; "" removes `removed`
    std::string content;
    int number;
    std::string named;    // in the message
  };
  const Row rows[] = {
      {"record cut off", "Qzmap120.dat", ":MPRF:10\x01:SAPP:ACC10\r\n", Number(Ours::PackSumsMismatch),
       "Qzmap120.dat has 22 bytes, listed 44"},
      {"field cut short", "qzddi100ACCX2.dat", "ACCX2\x01" "Debitoren\x01" "2\r\n", Number(Ours::PackSumsMismatch),
       "qzddi100ACCX2.dat has 19 bytes, listed 21"},
      {"one byte changed", "qzddi100ACCX2.dat", "ACCX2\x01" "Debitoren\x01" "3.0\r\n",
       Number(Ours::PackSumsMismatch), "qzddi100ACCX2.dat has another SHA-256"},
      {"line end moved", "Qzmap120.dat", ":MPRF:10\x01:SAPP:ACC10\r\r:MPRF:20\x01:SAPP:ACC10\n\n",
       Number(Ours::PackSumsMismatch), "Qzmap120.dat has 1 lines, listed 2"},
      {"file added", "qzddi150ACCX2.dat", "ACCX2\x01" "1\r\n", Number(Ours::PackSumsMismatch),
       "qzddi150ACCX2.dat is not listed"},
      {"sums without a title", "ExportMR.sums", "0 0 0 Qzmap120.dat\r\n", Number(Ours::MalformedPackFile),
       "ExportMR.sums, line 1"},
      {"sums line without a name", "ExportMR.sums",
       "Kestrel pack sums: SHA-256, bytes, lines, file\r\n"
       "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855 0 0\r\n",
       Number(Ours::MalformedPackFile), "ExportMR.sums, line 2"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TempFolder copy;
    std::filesystem::copy(dir_.path(), copy.path(), std::filesystem::copy_options::recursive);
    WriteFile(copy / row.file, row.content);
    const ComError e = CaughtFrom([&] { VerifySums(Env::Default(), copy.path()); });
    EXPECT_EQ(e.number(), row.number) << e.description();
    EXPECT_NE(e.description().find(row.named), std::string::npos) << e.description();
  }
  EXPECT_TRUE(VerifySums(Env::Default(), dir_.path()));
  std::filesystem::remove(dir_ / "qzddi100ACCX2.dat");
  const ComError missing = CaughtFrom([&] { VerifySums(Env::Default(), dir_.path()); });
  EXPECT_EQ(missing.number(), Number(Ours::PackSumsMismatch));
  EXPECT_NE(missing.description().find("qzddi100ACCX2.dat is listed but missing"), std::string::npos);
  std::filesystem::remove(dir_ / "ExportMR.sums");
  EXPECT_FALSE(VerifySums(Env::Default(), dir_.path())) << "a pack without sums is not checked";
}

}  // namespace
}  // namespace kestrel::pack
