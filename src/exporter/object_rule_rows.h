// The rows of one rule table for every mapping object of a single-profile
// export, read forward alongside the objects: the read comes ordered by the
// objects' numbers (store/statements_export_objects.h), so each object's rows
// are the next ones, and no table's rows are ever held.
//
// Callers guarantee: objects are asked for in ascending number; the context's
// rule stream of the layout's file stays open while this lives.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "exporter/export_context.h"
#include "pack/record_writer.h"
#include "store/recordset.h"

namespace kestrel::exporter {

struct MappingObject;

class ObjectRuleRows {
 public:
  // `rows` is an open read of SelectRuleObjectRows for `layout`'s table;
  // the records are written as `exported`'s, as a synchronisation pack
  // carries them when `for_sync`.
  ObjectRuleRows(ExportContext& ctx, const pack::TaggedLayout& layout, std::unique_ptr<store::Recordset> rows,
                 const pack::Identity& exported, bool for_sync);

  // The columns the read for `layout` needs: those the records take (the
  // exported profile's identity stands in for the row's own) and, in
  // qzmap120, logn for the note on a checked-out object.
  static std::vector<std::string_view> ColumnsRead(const pack::TaggedLayout& layout, bool for_sync);
  // How the records are written: as `exported`'s, without :LDAT:.
  static pack::RecordOptions Options(const pack::Identity& exported, bool for_sync);
  // The column of qzmap120 naming the user who checked the object out, and
  // the note that says so.
  static constexpr std::string_view kCheckedOutBy = "logn";
  static std::string CheckedOutNote(const MappingObject& object, std::string_view user);

  // Whether object `number` has rows, passing over those of the objects
  // before it that were not written.
  bool Has(int64_t number);
  // Writes the rows of object `number` (named `object` in notes): for
  // qzmap120 a row whose logn names a user adds the checked-out warning.
  void Write(int64_t number, const MappingObject& object);

  // Ends the read and adds the records written to the file's count.
  void Close();

 private:
  ExportContext& ctx_;
  std::string file_;  // the rule file written, as the pack names it
  int64_t written_ = 0;
  std::unique_ptr<store::Recordset> rows_;
  pack::TaggedRecordWriter out_;
  std::vector<int> binding_;
  int number_ = -1;
  int logn_ = -1;
};

}  // namespace kestrel::exporter
