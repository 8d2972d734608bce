// What only the PostgreSQL backend does: a store is a schema of a database,
// created once; every byte 1-255 comes back whatever the database's encoding
// (an encoding that cannot hold them is refused); the write lock belongs to
// one store; a known read failing in a snapshot ends the snapshot's reads;
// a read-only connection cannot bulk-load; a read in pack order walks an
// index without sorting, a join read by hashing plans so for itself alone, a
// rule table read through alone leaves the session's sorts as they were.
// Runs on the test server (backends.h) and skips without it.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/error.h"
#include "base/errors_ours.h"
#include "store/backends.h"
#include "store/connection.h"
#include "store/open.h"
#include "kestrel/engine.h"
#include "store/statements_export.h"
#include "store/statements_export_objects.h"
#include "store/statements_profiles.h"
#include "support/error_of.h"
#include "support/temp_folder.h"

namespace kestrel::store {
namespace {

using kestrel::testing::CaughtFrom;
using kestrel::testing::TempFolder;

class PostgresBackendTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const std::string why = postgres_.unavailable(); !why.empty()) GTEST_SKIP() << why;
  }
  // A store of its own for each call: a fresh schema.
  std::string NewStore() { return postgres_.location(dir_.path()); }
  // A store created in a schema of its own: its location.
  std::string CreatedStore() { return CreateStore(NewStore())->location(); }

  const kestrel::testing::StoreBackend postgres_ = kestrel::testing::AllStoreBackends().back();
  TempFolder dir_;
};

TEST_F(PostgresBackendTest, AStoreIsCreatedOnceInItsSchemaAndOpenedThere) {
  const std::string location = NewStore(), other = NewStore();
  CreateStore(location)->Execute("insert into qzddi100 (appl, dsca, extn) values ('LGA', 'Ledger', 0)");
  const ComError again = CaughtFrom([&] { CreateStore(location); });
  EXPECT_EQ(again.number(), 58);
  EXPECT_NE(again.description().find("qzddi100"), std::string::npos) << again.description();
  EXPECT_EQ(Open(location)->OpenRecordset("select appl, dsca from qzddi100")->GetString(-1, "|", ";"), "LGA|Ledger;");
  // A store in another schema of the same database is another store.
  EXPECT_EQ(CreateStore(other)->OpenRecordset("select count(*) from qzddi100")->Fields(0), Value(int64_t{0}));
  // A half-made store is discarded whole, and only that one: it can be made again.
  DiscardNewStore(location);
  EXPECT_EQ(CreateStore(location)->OpenRecordset("select count(*) from qzddi100")->Fields(0), Value(int64_t{0}));
  EXPECT_EQ(CaughtFrom([&] { CreateStore(other); }).number(), 58);
}

// Values travel in LATIN1, one character per byte: a database in any encoding
// that holds every LATIN1 character keeps them all, put, quoted, or held and
// copied in a transaction; the server's messages that quote them give the
// same bytes. A character beyond LATIN1 that another client stored is
// refused with the server's own error for it.
TEST_F(PostgresBackendTest, EveryByteComesBackWhateverTheDatabasesEncoding) {
  const std::string bytes = kestrel::testing::BytesFrom(1);
  const struct { std::string encoding; bool holds_every_byte; } rows[] = {
      {"UTF8", true}, {"SQL_ASCII", true}, {"LATIN1", true}, {"EUC_JP", false}};
  const std::string server = kestrel::testing::PostgresTestServer();
  auto admin = Open(server);
  for (const auto& row : rows) {
    SCOPED_TRACE(row.encoding);
    std::string database = "kt_encoding_" + row.encoding;
    for (char& c : database) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    admin->Execute("drop database if exists " + database);
    admin->Execute("create database " + database + " encoding '" + row.encoding +
                   "' lc_collate 'C' lc_ctype 'C' template template0");
    const std::string location = server + "&dbname=" + database;
    if (!row.holds_every_byte) {
      const ComError refused = CaughtFrom([&] { Open(location); });
      EXPECT_EQ(refused.number(), Number(Ours::StoreKindUnsupported));
      EXPECT_NE(refused.description().find(row.encoding), std::string::npos) << refused.description();
      continue;
    }
    auto c = Create(location);
    c->ExecuteScript("create table qzusr100 (usrn bytea, dsca text)");
    const std::string_view both[] = {"usrn", "dsca"};
    c->Insert("qzusr100", both)->Add(std::array{Value(bytes), Value(bytes)});
    c->Execute("insert into qzusr100 (dsca) values (" + c->Quote(bytes) + ")");
    auto back = c->OpenRecordset("select usrn, dsca from qzusr100 order by usrn is null");
    ASSERT_FALSE(back->IsEOF());
    EXPECT_EQ(back->Fields("usrn"), Value(bytes));  // inserted alone
    EXPECT_EQ(back->Fields("dsca"), Value(bytes));
    back->MoveNext();
    ASSERT_FALSE(back->IsEOF());
    EXPECT_EQ(back->Fields("dsca"), Value(bytes));  // quoted into the statement
    back->MoveNext();
    EXPECT_TRUE(back->IsEOF());

    // Rows inserted inside a transaction go by COPY; the read gives their
    // text field by field and joined.
    c->BeginBatch();
    const std::string_view dsca[] = {"dsca"};
    auto held = c->Insert("qzusr100", dsca);
    for (const char* name : {"m\xE9nage", "\xFF\xFE" "end"}) held->Add(std::array{Value(std::string(name) + bytes)});
    held->Flush();
    c->CommitBatch();
    auto copied = c->OpenRecordset("select dsca from qzusr100 where dsca <> " + c->Quote(bytes) + " order by dsca");
    std::string_view text;
    ASSERT_TRUE(copied->ViewText(0, text));
    EXPECT_EQ(text, "m\xE9nage" + bytes);
    copied->MoveNext();
    EXPECT_EQ(copied->GetString(-1, "|", ";"), std::string("\xFF\xFE" "end") + bytes + ";");

    c->Execute("create unique index qzusr100_dsca on qzusr100 (dsca) where dsca like 'm%'");
    const ComError duplicate =
        CaughtFrom([&] { c->Execute("insert into qzusr100 (dsca) values ('m\xE9nage' || " + c->Quote(bytes) + ")"); });
    EXPECT_NE(duplicate.description().find("=(m\xE9nage\x01\x02"), std::string::npos) << duplicate.description();

    if (row.encoding != "UTF8") continue;
    const ComError refused_there = CaughtFrom([&] { c->Execute("select convert_to(chr(8364), 'LATIN1')"); });
    c->Execute("insert into qzusr100 (dsca) values ('euro ' || chr(8364))");
    const ComError ours =
        CaughtFrom([&] { c->OpenRecordset("select dsca from qzusr100 where dsca like 'euro%'")->Fields(0); });
    EXPECT_EQ(ours.number(), refused_there.number());
    EXPECT_EQ(ours.description(), refused_there.description());
  }
}

// Texts compare as bytes, as on SQLite, also in a database whose own
// collation sorts letters without regard to case: keys, the order of a
// profile's rows in a pack, and an order by of the caller's.
TEST_F(PostgresBackendTest, TextsCompareAsBytesWhateverTheDatabasesCollation) {
  auto admin = Open(kestrel::testing::PostgresTestServer());
  admin->Execute("drop database if exists kt_collation");
  admin->Execute("create database kt_collation locale_provider icu icu_locale 'en-US' template template0");
  auto c = CreateStore(std::string(kestrel::testing::PostgresTestServer()) + "&dbname=kt_collation");
  c->Execute("insert into qzmap120 (mprf, vers, tcpac, tcmod, tflno) values (5, 'b', 'cust', 'Ord', 'f1'), "
             "(5, 'A', 'Cust', 'ord', 'f1'), (5, 'B', 'cust', 'ord', 'f1'), (5, 'a', 'Cust', 'Ord', 'f1')");
  const int64_t profiles[] = {5};
  const struct { std::string select, vers; } rows[] = {
      {"select vers from qzmap120 order by vers", "A;B;a;b;"},
      {"select vers from qzmap120 order by tcpac, tcmod", "a;A;b;B;"},
      {SelectProfileRows(Dialect::Postgres, "qzmap120", profiles), "a;A;b;B;"},
  };
  for (const auto& row : rows) {
    std::string got;
    for (auto rs = c->OpenRecordset(row.select); !rs->IsEOF(); rs->MoveNext()) got += rs->Fields("vers").Text() + ";";
    EXPECT_EQ(got, row.vers) << row.select;
  }
  c.reset();
  admin->Execute("drop database kt_collation");
}

// The index of a table holds the order its rows reach a pack in (empty
// values first, then the order they were added): a cursor walks it and
// sorts nothing, on a store without statistics too, however many rows. (The
// headers, a row or a few per profile, are ordered by their key and sorted.)
TEST_F(PostgresBackendTest, ReadsInPackOrderWalkAnIndexWithoutSorting) {
  auto c = CreateStore(NewStore());
  c->ExecuteScript(
      "create function pg_temp.plan_of(q text) returns setof text language plpgsql as $$ declare line record;"
      " begin for line in execute 'explain ' || q loop return next line.\"QUERY PLAN\"; end loop; end $$");
  const int64_t chain[] = {30, 20, 10};
  const std::string reads[] = {
      SelectCurrentRules(Dialect::Postgres, "qzmap120", chain, true),
      SelectCurrentRules(Dialect::Postgres, "qzmap170", chain, true),
      SelectProfileRows(Dialect::Postgres, "qzmap175", chain),
      SelectLibraryRows(Dialect::Postgres, "qzlib105", chain),
      SelectApplicationRows(Dialect::Postgres, "qzddi150", "ACC10"),
  };
  for (const auto& read : reads) {
    std::string plan;
    auto rs = c->OpenRecordset("select * from pg_temp.plan_of(" + c->Quote("declare c no scroll cursor for " + read) + ")");
    for (; !rs->IsEOF(); rs->MoveNext()) plan += rs->Fields(0).Text() + "\n";
    EXPECT_EQ(plan.find("Sort"), std::string::npos) << read << "\n" << plan;
    EXPECT_NE(plan.find("Index"), std::string::npos) << read << "\n" << plan;
  }
  // A join read by hashing switches nested loops off for itself alone, in a
  // snapshot or outside one.
  c->Execute("insert into qzddi140 (appl, cpac, cmod, flno) values ('ACC10', 'CUST', 'ORD', 'F1')");
  c->Execute("insert into qzmap120 (mprf, vers, rele, cust, tcpac, tcmod, tflno) values (30, 'X42U', 'R1', 'cu02', 'CUST', 'ORD', 'F1')");
  const RuleLevel level[] = {{30, "X42U", "R1", "cu02"}};
  for (const bool snapshot : {false, true}) {
    if (snapshot) c->BeginSnapshot();
    EXPECT_EQ(c->OpenRecordset(SelectRuleObjectRows(Dialect::Postgres, "qzmap120", "qzddi140", "ACC10", level))
                  ->GetString(-1, "|", ";")
                  .substr(0, 2),
              "1|");
    EXPECT_EQ(c->OpenRecordset("select current_setting('enable_nestloop')")->Fields(0), Value("on")) << snapshot;
  }
  c->RollbackBatch();
}

// A rule table read through alone in a snapshot, as the export writes its
// file, gives the rows a cursor gives, in pack order, however the rows were
// added. Its rows after the first piece come with sorts switched off for
// their copy alone: the session's sorts are as they were once the read ends
// or is released half-way, the URI's own setting included.
TEST_F(PostgresBackendTest, ARuleTableReadThroughAloneLeavesTheSessionsSortsAsTheyWere) {
  const std::string location = NewStore();
  auto store = CreateStore(location);
  store->Execute(
      "insert into qzmap120 (mprf, vers, rele, cust, tcpac, tcmod, tflno, txtn) "
      "select case when g % 3 = 0 then 20 else 30 end, 'X42U', 'R1', 'cu02', 'CUST' || (g % 97), 'ORD', "
      "lpad((2600 - g)::text, 4, '0'), 'rule ' || g from generate_series(1, 2600) g");
  const int64_t chain[] = {30, 20, 10};
  const std::string read = SelectCurrentRules(Dialect::Postgres, "qzmap120", chain, true);
  for (const std::string sorts : {"on", "off"}) {
    SCOPED_TRACE("sorts " + sorts);
    auto c = Open(sorts == "on" ? location : location + "%20-cenable_sort%3Doff");
    const auto setting = [&] { return c->OpenRecordset("select current_setting('enable_sort')")->Fields(0).Text(); };
    ASSERT_EQ(setting(), sorts);
    const std::string expected = store->OpenRecordset(read)->GetString(-1, "|", ";");
    ASSERT_EQ(std::count(expected.begin(), expected.end(), ';'), 2600);
    c->BeginSnapshot();
    auto whole = c->OpenRecordset(read);
    whole->ReadThroughAlone();
    EXPECT_EQ(whole->GetString(-1, "|", ";"), expected);
    whole.reset();
    EXPECT_EQ(setting(), sorts);
    auto half = c->OpenRecordset(read);
    half->ReadThroughAlone();
    size_t end = 0;
    for (int row = 0; row < 1500; ++row) end = expected.find(';', end) + 1;
    EXPECT_EQ(half->GetString(1500, "|", ";"), expected.substr(0, end));
    half.reset();
    EXPECT_EQ(setting(), sorts);
    c->CommitBatch();
    EXPECT_EQ(setting(), sorts);
  }
}

TEST_F(PostgresBackendTest, TheWriteLockIsTheStoresOwn) {
  const std::string first = NewStore(), second = NewStore();
  auto a = Create(first), a_again = Open(first), b = Create(second);
  WriteLockOptions at_once;
  at_once.wait = std::chrono::milliseconds(0);
  ASSERT_TRUE(a->BeginWriteUnit(at_once));
  EXPECT_TRUE(b->BeginWriteUnit(at_once));  // another store in the same database
  EXPECT_FALSE(a_again->BeginWriteUnit(at_once));
  EXPECT_FALSE(a_again->InTransaction());
  a->RollbackBatch();
  b->RollbackBatch();
  EXPECT_TRUE(a_again->BeginWriteUnit(at_once));
  a_again->RollbackBatch();
}

// In a snapshot a read that ran before goes without a savepoint of its own.
// A first run that fails leaves the snapshot as it was; a known text that
// fails ends it, and the reads after it are refused rather than answered
// from a later state of the store.
TEST_F(PostgresBackendTest, AKnownReadFailingInASnapshotEndsItsReads) {
  const std::string location = NewStore();
  CreateStore(location)->Execute("insert into qzddi100 (appl, dsca, extn) values ('LGA', 'Ledger', 0)");
  auto c = Open(location);
  c->BeginSnapshot();
  const std::string tenth = "select 10 / extn as q from qzddi100 where extn >= " + c->Placeholder(1);
  const std::string divided = "select 10 / " + c->Placeholder(1) + " as q";
  const std::string zero = "division by zero", ended = "current transaction is aborted";
  // `q` none: refused with `refusal`.
  const struct { const std::string& select; int64_t value; std::optional<int64_t> q; const std::string* refusal; } reads[] = {
      {divided, 2, 5, nullptr},  {divided, 5, 2, nullptr},       {tenth, 0, std::nullopt, &zero},
      {divided, 1, 10, nullptr}, {divided, 0, std::nullopt, &zero}, {divided, 2, std::nullopt, &ended},
      {tenth, -1, std::nullopt, &ended},
  };
  for (const auto& read : reads) {
    SCOPED_TRACE(read.select + " with " + std::to_string(read.value));
    if (!read.q) {
      const ComError e = CaughtFrom([&] { c->OpenRecordset(Query{read.select, {Value(read.value)}}); });
      EXPECT_NE(e.description().find(*read.refusal), std::string::npos) << e.description();
      continue;
    }
    EXPECT_EQ(c->OpenRecordset(Query{read.select, {Value(read.value)}})->Fields("q"), Value(*read.q));
  }
  // Its end says that it had failed.
  EXPECT_NE(CaughtFrom([&] { c->CommitBatch(); }).description().find("rolled the transaction back"),
            std::string::npos);
  EXPECT_FALSE(c->InTransaction());
  EXPECT_EQ(c->OpenRecordset("select dsca from qzddi100")->Fields(0), Value("Ledger"));
}

// A read of a snapshot among others read side by side: its column n gives
// sign * 1, 2, ... row by row, and its last column b the same as eight
// bytes; it is closed after `closed_after` rows (0: at
// its end). Then the rows seen, and the refusal that ended it, if one did.
struct ReadInTurn {
  std::unique_ptr<Recordset> read;
  int64_t sign = 1, closed_after = 0, seen = 0;
  std::string refused;
};

// Reads them row by row in turns, one row of each at a time, till each is closed or refused.
void ReadInTurns(std::vector<ReadInTurn>& reads) {
  for (bool any = true; any;) {
    any = false;
    for (size_t i = 0; i < reads.size(); ++i) {
      ReadInTurn& r = reads[i];
      if (!r.read) continue;
      try {
        if (r.read->IsEOF() || (r.closed_after && r.seen == r.closed_after)) {
          r.read->Close();
          r.read.reset();
          continue;
        }
        const int64_t n = r.sign * (r.seen + 1);
        ASSERT_EQ(r.read->Fields("n"), Value(n)) << "read " << i;
        // The last column, bytea, lent as its bytes: decoded anew on each row of each piece.
        std::string big_endian;
        std::string_view lent;
        for (int shift = 56; shift >= 0; shift -= 8) big_endian += static_cast<char>((n >> shift) & 0xFF);
        ASSERT_TRUE(r.read->ViewText(r.read->FieldCount() - 1, lent) && lent == big_endian) << "read " << i;
        ++r.seen;
        r.read->MoveNext();
        any = true;
      } catch (const ComError& e) {
        r.refused = e.description();
        r.read.reset();
      }
    }
  }
}

// An export's reads fetch their next piece ahead: reads side by side each
// get their own pieces, whole and in order, and a read closed with a piece
// on its way leaves the others working.
TEST_F(PostgresBackendTest, ReadsInASnapshotGetTheirOwnPiecesFetchedAhead) {
  auto c = Open(CreatedStore());
  c->BeginSnapshot();
  // `closed_after` 0: read to its end.
  const struct { int rows; int64_t sign; int closed_after; } rows[] = {
      {7000, 1, 0}, {5000, -1, 0}, {9000, 7, 2500}, {1000, 3, 0}, {2001, 5, 0}};
  std::vector<ReadInTurn> reads;
  for (const auto& row : rows)
    reads.push_back({c->OpenRecordset("select " + std::to_string(row.sign) + " * g as n, int8send(" +
                                      std::to_string(row.sign) + " * g::int8) as b from generate_series(1, " +
                                      std::to_string(row.rows) + ") g"),
                     row.sign, row.closed_after, 0, ""});
  ReadInTurns(reads);
  for (size_t i = 0; i < std::size(rows); ++i) {
    EXPECT_EQ(reads[i].seen, rows[i].closed_after ? rows[i].closed_after : rows[i].rows) << "read " << i;
    EXPECT_EQ(reads[i].refused, "") << "read " << i;
  }
}

// Reads side by side have their pieces on the way together: a piece the
// server refuses fails its own read (or, when that read is closed, nothing
// yet), and the other read keeps the rows it has, then is refused with the
// transaction, whichever of the two asked first.
TEST_F(PostgresBackendTest, AFailedPieceOnTheWayWithOthersEndsTheSnapshotForAll) {
  const std::string location = CreatedStore();
  // `failing_closed_after` 0: read until it fails; in pieces of 500, row 6000 is on its way at 5000.
  const struct { bool failing_opened_first; int failing_closed_after; } cases[] = {
      {true, 0}, {false, 0}, {true, 5000}, {false, 5000}};
  for (const auto& k : cases) {
    SCOPED_TRACE(::testing::Message() << "failing first " << k.failing_opened_first << ", closed after "
                                    << k.failing_closed_after);
    auto c = Open(location);
    c->BeginSnapshot();
    std::vector<ReadInTurn> reads;
    const size_t failing = k.failing_opened_first ? 0 : 1, other = 1 - failing;
    // Row 6000 of the failing read divides by zero.
    for (size_t i = 0; i < 2; ++i)
      reads.push_back({c->OpenRecordset(std::string("select ") + (i == failing ? "10 / (6000 - g) as q, " : "") +
                                        "g as n, int8send(g::int8) as b from generate_series(1, 9000) g"),
                       1, i == failing ? k.failing_closed_after : 0, 0, ""});
    ReadInTurns(reads);
    if (k.failing_closed_after) {
      EXPECT_EQ(reads[failing].seen, k.failing_closed_after);
      EXPECT_EQ(reads[failing].refused, "");
    } else {
      EXPECT_NE(reads[failing].refused.find("division by zero"), std::string::npos) << reads[failing].refused;
      EXPECT_GE(reads[failing].seen, 3000);
      EXPECT_LT(reads[failing].seen, 6000);
    }
    EXPECT_NE(reads[other].refused.find("current transaction is aborted"), std::string::npos) << reads[other].refused;
    EXPECT_GE(reads[other].seen, k.failing_closed_after ? k.failing_closed_after : reads[failing].seen);
    EXPECT_LT(reads[other].seen, 9000);
  }
}

TEST_F(PostgresBackendTest, AReadOnlyConnectionCannotBulkLoad) {
  const std::string location = CreatedStore();
  // The store's options come last in its URI: the read-only default joins them.
  auto read_only = Open(location + "%20-cdefault_transaction_read_only%3Don");
  EXPECT_FALSE(read_only->CanBulkLoad());
  BulkLoadOptions o;
  EXPECT_EQ(CaughtFrom([&] { BulkLoadFile(Env::Default(), *read_only, "qzddi100", dir_ / "qzddi100.dat", o); }).number(),
            kNoBulkRights);
  EXPECT_TRUE(Open(location)->CanBulkLoad());
}

// The server's refusal keeps its SQLSTATE, as the number the server gives it
// and in the text, with the store's location (masked) as its place; a schema
// without the store's tables is no profile store, and says so.
TEST_F(PostgresBackendTest, AServersRefusalNamesItsSqlStateAndTheStore) {
  const std::string location = NewStore();
  const ComError plain = CaughtFrom([&] { kestrel::Store::Open(location); });
  EXPECT_EQ(plain.number(), Number(Ours::NotAProfileStore)) << plain.description();
  EXPECT_EQ(plain.place().path, MaskedLocation(location));
  CreateStore(location);
  const struct { std::string statement, sqlstate; int32_t number; std::string table; } refusals[] = {
      {"select * from qzmap999", "42P01", 16908420, "qzmap999"},
      {"insert into qzddi100 (appl, dsca, extn) values ('LGA', 'Ledger', 0), ('LGA', 'Again', 0)", "23505", 83906754,
       "qzddi100"},
      {"select 1/0", "22012", 33816706, ""},
  };
  for (const auto& r : refusals) {
    SCOPED_TRACE(r.statement);
    const ComError e = CaughtFrom([&] { Open(location)->Execute(r.statement); });
    EXPECT_EQ(e.number(), r.number);
    EXPECT_TRUE(e.description().ends_with(" (SQLSTATE " + r.sqlstate + ")")) << e.description();
    EXPECT_EQ(e.place().path, MaskedLocation(location));
    EXPECT_EQ(e.place().table, r.table);
  }
}

}  // namespace
}  // namespace kestrel::store
