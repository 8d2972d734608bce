// Rows saved one at a time and committed in batches: full batches are
// committed as they fill, leaving early commits what was saved, and a
// caller's own transaction is never committed.
#include "store/saved_rows.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "base/error.h"
#include "store/open.h"
#include "support/temp_folder.h"

namespace kestrel::store {
namespace {

using kestrel::testing::TempFolder;

class SavedRowsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    c_ = store::Create(dir_ / "store.db");
    c_->ExecuteScript("create table qzmap150 (func text, defn text, help text)");
    reader_ = store::Open(dir_ / "store.db");
  }
  void Save(SavedRows& saved, const std::string& func) {
    c_->Execute("insert into qzmap150 (func) values ('" + func + "')");
    saved.RowSaved();
  }
  // What another connection sees: only committed rows.
  int64_t Committed() { return reader_->OpenRecordset("select count(*) from qzmap150")->Fields(0).Integer(); }

  TempFolder dir_;
  std::shared_ptr<Connection> c_, reader_;
};

TEST_F(SavedRowsTest, FullBatchesAreCommittedAsTheyFill) {
  SavedRows saved(*c_, 2);
  Save(saved, "A");
  EXPECT_EQ(Committed(), 0);
  Save(saved, "B");
  EXPECT_EQ(Committed(), 2);
  Save(saved, "C");
  EXPECT_EQ(Committed(), 2);
  saved.Finish();
  EXPECT_EQ(Committed(), 3);
  EXPECT_EQ(saved.rows(), 3u);
  EXPECT_FALSE(c_->InTransaction());
}

TEST_F(SavedRowsTest, LeavingOnAFailureCommitsTheRowsSavedBeforeIt) {
  try {
    SavedRows saved(*c_, 100);
    Save(saved, "A");
    Save(saved, "B");
    c_->Execute("insert into qzmap150 (no_such_column) values (1)");
    FAIL() << "the bad insert ran";
  } catch (const ComError&) {
  }
  EXPECT_EQ(Committed(), 2);
  EXPECT_FALSE(c_->InTransaction());
}

TEST_F(SavedRowsTest, UnderTheCallersTransactionNothingIsCommitted) {
  c_->Execute("begin");
  {
    SavedRows saved(*c_, 1);
    Save(saved, "A");
    Save(saved, "B");
    saved.Finish();
  }
  try {
    SavedRows saved(*c_, 1);
    Save(saved, "C");
    throw std::runtime_error("stop");
  } catch (const std::runtime_error&) {
  }
  EXPECT_TRUE(c_->InTransaction());
  EXPECT_EQ(Committed(), 0);
  EXPECT_EQ(c_->OpenRecordset("select count(*) from qzmap150")->Fields(0).Integer(), 3);
  c_->Execute("rollback");
  EXPECT_EQ(c_->OpenRecordset("select count(*) from qzmap150")->Fields(0).Integer(), 0);
}

TEST_F(SavedRowsTest, ATransactionTheStoreEndedLeavesTheConnectionUsable) {
  // A failure such as a full disk ends the transaction inside the store; the
  // commit on leaving then finds none and must not mask the failure.
  EXPECT_NO_THROW({
    SavedRows saved(*c_, 100);
    Save(saved, "lost");
    c_->Execute("rollback");
  });
  SavedRows again(*c_, 100);
  Save(again, "kept");
  again.Finish();
  EXPECT_EQ(reader_->OpenRecordset("select func from qzmap150")->Fields(0).Text(), "kept");
  EXPECT_EQ(Committed(), 1);
}

}  // namespace
}  // namespace kestrel::store
