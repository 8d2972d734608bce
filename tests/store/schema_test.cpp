// The schema: the column types the component relies on, and profile and
// application tables as the movers expect them.
#include "store/schema.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace kestrel::store {
namespace {

TEST(SchemaTest, TablesColumnsAndTypes) {
  const auto has = [](std::string_view table, std::string_view column) {
    return std::ranges::count(FindTable(table)->ColumnNames(), column) == 1;
  };
  for (std::string_view name : ProfileTables()) EXPECT_TRUE(has(name, "mprf")) << name;
  EXPECT_FALSE(has("qzmap120", "pexp"));
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

}  // namespace
}  // namespace kestrel::store
