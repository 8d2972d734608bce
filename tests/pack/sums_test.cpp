// ExportMR.sums: what the export writes reads back, and which changes to a
// pack (bytes, lines as the pack readers count them, files) the check catches
// and names.
#include "pack/sums.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "base/errors_ours.h"
#include "support/error_of.h"
#include "support/temp_folder.h"

namespace kestrel::pack {
namespace {

using kestrel::testing::TempFolder;
using kestrel::testing::WriteFile;

TEST(PackSumsTest, EveryChangeToAPackIsRefusedNamingTheFile) {
  // A pack of three files, its sums written as the export writes them.
  TempFolder pack;
  WriteFile(pack / "ExportMR.log", "SUCCESS\r\n--TESTFILES--\r\nQzmap120.dat\r\n--END TESTFILES--\r\n");
  WriteFile(pack / "Qzmap120.dat", ":MPRF:10\x01:SAPP:ACC10\r\n:MPRF:20\x01:SAPP:ACC10\r\n");
  WriteFile(pack / "qzddi100ACCX2.dat", "ACCX2\x01" "Debitoren\x01" "2.0\r\n");
  WriteSums(Env::Default(), pack.path());
  std::vector<std::string> listed;  // in byte order, whatever order the folder lists them in
  for (const FileSum& sum : ReadSums(Env::Default(), pack.path())) listed.push_back(sum.name);
  EXPECT_EQ(listed, (std::vector<std::string>{"ExportMR.log", "Qzmap120.dat", "qzddi100ACCX2.dat"}));
  const int mismatch = Number(Ours::PackSumsMismatch), malformed = Number(Ours::MalformedPackFile);
  const struct { std::string file, content; int number; std::string named; } rows[] = {  // content "-": removed
      {"Qzmap120.dat", ":MPRF:10\x01:SAPP:ACC10\r\n", mismatch, "Qzmap120.dat has 22 bytes, listed 44"},
      {"Qzmap120.dat", ":MPRF:10\x01:SAPP:ACC10\r\r:MPRF:20\x01:SAPP:ACC10\n\n", mismatch,
       "Qzmap120.dat has 1 lines, listed 2"},
      {"qzddi100ACCX2.dat", "-", mismatch, "qzddi100ACCX2.dat is listed but missing"},
      {"ExportMR.sums", "0 0 0 Qzmap120.dat\r\n", malformed, "ExportMR.sums, line 1"},  // no title
      {"ExportMR.sums", "Kestrel pack sums: SHA-256, bytes, lines, file\r\n"
       "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855 0 0\r\n", malformed, "ExportMR.sums, line 2"},
      {"ExportMR.sums", "Kestrel pack sums: SHA-256, bytes, lines, file\r\n"
       "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855 x 0 Qzmap120.dat\r\n", malformed,
       "ExportMR.sums, line 2"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.named);
    TempFolder copy;
    std::filesystem::copy(pack.path(), copy.path(), std::filesystem::copy_options::recursive);
    if (row.content == "-") std::filesystem::remove(copy / row.file);
    else WriteFile(copy / row.file, row.content);
    const ComError e = kestrel::testing::CaughtFrom([&] { VerifySums(Env::Default(), copy.path()); });
    EXPECT_EQ(e.number(), row.number) << e.description();
    EXPECT_NE(e.description().find(row.named), std::string::npos) << e.description();
  }
  EXPECT_TRUE(VerifySums(Env::Default(), pack.path()));
  std::filesystem::remove(pack / "ExportMR.sums");
  EXPECT_FALSE(VerifySums(Env::Default(), pack.path())) << "a pack without sums is not checked";
}

TEST(PackSumsTest, LinesEndAtCrLfOnlyAlsoAcrossTheReadingPieces) {
  // The file is read in pieces of 64 KiB: a CR LF may be cut between two.
  const std::string piece(65535, 'x');
  const struct { std::string content; uint64_t lines; } rows[] = {
      {"", 0},
      {"ACC10", 1},
      {"ACC10\r\n", 1},
      {"ACC10\r\nACCX2", 2},
      {"ACC10\n\nACCX2\r", 1},  // LF alone and a CR at the end end no line
      {"\r\n\r\n", 2},
      {"\n", 1},
      {piece + "\r\n", 1},         // the LF alone in the second piece
      {piece + "\r\nACCX2", 2},
      {piece + "\n\r", 1},
      {piece.substr(1) + "\r\n", 1},  // the line end closes the first piece
      {piece + "x\r\n\r\n", 2},
  };
  TempFolder pack;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.content.size());
    WriteFile(pack / "Qzmap120.dat", row.content);
    const FileSum sum = MeasureFile(Env::Default(), pack / "Qzmap120.dat", "Qzmap120.dat");
    EXPECT_EQ(sum.lines, row.lines);
    EXPECT_EQ(sum.size, row.content.size());
  }
}

}  // namespace
}  // namespace kestrel::pack
