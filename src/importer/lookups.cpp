// Store look-ups of the selection checks and of the import transaction.
#include "importer/lookups.h"

#include "base/error.h"
#include "store/connection.h"
#include "store/statements_import_selection.h"
#include "store/statements_profiles.h"

namespace kestrel::importer {

namespace {

// Runs `body` under the look-ups' trap: a failure is remembered in the error
// state and the caller gets `nothing`.
template <typename T, typename Body>
T Trapped(ErrorState& error, T nothing, Body body) {
  try {
    return body();
  } catch (const std::exception& e) {
    ComError c = AsComError(e);
    error.Set(c.number(), c.description());
    return nothing;
  }
}

}  // namespace

bool ProfileExists(const ImportContext& cx, ErrorState& error, int64_t mprf) {
  return Trapped(error, false, [&] {
    auto& c = ConnectionOf(cx);
    return !c.OpenRecordset(store::SelectProfile(c.dialect(), mprf))->IsEOF();
  });
}

bool ApplicationExists(const ImportContext& cx, ErrorState& error, const std::string& appl) {
  return Trapped(error, false, [&] {
    auto& c = ConnectionOf(cx);
    return !c.OpenRecordset(store::SelectApplicationCode(c.dialect(), appl))->IsEOF();
  });
}

ProfileApplications GetProfileApplications(const ImportContext& cx, ErrorState& error, int64_t mprf) {
  return Trapped(error, ProfileApplications{}, [&] {
    auto& c = ConnectionOf(cx);
    auto rs = c.OpenRecordset(store::SelectProfile(c.dialect(), mprf));
    if (rs->IsEOF()) return ProfileApplications{};
    return ProfileApplications{rs->Fields("sapp").TextOrEmpty(), rs->Fields("tapp").TextOrEmpty()};
  });
}

int32_t GetApplicationExtn(const ImportContext& cx, ErrorState& error, const std::string& appl) {
  return Trapped(error, int32_t{-1}, [&] {
    auto& c = ConnectionOf(cx);
    auto rs = c.OpenRecordset(store::SelectApplicationRows(c.dialect(), "qzddi100", appl));
    if (rs->IsEOF()) return int32_t{-1};
    int64_t extn = rs->Fields("extn").Integer();
    if (extn < INT32_MIN || extn > INT32_MAX) RaiseRuntime(rt::Overflow);
    return static_cast<int32_t>(extn);
  });
}

std::string ProfilesWithApplications(const ImportContext& cx, ErrorState& error, const std::string& sapp,
                                     const std::string& tapp) {
  return Trapped(error, std::string(), [&] {
    auto& c = ConnectionOf(cx);
    std::string list;
    for (auto rs = c.OpenRecordset(store::SelectProfilesWithApplications(c.dialect(), sapp, tapp)); !rs->IsEOF();
         rs->MoveNext()) {
      if (!list.empty()) list += ", ";
      list += rs->Fields("mprf").TextOrEmpty();
    }
    return list;
  });
}

}  // namespace kestrel::importer
