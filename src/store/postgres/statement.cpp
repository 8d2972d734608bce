// Binding, running and reading a statement prepared on the server.
#include "store/postgres/statement.h"

#include <charconv>

#include <fmt/format.h>

#include "base/errors_ours.h"

namespace kestrel::store::postgres {

int64_t RowsChanged(const PGresult* r) {
  const std::string_view tag = PQcmdStatus(const_cast<PGresult*>(r));
  for (std::string_view verb : {"INSERT ", "UPDATE ", "DELETE ", "MERGE ", "COPY "}) {
    if (tag.rfind(verb, 0) != 0) continue;
    const char* n = PQcmdTuples(const_cast<PGresult*>(r));
    int64_t rows = 0;
    std::from_chars(n, n + std::char_traits<char>::length(n), rows);
    return rows;
  }
  return 0;
}

PgStatement::PgStatement(std::shared_ptr<Session> session, std::string text)
    : s_(std::move(session)), text_(std::move(text)), kind_(KindOf(text_)), prepared_(s_->Prepare(text_)) {
  params_.Resize(prepared_.binary_params.size());
}

size_t PgStatement::Place(int index) const {
  if (index < 1 || static_cast<size_t>(index) > params_.size())
    Raise(Ours::Internal, fmt::format("The statement has {} parameters, not {}: {}", params_.size(), index, text_));
  return static_cast<size_t>(index - 1);
}

void PgStatement::Bind(int index, const Value& v, bool as_blob) {
  const size_t i = Place(index);
  params_.Set(i, v, as_blob || prepared_.binary_params[i]);
}

void PgStatement::BindKept(int index, const Value& v) { Bind(index, v); }

void PgStatement::BindTextKept(int index, std::string_view text) {
  const size_t i = Place(index);
  params_.SetText(i, text, prepared_.binary_params[i]);
}

Result PgStatement::Execute() { return s_->RunPrepared(kind_, text_, prepared_, params_.values()); }

bool PgStatement::Step() {
  if (!result_) {
    result_ = Execute();
    row_ = -1;
  }
  if (row_ + 1 < PQntuples(result_.get())) {
    ++row_;
    return true;
  }
  return false;
}

int64_t PgStatement::Run() {
  Result r = Execute();
  result_.reset();
  return RowsChanged(r.get());
}

void PgStatement::Reset() {
  result_.reset();
  row_ = -1;
  params_.Clear();
}

int PgStatement::ColumnCount() const { return static_cast<int>(prepared_.column_types.size()); }

Value PgStatement::Column(int index) const {
  if (!result_ || row_ < 0 || index < 0 || index >= PQnfields(result_.get())) Raise(Ours::NoCurrentRow);
  return FieldValue(result_.get(), row_, index);
}

}  // namespace kestrel::store::postgres
