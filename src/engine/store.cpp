// Stores as the engine hands them out: opened or created by location, with
// their profiles and row counts.
#include "kestrel/engine.h"

#include "base/error.h"
#include "store/connection.h"

namespace kestrel {

Store Store::Open(const std::string& location, int wait_seconds) {
  return Store(store::Open(location, wait_seconds), location);
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

std::vector<TableCount> Store::Counts() {
  std::vector<TableCount> counts;
  for (const auto& [table, rows] : store::RowCounts(*connection_)) counts.push_back({std::string(table), rows});
  return counts;
}
}  // namespace kestrel
