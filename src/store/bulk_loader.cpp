// The bulk loader: rows read through the Env, a commit every batch, the log
// and error files written either way; and the sink of prepared inserts with
// values bound straight from the line buffer.
#include "store/bulk_loader.h"

#include <algorithm>
#include <memory>
#include <optional>

#include <fmt/format.h>

#include "base/error.h"
#include "base/errors_ours.h"
#include "base/files.h"
#include "base/row_reader.h"
#include "store/statements_bulk.h"

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
      : env_(env),
        c_(c),
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
    if (sink_.BatchesCostStatements() && c_.InTransaction() && LoadAsOneBatch()) return n_;
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
  // Inside the caller's transaction a batch is a savepoint and commits
  // nothing. A sink whose every batch costs the store a statement (and a
  // savepoint) gets the rows as one batch instead: a server takes many
  // thousands of rows in one statement faster than in batches. A load that
  // fails goes again batch by batch (false), which keeps the batches before
  // the failing row and writes the log and error files as a load by batches
  // does; only a failure that leaves no way back is the load's own.
  bool LoadAsOneBatch() {
    int64_t rows = 0;
    bool malformed = false;  // the load by batches names the malformed row
    try {
      c_.BeginBatch();
      batch_open_ = true;
      while (rows_->Next()) {
        ++n_.rows_read;
        malformed = rows_->fields().size() != columns_;
        if (malformed) break;
        sink_.Add(rows_->fields());
        if (++rows % per_batch_ == 0) Report(rows);
      }
      if (!malformed) {
        sink_.Flush();
        c_.CommitBatch();
        batch_open_ = false;
      }
    } catch (const std::exception& ex) {
      return RunAgainByBatches(AsComError(ex));
    }
    if (malformed) return RunAgainByBatches(std::nullopt);
    n_.rows_loaded = rows;
    n_.batches = (rows + per_batch_ - 1) / per_batch_;
    Report(rows);
    if (errors_) errors_->Close();
    WriteLog(std::nullopt);
    return true;
  }
  // Rolls the one batch back and starts reading again (false). When the
  // rollback fails the load cannot go again: `failure`, else the rollback's
  // own, is the load's.
  bool RunAgainByBatches(const std::optional<ComError>& failure) {
    try {
      if (batch_open_) {
        batch_open_ = false;
        sink_.Abandon();
        c_.RollbackBatch();
      }
    } catch (const std::exception& ex) {
      const ComError e = failure.value_or(AsComError(ex));
      RecordRejectedRow(e);
      throw e;
    }
    n_ = BulkLoadCounts{};
    rows_ = files::RowReader::Open(env_, data_file_);
    return false;
  }
  // Progress never goes back: a load that goes again by batches reports only
  // what its first try had not.
  void Report(int64_t rows) {
    if (!options_.progress || rows <= reported_) return;
    reported_ = rows;
    options_.progress(rows);
  }
  void LoadRow() {
    ++n_.rows_read;
    refused_.reset();
    const auto& fields = rows_->fields();
    if (fields.size() != columns_)
      RaiseMalformedPackFile(data_file_, rows_->line_number(),
                             fmt::format("a row of {} fields where table {} has {} columns", fields.size(), table_,
                                         columns_));
    if (!batch_open_) {
      c_.BeginBatch();
      batch_open_ = true;
    }
    // A sink that sends its rows at the batch's end names a refused one by
    // its place in the batch: keep what the error file then tells of it.
    batch_text_.append(rows_->line());
    batch_lines_.push_back({rows_->line_number(), batch_text_.size()});
    try {
      sink_.Add(fields);
    } catch (const ComError& e) {
      throw Refused(e, RefusedLine());
    }
    if (++in_batch_ == per_batch_) CommitBatch();
  }

  // The line of the batch's row the sink refused: a sink that holds rows
  // names it (RefusedRow), one that sends each row at once fails on the last.
  std::pair<size_t, std::string> RefusedLine() const {
    if (batch_lines_.empty()) return {rows_->line_number(), rows_->line()};
    const size_t last = batch_lines_.size() - 1;
    const size_t at = std::min(sink_.RefusedRow().value_or(last), last);
    const size_t start = at == 0 ? 0 : batch_lines_[at - 1].end;
    return {batch_lines_[at].number, batch_text_.substr(start, batch_lines_[at].end - start)};
  }

  ComError Refused(const ComError& e, const std::pair<size_t, std::string>& line) {
    refused_ = line;
    return ComError(e.number(), fmt::format("{}: {}, line {}", e.description(), data_file_, line.first));
  }

  void CommitBatch() {
    try {
      sink_.Flush();
    } catch (const ComError& e) {
      throw Refused(e, RefusedLine());
    }
    batch_open_ = false;
    c_.CommitBatch();
    n_.rows_loaded += in_batch_;
    ++n_.batches;
    in_batch_ = 0;
    batch_lines_.clear();
    batch_text_.clear();
    Report(n_.rows_loaded);
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
        errors_->WriteLine(fmt::format("Line: {}", line));
        errors_->WriteLine(fmt::format("Text: {}", refused_ ? refused_->second : rows_->line()));
        errors_->WriteLine(fmt::format("Reason: {}", e.description()));
        errors_->Close();
      }
      WriteLog(line);
    } catch (const std::exception&) {
    }
  }

  void WriteLog(std::optional<size_t> stopped_at) {
    if (!log_) return;
    log_->WriteLine(fmt::format("Table: {}", table_));
    log_->WriteLine(fmt::format("Data file: {}", data_file_));
    log_->WriteLine(fmt::format("Rows read: {}", n_.rows_read));
    log_->WriteLine(fmt::format("Rows loaded: {}", n_.rows_loaded));
    log_->WriteLine(fmt::format("Batches committed: {}", n_.batches));
    if (stopped_at) log_->WriteLine(fmt::format("Stopped at line {}", *stopped_at));
    log_->Close();
  }

  Env& env_;
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
  int64_t reported_ = 0;  // the rows progress was last told of
  bool batch_open_ = false;
  // Line number of each row of the open batch and where its text ends in
  // batch_text_: one buffer for the batch's lines, kept from batch to batch,
  // costs no allocation a row.
  struct HeldLine {
    size_t number;
    size_t end;
  };
  std::vector<HeldLine> batch_lines_;
  std::string batch_text_;
  std::optional<std::pair<size_t, std::string>> refused_;
};

// Rows go into the store a group at a time, through one insert of the
// whole group: a statement for each row would cost its start and end again
// and again. A statement the store refuses writes none of its rows: the
// group's rows then go again one by one, so that the refused row fails
// alone with the store's own error and RefusedRow names it.
class InsertSink final : public RowSink {
 public:
  InsertSink(Connection& c, std::string_view table, size_t columns)
      : c_(c), table_(table), columns_(columns), one_(c.Prepare(InsertBulkRow(c.dialect(), table, columns))) {}

  void Add(const std::vector<std::string_view>& fields) override {
    if (held_ == 0) refused_.reset();
    for (size_t i = 0; i < columns_; ++i) {
      text_.append(fields[i]);
      ends_.push_back(text_.size());
    }
    if (++held_ == kRowsPerInsert) SendGroup();
  }
  void Flush() override {
    SendOneByOne();
    in_batch_ = 0;
  }
  void Abandon() noexcept override {
    Clear();
    in_batch_ = 0;
  }
  std::optional<size_t> RefusedRow() const override { return refused_; }

 private:
  // Rows of a group: many enough that a statement's start and end cost
  // little, few enough that their parameters stay far below the store's
  // limit whatever the table's width.
  static constexpr size_t kRowsPerInsert = 16;

  std::string_view Field(size_t n) const {
    const size_t start = n == 0 ? 0 : ends_[n - 1];
    return std::string_view(text_).substr(start, ends_[n] - start);
  }
  void Clear() {
    text_.clear();
    ends_.clear();
    held_ = 0;
  }
  void SendGroup() {
    if (!group_) group_ = c_.Prepare(InsertBulkRow(c_.dialect(), table_, columns_, kRowsPerInsert));
    // The text buffer no longer grows: the values are bound where they are.
    for (size_t n = 0; n < ends_.size(); ++n) group_->BindTextKept(static_cast<int>(n + 1), Field(n));
    try {
      group_->Run();
    } catch (const ComError&) {
      // A failure that ended the transaction leaves nothing to go again.
      if (!c_.InTransaction()) {
        refused_ = in_batch_ + held_ - 1;
        Clear();
        throw;
      }
      SendOneByOne();
      throw;  // the store refused the group but none of its rows alone
    }
    in_batch_ += held_;
    Clear();
  }
  void SendOneByOne() {
    for (size_t r = 0; r < held_; ++r) {
      for (size_t i = 0; i < columns_; ++i) one_->BindTextKept(static_cast<int>(i + 1), Field(r * columns_ + i));
      try {
        one_->Run();
      } catch (const ComError&) {
        refused_ = in_batch_ + r;
        Clear();
        throw;
      }
    }
    in_batch_ += held_;
    Clear();
  }

  Connection& c_;
  std::string table_;
  size_t columns_;
  std::unique_ptr<Statement> one_;
  std::unique_ptr<Statement> group_;
  std::string text_;          // the held rows' values, one after the other
  std::vector<size_t> ends_;  // where each value ends in text_
  size_t held_ = 0;           // rows held
  size_t in_batch_ = 0;       // rows of the batch sent before the held ones
  std::optional<size_t> refused_;
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
  const size_t columns = c.Columns(table).size();
  InsertSink sink(c, table, columns);
  return LoadRows(env, c, table, data_file, options, columns, sink);
}

}  // namespace kestrel::store
