// Whether the check of an import's application rows against the unique keys
// needs the store: the check runs beside the load only when it does not, so
// a key it wrongly passes over would let a collision with a kept row through.
#include "importer/key_collisions.h"

#include <gtest/gtest.h>


#include "base/errors_ours.h"
#include "store/connection.h"
#include "support/error_of.h"
#include "support/store_builder.h"
#include "support/temp_folder.h"

namespace kestrel::testing {
namespace {

using importer::KeyCollisions;

const std::vector<std::string> kQzddi150 = {"appl", "cpac", "cmod", "flno", "fldn", "fdsc", "ftyp", "flen"};
const std::vector<std::string> kQzlgy115 = {"code", "dsca", "ival", "oval"};
const std::vector<std::string> kQzddi100 = {"appl", "dsca", "aver", "crdt", "extn"};

struct AsksStoreCase {
  std::string name;
  std::string schema;  // run on a new store before asking
  std::string table;
  bool first_field_replaced;
  bool asks_store;
};

const AsksStoreCase kCases[] = {
    {"a table without a unique key", "", "qzddi150", true, false},
    {"the application table's own key", "", "qzddi100", true, false},
    {"the application table's own key, rows of any application", "", "qzddi100", false, true},
    {"a key across applications", "create unique index k on qzddi150 (cpac, cmod, flno, fldn)", "qzddi150", true, true},
    {"a key that starts with the application", "create unique index k on qzddi150 (appl, fldn)", "qzddi150", true, false},
    {"a key that ends with the application", "create unique index k on qzddi150 (fldn, appl)", "qzddi150", true, false},
    {"two keys, one without the application",
     "create unique index k1 on qzddi150 (appl, fldn); create unique index k2 on qzddi150 (fdsc)", "qzddi150", true,
     true},
    {"the shared codes, which no application's delete clears", "create unique index k on qzlgy115 (code)", "qzlgy115",
     true, true},
};

TEST(KeyCollisionsTest, AsksTheStoreOnlyWhereAStoredRowCanCollide) {
  for (const AsksStoreCase& c : kCases) {
    SCOPED_TRACE(c.name);
    TempFolder t;
    StoreBuilder store = StoreBuilder::Empty(t / "store.db");
    if (!c.schema.empty()) store.connection()->ExecuteScript(c.schema);
    KeyCollisions collisions(*store.connection(), {"ACCX2"});
    const auto& columns = c.table == "qzlgy115" ? kQzlgy115 : c.table == "qzddi100" ? kQzddi100 : kQzddi150;
    EXPECT_EQ(collisions.AsksStore(c.table, columns, c.first_field_replaced), c.asks_store);
  }
}

// Once the store is handed to the load, the rows still collide among
// themselves, and a row that would need the store is refused as our fault
// instead of being looked up on a connection the load is using.
TEST(KeyCollisionsTest, WithTheStoreClosedRowsCollideAmongThemselvesAndNeverReachIt) {
  TempFolder t;
  StoreBuilder store = StoreBuilder::Empty(t / "store.db");
  store.connection()->ExecuteScript("create unique index k on qzddi150 (appl, fldn); create unique index c on qzlgy115 (code)");
  KeyCollisions collisions(*store.connection(), {"ACCX2"});
  ASSERT_FALSE(collisions.AsksStore("qzddi150", kQzddi150, true));
  collisions.CloseStore();

  const std::vector<std::string_view> row = {"ACCX2", "ACCT", "GL", "1", "AMOUNT", "Amount", "N", "12"};
  collisions.Add("qzddi150", kQzddi150, row);
  std::vector<std::string_view> other = row;
  other[4] = "CURRENCY";
  collisions.Add("qzddi150", kQzddi150, other);
  const ComError again = CaughtFrom([&] { collisions.Add("qzddi150", kQzddi150, row); });
  EXPECT_EQ(again.number(), Number(Ours::KeyCollision));
  EXPECT_NE(again.description().find("(\"ACCX2\", \"AMOUNT\") as in an earlier row of the pack"), std::string::npos)
      << again.description();

  // Keys never read, and a key the replaced rows do not clear.
  EXPECT_EQ(ErrorOf([&] { collisions.Add("qzlgy115", kQzlgy115, {"CUR", "Currency", "EUR", "978"}); }),
            Number(Ours::Internal));
  const std::vector<std::string_view> kept = {"ACC10", "ACCT", "GL", "1", "AMOUNT", "Amount", "N", "12"};
  EXPECT_EQ(ErrorOf([&] { collisions.Add("qzddi150", kQzddi150, kept); }), Number(Ours::Internal));
}

}  // namespace
}  // namespace kestrel::testing
