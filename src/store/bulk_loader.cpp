// The bulk loader: rows read through the Env, a commit every batch, the log
// and error files written either way; and the sink of prepared inserts with
// values bound straight from the line buffer.
#include "store/bulk_loader.h"

#include <memory>
#include <optional>

#include "base/error.h"
#include "base/errors_ours.h"
#include "base/files.h"
#include "base/row_reader.h"
#include "store/statements_bulk.h"
#include "store/statements_import_loaders.h"

namespace kestrel::store {
namespace {

std::unique_ptr<files::TextWriter> CreateIfNamed(Env& env, const std::string& path) {
  return path.empty() ? nullptr : files::TextWriter::Create(env, path);
}

// One load: the rows read, the batch open, and the files that tell about it.
class RowLoader {
 public:
  RowLoader(Env& env, Connection& c, std::string_view table, const std::string& data_file,
            const BulkLoadOptions& options, size_t columns, RowSink& sink)
      : c_(c),
        table_(table),
        data_file_(data_file),
        options_(options),
        per_batch_(options.rows_per_batch > 0 ? options.rows_per_batch : 1),
        columns_(columns),
        sink_(sink),
        rows_(files::RowReader::Open(env, data_file)),
        log_(CreateIfNamed(env, options.log_path)),
        errors_(CreateIfNamed(env, options.error_path)) {}

  BulkLoadCounts Run() {
    try {
      while (rows_->Next()) LoadRow();
      if (batch_open_) CommitBatch();
    } catch (const std::exception& ex) {
      ComError e = AsComError(ex);
      RollBackOpenBatch();
      RecordRejectedRow(e);
      throw e;
    }
    if (errors_) errors_->Close();
    WriteLog(std::nullopt);
    return n_;
  }

 private:
  void LoadRow() {
    ++n_.rows_read;
    refused_.reset();
    const auto& fields = rows_->fields();
    if (fields.size() != columns_)
      RaiseMalformedPackFile(data_file_, rows_->line_number(),
                             "a row of " + std::to_string(fields.size()) + " fields where table " +
                                 std::string(table_) + " has " + std::to_string(columns_) + " columns");
    if (!batch_open_) {
      c_.BeginBatch();
      batch_open_ = true;
    }
    // A sink that sends its rows at the batch's end names a refused one by
    // its place in the batch: keep what the error file then tells of it.
    batch_lines_.emplace_back(rows_->line_number(), rows_->line());
    try {
      sink_.Add(fields);
    } catch (const ComError& e) {
      throw Refused(e, batch_lines_.back());
    }
    if (++in_batch_ == per_batch_) CommitBatch();
  }

  ComError Refused(const ComError& e, const std::pair<size_t, std::string>& line) {
    refused_ = line;
    return ComError(e.number(), e.description() + ": " + data_file_ + ", line " + std::to_string(line.first));
  }

  void CommitBatch() {
    try {
      sink_.Flush();
    } catch (const ComError& e) {
      const size_t at = sink_.RefusedRow().value_or(batch_lines_.size() - 1);
      throw Refused(e, batch_lines_[at < batch_lines_.size() ? at : batch_lines_.size() - 1]);
    }
    batch_open_ = false;
    c_.CommitBatch();
    n_.rows_loaded += in_batch_;
    ++n_.batches;
    in_batch_ = 0;
    batch_lines_.clear();
    if (options_.progress) options_.progress(n_.rows_loaded);
  }

  void RollBackOpenBatch() noexcept {
    if (!batch_open_) return;
    batch_open_ = false;
    sink_.Abandon();
    try {
      c_.RollbackBatch();
    } catch (const std::exception&) {
    }
  }

  // The files tell what happened; failing to write them must not hide why.
  void RecordRejectedRow(const ComError& e) noexcept {
    const size_t line = refused_ ? refused_->first : rows_->line_number();
    try {
      if (errors_) {
        errors_->WriteLine("Line: " + std::to_string(line));
        errors_->WriteLine("Text: " + (refused_ ? refused_->second : rows_->line()));
        errors_->WriteLine("Reason: " + e.description());
        errors_->Close();
      }
      WriteLog(line);
    } catch (const std::exception&) {
    }
  }

  void WriteLog(std::optional<size_t> stopped_at) {
    if (!log_) return;
    log_->WriteLine("Table: " + std::string(table_));
    log_->WriteLine("Data file: " + data_file_);
    log_->WriteLine("Rows read: " + std::to_string(n_.rows_read));
    log_->WriteLine("Rows loaded: " + std::to_string(n_.rows_loaded));
    log_->WriteLine("Batches committed: " + std::to_string(n_.batches));
    if (stopped_at) log_->WriteLine("Stopped at line " + std::to_string(*stopped_at));
    log_->Close();
  }

  Connection& c_;
  std::string_view table_;
  const std::string& data_file_;
  const BulkLoadOptions& options_;
  const int64_t per_batch_;
  const size_t columns_;
  RowSink& sink_;
  std::unique_ptr<files::RowReader> rows_;
  std::unique_ptr<files::TextWriter> log_;
  std::unique_ptr<files::TextWriter> errors_;
  BulkLoadCounts n_;
  int64_t in_batch_ = 0;
  bool batch_open_ = false;
  // Line number and text of each row of the open batch.
  std::vector<std::pair<size_t, std::string>> batch_lines_;
  std::optional<std::pair<size_t, std::string>> refused_;
};

// Each row runs the table's prepared insert at once.
class InsertSink final : public RowSink {
 public:
  InsertSink(Connection& c, std::string_view table, size_t columns)
      : columns_(columns), insert_(c.Prepare(InsertBulkRow(c.dialect(), table, columns))) {}
  void Add(const std::vector<std::string_view>& fields) override {
    // The line buffer outlives the run: no copy of the values is needed.
    for (size_t i = 0; i < columns_; ++i) insert_->BindTextKept(static_cast<int>(i + 1), fields[i]);
    insert_->Run();
  }

 private:
  size_t columns_;
  std::unique_ptr<Statement> insert_;
};

}  // namespace

bool IsPlainTableName(std::string_view table) {
  if (table.empty()) return false;
  for (char c : table)
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_')) return false;
  return true;
}

BulkLoadCounts LoadRows(Env& env, Connection& c, std::string_view table, const std::string& data_file,
                        const BulkLoadOptions& options, size_t columns, RowSink& sink) {
  return RowLoader(env, c, table, data_file, options, columns, sink).Run();
}

BulkLoadCounts LoadRowByRow(Env& env, Connection& c, std::string_view table, const std::string& data_file,
                            const BulkLoadOptions& options) {
  const auto columns = static_cast<size_t>(c.Prepare(SelectNoRows(c.dialect(), table))->ColumnCount());
  InsertSink sink(c, table, columns);
  return LoadRows(env, c, table, data_file, options, columns, sink);
}

}  // namespace kestrel::store
