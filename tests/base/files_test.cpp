// The file seam: pack files ended by CR LF and configuration files by LF
// (across the reader's buffer too), which entries are read, exact-then-
// case-insensitive lookup in a pack folder, and the run time's numbers for
// failures.
#include "base/files.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <functional>

#include "base/errors_ours.h"
#include "support/error_of.h"
#include "support/temp_folder.h"

namespace kestrel::files {
namespace {

using kestrel::testing::ErrorOf;
using kestrel::testing::ReadFile;
using kestrel::testing::TempFolder;
using kestrel::testing::WriteFile;
using Lines = std::vector<std::string>;

// Every line of a file, and the line number the reader gives after the last.
std::pair<Lines, size_t> ReadAll(const std::string& path, bool lf_ends_line = false) {
  auto reader = TextReader::Open(Env::Default(), path, lf_ends_line);
  Lines lines;
  for (std::string_view v; reader->ReadLine(v);) lines.emplace_back(v);
  return {lines, reader->line_number()};
}

TEST(TextStreamTest, LineEnds) {
  const std::string head(65535, 'a');  // a CR here is the last byte of the first read
  const std::string many_head(2 * 65536 - 1, 'c');
  std::string long_line(3 * 65536 + 5, 'b');  // lone CR and LF inside, at and past a read's end
  long_line[2 * 65536 - 1] = '\r';
  long_line[65536 + 7] = '\n';
  const struct {
    std::string name, content;
    bool lf;
    Lines lines;
  } rows[] = {
      {"empty last line", "one\r\n\r\n", false, {"one", ""}},
      {"empty file", "", false, {}},
      {"lone CR at the end", "one\r", false, {"one\r"}},
      {"last line without its end", "one\r\nlast", false, {"one", "last"}},
      {"configuration file", "[Web]\nIIS=5\r\nmixed\rCR\n\nlast", true, {"[Web]", "IIS=5", "mixed\rCR", "", "last"}},
      {"configuration bytes as a pack file", "[Web]\nIIS=5\r\nmixed\rCR\n\nlast", false,
       {"[Web]\nIIS=5", "mixed\rCR\n\nlast"}},
      {"CR LF split by the read", head + "\r\nsecond\r\n", false, {head, "second"}},
      {"lone CRs around a read's end", head + "\rx\r\r\nnext\r\n\r\r\n", false, {head + "\rx\r", "next", "\r"}},
      {"CR at a doubled buffer's end", many_head + "\r\nz", false, {many_head, "z"}},
      {"configuration CR LF split by the read", head + "\r\nb\r", true, {head, "b\r"}},
      {"configuration lone CR at a read's end", head + "\rc\n", true, {head + "\rc"}},
      {"a line of three reads", long_line + "\r\n7\r\r\n\n\r\n", false, {long_line, "7\r", "\n"}},
  };
  TempFolder dir;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    WriteFile(dir / "f.dat", row.content);
    EXPECT_EQ(ReadAll(dir / "f.dat", row.lf), std::make_pair(row.lines, row.lines.size()));
  }
  auto r = TextReader::Open(Env::Default(), dir / "f.dat");
  while (!r->AtEndOfStream()) r->ReadLine();
  EXPECT_EQ(ErrorOf([&] { r->ReadLine(); }), rt::InputPastEnd);
}

// Only a regular file itself is read: a link, even to a regular file, is
// refused naming the path, and a FIFO without a writer is not waited on.
TEST(FileSeamTest, EntriesAndWhatReadingThemGives) {
  TempFolder dir;
  Env& env = Env::Default();
  WriteFile(dir / "Qzmap120.dat", "1|Qzmap120|Tresk\r\n");
  WriteFile(dir / "shadow", "root:secret\n");
  ASSERT_EQ(::symlink((dir / "shadow").c_str(), (dir / "Qzmap150.dat").c_str()), 0);
  ASSERT_EQ(::symlink((dir / "gone").c_str(), (dir / "Qzmap160.dat").c_str()), 0);
  ASSERT_EQ(::mkfifo((dir / "Qzmap130.dat").c_str(), 0600), 0);
  ASSERT_TRUE(env.CreateFolder(dir / "Qzmap140.dat"));
  EXPECT_FALSE(env.CreateFolder(dir / "Qzmap140.dat"));
  const int not_regular = Number(Ours::NotARegularFile);
  const struct {
    std::string name;
    EntryKind kind;
    int number;  // of the refusal to read it; 0: it is read
  } rows[] = {{"Qzmap120.dat", EntryKind::File, 0},          {"Qzmap150.dat", EntryKind::Link, not_regular},
              {"Qzmap160.dat", EntryKind::Link, not_regular}, {"Qzmap130.dat", EntryKind::Other, not_regular},
              {"Qzmap140.dat", EntryKind::Folder, EISDIR},    {"Qzmap100.dat", EntryKind::Missing, rt::FileNotFound}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(env.KindOf(dir / row.name), row.kind);
    std::string read;
    const ComError e = kestrel::testing::CaughtFrom([&] { read = ReadWholeFile(env, dir / row.name); });
    EXPECT_EQ(e.number(), row.number) << e.description();
    if (row.number == not_regular) { EXPECT_NE(e.description().find(dir / row.name), std::string::npos); }
    EXPECT_EQ(read, row.number ? "" : "1|Qzmap120|Tresk\r\n");
  }
  const auto names = env.ListFiles(dir.path());  // files, no folders
  EXPECT_EQ(std::count(names.begin(), names.end(), "Qzmap120.dat"), 1);
  EXPECT_EQ(std::count(names.begin(), names.end(), "Qzmap140.dat"), 0);
}

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
  EXPECT_TRUE(FolderExists(Env::Default(), dir / "x/y"));
  auto closed = TextWriter::Create(Env::Default(), dir / "closed.dat");
  closed->Close();
  const std::pair<std::function<void()>, int> failures[] = {
      {[&] { TextReader::Open(Env::Default(), dir / "missing.dat"); }, rt::FileNotFound},
      {[&] { TextReader::Open(Env::Default(), dir / "no/such/a.dat"); }, rt::PathNotFound},
      {[&] { TextWriter::Create(Env::Default(), dir / "no/such/a.dat"); }, rt::PathNotFound},
      {[&] { DeleteFile(Env::Default(), dir / "missing.dat"); }, rt::FileNotFound},
      {[&] { DeleteFile(Env::Default(), dir / "no/such/a.dat"); }, rt::PathNotFound},
      {[&] { CopyFile(Env::Default(), dir / "missing.dat", dir / "b.dat"); }, rt::FileNotFound},
      {[&] { CreateFolder(Env::Default(), dir / "a/b"); }, rt::PathNotFound},
      {[&] { CreateFolder(Env::Default(), dir / "x"); }, rt::FileAlreadyExists},
      {[&] { Env::Default().OpenForWriting(dir / "x", WriteMode::Replace); }, EISDIR},
      {[&] { Env::Default().RenameFile(dir / "missing.dat", dir / "b.dat"); }, rt::FileNotFound},
      {[&] { closed->WriteLine("after close"); }, rt::BadFileNameOrNumber},
  };
  for (const auto& [call, number] : failures) EXPECT_EQ(ErrorOf(call), number);
  if (::geteuid() != 0) {  // root reads anything
    ::chmod((dir / "to.dat").c_str(), 0);
    EXPECT_EQ(ErrorOf([&] { TextReader::Open(Env::Default(), dir / "to.dat"); }), rt::PermissionDenied);
  }
}

TEST(ResolveInFolderTest, ExactNameFirstThenWithoutRegardToCase) {
  TempFolder dir;
  WriteFile(dir / "Qzmap175.dat", "upper");
  WriteFile(dir / "qzlib100.dat", "lower");
  CreateFolder(Env::Default(), dir / "qzmap110.dat");
  Env& env = Env::Default();
  EXPECT_EQ(ResolveInFolder(env, dir.path(), "qzmap175.dat"), dir / "Qzmap175.dat");
  EXPECT_EQ(ResolveInFolder(env, dir.path(), "Qzlib100.dat"), dir / "qzlib100.dat");
  EXPECT_EQ(ResolveInFolder(env, dir.path(), "Qzmap170.dat"), std::nullopt);
  EXPECT_EQ(ResolveInFolder(env, dir / "missing", "Qzmap170.dat"), std::nullopt);
  EXPECT_TRUE(FileExistsInFolder(env, dir.path(), "QZLIB100.DAT"));
  EXPECT_FALSE(FileExistsInFolder(env, dir.path(), "Qzmap110.dat"));  // a folder of the name is no file
  EXPECT_EQ(PathInFolder(env, dir.path(), "Qzmap105.dat"), dir / "Qzmap105.dat");
  // Two names that match only without case: an exact match still wins, anything else is an error.
  WriteFile(dir / "QZMAP175.DAT", "b");
  EXPECT_EQ(ResolveInFolder(env, dir.path(), "Qzmap175.dat"), dir / "Qzmap175.dat");
  const ComError e = kestrel::testing::CaughtFrom([&] { ResolveInFolder(env, dir.path(), "qzmap175.dat"); });
  EXPECT_EQ(e.number(), Number(Ours::AmbiguousFileName));
  EXPECT_NE(e.description().find("qzmap175.dat"), std::string::npos) << e.description();
}

}  // namespace
}  // namespace kestrel::files
