// A statement prepared on the server (Connection::Prepare): values bound as
// texts, run when first stepped or run, its rows read from the result. It
// shares ownership of the session, so it stays usable when the connection
// that made it is released first.
#pragma once

#include <memory>
#include <string>

#include "store/postgres/session.h"
#include "store/postgres/values.h"
#include "store/statement.h"

namespace kestrel::store::postgres {

class PgStatement final : public Statement {
 public:
  // Prepares `text` (one statement) on the server, or finds it prepared.
  PgStatement(std::shared_ptr<Session> session, std::string text);

  void Bind(int index, const Value& v, bool as_blob = false) override;
  void BindKept(int index, const Value& v) override;
  void BindTextKept(int index, std::string_view text) override;
  bool Step() override;
  int64_t Run() override;
  void Reset() override;
  int ColumnCount() const override;
  Value Column(int index) const override;

 private:
  size_t Place(int index) const;
  Result Execute();

  std::shared_ptr<Session> s_;
  std::string text_;
  StatementKind kind_;
  Prepared prepared_;
  Params params_;
  Result result_;
  int row_ = -1;
};

// Rows changed by a statement: inserted, updated, deleted or copied; 0 for
// one that reads.
int64_t RowsChanged(const PGresult* r);

}  // namespace kestrel::store::postgres
