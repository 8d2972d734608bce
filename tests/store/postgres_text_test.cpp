// The texts the PostgreSQL backend makes and reads. The COPY text that rows
// travel in to the server, and reading a line of it back into values: rows
// held for a COPY live only as this text, and a refused group goes again row
// by row from it, so every value must read back as the statement that
// inserts it alone would have sent it.
#include <fmt/format.h>
#include <fmt/ranges.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/error.h"
#include "base/errors_ours.h"
#include "store/postgres/copy_text.h"
#include "store/postgres/statement_text.h"
#include "support/error_of.h"
#include "support/temp_folder.h"

namespace kestrel::store::postgres {
namespace {

using kestrel::testing::ErrorOf;

TEST(PostgresCopyTextTest, EachValueReadsBackAsItWasPut) {
  // `text`: as the line holds it; `read`: as it reads back.
  const struct { Value put; bool binary; std::string text; Value read; } rows[] = {
      {Value(), false, "\\N", Value()},
      {Value(), true, "\\N", Value()},
      {Value(""), false, "", Value("")},
      {Value("\\N"), false, "\\\\N", Value("\\N")},
      {Value("ACC10"), false, "ACC10", Value("ACC10")},
      {Value("Tab\tand\\back\r\nslash"), false, "Tab\\tand\\\\back\\r\\nslash", Value("Tab\tand\\back\r\nslash")},
      {Value("m\xE9nage \x01\x7F\xFF"), false, "m\xE9nage \x01\x7F\xFF", Value("m\xE9nage \x01\x7F\xFF")},
      {Value(int64_t{-9223372036854775807 - 1}), false, "-9223372036854775808", Value("-9223372036854775808")},
      {Value(2550), false, "2550", Value("2550")},
      {Value(0.25), false, "0.25", Value("0.25")},
      {Value("\t\n\\"), true, "\\\\x090a5c", Value("\t\n\\")},
      {Value(""), true, "\\\\x", Value("")},
  };
  // Every value on its own, then all of them in one line.
  std::string line;
  std::vector<bool> binary;
  std::vector<Value> read;
  for (const auto& row : rows) {
    std::string one;
    AppendCopyValue(one, row.put, row.binary);
    EXPECT_EQ(one, row.text) << row.text;
    EXPECT_EQ(ReadCopyValues(one, {row.binary}), std::vector<Value>{row.read}) << row.text;
    line += (binary.empty() ? "" : "\t") + one;
    binary.push_back(row.binary);
    read.push_back(row.read);
  }
  EXPECT_EQ(ReadCopyValues(line, binary), read);
  // A bytea value keeps every byte.
  std::string bytes;
  AppendCopyValue(bytes, Value(kestrel::testing::BytesFrom(0)), true);
  EXPECT_EQ(ReadCopyValues(bytes, {true}), std::vector<Value>{Value(kestrel::testing::BytesFrom(0))});
  // Escapes it never writes are refused.
  for (const std::string refused : {"ends in \\", "octal \\101", "a\t\\x41", "not null \\N"})
    EXPECT_EQ(ErrorOf([&] { ReadCopyValues(refused, {false, false}); }), Number(Ours::Internal)) << refused;
}

// Lines as the server's COPY ... TO writes them: every control byte it
// escapes with a letter comes back, a field that only looks like NULL is
// text, and a short line after a long one leaves none of the long one's
// fields behind.
TEST(PostgresCopyTextTest, TheServersLinesSplitIntoTheirFields) {
  const struct { std::string line; std::vector<std::string> fields; std::vector<uint8_t> nulls; } rows[] = {
      {"ACCX2\tACCT\t\\N\t\t42", {"ACCX2", "ACCT", "", "", "42"}, {0, 0, 1, 0, 0}},
      {"a\\tb\\r\\nc\\\\d\\b\\f\\v", {"a\tb\r\nc\\d\b\f\v"}, {0}},
      {"\\\\N\t\\N", {"\\N", ""}, {0, 1}},
      {"m\xE9nage \x01\x7F\xFF\t", {"m\xE9nage \x01\x7F\xFF", ""}, {0, 0}},
      {"", {""}, {0}},
      {"\\N", {""}, {1}},
  };
  std::vector<std::string> fields = {"left", "over", "from", "a", "longer", "line"};
  std::vector<uint8_t> nulls(6, 1);
  for (const auto& row : rows) {
    SplitCopyLine(row.line, fields, nulls);
    EXPECT_EQ(fields, row.fields) << row.line;
    EXPECT_EQ(nulls, row.nulls) << row.line;
    // The quick way copies a line without escapes field by field; a line a
    // field short, or with an escape, it leaves to the split, adding nothing.
    std::string quick = "kept|";
    const bool plain = row.line.find('\\') == std::string::npos;
    EXPECT_FALSE(AppendPlainCopyFields(quick, row.line, row.fields.size() + 1, "|")) << row.line;
    EXPECT_EQ(AppendPlainCopyFields(quick, row.line, row.fields.size(), "|"), plain) << row.line;
    EXPECT_EQ(quick, plain ? fmt::format("kept|{}", fmt::join(row.fields, "|")) : "kept|") << row.line;
  }
  for (const std::string line : {"a\\", "a\\x41", "a\\N", "\\0"})
    EXPECT_EQ(ErrorOf([&] { SplitCopyLine(line, fields, nulls); }), Number(Ours::Internal)) << line;
}

// What the PostgreSQL backend reads from a statement's text before sending
// it: one statement or several, its kind (whether it takes the write lock or
// runs outside a transaction), and the table whose rows it adds or deletes
// (for the counts of an import), quotes and comments left alone.
TEST(PostgresStatementTextTest, OneStatementWithoutWhatEndsIt) {
  // `single`: "" when the text holds a second statement.
  const struct { std::string text, single; } rows[] = {
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
  const struct { std::string text; StatementKind kind; std::string table; } rows[] = {
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
