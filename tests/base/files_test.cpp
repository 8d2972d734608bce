// The file seam: pack files ended by CR LF and configuration files by LF
// (across the reader's buffer too), exact-then-case-insensitive lookup in a
// pack folder, the run time's numbers for failures, and the spooled text.
#include "base/files.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <functional>

#include "base/errors_ours.h"
#include "base/spooled_text.h"
#include "support/error_of.h"
#include "support/fault_env.h"
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

// The manifest's spooled text: in memory up to its threshold, in a spool file
// past it, the same text read whole either way; the spool never outlives the
// text, and a spill that fails takes nothing from it.
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

TEST_F(SpooledTextTest, NoSpoolOutlivesItsText) {
  for (int ending = 0; ending < 3; ++ending) {
    SCOPED_TRACE(ending);
    auto t = std::make_unique<SpooledText>(Env::Default());
    t->SpoolTo(dir_ / "m.spool");
    t->SetThreshold(1);
    const std::string all = AppendAll(*t);
    ASSERT_TRUE(Spool());
    if (ending == 0) {  // an export that ends early: the text comes back into memory
      t->Unspool();
      EXPECT_FALSE(t->spooled());
      *t += "after";
      EXPECT_EQ(t->str(), all + "after");
    } else if (ending == 1) {
      t->clear();
      EXPECT_TRUE(t->empty());
    } else {
      t.reset();
    }
    EXPECT_FALSE(Spool());
  }
  SpooledText t(Env::Default());
  t.SpoolTo(dir_ / "no-such-folder/d.spool");
  t.SetThreshold(1);
  EXPECT_THROW(t += "x", ComError);
}

TEST_F(SpooledTextTest, AFailedSpillLeavesTheTextWhole) {
  for (size_t fail_at : {size_t{1}, size_t{0}}) {  // the spool's first write; a full disk
    SCOPED_TRACE(fail_at);
    kestrel::testing::FaultEnv env;
    fail_at ? env.FailWrite(fail_at) : env.FillDiskAfter(0);
    SpooledText t(env);
    t.SpoolTo(dir_ / "m.spool");
    t.SetThreshold(100);
    std::string appended;
    EXPECT_EQ(kestrel::testing::ErrorOf([&] {
                for (const auto& line : kLines) { appended += line; t += line; }
              }),
              fail_at ? EIO : ENOSPC);
    t.Unspool();
    EXPECT_FALSE(Spool());
    EXPECT_EQ(t.str(), appended);
  }
}

}  // namespace
}  // namespace kestrel::files
