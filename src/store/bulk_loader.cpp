// The bulk loader over SQLite: one prepared insert per table, values bound
// straight from the line buffer, a commit every batch.
#include "store/bulk_loader.h"

#include <sqlite3.h>

#include <memory>
#include <optional>
#include <vector>

#include "component/error.h"
#include "component/errors_ours.h"
#include "component/files.h"
#include "component/row_reader.h"
#include "store/statements_bulk.h"
#include "store/statements_import_loaders.h"

namespace Kestrel20ImpExp::store {
namespace {

// Table names come from the command line of `bcp` too: anything but a plain
// name is no table of the store.
void CheckTableName(std::string_view table) {
  bool plain = !table.empty();
  for (char c : table)
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_')) plain = false;
  if (!plain) throw ComError(SQLITE_ERROR, "no such table: " + std::string(table));
}

size_t ColumnCount(Connection& c, std::string_view table) {
  Statement probe = c.Prepare(SelectNoRows(c.dialect(), table));
  return static_cast<size_t>(sqlite3_column_count(probe.get()));
}

std::unique_ptr<files::TextWriter> CreateIfNamed(const std::string& path) {
  return path.empty() ? nullptr : files::TextWriter::Create(path);
}

void WriteLog(files::TextWriter* log, std::string_view table, const std::string& data_file,
              const BulkLoadCounts& n, std::optional<size_t> stopped_at) {
  if (!log) return;
  log->WriteLine("Table: " + std::string(table));
  log->WriteLine("Data file: " + data_file);
  log->WriteLine("Rows read: " + std::to_string(n.rows_read));
  log->WriteLine("Rows loaded: " + std::to_string(n.rows_loaded));
  log->WriteLine("Batches committed: " + std::to_string(n.batches));
  if (stopped_at) log->WriteLine("Stopped at line " + std::to_string(*stopped_at));
  log->Close();
}

}  // namespace

bool CanBulkLoad(Connection& c) {
  if (sqlite3_db_readonly(c.handle(), "main") != 0) return false;
  Statement query_only = c.Prepare("pragma query_only");
  return !(query_only.Step() && sqlite3_column_int(query_only.get(), 0) != 0);
}

BulkLoadCounts BulkLoad(Connection& c, std::string_view table, const std::string& data_file,
                        const BulkLoadOptions& options) {
  CheckTableName(table);
  const int64_t per_batch = options.rows_per_batch > 0 ? options.rows_per_batch : 1;
  const size_t columns = ColumnCount(c, table);
  Statement insert = c.Prepare(InsertBulkRow(c.dialect(), table, columns));
  sqlite3_stmt* st = insert.get();

  auto rows = files::RowReader::Open(data_file);
  auto log = CreateIfNamed(options.log_path);
  auto errors = CreateIfNamed(options.error_path);

  BulkLoadCounts n;
  int64_t in_batch = 0;
  bool batch_open = false;
  try {
    while (rows->Next()) {
      ++n.rows_read;
      const auto& fields = rows->fields();
      if (fields.size() != columns)
        RaiseMalformedPackFile(data_file, rows->line_number(),
                               "a row of " + std::to_string(fields.size()) + " fields where table " +
                                   std::string(table) + " has " + std::to_string(columns) + " columns");
      if (!batch_open) {
        c.BeginBatch();
        batch_open = true;
      }
      // The line buffer outlives the step: no copy of the values is needed.
      for (size_t i = 0; i < columns; ++i) {
        std::string_view f = fields[i];
        int rc = f.empty() ? sqlite3_bind_null(st, static_cast<int>(i + 1))
                           : sqlite3_bind_text64(st, static_cast<int>(i + 1), f.data(), f.size(), SQLITE_STATIC,
                                                 SQLITE_UTF8);
        if (rc != SQLITE_OK) c.RaiseLast();
      }
      int rc = sqlite3_step(st);
      if (rc != SQLITE_DONE) {
        ComError e(sqlite3_extended_errcode(c.handle()), sqlite3_errmsg(c.handle()));
        sqlite3_reset(st);
        throw ComError(e.number(), e.description() + ": " + data_file + ", line " +
                                       std::to_string(rows->line_number()));
      }
      sqlite3_reset(st);
      if (++in_batch == per_batch) {
        batch_open = false;
        c.CommitBatch();
        n.rows_loaded += in_batch;
        ++n.batches;
        in_batch = 0;
        if (options.progress) options.progress(n.rows_loaded);
      }
    }
    if (batch_open) {
      batch_open = false;
      c.CommitBatch();
      n.rows_loaded += in_batch;
      ++n.batches;
      if (options.progress) options.progress(n.rows_loaded);
    }
  } catch (const std::exception& ex) {
    ComError e = AsComError(ex);
    if (batch_open) {
      try {
        c.RollbackBatch();
      } catch (const std::exception&) {
      }
    }
    const size_t line = rows->line_number();
    // The files tell what happened; failing to write them must not hide why.
    try {
      if (errors) {
        errors->WriteLine("Line: " + std::to_string(line));
        errors->WriteLine("Text: " + rows->line());
        errors->WriteLine("Reason: " + e.description());
        errors->Close();
      }
      WriteLog(log.get(), table, data_file, n, line);
    } catch (const std::exception&) {
    }
    throw e;
  }
  if (errors) errors->Close();
  WriteLog(log.get(), table, data_file, n, std::nullopt);
  return n;
}

}  // namespace Kestrel20ImpExp::store
