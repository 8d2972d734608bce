// Bulk loading, on every backend (backends.h): rows and their values as the
// store keeps them, batches committed and kept when a later row is refused,
// the log and error files, and names that are no table.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "base/error.h"
#include "base/errors_ours.h"
#include "base/files.h"
#include "store/backends.h"
#include "store/schema.h"
#include "support/temp_folder.h"
#include "support/error_of.h"

namespace kestrel::store {
namespace {

using kestrel::testing::ReadFile;
using kestrel::testing::TempFolder;
using kestrel::testing::CaughtFrom;
using kestrel::testing::WriteFile;

const std::string S(1, '\x01');

class BulkLoaderTest : public ::testing::TestWithParam<kestrel::testing::StoreBackend> {
 protected:
  void SetUp() override {
    if (const std::string why = GetParam().unavailable(); !why.empty()) GTEST_SKIP() << why;
    c_ = CreateStore(GetParam().location(dir_.path()));
  }
  std::string Data(const std::string& name, const std::vector<std::string>& lines) {
    std::string content;
    for (const auto& l : lines) content += l + "\r\n";
    WriteFile(dir_ / name, content);
    return dir_ / name;
  }
  // "qzddi160" rows: appl, domn, dval, dsca.
  static std::string Domain(int k) {
    return "EXB" + S + "CURR" + S + "V" + std::to_string(k) + S + "Value " + std::to_string(k);
  }
  std::string DomainValues() { return c_->OpenRecordset("select dval from qzddi160 order by dval")->GetString(-1, "", ","); }

  TempFolder dir_;
  std::shared_ptr<Connection> c_;
};

TEST_P(BulkLoaderTest, LoadsEveryRowWithEmptyFieldsAsNullAndNumbersAsNumbers) {
  // The last line has no CR LF; a lone CR or LF inside a field stays in it.
  std::string file = Data("qzddi100LGA.dat", {"LGA" + S + "Ledger" + S + S + "2026-01-02 10:11:12" + S + "0",
                                               "EXB" + S + "Ext\rended\nbook" + S + "2.1" + S + S + "1"});
  WriteFile(file, ReadFile(file) + "ZZ9" + S + "Last" + S + S + S + "1");
  BulkLoadOptions o;
  o.log_path = dir_ / "t.log";
  o.error_path = dir_ / "t.err";
  BulkLoadCounts n = c_->BulkLoad(Env::Default(), "qzddi100", file, o);
  EXPECT_EQ(n.rows_read, 3);
  EXPECT_EQ(n.rows_loaded, 3);
  EXPECT_EQ(n.batches, 1);

  // Empty fields are NULL; a number column keeps numbers.
  EXPECT_EQ(c_->OpenRecordset("select appl, dsca, aver is null, crdt is null, extn, " + GetParam().type_of +
                              "(extn) from qzddi100 order by appl")
                ->GetString(-1, "|", ";"),
            "EXB|Ext\rended\nbook|0|1|1|integer;LGA|Ledger|1|0|0|integer;ZZ9|Last|1|1|1|integer;");
  EXPECT_EQ(ReadFile(o.log_path), "Table: qzddi100\r\nData file: " + file +
                                      "\r\nRows read: 3\r\nRows loaded: 3\r\nBatches committed: 1\r\n");
  EXPECT_EQ(ReadFile(o.error_path), "");
}

TEST_P(BulkLoaderTest, ARefusedRowKeepsTheBatchesBeforeItAndIsNamedInTheErrorFile) {
  std::vector<std::string> lines;
  for (int k = 1; k <= 8; ++k) lines.push_back(Domain(k));
  lines[6] = "EXB" + S + "CURR" + S + "V7";  // three fields where the table has four
  std::string file = Data("qzddi160EXB.dat", lines);
  BulkLoadOptions o;
  o.rows_per_batch = 3;
  o.log_path = dir_ / "qzddi160EXB.log";
  o.error_path = dir_ / "qzddi160EXB.err";
  std::vector<int64_t> progress;
  o.progress = [&](int64_t rows) { progress.push_back(rows); };

  ComError e = CaughtFrom([&] { c_->BulkLoad(Env::Default(), "qzddi160", file, o); });
  EXPECT_EQ(e.number(), Number(Ours::MalformedPackFile));
  EXPECT_NE(e.description().find(file + ", line 7: a row of 3 fields where table qzddi160 has 4 columns"),
            std::string::npos)
      << e.description();
  // Rows 1-6 in two committed batches; row 7 refused; row 8 never read.
  EXPECT_EQ(DomainValues(), "V1,V2,V3,V4,V5,V6,");
  EXPECT_EQ(progress, (std::vector<int64_t>{3, 6}));
  EXPECT_FALSE(c_->InTransaction());
  EXPECT_EQ(ReadFile(o.error_path), "Line: 7\r\nText: " + lines[6] + "\r\nReason: " + e.description() + "\r\n");
  EXPECT_EQ(ReadFile(o.log_path), "Table: qzddi160\r\nData file: " + file +
                                      "\r\nRows read: 7\r\nRows loaded: 6\r\nBatches committed: 2\r\n"
                                      "Stopped at line 7\r\n");
}

TEST_P(BulkLoaderTest, ARowTheStoreRefusesRollsBackItsBatchOnly) {
  // qzddi100 holds each application once: line 5 repeats line 4's code.
  std::vector<std::string> lines;
  for (std::string appl : {"A1", "A2", "A3", "A4", "A4", "A6"}) lines.push_back(appl + S + "d" + S + S + S + "0");
  std::string file = Data("qzddi100A.dat", lines);
  BulkLoadOptions o;
  o.rows_per_batch = 2;
  ComError e = CaughtFrom([&] { c_->BulkLoad(Env::Default(), "qzddi100", file, o); });
  EXPECT_EQ(e.number(), GetParam().unique_violation);
  EXPECT_NE(e.description().find(GetParam().duplicate_key("qzddi100", "appl", "A4") + ": " + file + ", line 5"),
            std::string::npos)
      << e.description();
  EXPECT_EQ(c_->OpenRecordset("select appl from qzddi100 order by appl")->GetString(-1, "", ","), "A1,A2,A3,A4,");
}

TEST_P(BulkLoaderTest, InsideTheCallersTransactionBatchesAreSavepoints) {
  c_->Execute("begin");
  c_->Execute("insert into qzddi160 (appl, dval) values ('EXB', 'V0')");
  std::string file = Data("d.dat", {Domain(1), Domain(2), Domain(3), "short"});
  BulkLoadOptions o;
  o.rows_per_batch = 2;
  EXPECT_EQ(CaughtFrom([&] { c_->BulkLoad(Env::Default(), "qzddi160", file, o); }).number(), Number(Ours::MalformedPackFile));
  // The caller's row and the first batch stay inside the caller's transaction.
  EXPECT_TRUE(c_->InTransaction());
  EXPECT_EQ(DomainValues(), "V0,V1,V2,");
  c_->Execute("rollback");
  EXPECT_EQ(DomainValues(), "");
}

TEST_P(BulkLoaderTest, TablesThatAreNotThereAndFilesThatAreMissing) {
  std::string file = Data("d.dat", {Domain(1)});
  BulkLoadOptions o;
  ComError missing = CaughtFrom([&] { c_->BulkLoad(Env::Default(), "qzddi999", file, o); });
  EXPECT_EQ(missing.number(), GetParam().no_such_table);
  EXPECT_NE(missing.description().find("no such table: qzddi999"), std::string::npos);
  // A name that is no plain table name never reaches a statement.
  ComError odd = CaughtFrom([&] { c_->BulkLoad(Env::Default(), "qzddi160 where 1=2; drop table qzddi100", file, o); });
  EXPECT_EQ(odd.number(), GetParam().no_such_table);
  EXPECT_EQ(c_->OpenRecordset("select count(*) from qzddi100")->Fields(0).Integer(), 0);  // still there
  // A missing data file is the file seam's 53, before any file is written.
  o.log_path = dir_ / "x.log";
  EXPECT_EQ(CaughtFrom([&] { c_->BulkLoad(Env::Default(), "qzddi160", dir_ / "none.dat", o); }).number(), 53);
  EXPECT_FALSE(files::FileExists(Env::Default(), o.log_path));
  EXPECT_TRUE(c_->CanBulkLoad());
}

// Values keep every byte a pack can hold, in a text and in a binary column,
// also those a store's own load format would read as escapes or as NULL.
TEST_P(BulkLoaderTest, EveryByteOfAValueIsLoadedAsItIs) {
  std::string every_byte;  // character 1 separates the fields
  for (int b = 2; b <= 255; ++b) every_byte += static_cast<char>(b);
  const struct {
    std::string name, value;
  } rows[] = {{"every byte from 2 to 255", every_byte},
              {"a path with backslashes", "C:\\Profiles\\new\\table.dat"},
              {"the two characters backslash N", "\\N"},
              {"a tab and a lone CR", "Ledger\tEUR\rUSD"}};
  std::vector<std::string> lines;
  for (const auto& row : rows) lines.push_back(row.value + S + row.value);
  BulkLoadOptions o;
  EXPECT_EQ(c_->BulkLoad(Env::Default(), "qzusr100", Data("qzusr100.dat", lines), o).rows_loaded, 4);
  auto rs = c_->OpenRecordset("select usrn, dsca from qzusr100");
  std::vector<std::string> found;
  for (; !rs->IsEOF(); rs->MoveNext()) {
    EXPECT_EQ(rs->Fields("usrn"), rs->Fields("dsca"));
    found.push_back(rs->Fields("dsca").Text());
  }
  std::sort(found.begin(), found.end());
  std::vector<std::string> expected;
  for (const auto& row : rows) expected.push_back(row.value);
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(found, expected);
}

// The rows a load adds count as added to their table, like any insert.
TEST_P(BulkLoaderTest, TheRowsALoadAddsAreCounted) {
  std::vector<std::string> lines;
  for (int k = 1; k <= 4; ++k) lines.push_back(Domain(k));
  lines.push_back("EXB" + S + "CURR");  // refused before a row of its batch is added
  BulkLoadOptions o;
  o.rows_per_batch = 2;
  RowChangeCounts counts;
  c_->CountRowChanges(&counts);
  c_->Execute("insert into qzddi100 (appl, extn) values ('EXB', 1)");
  EXPECT_EQ(CaughtFrom([&] { c_->BulkLoad(Env::Default(), "qzddi160", Data("d.dat", lines), o); }).number(),
            Number(Ours::MalformedPackFile));
  c_->CountRowChanges(nullptr);
  EXPECT_EQ(DomainValues(), "V1,V2,V3,V4,");
  EXPECT_EQ(counts["qzddi100"].added, 1);
  EXPECT_EQ(counts["qzddi160"].added, 4);
  EXPECT_EQ(counts["qzddi160"].deleted, 0);
}

INSTANTIATE_TEST_SUITE_P(Backends, BulkLoaderTest, ::testing::ValuesIn(kestrel::testing::AllStoreBackends()), kestrel::testing::BackendName);

}  // namespace
}  // namespace kestrel::store
