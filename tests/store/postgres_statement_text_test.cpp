// What the PostgreSQL backend reads from a statement's text before sending
// it: one statement or several, its kind (whether it takes the write lock or
// runs outside a transaction), and the table whose rows it adds or deletes
// (for the counts of an import), quotes and comments left alone.
#include <gtest/gtest.h>

#include <string>

#include "base/error.h"
#include "base/errors_ours.h"
#include "store/postgres/statement_text.h"
#include "support/error_of.h"

namespace kestrel::store::postgres {
namespace {

using kestrel::testing::ErrorOf;

TEST(PostgresStatementTextTest, OneStatementWithoutWhatEndsIt) {
  const struct {
    std::string text;
    std::string single;  // "" when the text holds a second statement
  } rows[] = {
      {"delete from qzmap120 where mprf=31", "delete from qzmap120 where mprf=31"},
      {"update qzmap120 set vers = 'X41' where mprf = 99;\r\n\t ", "update qzmap120 set vers = 'X41' where mprf = 99"},
      {"insert into qzmap120 (comt) values ('first; second')", "insert into qzmap120 (comt) values ('first; second')"},
      {"insert into qzmap120 (comt) values ('it''s; done');", "insert into qzmap120 (comt) values ('it''s; done')"},
      {"select \"odd;name\" from qzmap120", "select \"odd;name\" from qzmap120"},
      {"select 1; -- the count; of rows\n", "select 1"},
      {"select 1 /* one; two */;", "select 1 /* one; two */"},
      {"delete from qzmap120; delete from qzddi100", ""},
      {"select 1;;", "select 1"},
      {"select 1; select 2;", ""},
  };
  for (const auto& row : rows) {
    if (row.single.empty()) {
      EXPECT_EQ(ErrorOf([&] { SingleStatement(row.text); }), Number(Ours::StatementNotSingle)) << row.text;
    } else {
      EXPECT_EQ(SingleStatement(row.text), row.single) << row.text;
    }
  }
}

TEST(PostgresStatementTextTest, KindsAndTablesChanged) {
  const struct {
    std::string text;
    StatementKind kind;
    std::string table;
  } rows[] = {
      {"select * from qzmap120 where mprf in (40,31,12)", StatementKind::Read, ""},
      {"  Select vers,rele,cust from qzmap100 where mprf = 31", StatementKind::Read, ""},
      {"-- the chain\nselect pprf from qzmap101", StatementKind::Read, ""},
      {"insert into qzmap101 (mprf, levl) values (31, 3)", StatementKind::Write, "qzmap101"},
      {"INSERT INTO QZMAP120 VALUES ($1,$2)", StatementKind::Write, "qzmap120"},
      {"insert  into\n\"QzMap120\" (mprf) values (1)", StatementKind::Write, "QzMap120"},
      {"insert into profiles.qzmap120 (mprf) values (1)", StatementKind::Write, "qzmap120"},
      {"delete from qzusr110 where cast(encode(mprf, 'escape') as int)=31", StatementKind::Write, "qzusr110"},
      {"update qzmap100 set dsca = 'insert into qzmap999' where mprf= 31", StatementKind::Write, ""},
      {"with recursive n(k) as (select 1 union all select k + 1 from n where k < 9) insert into qzmap120 (mprf) "
       "select k from n",
       StatementKind::Write, "qzmap120"},
      {"with n(k) as (select 1) select k from n", StatementKind::Read, ""},
      {"create table qzmap999 (mprf integer)", StatementKind::Write, ""},
      {"begin", StatementKind::Control, ""},
      {"ROLLBACK", StatementKind::Control, ""},
      {"set lock_timeout = 1", StatementKind::Control, ""},
      {"create database profiles_test", StatementKind::Control, ""},
      {"vacuum qzmap120", StatementKind::Control, ""},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(KindOf(row.text), row.kind) << row.text;
    EXPECT_EQ(TableChanged(row.text), row.table) << row.text;
  }
}

}  // namespace
}  // namespace kestrel::store::postgres
