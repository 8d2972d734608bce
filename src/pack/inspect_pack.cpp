// What a logic pack holds, for a listing: the manifest's status and options,
// the header file's profiles, and every file with its rows and whether it
// still matches its sum. Every file is read by the reader the import uses
// for it, so a file the listing counts is one the import can read.
#include <algorithm>
#include <cctype>

#include "base/files.h"
#include "base/row_reader.h"
#include "base/value.h"
#include "kestrel/env.h"
#include "kestrel/error.h"
#include "kestrel/inspect.h"
#include "pack/layout.h"
#include "pack/manifest.h"
#include "pack/naming.h"
#include "pack/record_reader.h"
#include "pack/sums.h"

namespace kestrel::inspect {
namespace {

std::string Lower(std::string_view s) {
  std::string out(s);
  std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return std::tolower(c); });
  return out;
}

// An application data file: an application table's name, the code, ".dat".
bool IsApplicationDataFile(const std::string& lower_name) {
  if (!lower_name.ends_with(".dat")) return false;
  for (const pack::ApplicationTable& t : pack::kApplicationTables)
    if (lower_name.size() > t.table.size() + 4 && lower_name.starts_with(t.table)) return true;
  return false;
}

int64_t CountRows(std::unique_ptr<files::RowReader> rows) {
  int64_t n = 0;
  while (rows->Next()) ++n;
  return n;
}

// Reads the file as its kind says, filling its kind and rows (or problem).
void ReadFile(Env& env, const std::string& folder, bool for_sync, PackFile& f) {
  const std::string lower = Lower(f.name);
  const std::string path = files::Join(folder, f.name);
  try {
    if (lower == Lower(pack::kManifestFile)) {
      f.kind = "manifest";
    } else if (lower == Lower(pack::kSumsFile)) {
      f.kind = "sums";
    } else if (const pack::TaggedLayout* tagged = pack::TaggedLayoutOfFile(f.name)) {
      f.kind = "rules";
      pack::TaggedRecordReader reader(*tagged, files::TextReader::Open(env, path), {.for_sync = for_sync});
      pack::TaggedRecord record;
      int64_t n = 0;
      while (reader.Next(record)) ++n;
      f.rows = n;
    } else if (const pack::RowLayout* row = pack::RowLayoutOfFile(f.name)) {
      f.kind = "rows";
      f.rows = CountRows(files::RowReader::Open(env, path, row->columns.size()));
    } else if (IsApplicationDataFile(lower)) {
      f.kind = "application data";
      f.rows = CountRows(files::RowReader::Open(env, path));
    } else {
      f.kind = "other";
    }
  } catch (const std::exception& e) {
    f.rows.reset();
    f.problem = AsComError(e).description();
  }
}

void ReadProfiles(Env& env, const std::string& folder, PackContents& out) {
  const auto header = files::ResolveInFolder(env, folder, pack::kQzmap100Rows.file);
  if (!header) return;
  auto rows = files::RowReader::Open(env, *header, pack::kQzmap100Rows.columns.size());
  auto column = [&](std::string_view name) {
    const auto& cols = pack::kQzmap100Rows.columns;
    return static_cast<size_t>(std::find(cols.begin(), cols.end(), name) - cols.begin());
  };
  while (rows->Next()) {
    const auto& f = rows->fields();
    PackProfile p;
    p.number = IntegerOfText(f[column("mprf")]);
    p.source_application = std::string(f[column("sapp")]);
    p.target_application = std::string(f[column("tapp")]);
    p.version = std::string(f[column("vers")]);
    p.release = std::string(f[column("rele")]);
    p.customer = std::string(f[column("cust")]);
    p.description = std::string(f[column("dsca")]);
    out.profiles.push_back(std::move(p));
  }
}

}  // namespace

PackContents InspectPack(Env& env, const std::string& folder,
                         const std::function<void(size_t read, size_t total)>& files_read) {
  if (!env.FolderExists(folder))
    throw ComError(rt::PathNotFound, std::string(RuntimeErrorText(rt::PathNotFound)) + ": " + folder);
  PackContents out;
  {
    auto lines = pack::manifest::Lines::Open(env, folder);
    out.export_succeeded = Lower(lines->Next()) == Lower(pack::manifest::kSuccess);
  }
  pack::ManifestOptions options;
  pack::ReadLogicPackManifest(env, folder, options);
  out.revisions = options.revisions;
  out.for_sync = options.for_sync;
  out.new_profile_number = options.new_profile ? options.new_profile_number : 0;
  for (size_t start = 0; start < options.applications.size();) {
    size_t end = options.applications.find('|', start);
    if (end == std::string::npos) end = options.applications.size();
    if (end > start) out.applications.push_back(options.applications.substr(start, end - start));
    start = end + 1;
  }
  ReadProfiles(env, folder, out);

  std::vector<std::string> names = env.ListFiles(folder);
  std::sort(names.begin(), names.end());
  for (const auto& name : names) {
    // The export's spool file is its own working state, not part of the pack.
    if (name == pack::kManifestSpoolFile) continue;
    PackFile f;
    f.name = name;
    ReadFile(env, folder, out.for_sync, f);
    out.files.push_back(std::move(f));
    if (files_read) files_read(out.files.size(), names.size());
  }

  out.has_sums = files::FileExistsInFolder(env, folder, pack::kSumsFile);
  if (out.has_sums)
    for (const pack::FileSum& listed : pack::ReadSums(env, folder)) {
      auto f = std::find_if(out.files.begin(), out.files.end(), [&](const PackFile& p) { return p.name == listed.name; });
      if (f == out.files.end()) {
        out.missing_files.push_back(listed.name);
        continue;
      }
      try {
        const pack::FileSum found = pack::MeasureFile(env, files::Join(folder, f->name), f->name, false);
        f->sum_matches = found.size == listed.size && found.sha256 == listed.sha256;
      } catch (const std::exception& e) {
        f->sum_matches = false;
        if (f->problem.empty()) f->problem = AsComError(e).description();
      }
    }
  return out;
}

}  // namespace kestrel::inspect
