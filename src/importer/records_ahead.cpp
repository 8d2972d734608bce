// Reading a pack file ahead of its loader, on the second thread.
#include "importer/records_ahead.h"

namespace kestrel::importer {
namespace {

// Rows handed over at a time, and batches in all: few enough that the rows
// waiting (rule texts among them) keep memory flat, enough that neither
// thread waits for the other on a steady file.
constexpr size_t kRowsPerBatch = 16;
constexpr size_t kBatches = 8;

// The check of the file, told that its reading begins.
RuleFileCheck* CheckOf(const ImportContext& cx, const pack::TaggedLayout& layout) {
  RuleFileCheck* check = cx.Check ? cx.Check->ForFile(layout) : nullptr;
  if (check) check->Begin();
  return check;
}

}  // namespace

RecordsAhead::RecordsAhead(const ImportContext& cx, const PlannedPack& planned,
                           const std::vector<std::string>& header_map, Loader loader,
                           const pack::TaggedLayout& layout)
    : records_(cx.env(), planned, header_map, loader, layout),
      check_(CheckOf(cx, layout)),
      ahead_(
          [this](LoadedRow& row) {
            try {
              if (!records_.Next(row)) {
                if (check_) check_->Passed();
                return false;
              }
              if (check_) check_->Inspect(row, records_.record_line());
              return true;
            } catch (const std::exception& ex) {
              failure_line_ = records_.record_line();
              if (check_) check_->Failed(ex, failure_line_);
              throw;
            } catch (...) {
              failure_line_ = records_.record_line();
              throw;
            }
          },
          kRowsPerBatch, kBatches) {}

bool RecordsAhead::Next(LoadedRow& row) {
  try {
    if (!ahead_.Next(row)) return false;
  } catch (...) {
    line_ = failure_line_;
    throw;
  }
  line_ = row.line;
  return true;
}

void RecordsAhead::Close() {
  ahead_.Stop();
  records_.Close();
}

}  // namespace kestrel::importer
