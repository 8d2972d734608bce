// The inserter of a PostgreSQL store: inside a transaction its rows join the
// session's held rows, which go to the server by COPY in groups (HeldRows);
// outside one each row goes at once as an insert of its own.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "store/postgres/session.h"
#include "store/row_writes.h"

namespace kestrel::store::postgres {

// The columns of `table` in their order, the store's insertion order left
// out; a table that is not there raises the server's error.
std::vector<TableColumn> TableColumns(Session& s, std::string_view table);

class PgInserter final : public Inserter {
 public:
  PgInserter(std::shared_ptr<Session> session, std::string_view table, std::span<const std::string_view> columns);
  using Inserter::Add;
  void Add(std::span<const Value* const> row) override;
  void Flush() override;

 private:
  std::shared_ptr<Session> s_;
  std::string table_;
  std::vector<TableColumn> columns_;
  std::vector<std::string> names_;
  std::vector<std::string_view> views_;
  std::vector<bool> binary_;
  uint64_t layout_;
  // The row as it is sent: the caller's values, or the scratch values they
  // became for their columns.
  std::vector<const Value*> row_;
  std::vector<Value> scratch_;
};

}  // namespace kestrel::store::postgres
