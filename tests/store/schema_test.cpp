// The schema: thirty-one tables with the columns the component names, the
// column types and keys it relies on, and the rules for application tables.
#include "store/schema.h"

#include <gtest/gtest.h>

#include <set>

#include "base/error.h"
#include "support/temp_folder.h"
#include "support/error_of.h"

namespace kestrel::store {
namespace {

using kestrel::testing::TempFolder;

using kestrel::testing::ErrorOf;

TEST(SchemaTest, ThirtyOneTablesInFiveFamilies) {
  std::map<std::string, int> families;
  for (const auto& t : Tables()) families[std::string(t.name.substr(0, 5))]++;
  EXPECT_EQ(Tables().size(), 31u);
  EXPECT_EQ(families, (std::map<std::string, int>{{"qzmap", 15}, {"qzlib", 2}, {"qzusr", 2}, {"qzddi", 8}, {"qzlgy", 4}}));
  for (auto list : {ProfileTables(), ApplicationTables(), RuleTables()})
    for (std::string_view name : list) EXPECT_NE(FindTable(name), nullptr) << name;
  EXPECT_EQ(ProfileTables().size(), 17u);
  EXPECT_EQ(ApplicationTables().size(), 11u);
  for (std::string_view name : ProfileTables()) EXPECT_TRUE(FindTable(name)->HasColumn("mprf")) << name;
}

TEST(SchemaTest, IntegerColumnsOnlyWhereNumbersAreNamed) {
  const std::set<std::string_view> integers{"mprf", "levl", "deph", "extn", "dnum", "type", "revi", "pexp", "pprf"};
  for (const auto& t : Tables())
    for (const auto& c : t.columns) {
      bool binary = (t.name == "qzmap100" && c.name == "ownr") || (t.name.substr(0, 5) == "qzusr" && c.name != "dsca");
      if (binary)
        EXPECT_EQ(c.type, ColumnType::Binary) << t.name << "." << c.name;
      else if (integers.count(c.name))
        EXPECT_EQ(c.type, ColumnType::Integer) << t.name << "." << c.name;
      else
        EXPECT_EQ(c.type, ColumnType::Text) << t.name << "." << c.name;
    }
  EXPECT_TRUE(FindTable("qzlib105")->HasColumn("pexp"));
  EXPECT_TRUE(FindTable("qzmap110")->HasColumn("pexp"));
}

TEST(SchemaTest, ApplicationTablesMoveByPosition) {
  for (std::string_view name : ApplicationTables()) {
    const TableDef& t = *FindTable(name);
    ASSERT_GE(t.columns.size(), 4u) << name;
    EXPECT_EQ(t.columns.front().name, "appl") << name;  // the key of every application table
    EXPECT_NE(t.columns.back().name, "appl") << name;   // re-coding looks for the code + character 1
  }
  EXPECT_EQ(FindTable("qzddi100")->columns.back().name, "extn");
  for (std::string_view name : {"qzddi140", "qzlgy140"})
    for (std::string_view col : {"cpac", "cmod", "flno"}) EXPECT_TRUE(FindTable(name)->HasColumn(col)) << name;
  auto codes = FindTable("qzlgy115")->ColumnNames();
  EXPECT_EQ(codes, (std::vector<std::string_view>{"code", "dsca", "ival", "oval"}));
}

TEST(SchemaTest, CreatedStoreKeepsKeysAndTexts) {
  TempFolder dir;
  auto c = CreateStore(dir / "s.db");
  auto tables = c->OpenRecordset("select count(*) from sqlite_master where type = 'table' and name like 'qz%'");
  EXPECT_EQ(tables->Fields(0).Integer(), 31);

  c->Execute("insert into qzmap100 (mprf, vers, rele, cust, deph) values (10, 'X40', '007', 'ab1', '1')");
  // One row per profile number and per VRC.
  EXPECT_EQ(ErrorOf([&] { c->Execute("insert into qzmap100 (mprf, vers, rele, cust) values (10, 'X41', 'c', 'd')"); }),
            1555);  // primary key
  EXPECT_EQ(ErrorOf([&] { c->Execute("insert into qzmap100 (mprf, vers, rele, cust) values (11, 'X40', '007', 'ab1')"); }),
            2067);  // unique
  // SQLite compares texts exactly: a VRC differing in case is another VRC.
  EXPECT_EQ(c->Execute("insert into qzmap100 (mprf, vers, rele, cust) values (11, 'x40', '007', 'ab1')"), 1);
  auto r = c->OpenRecordset("select rele, deph, typeof(deph) from qzmap100 where mprf = 10");
  EXPECT_EQ(r->Fields("rele"), Value("007"));
  EXPECT_EQ(r->Fields("deph"), Value(int64_t{1}));  // an integer column turns '1' into 1

  c->Execute("insert into qzmap101 (mprf, levl, pprf) values (10, 1, 10)");
  EXPECT_EQ(ErrorOf([&] { c->Execute("insert into qzmap101 (mprf, levl, pprf) values (10, 1, 10)"); }), 2067);
  c->Execute("insert into qzddi100 (appl, extn) values ('LGA', 0)");
  EXPECT_EQ(ErrorOf([&] { c->Execute("insert into qzddi100 (appl, extn) values ('LGA', 1)"); }), 2067);
  c->Execute("insert into qzmap150 (func, defn) values ('TRIM', 'x')");
  EXPECT_EQ(ErrorOf([&] { c->Execute("insert into qzmap150 (func, defn) values ('TRIM', 'y')"); }), 2067);

  // The statements select by indexed columns.
  auto plan = c->OpenRecordset("explain query plan select * from qzmap120 where mprf in (10,11) and tcpac='P'");
  EXPECT_NE(plan->Fields("detail").Text().find("qzmap120_mprf_object"), std::string::npos);
  auto usr = c->OpenRecordset("explain query plan delete from qzusr110 where cast(mprf as int)=10");
  EXPECT_NE(usr->Fields("detail").Text().find("qzusr110_mprf"), std::string::npos);
}

}  // namespace
}  // namespace kestrel::store
