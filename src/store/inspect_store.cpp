// The profiles of a store for a listing: their headers, direct parents and
// rule rows, read in one snapshot so that the listing is of one moment.
#include <algorithm>

#include "kestrel/inspect.h"
#include "store/connection.h"
#include "store/schema.h"
#include "store/statements_inspect.h"

namespace kestrel::inspect {
namespace {

// A read snapshot of its own unless the caller has a transaction open; it
// ends without a commit, as a read changes nothing.
class ReadScope {
 public:
  explicit ReadScope(store::Connection& c) : c_(c), own_(!c.InTransaction()) {
    if (own_) c_.BeginSnapshot();
  }
  ~ReadScope() {
    if (own_) try { c_.RollbackBatch(); } catch (...) {}
  }
  ReadScope(const ReadScope&) = delete;
  ReadScope& operator=(const ReadScope&) = delete;

 private:
  store::Connection& c_;
  bool own_;
};

}  // namespace

std::vector<StoredProfile> ListProfiles(store::Connection& c) {
  const store::Dialect d = c.dialect();
  ReadScope snapshot(c);
  std::vector<StoredProfile> profiles;
  for (auto rs = c.OpenRecordset(store::SelectProfileListing(d)); !rs->IsEOF(); rs->MoveNext()) {
    StoredProfile p;
    p.number = rs->Fields(0).Integer();
    p.source_application = rs->Fields(1).TextOrEmpty();
    p.target_application = rs->Fields(2).TextOrEmpty();
    p.version = rs->Fields(3).TextOrEmpty();
    p.release = rs->Fields(4).TextOrEmpty();
    p.customer = rs->Fields(5).TextOrEmpty();
    p.description = rs->Fields(6).TextOrEmpty();
    p.depth = rs->Fields(7).IsNull() ? 0 : rs->Fields(7).Integer();
    profiles.push_back(std::move(p));
  }
  auto find = [&](int64_t number) -> StoredProfile* {
    auto at = std::lower_bound(profiles.begin(), profiles.end(), number,
                               [](const StoredProfile& p, int64_t n) { return p.number < n; });
    return at != profiles.end() && at->number == number ? &*at : nullptr;
  };
  for (auto rs = c.OpenRecordset(store::SelectDirectParents(d)); !rs->IsEOF(); rs->MoveNext())
    if (StoredProfile* p = find(rs->Fields(0).Integer()); p != nullptr && !rs->Fields(1).IsNull())
      p->parent = rs->Fields(1).Integer();
  for (std::string_view table : store::RuleTables())
    for (auto rs = c.OpenRecordset(store::CountRowsPerProfile(d, table)); !rs->IsEOF(); rs->MoveNext())
      if (StoredProfile* p = find(rs->Fields(0).Integer()); p != nullptr)
        p->rules[std::string(table)] = rs->Fields(1).Integer();
  return profiles;
}

}  // namespace kestrel::inspect
