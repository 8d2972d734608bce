// ExportMR.sums: what the export writes reads back, and which changes to a
// pack (bytes, lines as the pack readers count them, files) the check catches
// and names.
#include "pack/sums.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <tuple>

#include "base/errors_ours.h"
#include "base/files.h"
#include "pack/measuring_env.h"
#include "support/error_of.h"
#include "support/fault_env.h"
#include "support/temp_folder.h"

namespace kestrel::pack {
namespace {

using kestrel::testing::CaughtFrom, kestrel::testing::ErrorOf, kestrel::testing::FaultEnv, kestrel::testing::ReadFile;
using kestrel::testing::TempFolder, kestrel::testing::WriteFile;

// What a measure says of a file, its name aside.
std::tuple<uint64_t, uint64_t, std::string> Measures(const FileSum& s) { return {s.size, s.lines, s.sha256}; }

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
    const ComError e = CaughtFrom([&] { VerifySums(Env::Default(), copy.path()); });
    EXPECT_EQ(e.number(), row.number) << e.description();
    EXPECT_NE(e.description().find(row.named), std::string::npos) << e.description();
  }
  EXPECT_TRUE(VerifySums(Env::Default(), pack.path()));
  std::filesystem::remove(pack / "ExportMR.sums");
  EXPECT_FALSE(VerifySums(Env::Default(), pack.path())) << "a pack without sums is not checked";
}

TEST(PackSumsTest, ANameThatIsNoFileOfThePackIsRefusedBeforeAnyFileIsRead) {
  // A secret beside the pack folder, listed with its true sum: were the name
  // followed, the pack would pass, and a wrong guess would say its size.
  TempFolder root;
  const std::string pack = root / "pack";
  WriteFile(root / "secret.txt", "root:x:0:0:root:/root:/bin/sh\r\n");
  WriteFile(pack + "/Qzmap120.dat", ":MPRF:10\x01:SAPP:ACC10\r\n");
  const FileSum secret = MeasureFile(Env::Default(), root / "secret.txt", "");
  const FileSum rules = MeasureFile(Env::Default(), pack + "/Qzmap120.dat", "");
  auto line = [](const FileSum& sum, const std::string& name) {
    return sum.sha256 + " " + std::to_string(sum.size) + " " + std::to_string(sum.lines) + " " + name + "\r\n";
  };
  const int outside = Number(Ours::SumsNameOutsidePack);
  const struct { std::string name; int number; std::string why; } rows[] = {
      {"../secret.txt", outside, "holds a path separator"}, {"/etc/passwd", outside, "holds a path separator"},
      {root / "secret.txt", outside, "holds a path separator"},  // an absolute name
      {"sub/x.dat", outside, "holds a path separator"}, {"a\\b.dat", outside, "holds a path separator"},
      {"..", outside, "holds \"..\""}, {"", outside, "is empty"},
      {"secret\x1b.txt", outside, "holds a control character"},
      {"Qzmap120.dat", 0, ""},  // a file of the pack, with its own sum
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const FileSum& sum = row.number ? secret : rules;
    WriteFile(pack + "/ExportMR.sums",
              "Kestrel pack sums: SHA-256, bytes, lines, file\r\n" + line(rules, "Qzmap120.dat") + line(sum, row.name));
    FaultEnv env;
    const ComError e = CaughtFrom([&] { VerifySums(env, pack); });
    EXPECT_EQ(e.number(), row.number) << e.description();
    if (row.number) {
      EXPECT_NE(e.description().find("ExportMR.sums, line 3: the name "), std::string::npos) << e.description();
      EXPECT_NE(e.description().find(row.why), std::string::npos) << e.description();
      EXPECT_EQ(env.Openings("Qzmap120.dat"), 0u) << "no listed file is read before every line is read";
    }
    EXPECT_EQ(env.Openings("secret.txt"), 0u);
  }
}

TEST(PackSumsTest, LinesEndAtCrLfOnlyAlsoAcrossTheReadingPieces) {
  // The file is read in pieces of 64 KiB: a CR LF may be cut between two.
  const std::string piece(65535, 'x');
  // Rule files have a line for every field: many short lines in every piece.
  std::string fields, no_line_ends;
  for (int i = 0; i < 700; ++i) {
    fields += "TFLNO:007\r\n";
    no_line_ends += "TFLNO:007\n\r";
  }
  const struct { std::string content; uint64_t lines; } rows[] = {
      {"", 0}, {"ACC10", 1}, {"ACC10\r\n", 1}, {"ACC10\r\nACCX2", 2}, {"\r\n\r\n", 2}, {"\n", 1},
      {"ACC10\n\nACCX2\r", 1},  // LF alone and a CR at the end end no line
      {piece + "\r\n", 1},  // the LF alone in the second piece
      {piece + "\r\nACCX2", 2}, {piece + "\n\r", 1},
      {piece.substr(1) + "\r\n", 1},  // the line end closes the first piece
      {piece + "x\r\n\r\n", 2},
      {fields, 700}, {no_line_ends, 1},
      {piece.substr(2) + fields, 700},  // the first field line begins after the x
  };
  TempFolder pack;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.content.size());
    WriteFile(pack / "Qzmap120.dat", row.content);
    const FileSum sum = MeasureFile(Env::Default(), pack / "Qzmap120.dat", "Qzmap120.dat");
    EXPECT_EQ(sum.lines, row.lines);
    EXPECT_EQ(sum.size, row.content.size());
    // Measured while written, in pieces of other sizes than the reader's.
    MeasuringEnv measuring(Env::Default());
    auto out = files::TextWriter::Create(measuring, pack / "Qzmap125.dat");
    for (size_t at = 0; at < row.content.size(); at += 7919)
      out->Write(std::string_view(row.content).substr(at, 7919));
    out->Close();
    const std::optional<FileSum> written = measuring.Measured(pack / "Qzmap125.dat");
    ASSERT_TRUE(written);
    EXPECT_EQ(Measures(*written), Measures(sum));
  }
}

TEST(PackSumsTest, AFileKeepsItsMeasureOnlyWhenEveryByteOfItPassedTheWriter) {
  const std::string content = ":MPRF:10\x01:SAPP:ACC10\r\n:MPRF:20\x01:SAPP:ACCX2\r\n";
  auto write = [&](MeasuringEnv& env, const std::string& path, WriteMode mode) {
    auto out = env.OpenForWriting(path, mode);
    out->Append(content);
    out->Close();
  };
  constexpr WriteMode kReplace = WriteMode::Replace, kAppend = WriteMode::Append;
  // The steps may leave a writer open in `open`.
  using Steps = std::function<void(MeasuringEnv&, const std::string&, std::unique_ptr<WritableFile>& open)>;
  const struct { std::string what; Steps steps; bool kept; } rows[] = {
      {"written and closed", [&](MeasuringEnv& e, auto& p, auto&) { write(e, p, kReplace); }, true},
      {"written privately", [&](MeasuringEnv& e, auto& p, auto&) { write(e, p, WriteMode::ReplacePrivate); }, true},
      {"replaced after an append", [&](MeasuringEnv& e, auto& p, auto&) { write(e, p, kAppend), write(e, p, kReplace); },
       true},
      {"appended to", [&](MeasuringEnv& e, auto& p, auto&) { write(e, p, kReplace), write(e, p, kAppend); }, false},
      {"still open", [&](MeasuringEnv& e, auto& p, auto& open) {
         write(e, p, kReplace), (open = e.OpenForWriting(p, kReplace))->Append(content); }, false},
      {"dropped unclosed", [&](MeasuringEnv& e, auto& p, auto&) { e.OpenForWriting(p, kReplace)->Append(content); },
       false},
      {"two writers at once", [&](MeasuringEnv& e, auto& p, auto&) {
         auto first = e.OpenForWriting(p, kReplace);
         write(e, p, kReplace), first->Append("x"), first->Close(); }, false},
      {"renamed away and back", [&](MeasuringEnv& e, auto& p, auto&) {
         write(e, p, kReplace), write(e, p + ".old", kReplace), e.RenameFile(p + ".old", p); }, false},
      {"deleted", [&](MeasuringEnv& e, auto& p, auto&) { write(e, p, kReplace), e.DeleteFile(p), WriteFile(p, content); },
       false},
      {"forgotten at the start of a run", [&](MeasuringEnv& e, auto& p, auto&) { write(e, p, kReplace), e.ForgetClosed(); },
       false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    TempFolder pack;
    const std::string path = pack / "Qzmap120.dat";
    MeasuringEnv env(Env::Default());
    std::unique_ptr<WritableFile> open;
    row.steps(env, path, open);
    const std::optional<FileSum> measured = env.Measured(path);
    ASSERT_EQ(measured.has_value(), row.kept);
    if (!measured) continue;
    EXPECT_EQ(Measures(*measured), Measures(MeasureFile(Env::Default(), path, "Qzmap120.dat")));
  }
}

// Files are written and measured behind the writer, a piece at a time: a
// write the disk refused there reaches the writer with the number and text
// the same write raises when made at once, keeps the bytes before it, and
// stops every other file of the export too, until the next run begins.
TEST(PackSumsTest, AWriteRefusedBehindTheWriterIsRaisedAsAWriteMadeAtOnce) {
  std::string records;  // rule records enough for several pieces
  for (int i = 0; records.size() < 300000; ++i)
    records += ":MPRF:" + std::to_string(30 + i % 3) + "\r\n:TCPAC:AR\r\n:TCMOD:ORDR\r\n:TFLNO:" +
               std::to_string(i) + "\r\n:PRTX:START\r\nmove kunnr to debitor\r\n:PRTX:END\r\n";
  const struct {
    std::string what;
    size_t fail_at, room;  // as FaultEnv takes them: the append that fails (0: none), the room (npos: enough)
    int err;
  } rows[] = {
      {"the device fails at the first piece", 1, std::string::npos, EIO},
      {"the disk fills in the third piece", 0, 150000, 0},
      {"the disk is full from the first byte", 0, 0, 0},
      {"the last, short piece is refused", 0, records.size() - 10, 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    auto arm = [&](FaultEnv& faults) {
      if (row.fail_at) faults.FailWrite(row.fail_at, row.err);
      if (row.room != std::string::npos) faults.FillDiskAfter(row.room);
    };
    // The same bytes written at once.
    TempFolder direct;
    FaultEnv at_once;
    arm(at_once);
    const ComError expected = CaughtFrom([&] {
      auto out = at_once.OpenForWriting(direct / "Qzmap120.dat", WriteMode::Replace);
      for (size_t at = 0; at < records.size(); at += 1 << 16) out->Append(records.substr(at, 1 << 16));
      out->Close();
    });
    ASSERT_NE(expected.number(), 0);

    TempFolder pack;
    FaultEnv faults;
    MeasuringEnv env(faults);
    arm(faults);
    auto other = env.OpenForWriting(pack / "Qzmap130.dat", WriteMode::Replace);
    other->Append(":MPRF:30\r\n");
    const ComError raised = CaughtFrom([&] {
      auto out = env.OpenForWriting(pack / "Qzmap120.dat", WriteMode::Replace);
      for (size_t at = 0; at < records.size(); at += 100) out->Append(records.substr(at, 100));
      out->Close();
    });
    EXPECT_EQ(raised.number(), expected.number());
    EXPECT_EQ(raised.description(), expected.description());
    EXPECT_TRUE(ReadFile(pack / "Qzmap120.dat") == ReadFile(direct / "Qzmap120.dat")) << "the bytes before differ";
    EXPECT_FALSE(env.Measured(pack / "Qzmap120.dat"));
    // The other file of the same export hears of the refusal when it closes.
    EXPECT_EQ(ErrorOf([&] { other->Close(); }), expected.number());
    EXPECT_FALSE(env.Measured(pack / "Qzmap130.dat"));
    // The next run starts afresh.
    faults.FillDiskAfter(1 << 20);
    env.ForgetClosed();
    auto next = env.OpenForWriting(pack / "Qzmap140.dat", WriteMode::Replace);
    next->Append(records);
    next->Close();
    const std::optional<FileSum> measured = env.Measured(pack / "Qzmap140.dat");
    ASSERT_TRUE(measured);
    EXPECT_EQ(measured->sha256, MeasureFile(Env::Default(), pack / "Qzmap140.dat", "Qzmap140.dat").sha256);
  }
}

// Stamps as the test sets them: the machine's own Env gives none for files
// written a moment ago.
class StampedEnv : public FaultEnv {
 public:
  std::map<std::string, FileStamp> stamps;
  std::optional<FileStamp> StampOf(const std::string& path) override {
    const auto it = stamps.find(path);
    if (it == stamps.end()) return std::nullopt;
    return it->second;
  }
};

TEST(PackSumsTest, APackCheckedBeforeIsReadAgainWhenAnyStampChanges) {
  TempFolder pack;
  WriteFile(pack / "ExportMR.log", "SUCCESS\r\n");
  WriteFile(pack / "Qzmap120.dat", ":MPRF:10\x01:SAPP:ACC10\r\n");
  WriteSums(Env::Default(), pack.path());
  StampedEnv env;
  uint64_t inode = 100;
  for (const char* name : {"ExportMR.log", "Qzmap120.dat", "ExportMR.sums"})
    env.stamps[pack / name] = FileStamp{8, ++inode, 10, 1765000000000000000, 1765000000000000000};
  VerifiedSums memo;
  ASSERT_TRUE(VerifySums(env, pack.path(), &memo));
  EXPECT_EQ(memo.files.size(), 3u);
  // Changed behind stamps that stay as they were, the pack is not read again.
  WriteFile(pack / "Qzmap120.dat", ":MPRF:20\x01:SAPP:ACC10\r\n");
  EXPECT_TRUE(VerifySums(env, pack.path(), &memo));

  const std::string file = pack / "Qzmap120.dat";
  const struct { std::string what; std::function<void(StampedEnv&, VerifiedSums&)> change; } rows[] = {
      {"written to", [&](StampedEnv& e, VerifiedSums&) { ++e.stamps[file].modified_ns; }},
      {"renamed over", [&](StampedEnv& e, VerifiedSums&) { ++e.stamps[file].inode; }},
      {"touched", [&](StampedEnv& e, VerifiedSums&) { ++e.stamps[file].changed_ns; }},
      {"cut", [&](StampedEnv& e, VerifiedSums&) { --e.stamps[file].size; }},
      {"without a stamp", [&](StampedEnv& e, VerifiedSums&) { e.stamps.erase(file); }},
      {"checked for another folder", [&](StampedEnv&, VerifiedSums& m) { m.folder += "2"; }},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    StampedEnv changed;
    changed.stamps = env.stamps;
    VerifiedSums kept = memo;
    row.change(changed, kept);
    const ComError e = CaughtFrom([&] { VerifySums(changed, pack.path(), &kept); });
    EXPECT_EQ(e.number(), Number(Ours::PackSumsMismatch)) << e.description();
    EXPECT_TRUE(kept.files.empty()) << "a pack that fails is not remembered";
  }
  // A file added beside the others is read too.
  WriteFile(pack / "Qzmap120.dat", ":MPRF:10\x01:SAPP:ACC10\r\n");
  WriteFile(pack / "Qzmap125.dat", ":MPRF:10\r\n");
  env.stamps[pack / "Qzmap125.dat"] = FileStamp{8, ++inode, 10, 1765000000000000000, 1765000000000000000};
  const ComError added = CaughtFrom([&] { VerifySums(env, pack.path(), &memo); });
  EXPECT_NE(added.description().find("Qzmap125.dat is not listed"), std::string::npos) << added.description();
  // Files written this moment have no stamp on the machine's own Env: a
  // second change within the same clock tick could not be told apart.
  std::filesystem::remove(pack / "Qzmap125.dat");
  VerifiedSums fresh;
  EXPECT_TRUE(VerifySums(Env::Default(), pack.path(), &fresh));
  EXPECT_TRUE(fresh.files.empty());
}

}  // namespace
}  // namespace kestrel::pack
