// The name tables of clsExport and clsImport for the C interface.
#include "capi/members.h"

#include <fmt/format.h>

#include <functional>
#include <limits>

#include "base/error.h"
#include "base/text.h"
#include "capi/barrier.h"

namespace kestrel::capi {
namespace {

using Kestrel20ImpExp::clsExport;
using Kestrel20ImpExp::clsImport;
using Kestrel20ImpExp::CreatedObject;

// A property missing one of the two is write-only or read-only.
template <typename Cls>
struct Property {
  std::string_view name;
  std::function<void(Cls&, const Value&)> put;
  std::function<Value(const Cls&)> get;
};

template <typename Cls>
struct Method {
  std::string_view name;
  std::vector<ArgumentUse> uses;
  std::function<bool(Cls&, std::vector<Argument>&)> run;
};

[[noreturn]] void RaiseNamed(int32_t number, std::string_view name) {
  throw ComError(number, std::string(RuntimeErrorText(number)) + ": " + std::string(name));
}

// The numbers of the interface take what the command line takes (see
// capi/barrier.h for how a number outside them fails).
constexpr int64_t kProfile = Kestrel20ImpExp::kMaxProfileNumber;
constexpr Range kExportedProfile{"MigrationProfileTobeExported", 1, kProfile};
constexpr Range kNewProfileNumber{"NewProfileNumber", 0, kProfile};  // 0: the profile's own
constexpr Range kBasedOn{"ExportBasedOn", 0, kProfile};              // 0: no base profile left out
constexpr Range kLockWait{"LockWait", 0, std::numeric_limits<int32_t>::max()};
// Arguments are named by their place, as the C interface names them. The
// profile GetDepthOfProfile is asked about may have no number yet (0); a
// parent of 0 makes it a root.
constexpr Range kDepthProfile{"GetDepthOfProfile argument 1", 0, kProfile};
constexpr Range kDepthParent{"GetDepthOfProfile argument 2", 0, kProfile};
constexpr Range kVrcProfile{"GetDevelopmentVRC argument 1", 1, kProfile};

int64_t Number(const Value& v) {
  if (!std::holds_alternative<int64_t>(v)) RaiseRuntime(rt::TypeMismatch);
  return std::get<int64_t>(v);
}
int16_t Int16(const Value& v, const Range& r) { return InRange<int16_t>(Number(v), r); }
bool Bool(const Value& v) { return Number(v) != 0; }
const std::string& Text(const Value& v) {
  if (!std::holds_alternative<std::string>(v)) RaiseRuntime(rt::TypeMismatch);
  return std::get<std::string>(v);
}
// The two variant properties take either kind as it comes.
Kestrel20ImpExp::Variant AsVariant(const Value& v) {
  if (std::holds_alternative<int64_t>(v)) return Kestrel20ImpExp::Variant(std::get<int64_t>(v));
  return Kestrel20ImpExp::Variant(std::get<std::string>(v));
}
Value Flag(bool b) { return Value(int64_t{b ? 1 : 0}); }

const std::vector<Property<clsExport>>& ExportProperties() {
  using P = Property<clsExport>;
  static const std::vector<P> table = {
      {"traveseparent", [](clsExport& o, const Value& v) { o.put_traveseparent(Bool(v)); },
       [](const clsExport& o) { return Flag(o.get_traveseparent()); }},
      {"NewProfileNumber", [](clsExport& o, const Value& v) { o.put_NewProfileNumber(Int16(v, kNewProfileNumber)); }, nullptr},
      {"MigrationProfileTobeExported",
       [](clsExport& o, const Value& v) { o.put_MigrationProfileTobeExported(Int16(v, kExportedProfile)); }, nullptr},
      // Read back, it is where the last export left it: the pack folder.
      {"Path", [](clsExport& o, const Value& v) { o.put_Path(Text(v)); },
       [](const clsExport& o) { return Value(o.PackFolder()); }},
      {"ErrorNumber", nullptr, [](const clsExport& o) { return Value(int64_t{o.get_ErrorNumber()}); }},
      {"ErrorDescription", nullptr, [](const clsExport& o) { return Value(o.get_ErrorDescription()); }},
      {"OverWrite", [](clsExport& o, const Value& v) { o.put_OverWrite(Bool(v)); }, nullptr},
      {"ExportRevisionInformation", [](clsExport& o, const Value& v) { o.put_ExportRevisionInformation(Bool(v)); },
       nullptr},
      {"ExportToSingleProfile", [](clsExport& o, const Value& v) { o.put_ExportToSingleProfile(Bool(v)); }, nullptr},
      {"TreskDataPath", [](clsExport& o, const Value& v) { o.put_TreskDataPath(Text(v)); }, nullptr},
      {"ExportBasedOn",
       [](clsExport& o, const Value& v) {
         if (std::holds_alternative<int64_t>(v)) Int16(v, kBasedOn);
         o.put_ExportBasedOn(AsVariant(v));
       },
       nullptr},
      {"ExportForSync", [](clsExport& o, const Value& v) { o.put_ExportForSync(AsVariant(v)); }, nullptr},
  };
  return table;
}

const std::vector<Property<clsImport>>& ImportProperties() {
  using P = Property<clsImport>;
  static const std::vector<P> table = {
      {"LastModifiedUser", [](clsImport& o, const Value& v) { o.put_LastModifiedUser(Text(v)); },
       [](const clsImport& o) { return Value(o.get_LastModifiedUser()); }},
      {"ErrorNumber", nullptr, [](const clsImport& o) { return Value(int64_t{o.get_ErrorNumber()}); }},
      {"ErrorDescription", nullptr, [](const clsImport& o) { return Value(o.get_ErrorDescription()); }},
      {"Path", [](clsImport& o, const Value& v) { o.put_Path(Text(v)); },
       [](const clsImport& o) { return Value(o.get_Path()); }},
      {"DatabaseServer", [](clsImport& o, const Value& v) { o.put_DatabaseServer(Text(v)); }, nullptr},
      {"DatabaseName", [](clsImport& o, const Value& v) { o.put_DatabaseName(Text(v)); }, nullptr},
      {"DatabaseUser", [](clsImport& o, const Value& v) { o.put_DatabaseUser(Text(v)); }, nullptr},
      {"DatabasePassword", [](clsImport& o, const Value& v) { o.put_DatabasePassword(Text(v)); }, nullptr},
      {"DryRun", [](clsImport& o, const Value& v) { o.SetDryRun(Bool(v)); }, nullptr},
      {"KeepWork", [](clsImport& o, const Value& v) { o.SetKeepWork(Bool(v)); }, nullptr},
      {"AllowWithoutSums", [](clsImport& o, const Value& v) { o.SetAllowPackWithoutSums(Bool(v)); }, nullptr},
      {"LockWait", [](clsImport& o, const Value& v) { o.SetLockWait(InRange<int32_t>(Number(v), kLockWait)); }, nullptr},
      {"RefusedAt", nullptr, [](const clsImport& o) { return Value(o.RefusedAt()); }},
  };
  return table;
}

const std::vector<Method<clsExport>>& ExportMethods() {
  static const std::vector<Method<clsExport>> table = {
      {"ExportMigrationProfiles", {}, [](clsExport& o, std::vector<Argument>&) { return o.ExportMigrationProfiles(); }},
  };
  return table;
}

// A 32-bit by-reference number: read, passed, written back.
template <typename Call>
bool WithInt32(Argument& a, const Range& r, Call call) {
  int32_t n = InRange<int32_t>(a.number, r);
  const bool ok = call(n);
  a.number = n;
  return ok;
}

const std::vector<Method<clsImport>>& ImportMethods() {
  using U = ArgumentUse;
  using Args = std::vector<Argument>;
  static const std::vector<Method<clsImport>> table = {
      {"LoadToMAP150", {}, [](clsImport& o, Args&) { return o.LoadToMAP150(); }},
      {"ImportLogicPack", {U::TextRef, U::TextRef},
       [](clsImport& o, Args& a) { return o.ImportLogicPack(a[0].text, a[1].text); }},
      {"VerifyUserSelections", {U::Text, U::TextRef, U::TextRef},
       [](clsImport& o, Args& a) { return o.VerifyUserSelections(a[0].text, a[1].text, a[2].text); }},
      {"ShowLogicPackDetails", {U::TextRef}, [](clsImport& o, Args& a) { return o.ShowLogicPackDetails(a[0].text); }},
      {"CheckLogicPack", {U::TextRef, U::TextRef},
       [](clsImport& o, Args& a) { return o.CheckLogicPack(a[0].text, a[1].text); }},
      {"GetDepthOfProfile", {U::NumberRef, U::NumberRef, U::NumberRef},
       [](clsImport& o, Args& a) {
         return WithInt32(a[0], kDepthProfile, [&](int32_t& m) {
           return WithInt32(a[1], kDepthParent, [&](int32_t& p) {
             // The depth is written, never read.
             int32_t d = 0;
             const bool ok = o.GetDepthOfProfile(m, p, d);
             a[2].number = d;
             return ok;
           });
         });
       }},
      {"GetDevelopmentVRC", {U::NumberRef, U::ListRef},
       [](clsImport& o, Args& a) {
         return WithInt32(a[0], kVrcProfile, [&](int32_t& m) { return o.GetDevelopmentVRC(m, a[1].items); });
       }},
      {"GetLumoInstallationPath", {U::TextRef},
       [](clsImport& o, Args& a) { return o.GetLumoInstallationPath(a[0].text); }},
  };
  return table;
}

template <typename Member>
const Member& Find(const std::vector<Member>& table, std::string_view name) {
  for (const auto& m : table)
    if (text::EqualNoCase(m.name, name)) return m;
  RaiseNamed(rt::NoSuchMember, name);
}

template <typename Cls>
void Put(Cls& o, const std::vector<Property<Cls>>& table, std::string_view name, const Value& value) {
  const auto& p = Find(table, name);
  if (!p.put) RaiseNamed(rt::WrongArguments, name);
  p.put(o, value);
}

template <typename Cls>
Value Get(const Cls& o, const std::vector<Property<Cls>>& table, std::string_view name) {
  const auto& p = Find(table, name);
  if (!p.get) RaiseNamed(rt::WrongArguments, name);
  return p.get(o);
}

template <typename Cls>
bool Call(Cls& o, const std::vector<Method<Cls>>& table, std::string_view name, std::vector<Argument>& args) {
  const auto& m = Find(table, name);
  if (args.size() != m.uses.size()) RaiseNamed(rt::WrongArguments, name);
  return m.run(o, args);
}

}  // namespace

void PutProperty(CreatedObject& object, std::string_view name, const Value& value) {
  if (object.Export) return Put(*object.Export, ExportProperties(), name, value);
  Put(*object.Import, ImportProperties(), name, value);
}

Value GetProperty(const CreatedObject& object, std::string_view name) {
  if (object.Export) return Get(*object.Export, ExportProperties(), name);
  return Get(*object.Import, ImportProperties(), name);
}

const std::vector<ArgumentUse>& MethodSignature(const CreatedObject& object, std::string_view name) {
  if (object.Export) return Find(ExportMethods(), name).uses;
  return Find(ImportMethods(), name).uses;
}

bool CallMethod(CreatedObject& object, std::string_view name, std::vector<Argument>& args) {
  if (object.Export) return Call(*object.Export, ExportMethods(), name, args);
  return Call(*object.Import, ImportMethods(), name, args);
}

}  // namespace kestrel::capi
