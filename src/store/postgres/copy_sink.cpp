// Streaming a batch of rows into COPY ... FROM STDIN.
#include "store/postgres/copy_sink.h"

#include <charconv>

#include "base/error.h"
#include "store/postgres/copy_text.h"
#include "store/postgres/statement.h"
#include "store/postgres/store_error.h"
#include "store/postgres/values.h"

namespace kestrel::store::postgres {
namespace {

// How much copy data is gathered before it is sent; less before a batch's
// first send, so that the server, idle since the batch before ended, starts
// on the first rows while the next ones are read. Larger pieces leave the
// server waiting for each.
constexpr size_t kSendAt = 16 * 1024;
constexpr size_t kFirstSendAt = 8 * 1024;

// The line of the copy the server names in its error ("COPY t, line 3, ...").
std::optional<size_t> LineOfCopy(const PGresult* r) {
  const char* context = PQresultErrorField(r, PG_DIAG_CONTEXT);
  if (!context) return std::nullopt;
  const std::string_view text(context);
  const size_t at = text.find(", line ");
  if (at == std::string_view::npos) return std::nullopt;
  size_t line = 0;
  const char* start = text.data() + at + 7;
  if (std::from_chars(start, text.data() + text.size(), line).ec != std::errc() || line == 0) return std::nullopt;
  return line;
}

}  // namespace

CopySink::CopySink(std::shared_ptr<Session> session, std::string table, std::string copy, std::vector<bool> binary)
    : s_(std::move(session)), table_(std::move(table)), copy_(std::move(copy)), binary_(std::move(binary)) {}

void CopySink::Add(const std::vector<std::string_view>& fields) {
  if (!copying_) {
    s_->StartCopy(copy_);
    copying_ = true;
    sent_ = false;
    refused_.reset();
  }
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i) buffer_ += '\t';
    AppendCopyField(buffer_, fields[i], i < binary_.size() && binary_[i]);
  }
  buffer_ += '\n';
  if (buffer_.size() >= (sent_ ? kSendAt : kFirstSendAt)) Send();
}

void CopySink::Send() {
  if (buffer_.empty()) return;
  if (PQputCopyData(s_->conn(), buffer_.data(), static_cast<int>(buffer_.size())) != 1)
    throw ConnectionError(s_->conn());
  buffer_.clear();
  sent_ = true;
}

void CopySink::Flush() {
  if (!copying_) return;
  copying_ = false;
  Send();
  if (PQputCopyEnd(s_->conn(), nullptr) != 1) throw ConnectionError(s_->conn());
  Result r = s_->FinishCopy();
  if (Session::Failed(r.get())) {
    if (auto line = LineOfCopy(r.get())) refused_ = *line - 1;
    throw StoreError(r.get());
  }
  s_->CountAdded(table_, RowsChanged(r.get()));
}

void CopySink::Abandon() noexcept {
  buffer_.clear();
  if (!copying_) return;
  copying_ = false;
  PQputCopyEnd(s_->conn(), "the load stopped");
  try {
    s_->FinishCopy();
  } catch (...) {
  }
}

}  // namespace kestrel::store::postgres
