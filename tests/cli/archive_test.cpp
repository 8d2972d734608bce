// Packs as one file: `export --archive` and the commands that take an archive (or "-") where they take a pack
// folder. The archive must hold the folder pack's every byte, come out the same from two exports but for the
// manifest's dates, pass through a pipe into an import, and a hostile one must be refused naming its entry, with
// nothing left in or outside the private folder it was unpacked into.
#include <archive.h>
#include <archive_entry.h>
#include <gmock/gmock.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <map>
#include <regex>

#include <nlohmann/json.hpp>

#include "cli/demo_pack.h"
#include "kestrel/pack_archive.h"
#include "support/error_of.h"
#include "support/pack_compare.h"

namespace kestrel::testing {
namespace {

struct Entry {
  std::string name = "", data = "";
  mode_t type = AE_IFREG;
  std::string link = "";  // a symbolic link's target, or the entry a hard link names
  mode_t perm = 0644;
  time_t mtime = 0;
  int64_t uid = 0;
};

// The tar archive of `entries`, written with libarchive as any tool would.
std::string Tar(const std::vector<Entry>& entries) {
  std::string out;
  archive* a = archive_write_new();
  archive_write_set_format_pax_restricted(a);
  archive_write_open(a, &out, nullptr, [](archive*, void* to, const void* data, size_t n) -> la_ssize_t {
    static_cast<std::string*>(to)->append(static_cast<const char*>(data), n);
    return static_cast<la_ssize_t>(n);
  }, nullptr);
  for (const Entry& e : entries) {
    archive_entry* h = archive_entry_new();
    archive_entry_set_pathname(h, e.name.c_str());
    archive_entry_set_filetype(h, e.type);
    archive_entry_set_perm(h, e.perm);
    if (e.type == AE_IFCHR) archive_entry_set_rdev(h, makedev(1, 3));
    if (e.type == AE_IFLNK) archive_entry_set_symlink(h, e.link.c_str());
    if (e.type == AE_IFREG && !e.link.empty()) archive_entry_set_hardlink(h, e.link.c_str());
    archive_entry_set_size(h, e.type == AE_IFREG && e.link.empty() ? static_cast<la_int64_t>(e.data.size()) : 0);
    EXPECT_EQ(archive_write_header(a, h), ARCHIVE_OK) << archive_error_string(a);
    if (!e.data.empty() && e.link.empty()) archive_write_data(a, e.data.data(), e.data.size());
    archive_entry_free(h);
  }
  archive_write_close(a);
  archive_write_free(a);
  return out;
}

// Every entry of an archive file (plain or zstd) with its header fields.
std::vector<Entry> Entries(const std::string& path) {
  std::vector<Entry> entries;
  archive* a = archive_read_new();
  archive_read_support_format_tar(a);
  archive_read_support_filter_zstd(a);
  EXPECT_EQ(archive_read_open_filename(a, path.c_str(), 65536), ARCHIVE_OK) << path;
  for (archive_entry* h; archive_read_next_header(a, &h) == ARCHIVE_OK;) {
    Entry e{archive_entry_pathname(h), "", archive_entry_filetype(h)};
    e.perm = archive_entry_perm(h);
    e.mtime = archive_entry_mtime(h);
    e.uid = archive_entry_uid(h) + archive_entry_gid(h) + (archive_entry_uname(h) && *archive_entry_uname(h) ? 1000 : 0);
    char buffer[65536];
    for (la_ssize_t n; (n = archive_read_data(a, buffer, sizeof buffer)) > 0;) e.data.append(buffer, n);
    entries.push_back(std::move(e));
  }
  archive_read_free(a);
  return entries;
}

// The demo pack's files as entries, in the byte order of their names.
std::vector<Entry> PackEntries(const std::string& folder) {
  std::vector<Entry> entries;
  for (const auto& [name, data] : FilesIn(folder)) entries.push_back({name, data});
  return entries;
}

// Sets TMPDIR for this process while it lives.
struct TmpDir {
  explicit TmpDir(const std::string& path) { ::setenv("TMPDIR", path.c_str(), 1); }
  ~TmpDir() { ::unsetenv("TMPDIR"); }
};

// The archive unpacks to the folder pack byte for byte; the export writes one whose entries have fixed modes,
// owners and times, in the pack's order, compressed when its name says so; `ls` reads it as it reads the folder.
TEST(PackArchiveTest, AnArchiveHoldsTheFolderPackByteForByte) {
  const DemoPack& d = SharedDemoPack();
  TempFolder t;
  fs::create_directories(t / "tmp");
  {
    TmpDir tmp(t / "tmp");
    WritePackArchive(Env::Default(), d.pack, t / "lib.tar", false);
    const PackSource source(Env::Default(), t / "lib.tar");
    EXPECT_TRUE(source.from_archive());
    EXPECT_EQ(FilesIn(source.folder()), FilesIn(d.pack));
    EXPECT_EQ(fs::path(source.folder()).filename(), "lib");
  }
  EXPECT_TRUE(fs::is_empty(t / "tmp"));

  for (const std::string name : {"a.tar", "a.tar.zst"}) {
    SCOPED_TRACE(name);
    const RunResult r = RunKestrel({"export", "--store", d.store, "--profile", "30", "--revisions", "-o", t / name},
                                   {{"TMPDIR", t / "tmp"}});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out, t / name + "\n");
    const std::string head = ReadFile(t / name).substr(0, 512);
    EXPECT_EQ(name.ends_with(".zst") ? head.substr(0, 4) : head.substr(257, 5),
              name.ends_with(".zst") ? std::string("\x28\xB5\x2F\xFD") : std::string("ustar"));
    const std::vector<Entry> entries = Entries(t / name), expected = PackEntries(d.pack);
    ASSERT_EQ(entries.size(), expected.size());
    for (size_t i = 0; i < entries.size(); ++i)
      EXPECT_EQ(std::tie(entries[i].name, entries[i].type, entries[i].perm, entries[i].mtime, entries[i].uid),
                std::make_tuple(expected[i].name, mode_t{AE_IFREG}, mode_t{0644}, time_t{0}, 0));
    EXPECT_TRUE(fs::is_empty(t / "tmp"));  // the export's own pack folder is gone

    const RunResult ls = RunKestrel({"ls", t / name, "--json"}, {{"TMPDIR", t / "tmp"}});
    EXPECT_EQ(ls.exit_code, 0) << ls.err;
    EXPECT_THAT(ls.out, HasSubstr("\"pack\":\"" + t / name + "\""));
    EXPECT_THAT(ls.out, HasSubstr("\"sums\":{\"present\":true,\"match\":true"));
    // diff tells an archive from a store file by its first bytes, whatever its name.
    fs::copy_file(t / name, t / "copy");
    EXPECT_EQ(RunKestrel({"diff", "--stat", t / "copy", d.store + ":30"}, {{"TMPDIR", t / "tmp"}}).out,
              "equal: " + t / "copy" + " and " + d.store + ":30\n");
    fs::remove(t / "copy");
    EXPECT_TRUE(fs::is_empty(t / "tmp"));
  }
  // Through a pipe the archive has the same length (the manifest's dates keep theirs): no padding of its own.
  const std::string kestrel = std::string(KESTREL_BIN_DIR) + "/kestrel";
  RunProgram("/bin/sh", {"-c", kestrel + " export --store '" + d.store + "' --profile 30 --revisions -o - | cat > '" +
                                   t / "piped.tar'"});
  EXPECT_EQ(fs::file_size(t / "piped.tar"), fs::file_size(t / "a.tar"));
  // An existing archive is replaced only with --overwrite.
  std::vector<std::string> again = {"export", "--store", d.store, "--profile", "30", "-o", t / "a.tar"};
  EXPECT_EQ(RunKestrel(again).err,
            "error 9175: The archive file exists already: " + t / "a.tar" + "\nhint: add --overwrite to replace it\n");
  // A terminal takes no archive: refused before the export begins.
  const RunResult terminal = RunOnTerminal({"export", "--store", d.store, "--profile", "30", "-o", "-"}, true,
                                           {{"TMPDIR", t / "tmp"}});
  EXPECT_EQ(terminal.exit_code, 1);
  EXPECT_THAT(terminal.err, HasSubstr("error 9173: The pack archive could not be written: standard output: a terminal"));
  // A failed export leaves neither its folder nor an archive.
  const RunResult missing = RunKestrel({"export", "--store", d.store, "--profile", "77", "-o", t / "b.tar"},
                                       {{"TMPDIR", t / "tmp"}});
  EXPECT_THAT(missing.err, HasSubstr("error 2: "));
  EXPECT_FALSE(fs::exists(t / "b.tar"));
  EXPECT_TRUE(fs::is_empty(t / "tmp"));
  again.push_back("--overwrite");
  EXPECT_EQ(RunKestrel(again).exit_code, 0);
}

// Two exports of one profile differ only in the manifest's dates (and so in the manifest's line of ExportMR.sums).
TEST(PackArchiveTest, TwoExportsDifferOnlyInTheManifestsDates) {
  const DemoPack& d = SharedDemoPack();
  TempFolder t;
  std::vector<Entry> archives[2];
  for (int i = 0; i < 2; ++i) {
    const std::string file = t / ("x" + std::to_string(i) + ".tar.zst");
    ASSERT_EQ(RunKestrel({"export", "--store", d.store, "--profile", "30", "--revisions", "-o", file}).exit_code, 0);
    archives[i] = Entries(file);
    if (i == 0) ::sleep(1);  // the second manifest's time differs
  }
  ASSERT_EQ(archives[0].size(), archives[1].size());
  const std::regex date_or_time(R"(\d+[-/.:]\d+[-/.:]\d+( ?[AP]M)?)");
  const std::regex manifest_sum(R"([0-9a-f]{64} \d+ \d+ ExportMR\.log\r\n)");
  for (size_t n = 0; n < archives[0].size(); ++n) {
    const Entry &a = archives[0][n], &b = archives[1][n];
    SCOPED_TRACE(a.name);
    EXPECT_EQ(std::tie(a.name, a.type, a.perm, a.mtime, a.uid), std::tie(b.name, b.type, b.perm, b.mtime, b.uid));
    if (a.name == "ExportMR.log") {
      EXPECT_NE(a.data, b.data);
      EXPECT_EQ(std::regex_replace(a.data, date_or_time, "D"), std::regex_replace(b.data, date_or_time, "D"));
    } else if (a.name == "ExportMR.sums") {
      EXPECT_EQ(std::regex_replace(a.data, manifest_sum, ""), std::regex_replace(b.data, manifest_sum, ""));
    } else {
      EXPECT_EQ(a.data, b.data);
    }
  }
}

// `export -o -` piped into `import -` through a shell moves the chain into a fresh store, which exports the same
// pack; `show`, `verify` and `diff` read the archive from standard input as well.
TEST(PackArchiveTest, AnExportPipedIntoAnImport) {
  const DemoPack& d = SharedDemoPack();
  TempFolder t;
  const Copies c = CopyDemo(t / "copy");
  ASSERT_EQ(RunKestrel({"init-store", t / "fresh.db", "--shared-from", d.store}).exit_code, 0);
  const std::string kestrel = std::string(KESTREL_BIN_DIR) + "/kestrel";
  const std::string export_part =
      kestrel + " export --store '" + d.store + "' --profile 30 --revisions -o - | " + kestrel + " ";
  const auto piped = [&](const std::string& command) {
    return RunProgram("/bin/sh", {"-c", export_part + command}, {{"TMPDIR", t / "tmp"}});
  };
  fs::create_directories(t / "tmp");
  RunResult r = piped("import - --store '" + t / "fresh.db" + "' --registry '" + c.registry + "'");
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_THAT(r.out, HasSubstr("pack profile 30"));
  // The history names the pack as it was given, not the private folder.
  EXPECT_EQ(KestrelJson({"history", "--store", t / "fresh.db", "--json"})["runs"][0]["pack"], "standard input");
  EXPECT_EQ(ComparePacks(d.pack, ExportPack(t / "fresh.db", t / "again")), "");

  r = piped("verify - --store '" + d.store + "' --registry '" + c.registry + "'");
  EXPECT_EQ(r.exit_code, 0) << r.err;
  r = piped("diff - '" + d.pack + "' --stat");
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_THAT(r.out, HasSubstr("equal: - and " + d.pack));
  EXPECT_TRUE(fs::is_empty(t / "tmp"));
}

// A hostile or damaged archive is refused naming its entry (or the pack
// file whose sum fails) before anything of it is read as a pack: every
// entry lands in the private folder, which is gone afterwards, and nothing
// lands outside it.
TEST(PackArchiveTest, HostileArchivesAreRefusedNamingTheEntry) {
  const DemoPack& d = SharedDemoPack();
  TempFolder t;
  const std::vector<Entry> pack = PackEntries(d.pack);
  const std::string whole = Tar(pack);
  std::vector<Entry> changed = pack;
  for (Entry& e : changed) if (e.name == "Qzmap120.dat") e.data.replace(e.data.find(":MPRF:"), 6, ":MPRF: ");
  const struct {
    std::string name;
    std::string archive;  // empty: the pack and `entry` after it
    Entry entry;
    int number;
    std::string cause;
  } rows[] = {
      {"dot-dot", "", {"../outside.dat", "x"}, 9171, R"("../outside.dat": a path leading out with "..")"},
      {"absolute", "", {t / "absolute.dat", "x"}, 9171, "\"" + t / "absolute.dat\": an absolute path"},
      {"symbolic link", "", {"Qzmap999.dat", "", AE_IFLNK, "/etc/passwd"}, 9171, "\"Qzmap999.dat\": a symbolic link"},
      {"hard link", "", {"Qzmap999.dat", "", AE_IFREG, "ExportMR.log"}, 9171, "\"Qzmap999.dat\": a hard link"},
      {"device", "", {"Qzmap999.dat", "", AE_IFCHR}, 9171, "\"Qzmap999.dat\": a device"},
      {"fifo", "", {"Qzmap999.dat", "", AE_IFIFO}, 9171, "\"Qzmap999.dat\": a FIFO"},
      {"duplicate", "", {"Qzmap100.dat", "30"}, 9171, "\"Qzmap100.dat\": a second entry of the same name"},
      {"duplicate by case", "", {"QZMAP100.DAT", "30"}, 9171, R"("QZMAP100.DAT": the same name as entry "Qzmap100.dat")"},
      {"folder", "", {"sub", "", AE_IFDIR}, 9171, "\"sub/\": a folder"},
      {"file in a sub-folder", "", {"sub/Qzmap100.dat", "30"}, 9171, "\"sub/Qzmap100.dat\": a path into a sub-folder"},
      {"truncated", whole.substr(0, whole.size() / 2 + 100), {}, 9170, "Truncated tar archive"},
      {"not an archive", "Qzmap100.dat\r\n", {}, 9170, "Unrecognized archive format"},
      {"bad sums", Tar(changed), {}, 9051, "Qzmap120.dat"},
  };
  fs::create_directories(t / "tmp");
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    std::vector<Entry> entries = pack;
    entries.push_back(row.entry);
    WriteFile(t / "hostile.tar", row.archive.empty() ? Tar(entries) : row.archive);
    const RunResult r = RunKestrel({"check", t / "hostile.tar", "--store", d.store, "--registry", d.registry},
                                   {{"TMPDIR", t / "tmp"}});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_THAT(r.err, HasSubstr("error " + std::to_string(row.number) + ": "));
    EXPECT_THAT(r.err, HasSubstr(row.cause));
    EXPECT_TRUE(fs::is_empty(t / "tmp"));
    EXPECT_FALSE(fs::exists(t / "outside.dat") || fs::exists(t / "absolute.dat"));
  }
  // An archive that unpacks to more than the limits stops there.
  WriteFile(t / "whole.tar", whole);
  TmpDir tmp(t / "tmp");
  EXPECT_EQ(ErrorOf([&] { PackSource(Env::Default(), t / "whole.tar", {.total_bytes = 1000}); }), 9172);
  EXPECT_EQ(ErrorOf([&] { PackSource(Env::Default(), t / "whole.tar", {.entries = 3}); }), 9172);
  // A size declared beyond the limit is refused before its data is read.
  WriteFile(t / "big.tar", Tar({{"Qzmap100.dat", std::string(5000, 'x')}}).substr(0, 512 + 600));
  EXPECT_EQ(ErrorOf([&] { PackSource(Env::Default(), t / "big.tar", {.total_bytes = 1000}); }), 9172);
  EXPECT_TRUE(fs::is_empty(t / "tmp"));
}

// A command ended by a signal while it unpacks an archive (read from a FIFO
// that has given half of it) still removes its private folder.
TEST(PackArchiveTest, ASignalWhileUnpackingLeavesNothingBehind) {
  TempFolder t;
  const std::string whole = Tar(PackEntries(SharedDemoPack().pack));
  fs::create_directories(t / "tmp");
  ASSERT_EQ(::mkfifo((t / "pipe").c_str(), 0600), 0);
  for (const int signal_number : {SIGINT, SIGTERM}) {
    SCOPED_TRACE(signal_number);
    const pid_t pid = StartProgram(std::string(KESTREL_BIN_DIR) + "/kestrel", {"ls", t / "pipe"}, t / "out", t / "err",
                                   {{"TMPDIR", t / "tmp"}});
    const int fd = ::open((t / "pipe").c_str(), O_WRONLY);  // waits for the reader
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, whole.data(), whole.size() / 2), static_cast<ssize_t>(whole.size() / 2));
    // Until the first entries are unpacked (a generous bound, not a timing).
    bool unpacking = false;
    for (int i = 0; i < 1000 && !unpacking; ++i, ::usleep(10000))
      for (const auto& folder : fs::recursive_directory_iterator(t / "tmp"))
        unpacking = unpacking || folder.is_regular_file();
    EXPECT_TRUE(unpacking);
    ::kill(pid, signal_number);
    EXPECT_EQ(WaitProgram(pid), -signal_number);
    ::close(fd);
    EXPECT_TRUE(fs::is_empty(t / "tmp"));
  }
}

}  // namespace
}  // namespace kestrel::testing
