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

class SavedRowsTest : public ::testing::Test {
 protected:
  void Save(SavedRows& saved, const std::string& func) {
    s_.Add("qzmap150", {{"func", Value(func)}, {"defn", Value("x")}});
    saved.RowSaved();
  }
  // What another connection sees: only committed rows.
  int64_t Committed() { return reader_.Count("select count(*) from qzmap150"); }

  kestrel::testing::TempFolder dir_;
  StoreBuilder s_ = StoreBuilder::Empty(dir_ / "store.db");
  StoreBuilder reader_{store::Open(dir_ / "store.db")};
};

TEST_F(SavedRowsTest, FullBatchesAreCommittedAsTheyFillAndTheRestOnLeaving) {
  {
    SavedRows saved(*s_, 2);
    for (const auto& [func, committed] : std::vector<std::pair<std::string, int64_t>>{{"A", 0}, {"B", 2}, {"C", 2}}) {
      Save(saved, func);
      EXPECT_EQ(Committed(), committed) << func;
    }
    saved.Finish();
    EXPECT_EQ(Committed(), 3);
    EXPECT_EQ(saved.rows(), 3u);
  }
  // Leaving on a failure commits the rows saved before it.
  EXPECT_THROW(
      {
        SavedRows saved(*s_, 100);
        Save(saved, "D");
        s_.Exec("insert into qzmap150 (no_such_column) values (1)");
      },
      ComError);
  EXPECT_EQ(Committed(), 4);
  EXPECT_FALSE(s_->InTransaction());
  // A transaction the store ended itself (a full disk) must not mask the failure.
  EXPECT_NO_THROW({
    SavedRows saved(*s_, 100);
    Save(saved, "lost");
    s_.Exec("rollback");
  });
  SavedRows again(*s_, 100);
  Save(again, "kept");
  again.Finish();
  EXPECT_EQ(reader_.Rows("select func from qzmap150"), (std::vector<std::vector<std::string>>{{"A"}, {"B"}, {"C"}, {"D"}, {"kept"}}));
}

TEST_F(SavedRowsTest, UnderTheCallersTransactionNothingIsCommitted) {
  s_.Exec("begin");
  {
    SavedRows saved(*s_, 1);
    Save(saved, "A");
    Save(saved, "B");
    saved.Finish();
  }
  EXPECT_THROW(
      {
        SavedRows saved(*s_, 1);
        Save(saved, "C");
        throw std::runtime_error("stop");
      },
      std::runtime_error);
  EXPECT_TRUE(s_->InTransaction());
  EXPECT_EQ(Committed(), 0);
  EXPECT_EQ(s_.Count("select count(*) from qzmap150"), 3);
  s_.Exec("rollback");
  EXPECT_EQ(s_.Count("select count(*) from qzmap150"), 0);
}

}  // namespace
}  // namespace kestrel::store
