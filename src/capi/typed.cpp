// The typed functions of include/kestrel.h: a request struct checked and
// copied into the engine's request, the engine called, its result handed out
// as a C struct (capi/results.h), every failure a status and the thread's
// last error with its place (capi/barrier.h).
#include <fmt/format.h>

#include <limits>
#include <set>
#include <string>

#include "capi/barrier.h"
#include "capi/results.h"
#include "kestrel.h"
#include "kestrel/engine.h"
#include "kestrel/run_log_text.h"

// What the host holds for an open store.
struct kestrel_store {
  kestrel::Store store;
};

namespace kestrel::capi {
namespace {

constexpr Range kWait{"wait_seconds", 0, std::numeric_limits<int32_t>::max()};

kestrel::Store& StoreOf(kestrel_store* s) {
  if (s == nullptr) RaiseRuntime(rt::ObjectNotSet);
  return s->store;
}

// A request struct the caller filled: its size says which version of it the
// caller knows; this library knows no shorter one.
template <typename Request>
const Request& Filled(const Request* r, std::string_view name) {
  const Request& request = Required(r);
  InRange<uint32_t>(request.size, Range{name, sizeof(Request), std::numeric_limits<uint32_t>::max()});
  return request;
}

bool Flag(int32_t b) { return b != 0; }

PackReadOptions ReadOptions(uint32_t flags) {
  InRange<uint32_t>(flags, Range{"flags", 0, KESTREL_ALLOW_WITHOUT_SUMS});
  return PackReadOptions{.allow_without_sums = (flags & KESTREL_ALLOW_WITHOUT_SUMS) != 0};
}

ExportRequest ToEngine(const kestrel_export_request& r) {
  ExportRequest e;
  e.profile = InRange<int>(r.profile, Range{"profile", 1, kMaxProfile});
  e.root = Bytes(r.root, "root");
  e.single_profile = Flag(r.single_profile);
  e.new_number = InRange<int>(r.new_number, Range{"new_number", 0, kMaxProfile});
  e.traverse_parent = Flag(r.traverse_parent);
  e.revisions = Flag(r.revisions);
  e.based_on = InRange<int>(r.based_on, Range{"based_on", 0, kMaxProfile});
  e.for_sync = Flag(r.for_sync);
  e.overwrite = Flag(r.overwrite);
  return e;
}

// A target's numbers go as they are: the verification names a wrong one
// with its entry.
Target ToEngine(const kestrel_target& t, size_t index) {
  const auto field = [&](const kestrel_text& text, std::string_view name) {
    return Bytes(text, fmt::format("target {} {}", index + 1, name));
  };
  Target e;
  e.profile = t.profile;
  e.parent = t.parent;
  e.source_application = field(t.source_application, "source_application");
  e.target_application = field(t.target_application, "target_application");
  e.source_extn = field(t.source_extn, "source_extn");
  e.target_extn = field(t.target_extn, "target_extn");
  return e;
}

ImportRequest ToEngine(const kestrel_import_request& r) {
  ImportRequest e;
  e.pack = Bytes(r.pack, "pack");
  if (r.target_count != 0) Required(r.targets);
  for (size_t i = 0; i < r.target_count; ++i) e.targets.push_back(ToEngine(r.targets[i], i));
  if (r.renumber_count != 0) Required(r.renumber);
  for (size_t i = 0; i < r.renumber_count; ++i) {
    const std::string name = fmt::format("renumber {}", i + 1);
    const int from = InRange<int>(r.renumber[i].from, Range{name + " from", 1, kMaxProfile});
    const int to = InRange<int>(r.renumber[i].to, Range{name + " to", 1, kMaxProfile});
    // A second number for the same profile would silently win or lose.
    if (!e.renumber.emplace(from, to).second)
      throw Error(rt::InvalidProcedureCall, fmt::format("{}: {} from: profile {} is renumbered twice",
                                                        RuntimeErrorText(rt::InvalidProcedureCall), name, from));
  }
  e.replace = InRange<int>(r.replace, Range{"replace", KESTREL_REPLACE_REFUSE, KESTREL_REPLACE}) == KESTREL_REPLACE
                  ? ReplacePolicy::Replace
                  : ReplacePolicy::Refuse;
  e.dry_run = Flag(r.dry_run);
  e.keep_work = Flag(r.keep_work);
  e.allow_without_sums = Flag(r.allow_without_sums);
  e.wait_seconds = InRange<int>(r.wait_seconds, kWait);
  e.user = Bytes(r.user, "user");
  e.registry = Bytes(r.registry, "registry");
  return e;
}

// An out-parameter: cleared first, so that a failure leaves no pointer a host
// might free twice.
template <typename T>
T*& Out(T** out) {
  T*& o = Required(out);
  o = nullptr;
  return o;
}

// The context of a host's verification, check and import: they keep the
// installation's run log as the component does.
kestrel::Context LoggedContext() {
  kestrel::Context context;
  context.run_log = kestrel::AppendRunLog;
  return context;
}

}  // namespace
}  // namespace kestrel::capi

using namespace kestrel::capi;

extern "C" {

int kestrel_get_error(kestrel_error* error) {
  return Guarded([&] {
    kestrel_error& out = Required(error);
    const kestrel::Error& e = LastError();
    const kestrel::Place& p = e.place();
    out = kestrel_error{e.number(), 0, View(e.text()),
                        kestrel_place{View(p.file), p.line, View(p.table), p.entry, View(p.path)}};
  });
}

int kestrel_store_open(const char* location, size_t length, int32_t wait_seconds, kestrel_store** store) {
  return Guarded([&] {
    kestrel_store*& out = Out(store);
    const std::string where = Bytes(location, length, "store");
    const int wait = InRange<int>(wait_seconds, kWait);
    out = new kestrel_store{kestrel::Store::Open(where, wait)};
  });
}

int kestrel_store_close(kestrel_store* store) {
  return Guarded([&] { delete store; });
}

int kestrel_store_profiles(kestrel_store* store, kestrel_stored_profiles** profiles) {
  return Guarded([&] {
    kestrel::Store& s = StoreOf(store);
    kestrel_stored_profiles*& out = Out(profiles);
    out = HandOut(StoredProfilesResult(s.Profiles()));
  });
}

int kestrel_stored_profiles_free(kestrel_stored_profiles* profiles) {
  return Guarded([&] { Free(profiles); });
}

int kestrel_store_counts(kestrel_store* store, kestrel_counts** counts) {
  return Guarded([&] {
    kestrel::Store& s = StoreOf(store);
    kestrel_counts*& out = Out(counts);
    out = HandOut(CountsResult(s.Counts()));
  });
}

int kestrel_counts_free(kestrel_counts* counts) {
  return Guarded([&] { Free(counts); });
}

int kestrel_export(kestrel_store* store, const kestrel_export_request* request, kestrel_export_report** report) {
  return Guarded([&] {
    kestrel::Store& s = StoreOf(store);
    kestrel_export_report*& out = Out(report);
    const kestrel::ExportRequest e = ToEngine(Filled(request, "export request size"));
    out = HandOut(ExportResult(kestrel::Export(s, e)));
  });
}

int kestrel_export_report_free(kestrel_export_report* report) {
  return Guarded([&] { Free(report); });
}

int kestrel_read_pack(const char* folder, size_t length, uint32_t flags, kestrel_pack_info** info) {
  return Guarded([&] {
    kestrel_pack_info*& out = Out(info);
    const kestrel::PackReader reader(Bytes(folder, length, "pack"), ReadOptions(flags));
    out = HandOut(PackInfoResult(reader.Info()));
  });
}

int kestrel_pack_info_free(kestrel_pack_info* info) {
  return Guarded([&] { Free(info); });
}

int kestrel_propose(kestrel_store* store, const char* folder, size_t length, uint32_t flags,
                    kestrel_targets** proposal) {
  return Guarded([&] {
    kestrel::Store& s = StoreOf(store);
    kestrel_targets*& out = Out(proposal);
    const kestrel::PackReader reader(Bytes(folder, length, "pack"), ReadOptions(flags));
    out = HandOut(TargetsResult(reader.Proposal(s)));
  });
}

int kestrel_targets_free(kestrel_targets* targets) {
  return Guarded([&] { Free(targets); });
}

int kestrel_verify(kestrel_store* store, const kestrel_import_request* request, kestrel_findings** findings) {
  return Guarded([&] {
    kestrel::Store& s = StoreOf(store);
    kestrel_findings*& out = Out(findings);
    const kestrel::ImportRequest e = ToEngine(Filled(request, "import request size"));
    out = HandOut(FindingsResult(kestrel::Verify(s, e, LoggedContext())));
  });
}

int kestrel_findings_free(kestrel_findings* findings) {
  return Guarded([&] { Free(findings); });
}

int kestrel_check(kestrel_store* store, const kestrel_import_request* request) {
  return Guarded([&] {
    kestrel::Store& s = StoreOf(store);
    kestrel::Check(s, ToEngine(Filled(request, "import request size")), LoggedContext());
  });
}

int kestrel_would_replace(kestrel_store* store, const kestrel_import_request* request, kestrel_texts** replaced) {
  return Guarded([&] {
    kestrel::Store& s = StoreOf(store);
    kestrel_texts*& out = Out(replaced);
    const kestrel::ImportRequest e = ToEngine(Filled(request, "import request size"));
    out = HandOut(TextsResult(kestrel::WouldReplace(kestrel::Targets(s, e))));
  });
}

int kestrel_texts_free(kestrel_texts* texts) {
  return Guarded([&] { Free(texts); });
}

int kestrel_import(kestrel_store* store, const kestrel_import_request* request, kestrel_import_report** report) {
  return Guarded([&] {
    kestrel::Store& s = StoreOf(store);
    kestrel_import_report*& out = Out(report);
    const kestrel::ImportRequest e = ToEngine(Filled(request, "import request size"));
    out = HandOut(ImportResult(kestrel::Import(s, e, LoggedContext())));
  });
}

int kestrel_import_report_free(kestrel_import_report* report) {
  return Guarded([&] { Free(report); });
}

}  // extern "C"
