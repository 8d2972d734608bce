// The Env the host hands clsExport and clsImport is the one every step
// reaches the system through: a write it fails fails the export wherever it
// falls, and the time it gives is the time the import's run log carries.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <string_view>
#include <string>
#include <vector>

#include "base/datetime.h"
#include "base/files.h"
#include "base/text.h"
#include "import_fixture.h"
#include "support/fault_env.h"

namespace kestrel::testing {
namespace {

// A FaultEnv that notes, for every append, the name of the file it went to.
class AppendLog : public FaultEnv {
 public:
  std::unique_ptr<WritableFile> OpenForWriting(const std::string& path, WriteMode mode) override {
    return std::make_unique<Noted>(*this, FaultEnv::OpenForWriting(path, mode), path.substr(path.rfind('/') + 1));
  }
  const std::vector<std::string>& written() const { return written_; }

 private:
  class Noted final : public WritableFile {
   public:
    Noted(AppendLog& log, std::unique_ptr<WritableFile> file, std::string name)
        : log_(log), file_(std::move(file)), name_(std::move(name)) {}
    void Append(std::string_view data) override {
      log_.written_.push_back(name_);
      file_->Append(data);
    }
    void Flush() override { file_->Flush(); }
    void Close() override { file_->Close(); }

   private:
    AppendLog& log_;
    std::unique_ptr<WritableFile> file_;
    std::string name_;
  };
  std::vector<std::string> written_;
};

class EnvThreadingTest : public ImportFixture {
 protected:
  struct Outcome {
    bool ok = false;
    int number = 0;
    std::string description;
  };
  // Exports profile 30 with its chain and revisions into a new root below
  // the test folder, through `env`.
  Outcome ExportThrough(Env& env, const std::string& root_name) {
    const std::string root = t_ / root_name;
    files::CreateFolders(env, root);
    Kestrel20ImpExp::clsExport e(env);
    e.putref_DataConnection(demo_);
    e.put_Path(root);
    e.put_MigrationProfileTobeExported(30);
    e.put_ExportRevisionInformation(true);
    Outcome o;
    o.ok = e.ExportMigrationProfiles();
    o.number = e.get_ErrorNumber();
    o.description = e.get_ErrorDescription();
    return o;
  }
};

TEST_F(EnvThreadingTest, EveryWriteOfAnExportFailsItWithTheWritesError) {
  AppendLog counting;
  const Outcome clean = ExportThrough(counting, "clean");
  ASSERT_TRUE(clean.ok) << clean.description;
  const std::vector<std::string>& written = counting.written();
  ASSERT_EQ(written.size(), counting.appends());
  // Data files, rule files, the library and the manifest: far more than a handful.
  ASSERT_GT(written.size(), 50u);

  // The files whose failure the export does not count: the function
  // library's, and the qzlgy141 rows that travel with qzlgy140.
  auto tolerated_file = [](const std::string& file) {
    const std::string name = text::LowerAscii(file);
    return name.starts_with("qzlib") || name.starts_with("qzlgy141");
  };
  const std::string io_error = std::strerror(EIO);
  size_t tolerated = 0;
  for (size_t k = 1; k <= written.size(); ++k) {
    const std::string& file = written[k - 1];
    SCOPED_TRACE("write " + std::to_string(k) + " (" + file + ")");
    FaultEnv env;
    env.FailWrite(k, EIO);
    const Outcome o = ExportThrough(env, "fail-" + std::to_string(k));
    if (tolerated_file(file)) {
      EXPECT_TRUE(o.ok) << o.description;
      ++tolerated;
      continue;
    }
    EXPECT_FALSE(o.ok);
    EXPECT_EQ(o.number, 999);
    EXPECT_NE(o.description.find(io_error), std::string::npos) << o.description;
  }
  EXPECT_GT(tolerated, 0u);
  EXPECT_LT(tolerated, written.size());
}

TEST_F(EnvThreadingTest, TheImportsRunLogCarriesTheTimeOfItsEnv) {
  const std::string pack = Export(demo_, {.profile = 30, .revisions = true});
  auto into = SharedStore("into.db");
  struct Row {
    DateTime time;
    std::string stamp;
  };
  const std::vector<Row> rows = {{DateTime{2031, 2, 28, 23, 59, 58}, "2031-02-28 23:59:58"},
                                 {DateTime{1999, 12, 31, 0, 0, 1}, "1999-12-31 00:00:01"}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.stamp);
    FaultEnv env;
    env.FixTime(row.time);
    auto i = NewImport(into, pack, env);
    const std::string details = Unmarked(Proposal(*i));
    ClearLog();
    std::string in = details, message;
    ASSERT_TRUE(i->ImportLogicPack(in, message)) << message;
    const std::string log = ReadFile(install_ + "/LumoStudio/tmp/importmr.log");
    size_t lines = 0;
    for (size_t start = 0; start < log.size(); ++lines) {
      const size_t end = log.find("\r\n", start);
      ASSERT_NE(end, std::string::npos) << "an unended line";
      EXPECT_EQ(log.substr(start, row.stamp.size() + 1), row.stamp + " ") << log.substr(start, end - start);
      start = end + 2;
    }
    EXPECT_GT(lines, 10u);
  }
}

}  // namespace
}  // namespace kestrel::testing
