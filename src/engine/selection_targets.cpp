// Typed targets and the importer's selection entries.
#include "engine/selection_targets.h"

#include <algorithm>

#include <fmt/format.h>
#include <fmt/ranges.h>

#include "base/error.h"
#include "base/errors_ours.h"
#include "importer/entry_points.h"
#include "importer/pack_file_refusals.h"

namespace kestrel::engine {
namespace {

// Removes a field's marker; true when it had one.
bool Unmark(std::string& field) {
  if (field.empty() || field.back() != importer::kMarker) return false;
  field.pop_back();
  return true;
}

int NumberField(const std::string& field) { return static_cast<int>(importer::NumberOf(field)); }

}  // namespace

Proposed ProposedTargets(const importer::ImportOptions& o, const importer::ImportContext& cx) {
  Proposed proposed;
  pack::ManifestOptions manifest;
  try {
    proposed.lists = importer::ShowLogicPackDetails(o, cx, manifest);
  } catch (const Failure& e) {
    Place place = e.place();
    if (place.path.empty()) place.path = o.Path;
    throw Error(e.number(), e.description(), std::move(place));
  }
  for (const importer::SelectionEntry& marked : proposed.lists.targets) proposed.targets.push_back(TargetOf(marked));
  return proposed;
}

Target TargetOf(const importer::SelectionEntry& marked) {
  importer::SelectionEntry e = marked;
  Target t;
  t.stored.profile = Unmark(e.Field(0));
  t.stored.source_application = Unmark(e.Field(1));
  t.stored.target_application = Unmark(e.Field(2));
  t.stored.parent_missing = Unmark(e.Field(3));
  t.profile = NumberField(e.number);
  t.source_application = e.source_application;
  t.target_application = e.target_application;
  t.parent = NumberField(e.parent);
  // The marking writes "0*" for a root: it has no parent to lack.
  if (t.parent == 0) t.stored.parent_missing = false;
  t.source_extn = e.Field(4);
  t.target_extn = e.Field(5);
  return t;
}

importer::SelectionEntry EntryOf(const Target& t) {
  return importer::SelectionEntry::Of(t.profile, t.source_application, t.target_application, t.parent,
                                      t.source_extn, t.target_extn);
}

}  // namespace kestrel::engine

namespace kestrel {

std::vector<std::string> WouldReplace(const std::vector<Target>& marked) {
  std::vector<std::string> profiles, applications;
  auto add = [](std::vector<std::string>& to, std::string name) {
    if (std::find(to.begin(), to.end(), name) == to.end()) to.push_back(std::move(name));
  };
  for (const Target& t : marked) {
    if (t.stored.profile) add(profiles, "profile " + std::to_string(t.profile));
    if (t.stored.source_application) add(applications, "application " + t.source_application);
    if (t.stored.target_application) add(applications, "application " + t.target_application);
  }
  profiles.insert(profiles.end(), applications.begin(), applications.end());
  return profiles;
}

}  // namespace kestrel

namespace kestrel::engine {

void RefuseReplaceWithoutConsent(const ImportRequest& request, const std::vector<Target>& marked) {
  if (request.replace != ReplacePolicy::Refuse || request.dry_run) return;
  if (const auto replaced = WouldReplace(marked); !replaced.empty())
    throw Error(Number(Ours::ReplaceNotConfirmed),
                fmt::format("{}: the store holds {}", DefaultText(Ours::ReplaceNotConfirmed), fmt::join(replaced, ", ")));
}

}  // namespace kestrel::engine
