// What the loader tests share: a store with the full schema, a pack folder
// whose files are written through the pack writers, an import plan and a
// header map set up as the per-profile import leaves them, and reading rows
// back in a fixed order.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "base/files.h"
#include "import_parts.h"
#include "importer/plan_lookups.h"
#include "pack/layout.h"
#include "pack/record_writer.h"
#include "store/connection.h"
#include "store/schema.h"
#include "support/temp_folder.h"

namespace kestrel::testing {

// One plan entry: the pack's profile, the number the user chose for it and
// the development VRC the pack records for it ("__" for none).
struct PlanEntry {
  int32_t source;
  int32_t target;
  std::string development = "__";
};

// A value for every column of a layout, as an exporter would write a
// realistic row; `overrides` replace single columns.
inline pack::NamedValues Record(const pack::TaggedLayout& layout,
                                std::initializer_list<std::pair<std::string_view, Value>> overrides = {}) {
  pack::NamedValues row;
  for (const auto& f : layout.fields) {
    const std::string_view c = f.column;
    Value v = std::string(c) + " of " + std::string(layout.table);
    if (c == "mprf") v = 40;
    else if (c == "vers") v = "X40";
    else if (c == "rele") v = "c";
    else if (c == "cust") v = "ab1";
    else if (c == "dnum" || c == "type" || c == "revi") v = "2";
    else if (c == "ldat" || c == "sdat" || c == "cdat") v = "2024-03-14 13:05:09";
    else if (c == "pexp") v = "1";
    else if (c == "isms") v = "N";
    else if (c == "logn" || c == "lusr") v = "asmith";
    else if (c == "tcpac") v = "SALES";
    else if (c == "tcmod") v = "ORDHDR";
    else if (c == "tflno") v = "0010";
    else if (c == "fnam") v = "fnCalcTax";
    row.Set(c, std::move(v));
  }
  for (const auto& [c, v] : overrides) row.Set(c, v);
  return row;
}

class LoaderFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    store_ = store::CreateStore(t_ / "profiles.db");
    pack_ = t_ / "pack";
    files::CreateFolders(Env::Default(), pack_);
    s_.cx.DataConnection = store_;
    s_.o.Path = pack_;
    s_.o.LastModifiedUser = "jdoe";
  }

  void SetPlan(const std::vector<PlanEntry>& entries) {
    importer::ImportPlan p;
    for (const auto& e : entries) {
      p.SourceProfiles[0].push_back(e.source);
      p.SourceProfiles[1].push_back(0);
      p.TargetProfiles[0].push_back(e.target);
      p.TargetProfiles[1].push_back(0);
      p.SourceApplications[0].push_back("SAPB1");
      p.SourceApplications[1].push_back("LGX7");
      p.TargetApplications[0].push_back("SAPB1");
      p.TargetApplications[1].push_back("LGX7");
      p.DevelopmentVRCs.push_back(e.development);
    }
    p.Size = static_cast<int32_t>(entries.size()) - 1;
    s_.r.Plan = std::move(p);
  }

  // Writes a pack file through the tagged record writer; the file name is the
  // one the writers give it.
  void Write(const pack::TaggedLayout& layout, const std::vector<pack::NamedValues>& rows,
             pack::RecordOptions options = {}) {
    auto out = files::TextWriter::Create(Env::Default(), files::Join(pack_, layout.file));
    pack::TaggedRecordWriter writer(layout, *out, options);
    for (const auto& row : rows) writer.Write(row);
    out->Close();
  }
  // Writes a file's lines as they stand, each followed by CR LF.
  void WriteLines(std::string_view file, const std::vector<std::string>& lines) {
    auto out = files::TextWriter::Create(Env::Default(), files::Join(pack_, file));
    for (const auto& l : lines) out->WriteLine(l);
    out->Close();
  }
  template <size_t N>
  void WriteEmpty(const std::array<const pack::TaggedLayout*, N>& layouts) {
    for (const auto* l : layouts) Write(*l, {});
  }

  // The rows of a select, each value as text ("NULL" for NULL).
  std::vector<std::vector<std::string>> Rows(const std::string& select) {
    std::vector<std::vector<std::string>> rows;
    auto rs = store_->OpenRecordset(select);
    for (; !rs->IsEOF(); rs->MoveNext()) {
      std::vector<std::string> row;
      for (int i = 0; i < rs->FieldCount(); ++i) {
        Value v = rs->Fields(i);
        row.push_back(v.IsNull() ? "NULL" : v.Text());
      }
      rows.push_back(std::move(row));
    }
    return rows;
  }
  int64_t Count(const std::string& table) {
    return store_->OpenRecordset("select count(*) from " + table)->Fields(0).Integer();
  }

  kestrel::testing::TempFolder t_;
  std::shared_ptr<store::Connection> store_;
  std::string pack_;
  ImportParts s_;
};

}  // namespace kestrel::testing
