// ObjectRuleRows: one rule table's read, merged object by object.
#include "exporter/object_rule_rows.h"

#include <algorithm>
#include <string>

#include "base/errors_ours.h"
#include "exporter/mapping_objects.h"
#include "exporter/profile_drivers.h"
#include "pack/naming.h"
#include "store/statements_export_objects.h"

namespace kestrel::exporter {
namespace {

files::TextWriter& StreamOf(ExportContext& ctx, const std::string& name) {
  auto it = ctx.RuleStreams.find(name);
  if (it == ctx.RuleStreams.end() || !it->second) Raise(Ours::Internal, "The rule file " + name + " is not open");
  return *it->second;
}

}  // namespace

pack::RecordOptions ObjectRuleRows::Options(const pack::Identity& exported, bool for_sync) {
  pack::RecordOptions options;
  options.with_ldat = false;
  options.for_sync = for_sync;
  options.identity = &exported;
  return options;
}

std::string ObjectRuleRows::CheckedOutNote(const MappingObject& object, std::string_view user) {
  return "Object Exported " + object.Name() + " but was Checked out by user " + std::string(user);
}

std::vector<std::string_view> ObjectRuleRows::ColumnsRead(const pack::TaggedLayout& layout, bool for_sync) {
  const pack::Identity any_identity;
  std::vector<std::string_view> columns = pack::ColumnsRead(layout, Options(any_identity, for_sync));
  if (&layout == &pack::kQzmap120 && std::find(columns.begin(), columns.end(), kCheckedOutBy) == columns.end())
    columns.push_back(kCheckedOutBy);
  return columns;
}

ObjectRuleRows::ObjectRuleRows(ExportContext& ctx, const pack::TaggedLayout& layout,
                               std::unique_ptr<store::Recordset> rows, const pack::Identity& exported, bool for_sync)
    : ctx_(ctx), file_(pack::RuleFileName(layout, true)), rows_(std::move(rows)),
      out_(layout, StreamOf(ctx, file_), Options(exported, for_sync)),
      binding_(pack::BindColumnsOf(layout, *rows_)), number_(ColumnIndex(*rows_, store::kObjectNumberColumn)),
      logn_(&layout == &pack::kQzmap120 ? ColumnIndex(*rows_, kCheckedOutBy) : -1) {
  if (number_ < 0) Raise(Ours::Internal, "The rows of " + std::string(layout.table) + " carry no object number");
}

bool ObjectRuleRows::Has(int64_t number) {
  for (; !rows_->IsEOF(); rows_->MoveNext()) {
    const int64_t at = rows_->Fields(number_).Integer();
    if (at >= number) return at == number;
  }
  return false;
}

void ObjectRuleRows::Write(int64_t number, const MappingObject& object) {
  for (; Has(number); rows_->MoveNext(), ++written_) {
    out_.Write(pack::BoundRow(*rows_, binding_));
    if (logn_ >= 0) {
      std::string user = rows_->Fields(logn_).TextOrEmpty();
      if (!user.empty())
        ctx_.AppendNote(CheckedOutNote(object, user));
    }
  }
}

void ObjectRuleRows::Close() {
  rows_->Close();
  ctx_.CountRows(file_, written_);
  written_ = 0;
}

}  // namespace kestrel::exporter
