// Stores as the engine hands them out: opened or created by location, with
// their profiles and row counts.
#include "kestrel/engine.h"

#include "base/error.h"
#include "store/connection.h"
#include "store/open.h"
#include "store/recordset.h"
#include "store/statements_profiles.h"
#include "base/errors_ours.h"
#include "importer/entry_points.h"
#include "importer/import_context.h"

namespace kestrel {

Store Store::Open(const std::string& location, int wait_seconds) {
  return Store(store::OpenProfileStore(location, wait_seconds), location);
}

Store Store::Create(const std::string& location, int demo_scale) {
  std::shared_ptr<store::Connection> connection = store::CreateStore(location);
  if (demo_scale > 0) {
    try {
      store::FillDemoStore(*connection, demo_scale);
    } catch (...) {
      // A store half filled would refuse the next attempt with 58.
      connection.reset();
      try {
        store::DiscardNewStore(location);
      } catch (...) {
      }
      throw;
    }
  }
  return Store(std::move(connection), location);
}

Store::Store(std::shared_ptr<store::Connection> connection, std::string location)
    : connection_(std::move(connection)), location_(std::move(location)) {
  if (!connection_) RaiseRuntime(rt::ObjectNotSet);
  if (location_.empty()) location_ = connection_->location();
}

std::string Store::ShownLocation() const { return store::MaskedLocation(location_); }

std::vector<inspect::StoredProfile> Store::Profiles() { return inspect::ListProfiles(*connection_); }

int ProfileDepth(Store& store, int parent, const Context& context) {
  if (parent == 0) return 1;
  if (parent < 0 || parent > kMaxProfile) RaiseRuntime(rt::Overflow);
  store::Connection& c = *store.Connection();
  const auto held = c.OpenRecordset(store::SelectProfile(c.dialect(), parent));
  if (held->BOF() && held->IsEOF()) {
    Place place;
    place.path = store.ShownLocation();
    throw Error(Number(Ours::ProfileNotStored), TextWithDetail(Ours::ProfileNotStored, std::to_string(parent)),
                std::move(place));
  }
  importer::ImportContext cx(context.Environment());
  cx.DataConnection = store.Connection();
  int32_t mprf = 0, pprf = parent, depth = 0;
  importer::GetDepthOfProfile(cx, mprf, pprf, depth);
  return depth;
}

std::vector<TableCount> Store::Counts() {
  std::vector<TableCount> counts;
  for (const auto& [table, rows] : store::RowCounts(*connection_)) counts.push_back({std::string(table), rows});
  return counts;
}
}  // namespace kestrel
