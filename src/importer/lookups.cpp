// Store look-ups of the selection checks and of the import transaction.
#include "importer/lookups.h"

#include "base/error.h"
#include "store/connection.h"
#include "store/open.h"
#include "store/statements_import_selection.h"
#include "store/statements_profiles.h"

namespace kestrel::importer {

namespace {

// Runs `body`; its failure is raised with the store's number and text, as
// the look-up's own, about the store (its location masked).
template <typename Body>
auto Asking(const ImportContext& cx, Body body) {
  try {
    return body();
  } catch (const std::exception& e) {
    const ComError c = AsComError(e);
    Place place;
    if (cx.DataConnection) place.path = store::MaskedLocation(cx.DataConnection->location());
    throw Failure(Error(c.number(), c.description(), std::move(place)));
  }
}

}  // namespace

bool ProfileExists(const ImportContext& cx, int64_t mprf) {
  return Asking(cx, [&] {
    auto& c = ConnectionOf(cx);
    return !c.OpenRecordset(store::SelectProfile(c.dialect(), mprf))->IsEOF();
  });
}

bool ApplicationExists(const ImportContext& cx, const std::string& appl) {
  return Asking(cx, [&] {
    auto& c = ConnectionOf(cx);
    return !c.OpenRecordset(store::SelectApplicationCode(c.dialect(), appl))->IsEOF();
  });
}

ProfileApplications GetProfileApplications(const ImportContext& cx, int64_t mprf) {
  return Asking(cx, [&] {
    auto& c = ConnectionOf(cx);
    auto rs = c.OpenRecordset(store::SelectProfile(c.dialect(), mprf));
    if (rs->IsEOF()) return ProfileApplications{};
    return ProfileApplications{rs->Fields("sapp").TextOrEmpty(), rs->Fields("tapp").TextOrEmpty()};
  });
}

int32_t GetApplicationExtn(const ImportContext& cx, const std::string& appl) {
  return Asking(cx, [&] {
    auto& c = ConnectionOf(cx);
    auto rs = c.OpenRecordset(store::SelectApplicationRows(c.dialect(), "qzddi100", appl));
    if (rs->IsEOF()) return int32_t{-1};
    int64_t extn = rs->Fields("extn").Integer();
    if (extn < INT32_MIN || extn > INT32_MAX) RaiseRuntime(rt::Overflow);
    return static_cast<int32_t>(extn);
  });
}

std::string ProfilesWithApplications(const ImportContext& cx, const std::string& sapp,
                                     const std::string& tapp) {
  return Asking(cx, [&] {
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
