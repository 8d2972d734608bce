// The file seam: text streams that keep every byte of a value, configuration
// files with LF line ends, exact-then-case-insensitive lookup in a pack
// folder, and the run time's numbers for failures.
#include "base/files.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

#include "base/error.h"
#include "base/errors_ours.h"
#include "support/temp_folder.h"
#include "support/error_of.h"

namespace kestrel::files {
namespace {

using kestrel::testing::ReadFile;
using kestrel::testing::TempFolder;
using kestrel::testing::WriteFile;

std::vector<std::string> ReadAll(const std::string& path, bool lf_ends_line = false) {
  auto reader = TextReader::Open(Env::Default(), path, lf_ends_line);
  std::vector<std::string> lines;
  std::string line;
  while (reader->ReadLine(line)) lines.push_back(line);
  return lines;
}

using kestrel::testing::ErrorOf;

TEST(TextStreamTest, WritesCrLfAndReadsEveryByteBack) {
  TempFolder dir;
  // Values with lone CR and LF, LF CR, character 1, 8-bit bytes and a tab.
  const std::vector<std::string> values = {
      "plain", "", "line\nwith LF", "line\rwith CR", "ends in CR\r", "\n\rLF CR",
      std::string("sep\x01" "field\x01", 10), "M\xfcller \xe9t\xe9\t\xff\x80", "  blanks kept  "};
  {
    auto w = TextWriter::Create(Env::Default(), dir / "Qzmap120.dat");
    for (const auto& v : values) w->WriteLine(v);
    w->Write("last, no line end");
    w->Close();
  }
  std::string raw = ReadFile(dir / "Qzmap120.dat");
  EXPECT_EQ(raw.substr(0, 7), "plain\r\n");
  EXPECT_EQ(raw.substr(raw.size() - 17), "last, no line end");

  auto lines = ReadAll(dir / "Qzmap120.dat");
  ASSERT_EQ(lines.size(), values.size() + 1);
  for (size_t i = 0; i < values.size(); ++i) EXPECT_EQ(lines[i], values[i]) << "line " << i + 1;
  EXPECT_EQ(lines.back(), "last, no line end");
}

TEST(TextStreamTest, LineEndsAtTheEndOfAFile) {
  TempFolder dir;
  WriteFile(dir / "a.dat", "one\r\ntwo\r\n");
  EXPECT_EQ(ReadAll(dir / "a.dat"), (std::vector<std::string>{"one", "two"}));
  WriteFile(dir / "b.dat", "one\r\n\r\n");
  EXPECT_EQ(ReadAll(dir / "b.dat"), (std::vector<std::string>{"one", ""}));
  WriteFile(dir / "c.dat", "");
  EXPECT_TRUE(ReadAll(dir / "c.dat").empty());
  WriteFile(dir / "d.dat", "one\r");
  EXPECT_EQ(ReadAll(dir / "d.dat"), (std::vector<std::string>{"one\r"}));

  auto r = TextReader::Open(Env::Default(), dir / "a.dat");
  EXPECT_FALSE(r->AtEndOfStream());
  EXPECT_EQ(r->ReadLine(), "one");
  EXPECT_EQ(r->ReadLine(), "two");
  EXPECT_EQ(r->line_number(), 2u);
  EXPECT_TRUE(r->AtEndOfStream());
  EXPECT_EQ(ErrorOf([&] { r->ReadLine(); }), rt::InputPastEnd);
}

TEST(TextStreamTest, ConfigurationFilesAlsoEndLinesWithLf) {
  TempFolder dir;
  WriteFile(dir / "LumoConfig.ini", "[Web]\nIIS=5\r\nmixed\rCR\n\nlast");
  EXPECT_EQ(ReadAll(dir / "LumoConfig.ini", true),
            (std::vector<std::string>{"[Web]", "IIS=5", "mixed\rCR", "", "last"}));
  // The same bytes as a pack file: only CR LF ends a line.
  EXPECT_EQ(ReadAll(dir / "LumoConfig.ini"), (std::vector<std::string>{"[Web]\nIIS=5", "mixed\rCR\n\nlast"}));
}

TEST(TextStreamTest, LinesLongerThanTheBufferAndCrLfAcrossItsBoundary) {
  TempFolder dir;
  const size_t buffer = 1 << 16;
  // A CR LF split over the first read: the CR is the buffer's last byte.
  std::string first(buffer - 1, 'a');
  std::string content = first + "\r\n" + "second\r\n";
  // A line of three buffers with lone CRs and LFs inside, one across a boundary.
  std::string long_line(3 * buffer + 5, 'b');
  long_line[2 * buffer - 1] = '\r';
  long_line[2 * buffer] = 'x';
  long_line[buffer + 7] = '\n';
  content += long_line + "\r\n" + "tail";
  WriteFile(dir / "big.dat", content);

  auto lines = ReadAll(dir / "big.dat");
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], first);
  EXPECT_EQ(lines[1], "second");
  EXPECT_EQ(lines[2], long_line);
  EXPECT_EQ(lines[3], "tail");

  // And the CR as the last byte of a doubled buffer, inside a long line.
  std::string shifted(2 * buffer - 1, 'c');
  WriteFile(dir / "big2.dat", shifted + "\r\nz");
  EXPECT_EQ(ReadAll(dir / "big2.dat"), (std::vector<std::string>{shifted, "z"}));
}

TEST(TextStreamTest, LoneCrAtTheEndOfARead) {
  TempFolder dir;
  const size_t buffer = 1 << 16;
  // A CR as the last byte of the first read, followed by no LF: it stays in
  // the line, as does a CR just before the CR LF that ends it.
  std::string head(buffer - 1, 'a');
  WriteFile(dir / "cr.dat", head + "\rx\r\r\nnext\r\n\r\r\n");
  EXPECT_EQ(ReadAll(dir / "cr.dat"), (std::vector<std::string>{head + "\rx\r", "next", "\r"}));
  // Configuration files: a CR LF split by the read is one line end, a lone
  // CR at the end of the read stays.
  WriteFile(dir / "split.ini", head + "\r\nb\r");
  EXPECT_EQ(ReadAll(dir / "split.ini", true), (std::vector<std::string>{head, "b\r"}));
  WriteFile(dir / "lone.ini", head + "\rc\n");
  EXPECT_EQ(ReadAll(dir / "lone.ini", true), (std::vector<std::string>{head + "\rc"}));
  // Many short lines over several reads keep their count and bytes.
  std::string many;
  std::vector<std::string> expected;
  for (int i = 0; i < 30000; ++i) {
    expected.push_back(std::to_string(i) + (i % 7 == 0 ? "\r" : i % 11 == 0 ? "\n" : ""));
    many += expected.back() + "\r\n";
  }
  WriteFile(dir / "many.dat", many);
  EXPECT_EQ(ReadAll(dir / "many.dat"), expected);
  // The same lines as views into the reader's buffer, taken before the next read.
  auto r = TextReader::Open(Env::Default(), dir / "many.dat");
  std::vector<std::string> viewed;
  for (std::string_view v; r->ReadLine(v);) viewed.emplace_back(v);
  EXPECT_EQ(viewed, expected);
  EXPECT_EQ(r->line_number(), expected.size());
}

TEST(TextStreamTest, AppendKeepsWhatIsThere) {
  TempFolder dir;
  {
    auto w = TextWriter::Append(Env::Default(), dir / "importmr.log");
    w->WriteLine("first");
  }
  {
    auto w = TextWriter::Append(Env::Default(), dir / "importmr.log");
    w->WriteLine("second");
  }
  EXPECT_EQ(ReadFile(dir / "importmr.log"), "first\r\nsecond\r\n");
  // Create replaces.
  TextWriter::Create(Env::Default(), dir / "importmr.log")->WriteLine("new");
  EXPECT_EQ(ReadFile(dir / "importmr.log"), "new\r\n");
  auto w = TextWriter::Create(Env::Default(), dir / "x.dat");
  w->Close();
  EXPECT_EQ(ErrorOf([&] { w->WriteLine("after close"); }), rt::BadFileNameOrNumber);
}

TEST(FileSeamTest, FailuresCarryTheRunTimeNumbers) {
  TempFolder dir;
  EXPECT_EQ(ErrorOf([&] { TextReader::Open(Env::Default(), dir / "missing.dat"); }), rt::FileNotFound);
  EXPECT_EQ(ErrorOf([&] { TextReader::Open(Env::Default(), dir / "no/such/folder/a.dat"); }), rt::PathNotFound);
  EXPECT_EQ(ErrorOf([&] { TextWriter::Create(Env::Default(), dir / "no/such/a.dat"); }), rt::PathNotFound);
  EXPECT_EQ(ErrorOf([&] { DeleteFile(Env::Default(), dir / "missing.dat"); }), rt::FileNotFound);
  EXPECT_EQ(ErrorOf([&] { CopyFile(Env::Default(), dir / "missing.dat", dir / "b.dat"); }), rt::FileNotFound);
  EXPECT_EQ(ErrorOf([&] { CreateFolder(Env::Default(), dir / "a/b"); }), rt::PathNotFound);
  CreateFolder(Env::Default(), dir / "a");
  EXPECT_TRUE(FolderExists(Env::Default(), dir / "a"));
  EXPECT_FALSE(FileExists(Env::Default(), dir / "a"));
  EXPECT_EQ(ErrorOf([&] { CreateFolder(Env::Default(), dir / "a"); }), rt::FileAlreadyExists);
  CreateFolders(Env::Default(), dir / "x/y/z");
  EXPECT_TRUE(FolderExists(Env::Default(), dir / "x/y/z"));

  if (::geteuid() != 0) {  // root reads and writes anything
    WriteFile(dir / "locked.dat", "x");
    ::chmod((dir / "locked.dat").c_str(), 0);
    EXPECT_EQ(ErrorOf([&] { TextReader::Open(Env::Default(), dir / "locked.dat"); }), rt::PermissionDenied);
  }
}

TEST(FileSeamTest, CopyDeleteAndJoin) {
  TempFolder dir;
  std::string bytes("a\r\nb\x00\xff", 6);
  WriteFile(dir / "from.dat", bytes);
  WriteFile(dir / "to.dat", "older and longer content");
  CopyFile(Env::Default(), dir / "from.dat", dir / "to.dat");
  EXPECT_EQ(ReadFile(dir / "to.dat"), bytes);
  EXPECT_EQ(ReadWholeFile(Env::Default(), dir / "to.dat"), bytes);
  DeleteFile(Env::Default(), dir / "from.dat");
  EXPECT_FALSE(FileExists(Env::Default(), dir / "from.dat"));
  EXPECT_EQ(Join("/opt/lumo", "LumoStudio/tmp"), "/opt/lumo/LumoStudio/tmp");
  EXPECT_EQ(Join("/opt/lumo/", "importmr.log"), "/opt/lumo/importmr.log");
}

TEST(ResolveInFolderTest, ExactNameFirstThenWithoutRegardToCase) {
  TempFolder dir;
  WriteFile(dir / "Qzmap175.dat", "upper");
  WriteFile(dir / "qzlib100.dat", "lower");
  EXPECT_EQ(ResolveInFolder(Env::Default(), dir.path(), "Qzmap175.dat"), dir / "Qzmap175.dat");
  EXPECT_EQ(ResolveInFolder(Env::Default(), dir.path(), "qzmap175.dat"), dir / "Qzmap175.dat");
  EXPECT_EQ(ResolveInFolder(Env::Default(), dir.path(), "Qzlib100.dat"), dir / "qzlib100.dat");
  EXPECT_EQ(ResolveInFolder(Env::Default(), dir.path(), "Qzmap170.dat"), std::nullopt);
  EXPECT_EQ(ResolveInFolder(Env::Default(), dir / "missing", "Qzmap170.dat"), std::nullopt);
  EXPECT_TRUE(FileExistsInFolder(Env::Default(), dir.path(), "QZLIB100.DAT"));
  // A missing file keeps the asked-for name, so opening it names it.
  EXPECT_EQ(PathInFolder(Env::Default(), dir.path(), "Qzmap105.dat"), dir / "Qzmap105.dat");
  // A folder of the name is no file.
  CreateFolder(Env::Default(), dir / "qzmap110.dat");
  EXPECT_FALSE(FileExistsInFolder(Env::Default(), dir.path(), "Qzmap110.dat"));
}

TEST(ResolveInFolderTest, TwoFilesMatchingOnlyWithoutCaseAreAnError) {
  TempFolder dir;
  WriteFile(dir / "Qzmap175.dat", "a");
  WriteFile(dir / "QZMAP175.DAT", "b");
  // An exact match still wins.
  EXPECT_EQ(ResolveInFolder(Env::Default(), dir.path(), "Qzmap175.dat"), dir / "Qzmap175.dat");
  try {
    ResolveInFolder(Env::Default(), dir.path(), "qzmap175.dat");
    FAIL() << "an ambiguous name was resolved";
  } catch (const ComError& e) {
    EXPECT_EQ(e.number(), Number(Ours::AmbiguousFileName));
    EXPECT_NE(e.description().find("qzmap175.dat"), std::string::npos) << e.description();
  }
}

}  // namespace
}  // namespace kestrel::files
