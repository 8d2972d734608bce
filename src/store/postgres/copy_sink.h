// The bulk loader's sink on PostgreSQL: each batch's rows stream into the
// table through one COPY ... FROM STDIN in text format. A refused row is
// known only when the batch ends; the server names its line in the copy,
// which tells the loader which row of the batch it was.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/value.h"
#include "store/bulk_loader.h"
#include "store/postgres/session.h"

namespace kestrel::store::postgres {

class CopySink final : public RowSink {
 public:
  // `copy`: the COPY ... FROM STDIN of the columns loaded; `binary`: which
  // of them, in order, are bytea.
  CopySink(std::shared_ptr<Session> session, std::string table, std::string copy, std::vector<bool> binary);
  void Add(const std::vector<std::string_view>& fields) override;
  void Flush() override;
  void Abandon() noexcept override;
  std::optional<size_t> RefusedRow() const override { return refused_; }
  // Each batch is a COPY of its own: its start and end cost the server as
  // much as some thousand rows.
  bool BatchesCostStatements() const override { return true; }

 private:
  void Send();

  std::shared_ptr<Session> s_;
  std::string table_;
  std::string copy_;
  std::vector<bool> binary_;
  bool copying_ = false;
  bool sent_ = false;  // rows of the batch went to the server
  std::string buffer_;
  std::optional<size_t> refused_;
};

}  // namespace kestrel::store::postgres
