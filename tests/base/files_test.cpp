// The file seam: appends, copies and the run time's numbers for failures,
// exact-then-case-insensitive lookup in a pack folder, and the spooled text.
#include "base/files.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/errors_ours.h"
#include "base/spooled_text.h"
#include "support/error_of.h"
#include "support/temp_folder.h"

namespace kestrel::files {
namespace {

using kestrel::testing::ErrorOf;
using kestrel::testing::ReadFile;
using kestrel::testing::TempFolder;
using kestrel::testing::WriteFile;

TEST(FileSeamTest, AppendCopyAndTheirFailures) {
  TempFolder dir;
  TextWriter::Append(Env::Default(), dir / "importmr.log")->WriteLine("first");
  TextWriter::Append(Env::Default(), dir / "importmr.log")->WriteLine("second");
  EXPECT_EQ(ReadFile(dir / "importmr.log"), "first\r\nsecond\r\n");
  TextWriter::Create(Env::Default(), dir / "importmr.log")->WriteLine("new");
  EXPECT_EQ(ReadFile(dir / "importmr.log"), "new\r\n");
  const std::string bytes("a\r\nb\x00\xff", 6);
  WriteFile(dir / "from.dat", bytes);
  WriteFile(dir / "to.dat", "older and longer content");
  CopyFile(Env::Default(), dir / "from.dat", dir / "to.dat");
  EXPECT_EQ(ReadWholeFile(Env::Default(), dir / "to.dat"), bytes);
  CreateFolders(Env::Default(), dir / "x/y");
  auto closed = TextWriter::Create(Env::Default(), dir / "closed.dat");
  closed->Close();
  const std::pair<std::function<void()>, int> failures[] = {
      {[&] { TextReader::Open(Env::Default(), dir / "missing.dat"); }, rt::FileNotFound},
      {[&] { TextReader::Open(Env::Default(), dir / "no/such/a.dat"); }, rt::PathNotFound},
      {[&] { TextWriter::Create(Env::Default(), dir / "no/such/a.dat"); }, rt::PathNotFound},
      {[&] { DeleteFile(Env::Default(), dir / "missing.dat"); }, rt::FileNotFound},
      {[&] { CopyFile(Env::Default(), dir / "missing.dat", dir / "b.dat"); }, rt::FileNotFound},
      {[&] { CreateFolder(Env::Default(), dir / "a/b"); }, rt::PathNotFound},
      {[&] { CreateFolder(Env::Default(), dir / "x"); }, rt::FileAlreadyExists},
      {[&] { Env::Default().OpenForWriting(dir / "x", WriteMode::Replace); }, EISDIR},
      {[&] { Env::Default().RenameFile(dir / "missing.dat", dir / "b.dat"); }, rt::FileNotFound},
      {[&] { closed->WriteLine("after close"); }, rt::BadFileNameOrNumber},
  };
  for (const auto& [call, number] : failures) EXPECT_EQ(ErrorOf(call), number);
}

// Pack files end lines with CR LF alone; configuration files with LF too.
// Each line comes with its number, whatever the reads cut it into: a line
// longer than a read, and a CR LF split between two reads.
TEST(TextReaderTest, LinesAndTheirNumbersByTheFilesLineEnds) {
  TempFolder dir;
  const std::string long_line(70000, 'x');
  const std::string split = std::string(65535, 'y');  // its CR is a read's last byte
  const struct { std::string name, text; bool lf_ends_line; std::vector<std::string> lines; } kRows[] = {
      {"pack rows", "10\x01" "ACC10\r\nlone\rCR and lone\nLF\r\n\r\nlast", false,
       {"10\x01" "ACC10", "lone\rCR and lone\nLF", "", "last"}},
      {"pack rows, ended", "a\r\nb\r\n", false, {"a", "b"}},
      {"a configuration file", "[Lumo]\nIIS=5\r\nName=a\rb\n", true, {"[Lumo]", "IIS=5", "Name=a\rb"}},
      {"a line longer than a read", long_line + "\r\nnext\r\n", false, {long_line, "next"}},
      {"CR LF across two reads", split + "\r\nz\r\n", false, {split, "z"}},
      // The last read leaves the first read's LF just past its CR, in the buffer.
      {"a lone CR ending the file", "z\r\n" + split.substr(5) + "\r\nq\r", false, {"z", split.substr(5), "q\r"}},
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.name);
    WriteFile(dir / "f.dat", row.text);
    auto in = TextReader::Open(Env::Default(), dir / "f.dat", row.lf_ends_line);
    std::vector<std::string> lines;
    for (std::string line; in->ReadLine(line);) {
      lines.push_back(line);
      EXPECT_EQ(in->line_number(), lines.size());
    }
    EXPECT_EQ(lines, row.lines);
    EXPECT_TRUE(in->AtEndOfStream());
  }
}

// Exact name first, then without regard to case; links and anything but a
// regular file are refused rather than read.
TEST(ResolveInFolderTest, ExactNameFirstThenWithoutRegardToCase) {
  TempFolder dir;
  for (const char* name : {"Qzmap175.dat", "QZMAP175.DAT", "qzlib100.dat"}) WriteFile(dir / name, name);
  CreateFolder(Env::Default(), dir / "qzmap110.dat");
  std::filesystem::create_symlink(dir / "qzlib100.dat", dir / "Qzmap120.dat");
  const int ambiguous = Number(Ours::AmbiguousFileName), refused = Number(Ours::NotARegularFile);
  const struct { std::string asked; std::optional<std::string> found; int number; } rows[] = {
      {"Qzmap175.dat", "Qzmap175.dat", 0}, {"QZLIB100.DAT", "qzlib100.dat", 0}, {"Qzmap170.dat", std::nullopt, 0},
      {"qzmap175.dat", std::nullopt, ambiguous}, {"qzmap110.dat", std::nullopt, refused},
      {"qzmap120.dat", std::nullopt, refused}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.asked);
    std::optional<std::string> found;
    EXPECT_EQ(ErrorOf([&] { found = ResolveInFolder(Env::Default(), dir.path(), row.asked); }), row.number);
    EXPECT_EQ(found, row.found ? std::optional(dir / *row.found) : std::nullopt);
  }
  EXPECT_EQ(PathInFolder(Env::Default(), dir.path(), "Qzmap105.dat"), dir / "Qzmap105.dat");
}

// The manifest's spooled text: in memory up to its threshold, in a spool file
// past it, the same text read whole either way.
const std::string kLines[] = {"Exporting Migration Profile 30 Started at 2026-12-06   06:18:52\r\n",
                              "\tExporting Mapping Object ARINVC020 Started : 2026-12-06   06:18:52\r\n",
                              "\tNo Revisions Present\r\n", "\tNo Conversion Rules Present",
                              "\tExporting Mapping Object ARINVC020 Completed : 2026-12-06   06:18:53\r\n"};

class SpooledTextTest : public ::testing::Test {
 protected:
  std::string AppendAll(SpooledText& t) {
    std::string all;
    for (const auto& line : kLines) {
      t += line;
      all += line;
    }
    return all;
  }
  std::string Written(SpooledText& t, const std::string& front) {
    auto out = files::TextWriter::Create(Env::Default(), dir_ / "ExportMR.log");
    t.WriteWithFront(front, *out);
    return ReadFile(dir_ / "ExportMR.log");
  }
  bool Spool() const { return files::FileExists(Env::Default(), dir_ / "m.spool"); }

  TempFolder dir_;
};

TEST_F(SpooledTextTest, InMemoryOrSpooledTheTextIsTheSame) {
  // Without a spool named, no threshold moves the text.
  const std::pair<size_t, bool> rows[] = {{1000, true}, {1, true}, {150, true}, {1, false}};
  for (const auto& [threshold, named] : rows) {
    SCOPED_TRACE(std::to_string(threshold) + (named ? " spool named" : " no spool named"));
    SpooledText t(Env::Default());
    if (named) t.SpoolTo(dir_ / "m.spool");
    t.SetThreshold(threshold);
    const std::string all = AppendAll(t);
    const bool spills = named && threshold < all.size();
    EXPECT_EQ(t.spooled(), spills);
    EXPECT_EQ(Spool(), spills);
    EXPECT_EQ(t.str(), all);
    EXPECT_EQ(Written(t, "SUCCESS\r\n"), "SUCCESS\r\n" + all);
    EXPECT_FALSE(Spool()) << "the spool goes once the manifest is written";
    EXPECT_EQ(t.str(), "SUCCESS\r\n" + all);
  }
}

// A host keeps one object for many exports: the text written into the first
// manifest goes on into the second even when the first pack is gone or
// another file took the manifest's name, spooled or not.
TEST_F(SpooledTextTest, TheWrittenTextOutlivesTheFileItWasWrittenTo) {
  const std::pair<size_t, bool> rows[] = {{1, true}, {1, false}, {SpooledText::kDefaultThreshold, true}};
  for (const auto& [threshold, replaced] : rows) {
    SCOPED_TRACE(std::to_string(threshold) + (replaced ? " manifest replaced" : " manifest deleted"));
    SpooledText t(Env::Default());
    t.SpoolTo(dir_ / "m.spool");
    t.SetThreshold(threshold);
    const std::string first = "SUCCESS\r\n" + AppendAll(t);
    EXPECT_EQ(Written(t, "SUCCESS\r\n"), first);
    std::filesystem::remove(dir_ / "ExportMR.log");
    if (replaced) WriteFile(dir_ / "ExportMR.log", "another pack's manifest\r\n");
    t.SpoolTo(dir_ / "m.spool");
    const std::string second = AppendAll(t);
    EXPECT_EQ(Written(t, "SUCCESS\r\n"), "SUCCESS\r\n" + first + second);
    EXPECT_FALSE(Spool());
  }
  // Told of another spool while spooling (the next export's folder), the text
  // moves along and leaves nothing in the first folder.
  std::filesystem::create_directory(dir_ / "next");
  SpooledText t(Env::Default());
  t.SpoolTo(dir_ / "m.spool");
  t.SetThreshold(1);
  const std::string all = AppendAll(t);
  t.SpoolTo(dir_ / "next/m.spool");
  EXPECT_FALSE(Spool());
  t += "tail\r\n";
  EXPECT_EQ(t.str(), all + "tail\r\n");
}

}  // namespace
}  // namespace kestrel::files
