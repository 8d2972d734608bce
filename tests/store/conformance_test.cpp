// What every store backend must do, written against the store interface
// only: self-committing statements, batches, write units and savepoints, the
// write lock, snapshots, row change counts and missing tables, inserters
// and keyed updates and deletes, rows saved in batches, every row of a select whatever it
// found before (opened alone or together), bound values, bytes 1 to 255,
// prepared statements run again, what the connection hands out outliving
// it, bulk loading, an interruption while a statement runs and a statement
// refused inside a transaction. Runs once per backend (backends.h).
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <set>
#include <stdexcept>
#include <thread>

#include "base/error.h"
#include "base/errors_ours.h"
#include "base/files.h"
#include "store/backends.h"
#include "store/connection.h"
#include "store/open.h"
#include "store/saved_rows.h"
#include "store/sql.h"
#include "store/statements_profiles.h"
#include "support/error_of.h"
#include "support/fault_env.h"
#include "support/temp_folder.h"

namespace kestrel::store {
namespace {

using kestrel::testing::ErrorOf;
using kestrel::testing::FaultEnv;
using kestrel::testing::StoreBackend;
using kestrel::testing::TempFolder;
using kestrel::testing::CaughtFrom;
using kestrel::testing::ReadFile;
using kestrel::testing::WriteFile;
using Ints = std::vector<int64_t>;

const std::string S(1, '\x01');  // the field separator of data files

class StoreConformance : public ::testing::TestWithParam<StoreBackend> {
 protected:
  void SetUp() override {
    if (const std::string why = GetParam().unavailable(); !why.empty()) GTEST_SKIP() << why;
    location_ = GetParam().location(dir_.path());
    c_ = store::Create(location_);
    c_->ExecuteScript(
        "create table qzmap120 (mprf integer, vers text, rele text, cust text, tcpac text, isms text, "
        "ldat text, comt text);"
        "create table qzusr100 (usrn blob, dsca text);"
        "create table qzddi100 (appl text unique, dsca text, aver text, crdt text, extn integer);"
        "create table qzddi160 (appl text, domn text, dval text, dsca text);");
  }
  int64_t Count(const std::string& where = "", Connection* on = nullptr) {
    const std::string select = "select count(*) from qzmap120" + where;
    return (on ? on : c_.get())->OpenRecordset(select)->Fields(0).Integer();
  }
  void Insert(int64_t mprf, Connection* on = nullptr) {
    (on ? on : c_.get())->Execute("insert into qzmap120 (mprf) values (" + std::to_string(mprf) + ")");
  }
  // A data file of `lines` in the test's folder.
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
  std::string DomainValues() {
    return c_->OpenRecordset("select dval from qzddi160 order by dval")->GetString(-1, "", ",");
  }
  Ints Mprfs() {
    Ints out;
    for (auto rs = c_->OpenRecordset("select mprf from qzmap120 order by mprf"); !rs->IsEOF(); rs->MoveNext())
      out.push_back(rs->Fields(0).Integer());
    return out;
  }

  TempFolder dir_;
  std::string location_;
  std::shared_ptr<Connection> c_;
};

INSTANTIATE_TEST_SUITE_P(Backends, StoreConformance, ::testing::ValuesIn(kestrel::testing::AllStoreBackends()),
                         kestrel::testing::BackendName);

// Statements commit by themselves; a batch commits or rolls back its own work;
// nested, or under the caller's transaction, it is a savepoint.
TEST_P(StoreConformance, StatementsBatchesAndSavepoints) {
  auto other = store::Open(location_);
  EXPECT_EQ(c_->Execute("insert into qzmap120 (mprf, vers) values (1, 'X40')"), 1);
  EXPECT_FALSE(c_->InTransaction());
  EXPECT_EQ(Count("", other.get()), 1);
  EXPECT_EQ(c_->Execute("update qzmap120 set vers = 'X41' where mprf = 99;\r\n\t "), 0);  // blanks after it are fine
  EXPECT_EQ(ErrorOf([&] { c_->Execute("delete from qzmap120; delete from qzddi100"); }), 9023);
  {
    Batch b(*c_);
    EXPECT_TRUE(c_->InTransaction());
    Insert(2);
    b.Commit();
  }
  { Batch left_open(*c_); Insert(3); }
  {
    Batch outer(*c_);
    Insert(4);
    { Batch inner(*c_); Insert(5); }
    outer.Commit();
  }
  EXPECT_FALSE(c_->InTransaction());
  EXPECT_EQ(Mprfs(), (Ints{1, 2, 4}));
  c_->Execute("begin");
  Insert(6);
  { Batch b(*c_); Insert(7); b.Commit(); }
  { Batch b(*c_); Insert(8); }
  EXPECT_TRUE(c_->InTransaction());  // neither batch ended the caller's transaction
  EXPECT_EQ(Count("", other.get()), 3);
  c_->Execute("rollback");
  EXPECT_EQ(Mprfs(), (Ints{1, 2, 4}));
}

// A write unit commits everything or nothing, and its batches are savepoints
// that release nothing to other connections; other writers are refused while
// it holds the lock.
TEST_P(StoreConformance, WriteUnitsHoldTheLockThroughout) {
  for (bool commit : {true, false}) {
    SCOPED_TRACE(commit);
    c_->Execute("delete from qzmap120");
    auto other = store::Open(location_);
    other->Execute(GetParam().fail_when_locked);
    WriteLockOptions lock;
    lock.wait = std::chrono::seconds(0);
    ASSERT_TRUE(c_->BeginWriteUnit(lock));
    Insert(1);
    { Batch inner(*c_); Insert(2); inner.Commit(); }
    EXPECT_EQ(Count("", other.get()), 0);
    EXPECT_NE(ErrorOf([&] { Insert(9, other.get()); }), 0);
    EXPECT_FALSE(other->BeginWriteUnit(lock));
    // A writer that waits is told so once, however long it waits, and
    // stops waiting when asked to.
    int told = 0, asked = 0;
    WriteLockOptions patient;
    patient.wait = std::chrono::milliseconds(commit ? 200 : 60000);
    patient.waiting = [&] { ++told; };
    patient.interrupted = [&] { return !commit && ++asked == 3; };
    EXPECT_FALSE(other->BeginWriteUnit(patient));
    EXPECT_EQ(told, 1);
    EXPECT_EQ(asked, commit ? 0 : 3);
    commit ? c_->CommitBatch() : c_->RollbackBatch();
    EXPECT_FALSE(c_->InTransaction());
    EXPECT_EQ(Mprfs(), commit ? (Ints{1, 2}) : Ints{});
    EXPECT_EQ(other->Execute("insert into qzmap120 (mprf) values (3)"), 1);  // the lock is free again
  }
}

// Rows saved one at a time are committed in full batches as they fill, and
// the rest on leaving, early too; a caller's own transaction is never committed.
TEST_P(StoreConformance, SavedRowsCommitInBatches) {
  auto other = store::Open(location_);  // sees only committed rows
  auto save = [&](SavedRows& saved, int64_t mprf) {
    Insert(mprf);
    saved.RowSaved();
  };
  {
    SavedRows saved(*c_, 2);
    for (const auto& [mprf, committed] : std::vector<std::pair<int64_t, int64_t>>{{1, 0}, {2, 2}, {3, 2}}) {
      save(saved, mprf);
      EXPECT_EQ(Count("", other.get()), committed) << mprf;
    }
    saved.Finish();
    EXPECT_EQ(Count("", other.get()), 3);
    EXPECT_EQ(saved.rows(), 3u);
  }
  EXPECT_THROW(
      {
        SavedRows saved(*c_, 100);
        save(saved, 4);
        c_->Execute("insert into qzmap120 (no_such_column) values (1)");
      },
      ComError);
  EXPECT_EQ(Count("", other.get()), 4);
  EXPECT_FALSE(c_->InTransaction());
  // A transaction the store ended itself (a full disk) must not mask the failure.
  EXPECT_NO_THROW({
    SavedRows saved(*c_, 100);
    save(saved, 5);
    c_->Execute("rollback");
  });
  c_->Execute("begin");
  EXPECT_THROW(
      {
        SavedRows saved(*c_, 1);
        save(saved, 6);
        save(saved, 7);
        throw std::runtime_error("stop");
      },
      std::runtime_error);
  EXPECT_TRUE(c_->InTransaction());
  EXPECT_EQ(Count("", other.get()), 4);
  c_->Execute("rollback");
  EXPECT_EQ(Mprfs(), (Ints{1, 2, 3, 4}));
}

// A snapshot reads the store as it was when it began; row changes are
// counted per table while asked; a missing table is told apart.
TEST_P(StoreConformance, SnapshotsChangeCountsAndMissingTables) {
  Insert(1);
  auto writer = store::Open(location_);
  c_->BeginSnapshot();
  Insert(2, writer.get());
  EXPECT_EQ(Mprfs(), Ints{1});
  c_->CommitBatch();
  EXPECT_EQ(Mprfs(), (Ints{1, 2}));

  c_->Execute("insert into qzddi100 (appl) values ('ACC10')");
  RowChangeCounts counts;
  c_->CountRowChanges(&counts);
  Insert(3);
  Insert(4);
  c_->Execute("update qzmap120 set vers = 'X40' where mprf = 1");
  c_->Execute("delete from qzddi100 where appl = 'ACC10'");
  c_->Execute("delete from qzmap120 where mprf = 2");
  c_->CountRowChanges(nullptr);
  Insert(5);
  ASSERT_EQ(counts.size(), 2u);
  EXPECT_EQ(counts["qzmap120"].added, 2);
  EXPECT_EQ(counts["qzmap120"].deleted, 1);
  EXPECT_EQ(counts["qzddi100"].added, 0);
  EXPECT_EQ(counts["qzddi100"].deleted, 1);

  const ComError missing = kestrel::testing::CaughtFrom([&] { c_->Execute("delete from qzmap999 where mprf = 1"); });
  EXPECT_EQ(missing.number(), GetParam().no_such_table);
  EXPECT_TRUE(c_->IsMissingTable(missing));
  EXPECT_FALSE(c_->IsMissingTable(ComError(GetParam().unique_violation, "UNIQUE constraint failed: qzmap120.mprf")));
  EXPECT_FALSE(c_->IsMissingTable(ComError(5, "database is locked")));
  EXPECT_EQ(ErrorOf([&] { c_->Prepare("select * from nosuch"); }), GetParam().no_such_table);
}

// Reads started ahead in a snapshot give the snapshot's rows, whatever is
// committed and read meanwhile, each whole and in the order asked, also when
// read side by side; a read that cannot start fails when taken. Outside a
// snapshot they read the store as it is when taken.
TEST_P(StoreConformance, ReadsStartedAheadReadTheirSnapshot) {
  c_->Execute(
      "with recursive n(k) as (select 1 union all select k + 1 from n where k < 2500) "
      "insert into qzmap120 (mprf) select k from n");
  auto writer = store::Open(location_);
  c_->BeginSnapshot();
  Insert(5000, writer.get());
  const std::vector<Query> queries = {{"select mprf from qzmap120 where mprf % 2 = 0 order by mprf", {}},
                                      {"select count(*) as n from qzmap120", {}},
                                      {"select mprf from qzmap120 where mprf > 2400 order by mprf desc", {}},
                                      {"select mprf from qzmap120 where mprf < 10 order by mprf", {}}};
  auto ahead = c_->StartReads(queries);
  EXPECT_EQ(ahead->queries(), queries);
  writer->Execute("delete from qzmap120 where mprf in (2, 2500)");
  EXPECT_EQ(Mprfs().size(), 2500u);

  std::vector<std::unique_ptr<Recordset>> reads = ahead->Take();
  ASSERT_EQ(reads.size(), 4u);
  std::vector<Ints> got(reads.size());
  for (bool any = true; any;) {
    any = false;
    for (size_t i = 0; i < reads.size(); ++i) {
      if (reads[i]->IsEOF()) continue;
      got[i].push_back(reads[i]->Fields(0).Integer());
      reads[i]->MoveNext();
      any = true;
    }
  }
  Ints evens, last, first;
  for (int64_t k = 2; k <= 2500; k += 2) evens.push_back(k);
  for (int64_t k = 2500; k > 2400; --k) last.push_back(k);
  for (int64_t k = 1; k < 10; ++k) first.push_back(k);
  EXPECT_EQ(got[0], evens);
  EXPECT_EQ(got[1], Ints{2500});
  EXPECT_EQ(got[2], last);
  EXPECT_EQ(got[3], first);
  EXPECT_TRUE(ahead->Take().empty());

  // Released untaken, started reads leave the snapshot's other reads as they were.
  c_->StartReads(queries).reset();
  EXPECT_EQ(Mprfs().size(), 2500u);
  auto missing = c_->StartReads({{"select mprf from qzmap120", {}}, {"select * from qzmap999", {}}});
  EXPECT_EQ(ErrorOf([&] { missing->Take(); }), GetParam().no_such_table);
  c_->CommitBatch();

  auto after = c_->StartReads({{"select count(*) from qzmap120 where mprf in (2, 2500, 5000)", {}}});
  writer->Execute("delete from qzmap120 where mprf = 5000");
  EXPECT_EQ(after->Take().front()->Fields(0), Value(0));
}

// Rows an inserter adds read back as they were given: each value in its own
// form (a whole double without ".0", any other in its shortest exact form),
// every byte from 1 to 255 in a text and a binary column, NULL as NULL; a
// column not named keeps the table's default, one given NULL is NULL. A
// value with a NUL byte is refused for a text column (the rows before it
// saved, nothing of it), kept in a binary one; columns and tables that are
// not there, and rows of the wrong width, are refused before anything is
// written. Inside a transaction and outside one alike.
TEST_P(StoreConformance, InsertedRowsKeepTheirValuesAndTheTablesDefaults) {
  c_->ExecuteScript("create table qzddi230 (appl text, dsca text default 'none', extn integer default 7, crdt text)");
  std::string bytes;
  for (int b = 1; b < 256; ++b) bytes += static_cast<char>(b);
  const std::string with_nul("before\0after", 12);
  const struct {
    Value given;
    std::string read;  // the text column's value, "NULL" for NULL
  } cases[] = {{std::string(300, 'L'), std::string(300, 'L')},
               {2.5, "2.5"},
               {3.0, "3"},
               {0.1 + 0.2, "0.30000000000000004"},
               {7, "7"},
               {true, "1"},
               {Value(), "NULL"},
               {std::string(), ""},
               {"O'Brien \\N\t\r\n", "O'Brien \\N\t\r\n"},
               {bytes, bytes}};
  const std::string_view columns[] = {"mprf", "comt"};
  for (const bool in_transaction : {true, false}) {
    SCOPED_TRACE(in_transaction ? "in a transaction" : "outside one");
    c_->Execute("delete from qzmap120");
    std::optional<Batch> b;
    if (in_transaction) b.emplace(*c_);
    auto inserter = c_->Insert("qzmap120", columns);
    for (size_t k = 0; k < std::size(cases); ++k) {
      const Value row[] = {Value(static_cast<int64_t>(k)), cases[k].given};
      inserter->Add(row);
    }
    const Value refused[] = {Value(99), Value(with_nul)};
    EXPECT_EQ(ErrorOf([&] { inserter->Add(refused); }), Number(Ours::NulInValue));
    EXPECT_EQ(Count(), static_cast<int64_t>(std::size(cases)));
    if (b) b->Commit();
    auto rs = c_->OpenRecordset("select mprf, comt from qzmap120 order by mprf");
    for (size_t k = 0; k < std::size(cases); ++k, rs->MoveNext()) {
      ASSERT_FALSE(rs->IsEOF()) << k;
      const Value v = rs->Fields(1);
      EXPECT_EQ(v.IsNull() ? "NULL" : v.Text(), cases[k].read) << k;
    }
    EXPECT_TRUE(rs->IsEOF());
  }

  // A binary column keeps every byte, a NUL too.
  const std::string_view user[] = {"usrn", "dsca"};
  const Value binary[] = {Value(bytes + with_nul), Value("m\xE9nage")};
  c_->Insert("qzusr100", user)->Add(binary);
  auto users = c_->OpenRecordset("select usrn, dsca from qzusr100");
  EXPECT_EQ(users->Fields(0), Value(bytes + with_nul));
  EXPECT_EQ(users->Fields(1), Value("m\xE9nage"));

  // Defaults: the columns not named take them, a NULL given does not.
  const std::string_view appl[] = {"appl"};
  const std::string_view every[] = {"appl", "dsca", "extn", "crdt"};
  {
    Batch b(*c_);
    const Value a[] = {Value("A1")};
    c_->Insert("qzddi230", appl)->Add(a);
    const Value all[] = {Value("A2"), Value(), Value(), Value()};
    c_->Insert("qzddi230", every)->Add(all);
    b.Commit();
  }
  EXPECT_EQ(c_->OpenRecordset("select appl, coalesce(dsca, 'NULL'), coalesce(extn, -1) from qzddi230 order by appl")
                ->GetString(-1, "|", ";"),
            "A1|none|7;A2|NULL|-1;");

  const std::string_view unknown[] = {"appl", "nosuch"};
  EXPECT_EQ(ErrorOf([&] { c_->Insert("qzddi230", unknown); }), Number(Ours::FieldNotFound));
  const ComError missing = CaughtFrom([&] { c_->Insert("qzddi999", appl); });
  EXPECT_TRUE(c_->IsMissingTable(missing)) << missing.description();
  EXPECT_TRUE(c_->IsMissingTable(CaughtFrom([&] { c_->Columns("qzddi999"); })));
  const Value two[] = {Value("A3"), Value("two")};
  EXPECT_EQ(ErrorOf([&] { c_->Insert("qzddi230", appl)->Add(two); }), Number(Ours::Internal));
  EXPECT_EQ(c_->OpenRecordset("select count(*) from qzddi230")->Fields(0), Value(2));
}

// Rows inserted inside a transaction, as an import adds them, at the sizes
// where the stores group them (none, one, around a group of a file store
// and of a server's COPY): every row is there once flushed, read by another
// statement, or committed, and counted. Outside a transaction each row
// commits by itself: another connection sees it at once.
TEST_P(StoreConformance, InsertedRowsAreAllThereWhateverTheirNumber) {
  const std::string_view columns[] = {"mprf", "tcpac", "comt"};
  int64_t total = 0;
  RowChangeCounts counts;
  c_->CountRowChanges(&counts);
  for (const int rows : {0, 1, 15, 16, 17, 33, 4999, 5000, 5001, 10001}) {
    SCOPED_TRACE(rows);
    Batch b(*c_);
    auto inserter = c_->Insert("qzmap120", columns);
    for (int n = 1; n <= rows; ++n) {
      const Value row[] = {Value(n), n % 3 ? Value("ACC" + std::to_string(n)) : Value(),
                           Value("Tab\tand\\back\nslash " + std::to_string(rows))};
      inserter->Add(row);
    }
    // Flushed, read by the next statement, or sent at the commit.
    if (rows % 2) inserter->Flush();
    if (rows % 3 == 0) {
      EXPECT_EQ(Count(" where comt like '%slash " + std::to_string(rows) + "'"), rows);
    }
    inserter.reset();
    b.Commit();
    total += rows;
    EXPECT_EQ(Count(" where comt like '%slash " + std::to_string(rows) + "'"), rows);
    EXPECT_EQ(Count(" where comt like '%slash " + std::to_string(rows) + "' and tcpac is null"), rows / 3);
  }
  c_->CountRowChanges(nullptr);
  EXPECT_EQ(counts["qzmap120"].added, total);

  auto other = store::Open(location_);
  auto inserter = c_->Insert("qzmap120", columns);
  for (int n = 1; n <= 17; ++n) {
    const Value row[] = {Value(90000 + n), Value(), Value("alone")};
    inserter->Add(row);
    EXPECT_EQ(Count(" where comt = 'alone'", other.get()), n);
  }
}

// A row the store refuses fails alone, wherever it stands among the rows
// waiting with it: the rows before it are saved and counted, none after it,
// and the transaction goes on; an inserter dropped unflushed leaves it to the
// next statement. Rows inserted in a batch rolled back are gone, those sent
// on their way and those still waiting, also after a failed statement.
TEST_P(StoreConformance, InsertedRowsAreSavedAsIfOneByOne) {
  RowChangeCounts counts;
  c_->CountRowChanges(&counts);
  Batch b(*c_);
  c_->Execute("insert into qzddi100 (appl, extn) values ('LGA', 0)");
  const std::string_view columns[] = {"appl", "extn"};
  const struct {
    int rows, refused_at;
    bool flushed;
  } loads[] = {{4, 3, true}, {40, 16, true}, {40, 17, true}, {100, 64, true},
               {5600, 100, true}, {5600, 5300, true}, {70, 1, true}, {6, 4, false}};
  int64_t saved = 0;
  for (const auto& load : loads) {
    SCOPED_TRACE(load.refused_at);
    const std::string prefix = "A" + std::to_string(load.refused_at) + "_" + std::to_string(load.rows) + "_";
    const ComError refused = CaughtFrom([&] {
      auto apps = c_->Insert("qzddi100", columns);
      for (int n = 1; n <= load.rows; ++n) {
        const Value row[] = {Value(n == load.refused_at ? "LGA" : prefix + std::to_string(n)), Value(n)};
        apps->Add(row);
      }
      if (load.flushed) apps->Flush();
      apps.reset();
      Count();
    });
    EXPECT_EQ(refused.number(), GetParam().unique_violation) << refused.description();
    saved += load.refused_at - 1;
    EXPECT_EQ(c_->OpenRecordset("select count(*), coalesce(max(extn), 0) from qzddi100 where appl like '" + prefix +
                                "%'")->GetString(-1, "|", ";"),
              std::to_string(load.refused_at - 1) + "|" + std::to_string(load.refused_at - 1) + ";");
  }
  Insert(9000);
  b.Commit();
  c_->CountRowChanges(nullptr);
  EXPECT_EQ(c_->OpenRecordset("select count(*) from qzddi100")->Fields(0), Value(1 + saved));
  EXPECT_EQ(counts["qzddi100"].added, 1 + saved);

  const std::string_view rule[] = {"mprf", "comt"};
  const int64_t kept = Count();
  Batch around(*c_);
  for (const bool failed_first : {false, true}) {
    Batch rolled_back(*c_);
    if (failed_first) {
      EXPECT_EQ(ErrorOf([&] { c_->Execute("insert into qzddi100 (appl, extn) values ('LGA', 1)"); }),
                GetParam().unique_violation);
    }
    auto more = c_->Insert("qzmap120", rule);
    for (int64_t n = 1; n <= 3000; ++n) {
      const Value row[] = {Value(5000 + n), Value("Rolled back with its batch, row " + std::to_string(n))};
      more->Add(row);
    }
  }
  Insert(9001);
  around.Commit();
  EXPECT_EQ(Count(), kept + 1);
}

// Keyed updates and deletes change exactly the rows whose key columns equal
// the values given: none when none match (a NULL matches nothing, a quote is
// data), all that do; each value in the form an insert gives it, every byte
// kept. A NUL in a text, an unknown column or an empty key is refused and
// changes nothing. A delete counts its rows, an update none.
TEST_P(StoreConformance, KeyedUpdatesAndDeletesChangeTheRowsOfTheirKey) {
  c_->Execute(
      "insert into qzmap120 (mprf, vers, comt) values (1, 'X40', 'one'), (2, 'X40', 'two'), (2, 'X41', 'two b'),"
      " (6, 'O''Brien', 'six'), (6, 'O''Brien', 'six'), (7, null, 'seven')");
  std::string bytes;
  for (int b = 1; b < 256; ++b) bytes += static_cast<char>(b);
  const auto key = [](std::vector<std::string_view> columns, std::vector<Value> values) {
    return ColumnValues{std::move(columns), std::move(values)};
  };
  const auto comts = [&] {
    return c_->OpenRecordset("select mprf, coalesce(vers, 'NULL'), coalesce(comt, 'NULL'), coalesce(isms, 'NULL')"
                             " from qzmap120 order by mprf, vers, comt")
        ->GetString(-1, "|", ";");
  };
  RowChangeCounts counts;
  c_->CountRowChanges(&counts);
  const struct {
    ColumnValues key, set;
    int64_t changed;
    std::string after;  // the rows of mprf 2, 6 and 7
  } updates[] = {
      {key({"mprf", "vers"}, {2, "X40"}), key({"comt", "isms"}, {"changed", 1.5}), 1,
       "2|X40|changed|1.5;2|X41|two b|NULL;6|O'Brien|six|NULL;6|O'Brien|six|NULL;7|NULL|seven|NULL;"},
      {key({"mprf", "vers"}, {2, "X42"}), key({"comt"}, {"none"}), 0,
       "2|X40|changed|1.5;2|X41|two b|NULL;6|O'Brien|six|NULL;6|O'Brien|six|NULL;7|NULL|seven|NULL;"},
      {key({"mprf", "vers"}, {7, Value()}), key({"comt"}, {"null key"}), 0,
       "2|X40|changed|1.5;2|X41|two b|NULL;6|O'Brien|six|NULL;6|O'Brien|six|NULL;7|NULL|seven|NULL;"},
      {key({"vers"}, {"O'Brien"}), key({"isms", "comt"}, {3.0, Value()}), 2,
       "2|X40|changed|1.5;2|X41|two b|NULL;6|O'Brien|NULL|3;6|O'Brien|NULL|3;7|NULL|seven|NULL;"},
      {key({"MPRF"}, {7}), key({"comt"}, {bytes}), 1,
       "2|X40|changed|1.5;2|X41|two b|NULL;6|O'Brien|NULL|3;6|O'Brien|NULL|3;7|NULL|" + bytes + "|NULL;"},
      {key({"mprf"}, {2}), key({}, {}), 0,
       "2|X40|changed|1.5;2|X41|two b|NULL;6|O'Brien|NULL|3;6|O'Brien|NULL|3;7|NULL|" + bytes + "|NULL;"},
  };
  for (const auto& u : updates) {
    SCOPED_TRACE(u.after);
    EXPECT_EQ(c_->UpdateByKey("qzmap120", u.key, u.set), u.changed);
    EXPECT_EQ(comts().substr(comts().find(";2|")), ";" + u.after);
  }
  const std::string before = comts();
  const ColumnValues one = key({"mprf"}, {1});
  EXPECT_EQ(ErrorOf([&] { c_->UpdateByKey("qzmap120", one, key({"comt"}, {std::string("a\0b", 3)})); }),
            Number(Ours::NulInValue));
  EXPECT_EQ(ErrorOf([&] { c_->UpdateByKey("qzmap120", one, key({"nosuch"}, {1})); }), Number(Ours::FieldNotFound));
  EXPECT_EQ(ErrorOf([&] { c_->UpdateByKey("qzmap120", key({}, {}), key({"comt"}, {"all"})); }),
            Number(Ours::Internal));
  EXPECT_EQ(ErrorOf([&] { c_->DeleteByKey("qzmap120", key({"nosuch"}, {1})); }), Number(Ours::FieldNotFound));
  EXPECT_EQ(comts(), before);

  // A binary column is matched and set byte for byte.
  c_->Execute("insert into qzusr100 (dsca) values ('binary')");
  EXPECT_EQ(c_->UpdateByKey("qzusr100", key({"dsca"}, {"binary"}), key({"usrn"}, {bytes})), 1);
  EXPECT_EQ(c_->OpenRecordset("select usrn from qzusr100")->Fields(0), Value(bytes));
  EXPECT_EQ(c_->DeleteByKey("qzusr100", key({"usrn"}, {bytes})), 1);

  EXPECT_EQ(c_->DeleteByKey("qzmap120", key({"mprf", "vers"}, {6, "O'Brien"})), 2);
  EXPECT_EQ(c_->DeleteByKey("qzmap120", key({"mprf"}, {8})), 0);
  c_->CountRowChanges(nullptr);
  EXPECT_EQ(counts["qzmap120"].deleted, 2);
  EXPECT_EQ(counts["qzmap120"].added, 0);
  EXPECT_EQ(Count(), 4);
}

// A reader that reads a table's rows through alone, as the export writes a
// data file, gets the rows a plain read gives, in the same order and byte
// for byte (the server may stream those after the first piece): inside a
// snapshot and outside one, read in pieces or field by field, and released
// half-way, after which the store answers the next statement.
TEST_P(StoreConformance, RowsReadThroughAloneAreTheRowsAReadGives) {
  // On the server a table of the store keeps the order its rows were added in.
  const std::string order =
      c_->dialect() == Dialect::Postgres ? ", " + std::string(sql::kInsertionOrderColumn) + " bigint generated always as identity" : "";
  c_->ExecuteScript("create table qzddi200 (appl text, seqn integer, dval text, dsca text" + order + ")");
  const auto tricky = [](int n) {
    static const std::string kinds[] = {"Tab\there", "back\\slash \\N", "CR\r\nLF", "\x01sep\x7F",
                                        "m\xE9nage \xFF", "plain"};
    return kinds[n % 6] + " " + std::to_string(n);
  };
  std::vector<int64_t> seqns;
  {
    Batch b(*c_);
    const std::string_view columns[] = {"appl", "seqn", "dval", "dsca"};
    auto inserter = c_->Insert("qzddi200", columns);
    for (int n = 1; n <= 2600; ++n) {
      const bool ours = n % 7 != 0;
      const Value row[] = {Value(ours ? "ACCX2" : "ACC10"), Value(n), Value(tricky(n)),
                           n % 5 == 0 ? Value() : Value(n % 3 == 0 ? std::string() : "Row " + std::to_string(n))};
      inserter->Add(row);
      if (ours) seqns.push_back(n);
    }
    inserter->Flush();
    b.Commit();
  }
  const std::string select = store::SelectApplicationRows(c_->dialect(), "qzddi200", "ACCX2");
  const std::string expected = c_->OpenRecordset(select)->GetString(-1, "\x01", "\r\n");
  ASSERT_GT(seqns.size(), 2000u);

  for (const bool snapshot : {true, false}) {
    SCOPED_TRACE(snapshot ? "in a snapshot" : "outside a snapshot");
    if (snapshot) c_->BeginSnapshot();
    auto rs = c_->OpenRecordset(select);
    rs->ReadThroughAlone();
    std::string got;
    rs->AppendString(got, 1200, "\x01", "\r\n");
    // Field by field past the first pieces, as a reader that looks at rows.
    const int seqn = rs->IndexOf("seqn"), dval = rs->IndexOf("dval"), dsca = rs->IndexOf("dsca");
    for (size_t k = 1200; k < 1300; ++k) {
      ASSERT_FALSE(rs->IsEOF());
      EXPECT_EQ(rs->Fields(seqn), Value(seqns[k])) << k;
      std::string_view text;
      ASSERT_TRUE(rs->ViewText(dval, text)) << k;
      EXPECT_EQ(text, tricky(static_cast<int>(seqns[k]))) << k;
      EXPECT_EQ(rs->Fields(dsca).IsNull(), seqns[k] % 5 == 0) << k;
      rs->AppendString(got, 1, "\x01", "\r\n");
    }
    while (!rs->IsEOF()) rs->AppendString(got, 700, "\x01", "\r\n");
    EXPECT_EQ(got, expected);
    rs.reset();
    if (snapshot) c_->CommitBatch();
  }

  c_->BeginSnapshot();
  auto half = c_->OpenRecordset(select);
  half->ReadThroughAlone();
  std::string got;
  half->AppendString(got, 1500, "\x01", "\r\n");
  half.reset();
  EXPECT_EQ(c_->OpenRecordset("select count(*) from qzddi200 where appl = 'ACC10'")->Fields(0).Integer(),
            2600 - static_cast<int64_t>(seqns.size()));
  c_->CommitBatch();
}

// Bound values find their rows: a quote is data, a text compares as text
// ('7' is not '007'); values and places must pair up. Every byte from 1 to
// 255 travels unchanged however it goes: put into a binary and a text column,
// bound, quoted into the text; and a bound text finds it.
TEST_P(StoreConformance, BoundValuesAndEveryByteFrom1To255) {
  c_->Execute("insert into qzmap120 (mprf, vers, rele) values (7, 'X40', '007'), (7, 'O''Brien', '7'), "
              "(8, 'X40', '007')");
  const std::string p1 = c_->Placeholder(1), p2 = c_->Placeholder(2), p3 = c_->Placeholder(3);
  const std::string where = "select mprf from qzmap120 where mprf=" + p1 + " and vers=" + p2 +
                            " and rele=" + p3;
  const struct { int64_t mprf; std::string vers, rele, found; } rows[] = {
      {7, "X40", "007", "7;"}, {7, "O'Brien", "7", "7;"}, {7, "O'Brien", "007", ""}, {8, "X40", "007", "8;"}};
  for (const auto& row : rows) {
    auto rs = c_->OpenRecordset(Query{where, {Value(row.mprf), Value(row.vers), Value(row.rele)}});
    EXPECT_EQ(rs->GetString(-1, ",", ";"), row.found) << row.vers << " " << row.rele;
  }
  const std::string two_places = "select * from qzmap120 where mprf=" + p1 + " and vers=" + p2;
  EXPECT_EQ(ErrorOf([&] { c_->OpenRecordset(Query{two_places, {Value(7)}}); }), 9001);
  EXPECT_EQ(ErrorOf([&] { c_->OpenRecordset(Query{"select * from qzmap120", {Value(7)}}); }), 9001);
  c_->Execute("delete from qzmap120");

  std::string bytes;
  for (int b = 1; b <= 255; ++b) bytes += static_cast<char>(b);
  const std::string_view user[] = {"usrn", "dsca"};
  const Value both[] = {Value(bytes), Value(bytes)};
  c_->Insert("qzusr100", user)->Add(both);
  auto st = c_->Prepare("insert into qzmap120 (mprf, comt) values (1, " + c_->Placeholder(1) + ")");
  st->Bind(1, Value(bytes));
  st->Run();
  c_->Execute("insert into qzmap120 (mprf, comt) values (2, " + c_->Quote(bytes) + ")");
  for (const std::string select : {"select usrn from qzusr100", "select dsca from qzusr100",
                                   "select comt from qzmap120 where mprf = 1",
                                   "select comt from qzmap120 where mprf = 2"}) {
    SCOPED_TRACE(select);
    auto back = c_->OpenRecordset(select);
    EXPECT_EQ(back->Fields(0), Value(bytes));
    std::string_view view;
    ASSERT_TRUE(back->ViewText(0, view));
    EXPECT_EQ(view, bytes);
    std::string appended;
    back->AppendField(appended, 0);
    EXPECT_EQ(appended, bytes);
  }
  const std::string select =
      "select mprf, comt from qzmap120 where comt = " + c_->Placeholder(1) + " order by mprf";
  EXPECT_EQ(c_->OpenRecordset(Query{select, {Value(bytes)}})->GetString(-1, "|", ";"),
            "1|" + bytes + ";2|" + bytes + ";");
}

// The rule writers take a lent text for the value's own text: a field lends
// one only where the two are the same, whatever its type.
TEST_P(StoreConformance, AFieldLendsItsTextOnlyWhereItIsItsValuesText) {
  c_->Execute("insert into qzmap120 (mprf, vers, rele) values (-30, 'X41U', '007')");
  const struct { const char* column; bool always_lent; } rows[] = {
      {"vers", true},  {"rele", true}, {"mprf", false}, {"mprf + 1", false}, {"1.0", false},
      {"2.50", false}, {"cast(1.5 as real)", false}, {"cast(3 as double precision)", false},
      {"1 = 1", false}, {"null", false}, {"9223372036854775807", false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.column);
    auto rs = c_->OpenRecordset(std::string("select ") + row.column + " from qzmap120");
    std::string_view view;
    const bool lent = rs->ViewText(0, view);
    const Value value = rs->Fields(0);
    EXPECT_TRUE(lent || !row.always_lent);
    EXPECT_FALSE(lent && value.IsNull());
    if (lent && !value.IsNull()) {
      EXPECT_EQ(view, value.Text());
    }
  }
  // Nothing is lent past the fields or where there is no row.
  std::string_view view = "untouched";
  {
    auto rs = c_->OpenRecordset("select vers from qzmap120 where mprf = -30");
    EXPECT_FALSE(rs->ViewText(1, view));
    EXPECT_FALSE(rs->ViewText(-1, view));
  }
  EXPECT_FALSE(c_->OpenRecordset("select vers from qzmap120 where mprf = -31")->ViewText(0, view));
  EXPECT_EQ(view, "untouched");
}

// A prepared statement runs again with new values and reads the rows it
// steps to; more than one statement runs nothing. A host releases what it
// holds in any order: the connection may go before its recordsets and
// statements and inserters, which must go on working until they go.
TEST_P(StoreConformance, PreparedStatementsRunAgainAndOutliveTheConnection) {
  auto insert = c_->Prepare("insert into qzmap120 (mprf) values (" + c_->Placeholder(1) + ")");
  for (int64_t mprf : {30, 10, 20}) {
    insert->Bind(1, Value(mprf));
    EXPECT_EQ(insert->Run(), 1);
  }
  auto read = c_->Prepare("select mprf, 'X' || mprf from qzmap120 where mprf >= " + c_->Placeholder(1) +
                          " order by mprf");
  EXPECT_EQ(read->ColumnCount(), 2);
  for (const auto& [from, want] : std::vector<std::pair<int64_t, std::string>>{
           {20, "20=X20 30=X30 "}, {40, ""}, {10, "10=X10 20=X20 30=X30 "}}) {
    read->Bind(1, Value(from));
    std::string rows;
    while (read->Step()) rows += read->Column(0).Text() + "=" + read->Column(1).Text() + " ";
    read->Reset();
    EXPECT_EQ(rows, want) << "from " << from;
  }
  EXPECT_EQ(ErrorOf([&] { c_->Prepare("insert into qzmap120 (mprf) values (1); delete from qzmap120"); }),
            Number(Ours::StatementNotSingle));
  EXPECT_EQ(Mprfs(), (Ints{10, 20, 30}));

  auto reader = c_->OpenRecordset("select mprf from qzmap120 order by mprf");
  const std::string_view mprf[] = {"mprf"};
  auto adder = c_->Insert("qzmap120", mprf);
  read.reset();
  c_.reset();
  reader->MoveNext();
  EXPECT_EQ(reader->Fields("MPRF"), Value(int64_t{20}));  // any case of the name
  EXPECT_EQ(ErrorOf([&] { reader->Fields("nosuch"); }), 9020);
  reader.reset();
  const Value forty[] = {Value(40)};
  adder->Add(forty);
  adder->Flush();
  adder.reset();
  insert->Bind(1, Value(50));
  EXPECT_EQ(insert->Run(), 1);
  insert.reset();
  c_ = store::Open(location_);
  EXPECT_EQ(Mprfs(), (Ints{10, 20, 30, 40, 50}));
}

// Bulk loading: rows and their values as the store keeps them, batches
// committed and kept when a later row is refused, the log and error files,
// and names that are no table.
TEST_P(StoreConformance, BulkLoadLoadsEveryRowWithEmptyFieldsAsNullAndNumbersAsNumbers) {
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

TEST_P(StoreConformance, BulkLoadARefusedRowKeepsTheBatchesBeforeItAndIsNamedInTheErrorFile) {
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
  // Rows 1-6 stay in two committed batches; the load stopped at `line`
  // (1-based), whose text the error file shows with the reason.
  bool in_transaction = false;
  const auto expect_stopped_at = [&](const ComError& e, int line) {
    EXPECT_EQ(DomainValues(), "V1,V2,V3,V4,V5,V6,");
    EXPECT_EQ(progress, (std::vector<int64_t>{3, 6}));
    EXPECT_EQ(c_->InTransaction(), in_transaction);
    EXPECT_EQ(ReadFile(o.error_path), "Line: " + std::to_string(line) + "\r\nText: " + lines[line - 1] +
                                          "\r\nReason: " + e.description() + "\r\n");
    EXPECT_EQ(ReadFile(o.log_path), "Table: qzddi160\r\nData file: " + file + "\r\nRows read: " +
                                        std::to_string(line) +
                                        "\r\nRows loaded: 6\r\nBatches committed: 2\r\nStopped at line " +
                                        std::to_string(line) + "\r\n");
  };

  // Inside the caller's transaction, whose batches commit nothing, the load
  // tells the same.
  for (const bool in : {true, false}) {
    SCOPED_TRACE(in ? "in a transaction" : "alone");
    in_transaction = in;
    progress.clear();
    if (in) c_->Execute("begin");
    const ComError e = CaughtFrom([&] { c_->BulkLoad(Env::Default(), "qzddi160", file, o); });
    EXPECT_EQ(e.number(), Number(Ours::MalformedPackFile));
    EXPECT_NE(e.description().find(file + ", line 7: a row of 3 fields where table qzddi160 has 4 columns"),
              std::string::npos)
        << e.description();
    // Row 7 refused; row 8 never read.
    expect_stopped_at(e, 7);
    if (in) c_->Execute("rollback");
  }

  // The rows are read on a second thread: a read failing in the middle of
  // line 7 there stops the load after the rows before it, as a read in place
  // does, with the device's error, the last row read named.
  c_->Execute("delete from qzddi160");
  progress.clear();
  lines[6] = Domain(7);
  file = Data("qzddi160EXB.dat", lines);
  size_t six_lines = 0;
  for (size_t k = 0; k < 6; ++k) six_lines += lines[k].size() + 2;
  FaultEnv faults;
  faults.FailRead("qzddi160EXB.dat", 1, six_lines + 5, EIO);
  const ComError failed_read = CaughtFrom([&] { c_->BulkLoad(faults, "qzddi160", file, o); });
  EXPECT_EQ(failed_read.number(), EIO);
  expect_stopped_at(failed_read, 6);
}

// Inside the caller's transaction the batches commit nothing: the counts, the
// log and the progress tell of them all the same.
TEST_P(StoreConformance, BulkLoadTellsOfItsBatchesInsideATransactionToo) {
  const struct { int rows; int64_t batches; std::vector<int64_t> progress; } loads[] = {
      {8, 3, {3, 6, 8}}, {6, 2, {3, 6}}, {2, 1, {2}}};
  for (const auto& load : loads) {
    std::vector<std::string> lines;
    for (int k = 1; k <= load.rows; ++k) lines.push_back(Domain(k));
    const std::string file = Data("qzddi160EXB.dat", lines);
    std::string values;
    for (int k = 1; k <= load.rows; ++k) values += "V" + std::to_string(k) + ",";
    for (const bool in_transaction : {false, true}) {
      SCOPED_TRACE(::testing::Message() << load.rows << " rows" << (in_transaction ? ", in a transaction" : ""));
      c_->Execute("delete from qzddi160");
      if (in_transaction) c_->Execute("begin");
      BulkLoadOptions o;
      o.rows_per_batch = 3;
      o.log_path = dir_ / "qzddi160EXB.log";
      std::vector<int64_t> progress;
      o.progress = [&](int64_t rows) { progress.push_back(rows); };
      const BulkLoadCounts n = c_->BulkLoad(Env::Default(), "qzddi160", file, o);
      EXPECT_EQ(n.rows_read, load.rows);
      EXPECT_EQ(n.rows_loaded, load.rows);
      EXPECT_EQ(n.batches, load.batches);
      EXPECT_EQ(progress, load.progress);
      EXPECT_EQ(ReadFile(o.log_path), "Table: qzddi160\r\nData file: " + file + "\r\nRows read: " +
                                          std::to_string(load.rows) + "\r\nRows loaded: " +
                                          std::to_string(load.rows) + "\r\nBatches committed: " +
                                          std::to_string(load.batches) + "\r\n");
      EXPECT_EQ(DomainValues(), values);
      EXPECT_EQ(c_->InTransaction(), in_transaction);
      if (in_transaction) c_->Execute("commit");
    }
  }
}

// A row the store refuses rolls back its own batch only; inside the caller's
// transaction batches are savepoints, and the caller's work stays open. The
// refused row is named wherever it stands among the rows sent together.
TEST_P(StoreConformance, BulkLoadARowTheStoreRefusesRollsBackItsBatchOnly) {
  const struct {
    int rows, per_batch, repeated;  // line `repeated` repeats the application of the line before
  } loads[] = {{6, 2, 5}, {120, 50, 77}, {120, 50, 51}, {120, 100, 100}, {40, 1000, 33}};
  for (const auto& load : loads) {
    std::vector<std::string> lines;  // qzddi100 holds each application once
    for (int n = 1; n <= load.rows; ++n)
      lines.push_back("A" + std::to_string(n == load.repeated ? n - 1 : n) + S + "d" + S + S + S + "0");
    const std::string file = Data("qzddi100A.dat", lines);
    const int kept = (load.repeated - 1) / load.per_batch * load.per_batch;  // the batches before the refused row's
    for (bool in_transaction : {false, true}) {
      SCOPED_TRACE(::testing::Message() << load.rows << " rows, " << load.per_batch << " a batch, line "
                                        << load.repeated << (in_transaction ? ", in a transaction" : ""));
      c_->Execute("delete from qzddi100");
      if (in_transaction) c_->Execute("begin");
      c_->Execute("insert into qzddi100 (appl) values ('A0')");
      BulkLoadOptions o;
      o.rows_per_batch = load.per_batch;
      o.error_path = dir_ / "qzddi100A.err";
      ComError e = CaughtFrom([&] { c_->BulkLoad(Env::Default(), "qzddi100", file, o); });
      EXPECT_EQ(e.number(), GetParam().unique_violation);
      // The refused row, found among the batch's held rows, is the one named.
      EXPECT_EQ(ReadFile(o.error_path), "Line: " + std::to_string(load.repeated) + "\r\nText: " +
                                            lines[load.repeated - 1] + "\r\nReason: " + e.description() + "\r\n");
      const std::string repeated = "A" + std::to_string(load.repeated - 1);
      EXPECT_NE(e.description().find(GetParam().duplicate_key("qzddi100", "appl", repeated) + ": " + file +
                                     ", line " + std::to_string(load.repeated)),
                std::string::npos)
          << e.description();
      EXPECT_EQ(c_->InTransaction(), in_transaction);
      // A0 and the kept batches' rows, the last of them there and the next one not.
      const auto has = [](int n) { return "count(case when appl = 'A" + std::to_string(n) + "' then 1 end)"; };
      EXPECT_EQ(c_->OpenRecordset("select count(*), count(distinct appl), " + has(kept) + ", " + has(kept + 1) +
                                  " from qzddi100")
                    ->GetString(-1, "|", ";"),
                std::to_string(kept + 1) + "|" + std::to_string(kept + 1) + "|1|0;");
      if (in_transaction) c_->Execute("rollback");
    }
  }
  EXPECT_EQ(c_->OpenRecordset("select count(*) from qzddi100")->Fields(0).Integer(), 0);
}

TEST_P(StoreConformance, BulkLoadTablesThatAreNotThereAndFilesThatAreMissing) {
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
TEST_P(StoreConformance, BulkLoadKeepsEveryByteOfAValue) {
  std::string every_byte;  // character 1 separates the fields
  for (int b = 2; b <= 255; ++b) every_byte += static_cast<char>(b);
  // Every byte from 2 to 255, a path with backslashes, backslash N, a tab and a lone CR.
  std::vector<std::string> values = {every_byte, "C:\\Profiles\\new\\table.dat", "\\N", "Ledger\tEUR\rUSD"};
  std::vector<std::string> lines;
  for (const auto& value : values) lines.push_back(value + S + value);
  BulkLoadOptions o;
  EXPECT_EQ(c_->BulkLoad(Env::Default(), "qzusr100", Data("qzusr100.dat", lines), o).rows_loaded, 4);
  std::vector<std::string> found;
  for (auto rs = c_->OpenRecordset("select usrn, dsca from qzusr100"); !rs->IsEOF(); rs->MoveNext()) {
    EXPECT_EQ(rs->Fields("usrn"), rs->Fields("dsca"));
    found.push_back(rs->Fields("dsca").Text());
  }
  std::sort(found.begin(), found.end());
  std::sort(values.begin(), values.end());
  EXPECT_EQ(found, values);
}

// The rows a load adds count as added to their table, like any insert.
TEST_P(StoreConformance, BulkLoadCountsTheRowsItAdds) {
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

// A binary column takes every byte 1 to 255 from a bound value, bound as
// text or as binary.
TEST_P(StoreConformance, EveryByteFrom1To255ReachesABinaryColumnBound) {
  std::string bytes;
  for (int b = 1; b <= 255; ++b) bytes += static_cast<char>(b);
  const struct {
    std::string dsca;
    bool as_blob;
  } rows[] = {{"bound as text", false}, {"bound as binary", true}};
  auto insert = c_->Prepare("insert into qzusr100 (usrn, dsca) values (" + c_->Placeholder(1) + ", " + c_->Placeholder(2) + ")");
  for (const auto& row : rows) {
    insert->Bind(1, Value(bytes), row.as_blob);
    insert->Bind(2, Value(row.dsca));
    EXPECT_EQ(insert->Run(), 1) << row.dsca;
  }
  insert.reset();
  auto found = c_->OpenRecordset("select usrn, dsca from qzusr100 order by dsca");
  std::vector<std::string> names;
  for (; !found->IsEOF(); found->MoveNext()) {
    EXPECT_EQ(found->Fields("usrn"), Value(bytes)) << found->Fields("dsca").Text();
    names.push_back(found->Fields("dsca").Text());
  }
  EXPECT_EQ(names, (std::vector<std::string>{"bound as binary", "bound as text"}));
}

// A select with parameters reads every row it finds whatever it found when
// it ran before with other values: none, a few, a piece's worth and one
// more, several pieces; on a connection of its own and in a snapshot; opened
// alone or together with others. Rows found by a select that ran before
// still change through its recordset.
TEST_P(StoreConformance, SelectsReadEveryRowWhateverTheyFoundBefore) {
  // mprf 1: 3 rows, 2: 6500, 4: 1001, 5: 1000, 3: none.
  for (const auto& [mprf, rows] : {std::pair{1, 3}, {2, 6500}, {4, 1001}, {5, 1000}})
    c_->Execute("insert into qzmap120 (mprf, vers) with recursive n(k) as (select 1 union all select k + 1 from n "
                "where k < " + std::to_string(rows) + ") select " + std::to_string(mprf) + ", 'V' || k from n");
  const std::string every_column = "select * from qzmap120 where mprf = " + c_->Placeholder(1);
  const std::string two_columns = "select mprf, vers from qzmap120 where mprf = " + c_->Placeholder(1);
  const struct {
    const std::string& select;
    int mprf;
    size_t rows;
  } reads[] = {
      {every_column, 1, 3},    {every_column, 1, 3},    {every_column, 3, 0},    {every_column, 5, 1000},
      {every_column, 4, 1001}, {every_column, 1, 3},    {every_column, 2, 6500}, {every_column, 1, 3},
      {two_columns, 1, 3},     {two_columns, 5, 1000},  {two_columns, 1, 3},     {two_columns, 4, 1001},
      {two_columns, 3, 0},     {two_columns, 2, 6500},  {two_columns, 1, 3},
  };
  const auto check = [](Recordset& rs, int mprf, size_t rows) {
    std::set<std::string> versions;
    EXPECT_EQ(rs.BOF(), rows == 0);
    for (; !rs.IsEOF(); rs.MoveNext()) {
      EXPECT_EQ(rs.Fields("mprf"), Value(int64_t{mprf}));
      versions.insert(rs.Fields("vers").Text());
    }
    EXPECT_EQ(versions.size(), rows);
    if (rows) {
      EXPECT_TRUE(versions.count("V" + std::to_string(rows)));
    }
  };
  // Opened together after it ran alone twice: a few rows, a piece's worth,
  // several pieces, none.
  const std::string reversed = "select vers, mprf from qzmap120 where mprf = " + c_->Placeholder(1);
  const std::pair<int, size_t> together[] = {{1, 3}, {5, 1000}, {2, 6500}, {3, 0}, {1, 3}};
  for (const bool snapshot : {false, true}) {
    auto reader = store::Open(location_);
    if (snapshot) reader->BeginSnapshot();
    for (const auto& read : reads) {
      SCOPED_TRACE((snapshot ? "in a snapshot, " : "") + read.select + " with " + std::to_string(read.mprf));
      check(*reader->OpenRecordset(Query{read.select, {Value(int64_t{read.mprf})}}), read.mprf, read.rows);
    }
    for (int twice = 0; twice < 2; ++twice) check(*reader->OpenRecordset(Query{reversed, {Value(int64_t{1})}}), 1, 3);
    std::vector<Query> queries;
    for (const auto& [mprf, rows] : together) queries.push_back(Query{reversed, {Value(int64_t{mprf})}});
    auto opened = reader->OpenRecordsets(queries);
    ASSERT_EQ(opened.size(), std::size(together));
    for (size_t i = 0; i < opened.size(); ++i) {
      SCOPED_TRACE((snapshot ? "together in a snapshot, " : "together, ") + std::to_string(together[i].first));
      check(*opened[i], together[i].first, together[i].second);
    }
    if (snapshot) reader->CommitBatch();
  }
  EXPECT_EQ(Count(" where mprf = 1"), 3);
}

// An interruption that comes while a statement runs ends that statement
// with the store's "interrupted" failure; the unit rolls back whole.
TEST_P(StoreConformance, AnInterruptionEndsTheStatementRunning) {
  std::atomic<bool> stop{false};
  WriteLockOptions lock;
  lock.interrupted = [&] { return stop.load(); };
  ASSERT_TRUE(c_->BeginWriteUnit(lock));
  Insert(1);
  // Far more rows than any store counts before the interruption comes.
  std::thread interrupter([&] { std::this_thread::sleep_for(std::chrono::milliseconds(200)); stop = true; });
  const ComError e = CaughtFrom([&] {
    c_->OpenRecordset("with recursive n(k) as (select 1 union all select k + 1 from n where k < 2000000000) "
                      "select count(*) from n");
  });
  interrupter.join();
  EXPECT_EQ(e.number(), Number(Ours::StoreFailure)) << e.description();
  c_->RollbackBatch();
  EXPECT_EQ(Count(), 0);
}

// A statement the store refuses inside a transaction fails alone: what the
// transaction did before and does after it is committed with it (the import
// goes on past a table a store lacks).
TEST_P(StoreConformance, ARefusedStatementLeavesTheTransactionAsItWas) {
  c_->Execute("insert into qzddi100 (appl, extn) values ('LGA', 0)");
  const struct {
    std::string name;
    std::function<void()> refused;
  } rows[] = {
      {"a delete from a missing table", [&] { c_->Execute("delete from qzmap999 where mprf = 1"); }},
      {"a recordset on a missing table", [&] { c_->OpenRecordset("select * from qzmap999"); }},
      {"an inserter into a missing table", [&] { c_->Columns("qzmap999"); }},
      {"a keyed update of a missing table", [&] {
         c_->UpdateByKey("qzmap999", ColumnValues{{"mprf"}, {Value(1)}}, ColumnValues{{"comt"}, {Value("x")}});
       }},
      {"a statement prepared on a missing table", [&] { c_->Prepare("insert into qzmap999 (mprf) values (1)"); }},
      {"a second row with a unique key", [&] { c_->Execute("insert into qzddi100 (appl, extn) values ('LGA', 1)"); }},
      {"a row inserted with a unique key", [&] {
         const std::string_view appl[] = {"appl"};
         const Value lga[] = {Value("LGA")};
         auto inserter = c_->Insert("qzddi100", appl);
         inserter->Add(lga);
         inserter->Flush();  // inside a transaction a refused row may be reported here
       }},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    c_->Execute("delete from qzmap120");
    {
      Batch b(*c_);
      Insert(1);
      EXPECT_NE(ErrorOf(row.refused), 0);
      Insert(2);
      b.Commit();
    }
    EXPECT_FALSE(c_->InTransaction());
    EXPECT_EQ(Mprfs(), (Ints{1, 2}));
  }
  EXPECT_EQ(c_->OpenRecordset("select count(*) from qzddi100")->Fields(0), Value(int64_t{1}));
}

}  // namespace
}  // namespace kestrel::store
