// The engine's results as the C structs of include/kestrel.h, and the
// registry of those handed out.
#include "capi/results.h"

#include <mutex>
#include <unordered_map>

#include "base/error.h"
#include "capi/barrier.h"

namespace kestrel::capi {
namespace {

std::mutex registry_mutex;
std::unordered_map<const void*, std::unique_ptr<Owned>>& Registry() {
  static auto* registry = new std::unordered_map<const void*, std::unique_ptr<Owned>>();
  return *registry;
}

int32_t Flag(bool b) { return b ? 1 : 0; }

}  // namespace

kestrel_text Arena::Text(std::string s) { return View(texts_.emplace_back(std::move(s))); }

const kestrel_text* Arena::Texts(const std::vector<std::string>& items, size_t& count) {
  std::vector<kestrel_text> views;
  views.reserve(items.size());
  for (const auto& item : items) views.push_back(Text(item));
  return Array(std::move(views), count);
}

void Register(const void* handed_out, std::unique_ptr<Owned> owner) {
  const std::lock_guard lock(registry_mutex);
  Registry().emplace(handed_out, std::move(owner));
}

void Release(const void* handed_out, bool (*is_type)(const Owned&)) {
  if (handed_out == nullptr) return;
  std::unique_ptr<Owned> owner;
  {
    const std::lock_guard lock(registry_mutex);
    auto found = Registry().find(handed_out);
    if (found == Registry().end() || !is_type(*found->second)) RaiseRuntime(rt::InvalidProcedureCall);
    owner = std::move(found->second);
    Registry().erase(found);
  }
  // Destroyed outside the lock: a large result takes a while.
}

kestrel_pack_profile ToC(Arena& arena, const PackProfile& p) {
  kestrel_pack_profile c{};
  c.number = p.number;
  c.parent = p.parent;
  c.depth = p.depth;
  c.source_application = arena.Text(p.source_application);
  c.target_application = arena.Text(p.target_application);
  c.version = arena.Text(p.vrc.version);
  c.release = arena.Text(p.vrc.release);
  c.customer = arena.Text(p.vrc.customer);
  c.description = arena.Text(p.description);
  c.source_extn = arena.Text(p.source_extn);
  c.target_extn = arena.Text(p.target_extn);
  return c;
}

kestrel_target ToC(Arena& arena, const Target& t) {
  kestrel_target c{};
  c.profile = t.profile;
  c.parent = t.parent;
  c.source_application = arena.Text(t.source_application);
  c.target_application = arena.Text(t.target_application);
  c.source_extn = arena.Text(t.source_extn);
  c.target_extn = arena.Text(t.target_extn);
  const auto bit = [](bool set, unsigned value) { return set ? value : 0u; };
  c.stored = bit(t.stored.profile, KESTREL_STORED_PROFILE) |
             bit(t.stored.source_application, KESTREL_STORED_SOURCE_APPLICATION) |
             bit(t.stored.target_application, KESTREL_STORED_TARGET_APPLICATION) |
             bit(t.stored.parent_missing, KESTREL_PARENT_MISSING);
  return c;
}

kestrel_place ToC(Arena& arena, const Place& p) {
  return kestrel_place{arena.Text(p.file), p.line, arena.Text(p.table), p.entry, arena.Text(p.path)};
}

kestrel_error ToC(Arena& arena, const Error& e) {
  kestrel_error c{};
  c.number = e.number();
  c.text = arena.Text(e.text());
  c.place = ToC(arena, e.place());
  return c;
}

std::unique_ptr<Result<kestrel_export_report>> ExportResult(const ExportReport& report) {
  auto r = std::make_unique<Result<kestrel_export_report>>();
  auto& c = r->c;
  c.revisions = Flag(report.revisions);
  c.folder = r->arena.Text(report.folder);
  c.files = r->arena.Texts(report.files, c.file_count);
  c.applications = r->arena.Texts(report.applications, c.application_count);
  std::vector<kestrel_count> rows;
  for (const auto& [file, n] : report.rows) rows.push_back(kestrel_count{r->arena.Text(file), n});
  c.rows = r->arena.Array(std::move(rows), c.row_count);
  return r;
}

std::unique_ptr<Result<kestrel_pack_info>> PackInfoResult(const PackInfo& info) {
  auto r = std::make_unique<Result<kestrel_pack_info>>();
  auto& c = r->c;
  Arena& arena = r->arena;
  c.export_succeeded = Flag(info.export_succeeded);
  c.revisions = Flag(info.revisions);
  c.for_sync = Flag(info.for_sync);
  c.new_profile_number = info.new_profile_number;
  c.has_sums = Flag(info.has_sums);
  c.folder = arena.Text(info.folder);
  c.applications = arena.Texts(info.applications, c.application_count);
  std::vector<kestrel_pack_profile> profiles;
  for (const auto& p : info.profiles) profiles.push_back(ToC(arena, p));
  c.profiles = arena.Array(std::move(profiles), c.profile_count);
  std::vector<kestrel_pack_file> files;
  for (const auto& f : info.files) {
    kestrel_pack_file file{};
    file.name = arena.Text(f.name);
    file.kind = arena.Text(f.kind);
    file.rows = f.rows.value_or(-1);
    file.sum = !f.sum_matches ? KESTREL_SUM_UNLISTED : *f.sum_matches ? KESTREL_SUM_MATCHES : KESTREL_SUM_DIFFERS;
    file.problem = arena.Text(f.problem);
    files.push_back(file);
  }
  c.files = arena.Array(std::move(files), c.file_count);
  c.missing_files = arena.Texts(info.missing_files, c.missing_file_count);
  return r;
}

std::unique_ptr<Result<kestrel_targets>> TargetsResult(const std::vector<Target>& targets) {
  auto r = std::make_unique<Result<kestrel_targets>>();
  std::vector<kestrel_target> out;
  for (const auto& t : targets) out.push_back(ToC(r->arena, t));
  r->c.targets = r->arena.Array(std::move(out), r->c.count);
  return r;
}

std::unique_ptr<Result<kestrel_findings>> FindingsResult(const std::vector<Error>& findings) {
  auto r = std::make_unique<Result<kestrel_findings>>();
  std::vector<kestrel_error> out;
  for (const auto& e : findings) out.push_back(ToC(r->arena, e));
  r->c.findings = r->arena.Array(std::move(out), r->c.count);
  return r;
}

std::unique_ptr<Result<kestrel_import_report>> ImportResult(const ImportReport& report) {
  auto r = std::make_unique<Result<kestrel_import_report>>();
  auto& c = r->c;
  Arena& arena = r->arena;
  c.committed = Flag(report.committed);
  c.dry_run = Flag(report.dry_run);
  std::vector<kestrel_pack_profile> sources;
  for (const auto& p : report.sources) sources.push_back(ToC(arena, p));
  c.sources = arena.Array(std::move(sources), c.source_count);
  std::vector<kestrel_target> targets;
  for (const auto& t : report.targets) targets.push_back(ToC(arena, t));
  c.targets = arena.Array(std::move(targets), c.target_count);
  // Profile numbers are 16 bits in every store.
  std::vector<int32_t> replaced;
  for (const int64_t n : report.profiles_replaced) replaced.push_back(static_cast<int32_t>(n));
  c.profiles_replaced = arena.Array(std::move(replaced), c.profiles_replaced_count);
  c.applications_replaced = arena.Texts(report.applications_replaced, c.applications_replaced_count);
  std::vector<kestrel_table_rows> rows;
  for (const auto& [table, change] : report.rows)
    rows.push_back(kestrel_table_rows{arena.Text(table), change.added, change.deleted});
  c.rows = arena.Array(std::move(rows), c.row_count);
  c.seconds = report.seconds;
  c.run_log = arena.Text(report.run_log);
  return r;
}

std::unique_ptr<Result<kestrel_stored_profiles>> StoredProfilesResult(const std::vector<inspect::StoredProfile>& profiles) {
  auto r = std::make_unique<Result<kestrel_stored_profiles>>();
  Arena& arena = r->arena;
  std::vector<kestrel_stored_profile> out;
  for (const auto& p : profiles) {
    kestrel_stored_profile c{};
    // Profile numbers and depths are 16 bits in every store.
    c.number = static_cast<int32_t>(p.number);
    c.parent = static_cast<int32_t>(p.parent);
    c.depth = static_cast<int32_t>(p.depth);
    c.source_application = arena.Text(p.source_application);
    c.target_application = arena.Text(p.target_application);
    c.version = arena.Text(p.version);
    c.release = arena.Text(p.release);
    c.customer = arena.Text(p.customer);
    c.description = arena.Text(p.description);
    std::vector<kestrel_count> rules;
    for (const auto& [table, n] : p.rules) rules.push_back(kestrel_count{arena.Text(table), n});
    c.rules = arena.Array(std::move(rules), c.rule_count);
    out.push_back(c);
  }
  r->c.profiles = arena.Array(std::move(out), r->c.count);
  return r;
}

std::unique_ptr<Result<kestrel_counts>> CountsResult(const std::vector<TableCount>& counts) {
  auto r = std::make_unique<Result<kestrel_counts>>();
  std::vector<kestrel_count> out;
  for (const auto& t : counts) out.push_back(kestrel_count{r->arena.Text(t.table), t.rows});
  r->c.tables = r->arena.Array(std::move(out), r->c.count);
  return r;
}

std::unique_ptr<Result<kestrel_texts>> TextsResult(const std::vector<std::string>& texts) {
  auto r = std::make_unique<Result<kestrel_texts>>();
  r->c.items = r->arena.Texts(texts, r->c.count);
  return r;
}

}  // namespace kestrel::capi
