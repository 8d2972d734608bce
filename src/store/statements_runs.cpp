// Statement texts of the record of runs.
#include "store/statements_runs.h"

#include <fmt/format.h>

#include "store/sql.h"

namespace kestrel::store {

std::string CreateRunsTable(Dialect d) {
  // One row a run; its undo copy lives in kestrel_run_pieces, `pieces` of it.
  const bool server = d == Dialect::Postgres;
  return fmt::format(
      "create table if not exists kestrel_runs (id {} primary key, started text not null, usr text, pack text, "
      "added text, replaced text, added_applications text, undone_by {}, pieces integer, renumbered text)",
      server ? "bigint" : "integer", server ? "bigint" : "integer");
}

std::string CreateRunPiecesTable(Dialect d) {
  // A piece of a pack archive: bytes, NUL bytes among them.
  const bool server = d == Dialect::Postgres;
  return fmt::format(
      "create table if not exists kestrel_run_pieces (run {} not null, seq integer not null, piece {}, "
      "primary key (run, seq))",
      server ? "bigint" : "integer", server ? "bytea" : "blob");
}

std::string SelectNextRunId(Dialect) { return "select coalesce(max(id), 0) + 1 from kestrel_runs"; }

std::string SelectRuns(Dialect) {
  return "select id, started, usr, pack, added, replaced, added_applications, undone_by, "
         "case when pieces is null then 0 else 1 end as kept, renumbered from kestrel_runs order by id";
}

std::string SelectRunPieces(Dialect, int64_t id) {
  return fmt::format("select piece from kestrel_run_pieces where run={} order by seq", sql::Number(id));
}

std::string SetRunUndone(Dialect, int64_t id, int64_t by) {
  return fmt::format("update kestrel_runs set undone_by={} where id={} and undone_by is null", sql::Number(by),
                     sql::Number(id));
}

std::string DeleteRunsBefore(Dialect, const std::string& before) {
  return "delete from kestrel_runs where started < " + sql::Quoted(before);
}

std::string DeleteRunPiecesBefore(Dialect, const std::string& before) {
  return "delete from kestrel_run_pieces where run in (select id from kestrel_runs where started < " +
         sql::Quoted(before) + ")";
}

}  // namespace kestrel::store
