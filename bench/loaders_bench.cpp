// Benchmark of the rule loaders: writes a pack of current rules with the pack
// writers and loads it into a new store, printing rows per second.
// Usage: loaders_bench [ROWS]   (default 20000)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <stdlib.h>

#include "base/files.h"
#include "importer/import_context.h"
#include "importer/import_options.h"
#include "importer/import_results.h"
#include "importer/loaded_records.h"
#include "importer/loaders.h"
#include "importer/plan_lookups.h"
#include "pack/record_writer.h"
#include "store/connection.h"
#include "store/schema.h"


int main(int argc, char** argv) {
  const long rows = argc > 1 ? std::atol(argv[1]) : 20000;
  std::string dir = (std::filesystem::temp_directory_path() / "kestrel-bench-XXXXXX").string();
  if (!::mkdtemp(dir.data())) return 1;
  const std::string pack = dir + "/pack";
  kestrel::files::CreateFolders(kestrel::Env::Default(), pack);

  for (const auto* layout : kestrel::importer::kCurrentRuleFiles) {
    auto out = kestrel::files::TextWriter::Create(kestrel::Env::Default(), kestrel::files::Join(pack, layout->file));
    kestrel::pack::TaggedRecordWriter writer(*layout, *out);
    if (layout == &kestrel::pack::kQzmap120) {
      for (long i = 0; i < rows; ++i) {
        kestrel::pack::NamedValues row;
        for (const auto& f : layout->fields) row.Set(f.column, std::string(f.column) + " " + std::to_string(i));
        row.Set("mprf", static_cast<int64_t>(40 + i % 3));
        row.Set("ldat", "2024-03-14 13:05:09");
        row.Set("prtx", "IF A = B THEN\r\n  C = D\r\nEND IF");
        writer.Write(row);
      }
    }
    out->Close();
  }

  kestrel::importer::ImportOptions options;
  options.Path = pack;
  options.LastModifiedUser = "bench";
  kestrel::importer::ImportContext cx(kestrel::Env::Default());
  cx.DataConnection = kestrel::store::CreateStore(dir + "/profiles.db");
  kestrel::importer::ImportResults r;
  for (int32_t k = 0; k < 3; ++k) r.Plan.Entries.push_back({{40 + k, 0, "", ""}, {12 + k, 0, "", ""}});
  r.HeaderMap = {"14_X42_c_ab1", "13_X41_c_ab1", "12_X40_c_ab1"};

  auto start = std::chrono::steady_clock::now();
  bool ok = true;
  try {
    kestrel::importer::LoadToMAP120_130_140_160(kestrel::importer::PlannedPackOf(options, r), r.HeaderMap, cx);
  } catch (const kestrel::Failure& e) {
    r.Error.Set(e);
    ok = false;
  }
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("%s: %ld rows in %.3f s, %.0f rows/s\n", ok ? "loaded" : r.Error.text().c_str(), rows,
              seconds, static_cast<double>(rows) / seconds);
  cx.DataConnection.reset();
  std::filesystem::remove_all(dir);
  return ok ? 0 : 1;
}
