// The schema: the column types and keys the component relies on, profile
// and application tables as the movers expect them, and the created store.
#include "store/schema.h"

#include <gtest/gtest.h>

#include <set>

#include "support/error_of.h"
#include "support/store_builder.h"
#include "support/temp_folder.h"

namespace kestrel::store {
namespace {

using kestrel::testing::ErrorOf;

TEST(SchemaTest, TablesColumnsAndTypes) {
  for (std::string_view name : ProfileTables()) EXPECT_TRUE(FindTable(name)->HasColumn("mprf")) << name;
  EXPECT_FALSE(FindTable("qzmap120")->HasColumn("pexp"));
  EXPECT_EQ(FindTable("qzmap999"), nullptr);
  const std::set<std::string_view> integers{"mprf", "levl", "deph", "extn", "dnum", "type", "revi", "pexp", "pprf"};
  for (const auto& t : Tables())
    for (const auto& c : t.columns) {
      const bool binary = (t.name == "qzmap100" && c.name == "ownr") || (t.name.substr(0, 5) == "qzusr" && c.name != "dsca");
      EXPECT_EQ(c.type, binary ? ColumnType::Binary : integers.count(c.name) ? ColumnType::Integer : ColumnType::Text)
          << t.name << "." << c.name;
    }
  // Application tables move by position: the code first, never last.
  for (std::string_view name : ApplicationTables()) {
    EXPECT_EQ(FindTable(name)->columns.front().name, "appl") << name;
    EXPECT_NE(FindTable(name)->columns.back().name, "appl") << name;
  }
}

TEST(SchemaTest, CreatedStoreKeepsKeysAndTexts) {
  kestrel::testing::TempFolder dir;
  auto s = kestrel::testing::StoreBuilder::Empty(dir / "s.db");
  EXPECT_EQ(s.Count("select count(*) from sqlite_master where type = 'table' and name like 'qz%'"), 31);
  s.Exec("insert into qzmap100 (mprf, vers, rele, cust, deph) values (10, 'X40', '007', 'ab1', '1')");
  s.Exec("insert into qzmap101 (mprf, levl, pprf) values (10, 1, 10)");
  s.Exec("insert into qzddi100 (appl, extn) values ('LGA', 0)");
  s.Exec("insert into qzmap150 (func, defn) values ('TRIM', 'x')");
  const std::pair<std::string, int> refused[] = {
      {"insert into qzmap100 (mprf, vers, rele, cust) values (10, 'X41', 'c', 'd')", 1555},  // primary key
      {"insert into qzmap100 (mprf, vers, rele, cust) values (11, 'X40', '007', 'ab1')", 2067},
      {"insert into qzmap101 (mprf, levl, pprf) values (10, 1, 10)", 2067},
      {"insert into qzddi100 (appl, extn) values ('LGA', 1)", 2067},
      {"insert into qzmap150 (func, defn) values ('TRIM', 'y')", 2067},
  };
  for (const auto& [statement, number] : refused) EXPECT_EQ(ErrorOf([&] { s.Exec(statement); }), number) << statement;
  // Texts compare exactly: a VRC differing in case is another VRC; '007' stays text, deph a number.
  s.Exec("insert into qzmap100 (mprf, vers, rele, cust) values (11, 'x40', '007', 'ab1')");
  EXPECT_EQ(s.Rows("select rele, deph, typeof(deph) from qzmap100 where mprf = 10"),
            (std::vector<std::vector<std::string>>{{"007", "1", "integer"}}));
}

}  // namespace
}  // namespace kestrel::store
