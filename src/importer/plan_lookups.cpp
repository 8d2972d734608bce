// Look-ups in the import plan and the one header map.
#include "importer/plan_lookups.h"

#include "base/error.h"
#include "base/text.h"
#include "base/value.h"

namespace kestrel::importer {
namespace {

}  // namespace

const PlanEntry& ImportPlan::At(size_t i) const {
  if (i >= Entries.size()) RaiseRuntime(rt::SubscriptOutOfRange);
  return Entries[i];
}

int64_t NumberOfText(std::string_view number) { return Value(std::string(number)).Integer(); }

int32_t MapSourceProfile(const ImportPlan& p, int32_t mprf) {
  for (const PlanEntry& e : p.Entries)
    if (e.source.profile == mprf) return e.target.profile;
  return 0;
}

int32_t MapTargetProfile(const ImportPlan& p, int32_t mprf) {
  for (const PlanEntry& e : p.Entries)
    if (e.target.profile == mprf) return e.source.profile;
  return 0;
}

void ApplySelectionToHeader(const ImportPlan& p, std::string_view separator, const std::string& line,
                            int32_t& index, std::vector<std::string>& fields) {
  fields = text::Split(line, separator);
  if (fields.size() != kHeaderFieldCount) throw Failure(kHeaderLineError, std::string(kHeaderLineCorrupt));
  const int64_t number = NumberOfText(fields[0]);
  for (size_t k = 0; k < p.size(); ++k) {
    const PlanEntry& e = p.Entries[k];
    if (e.source.profile != number) continue;
    fields[0] = std::to_string(e.target.profile);
    fields[1] = e.target.source_application;
    fields[2] = e.target.target_application;
    index = static_cast<int32_t>(k);
    return;
  }
  throw ComError(kHeaderLineError, std::string(kProfileNotSelected));
}

HeaderEntry SplitHeaderEntry(std::string_view element) {
  auto parts = text::Split(element, "_");
  if (parts.size() < 4) RaiseRuntime(rt::SubscriptOutOfRange);
  return HeaderEntry{std::move(parts[0]), std::move(parts[1]), std::move(parts[2]), std::move(parts[3])};
}

std::string JoinHeaderEntry(const HeaderEntry& e) {
  return e.Number + "_" + e.Vers + "_" + e.Rele + "_" + e.Cust;
}

std::string ImportedProfiles(const std::vector<std::string>& map, std::string_view separator) {
  std::string joined;
  for (size_t i = 0; i < map.size(); ++i) {
    if (i) joined += separator;
    joined += map[i];
  }
  return joined;
}

std::string DevelopmentPart(std::string_view part) {
  return "d" + std::string(part.empty() ? part : part.substr(1));
}

std::optional<HeaderMatch> FindInHeaderMap(const std::vector<std::string>& map, int64_t mprf) {
  for (size_t i = 0; i < map.size(); ++i) {
    HeaderEntry e = SplitHeaderEntry(map[i]);
    if (NumberOfText(e.Number) == mprf) return HeaderMatch{i, std::move(e)};
  }
  return std::nullopt;
}

}  // namespace kestrel::importer
