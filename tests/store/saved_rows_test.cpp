// Rows saved one at a time and committed in batches: full batches are
// committed as they fill, leaving early commits what was saved, and a
// caller's own transaction is never committed.
#include "store/saved_rows.h"

#include <gtest/gtest.h>

#include "base/error.h"
#include "support/store_builder.h"
#include "support/temp_folder.h"

namespace kestrel::store {
namespace {

using kestrel::testing::StoreBuilder;

TEST(SavedRowsTest, FullBatchesAreCommittedAsTheyFillAndTheRestOnLeaving) {
  kestrel::testing::TempFolder dir;
  StoreBuilder s = StoreBuilder::Empty(dir / "store.db");
  StoreBuilder reader{store::Open(dir / "store.db")};  // another connection sees only committed rows
  auto save = [&](SavedRows& saved, const std::string& func) {
    s.Add("qzmap150", {{"func", Value(func)}, {"defn", Value("x")}});
    saved.RowSaved();
  };
  auto committed = [&] { return reader.Count("select count(*) from qzmap150"); };
  {
    SavedRows saved(*s, 2);
    const std::vector<std::pair<std::string, int64_t>> saves = {{"A", 0}, {"B", 2}, {"C", 2}};
    for (const auto& [func, before] : saves) {
      save(saved, func);
      EXPECT_EQ(committed(), before) << func;
    }
    saved.Finish();
    EXPECT_EQ(committed(), 3);
    EXPECT_EQ(saved.rows(), 3u);
  }
  // Leaving on a failure commits the rows saved before it.
  EXPECT_THROW(
      {
        SavedRows saved(*s, 100);
        save(saved, "D");
        s.Exec("insert into qzmap150 (no_such_column) values (1)");
      },
      ComError);
  EXPECT_EQ(committed(), 4);
  EXPECT_FALSE(s->InTransaction());
  // A transaction the store ended itself (a full disk) must not mask the failure.
  EXPECT_NO_THROW({
    SavedRows saved(*s, 100);
    save(saved, "lost");
    s.Exec("rollback");
  });
  // Under the caller's transaction nothing is committed, neither by full
  // batches nor on leaving early.
  s.Exec("begin");
  EXPECT_THROW(
      {
        SavedRows saved(*s, 1);
        save(saved, "E");
        save(saved, "F");
        throw std::runtime_error("stop");
      },
      std::runtime_error);
  EXPECT_TRUE(s->InTransaction());
  EXPECT_EQ(committed(), 4);
  s.Exec("rollback");
  EXPECT_EQ(reader.Rows("select func from qzmap150"),
            (std::vector<std::vector<std::string>>{{"A"}, {"B"}, {"C"}, {"D"}}));
}

}  // namespace
}  // namespace kestrel::store
