// Look-ups in the import plan and the one header map.
#include "importer/plan_lookups.h"

#include "base/error.h"
#include "base/text.h"
#include "base/value.h"

namespace kestrel::importer {
namespace {

// Plan entries 0 ... Size; the vectors may be longer than the plan says
// when a test or a caller sized them so, never shorter.
size_t PlanEntries(const ImportPlan& p) {
  return p.Size < 0 ? 0 : static_cast<size_t>(p.Size) + 1;
}

int32_t MapThrough(const std::vector<int32_t>& from, const std::vector<int32_t>& to, size_t entries,
                   int32_t mprf) {
  for (size_t i = 0; i < entries && i < from.size() && i < to.size(); ++i)
    if (from[i] == mprf) return to[i];
  return 0;
}

}  // namespace

int64_t NumberOfText(std::string_view number) { return Value(std::string(number)).Integer(); }

int32_t MapSourceProfile(const ImportPlan& p, int32_t mprf) {
  return MapThrough(p.SourceProfiles[0], p.TargetProfiles[0], PlanEntries(p), mprf);
}

int32_t MapTargetProfile(const ImportPlan& p, int32_t mprf) {
  return MapThrough(p.TargetProfiles[0], p.SourceProfiles[0], PlanEntries(p), mprf);
}

bool ApplySelectionToHeader(const ImportPlan& p, std::string_view separator, ErrorState& error,
                            const std::string& line, int32_t& index, std::vector<std::string>& fields) {
  fields = text::Split(line, separator);
  if (fields.size() != kHeaderFieldCount) {
    error.Set(kHeaderLineError, std::string(kHeaderLineCorrupt));
    return false;
  }
  const int64_t number = NumberOfText(fields[0]);
  const size_t entries = PlanEntries(p);
  for (size_t k = 0; k < entries; ++k) {
    if (p.SourceProfiles[0].at(k) != number) continue;
    fields[0] = std::to_string(p.TargetProfiles[0].at(k));
    fields[1] = p.TargetApplications[0].at(k);
    fields[2] = p.TargetApplications[1].at(k);
    index = static_cast<int32_t>(k);
    return true;
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
