// Reading and converting the records of the loaders' files: the rules every
// loader applies to a record before it is stored, kept apart from the store.
#include <cmath>
#include <limits>

#include "component/datetime.h"
#include "component/error.h"
#include "component/variant.h"
#include "import/loaders.h"

namespace Kestrel20ImpExp::detail {
namespace {

// A whole number as the run time converts one for a 16- or 32-bit variable:
// blanks around it ignored, decimals rounded half to even, 13 when it is no
// number, 6 "Overflow" outside the variable's range.
template <class Int>
int64_t WholeNumber(const std::string& text) {
  int64_t v = Value(text).Integer();
  if (v < std::numeric_limits<Int>::min() || v > std::numeric_limits<Int>::max()) RaiseRuntime(rt::Overflow);
  return v;
}

// The integer part of a number, rounded down ("3.7" gives 3), as a 32-bit value.
int64_t RoundedDown(const std::string& text) {
  double d = 0;
  switch (ParseNumber(text, d)) {
    case NumberText::Ok: break;
    case NumberText::NotNumeric: RaiseRuntime(rt::TypeMismatch);
    case NumberText::OutOfRange: RaiseRuntime(rt::Overflow);
  }
  d = std::floor(d);
  if (d < std::numeric_limits<int32_t>::min() || d > std::numeric_limits<int32_t>::max()) RaiseRuntime(rt::Overflow);
  return static_cast<int64_t>(d);
}

// A date of a pack file in the one form the store keeps; 13 when it is no date.
std::string DateText(const std::string& text) { return FormatDateTime(ToDateTime(text)); }

// Whether the profile number of this file is read into a 16-bit variable. The
// first two revision files read it into a 32-bit one.
bool ProfileNumberIs16Bit(Loader loader, const pack::TaggedLayout& layout) {
  if (loader == Loader::RevisionRules) return &layout != &pack::kQzmap110 && &layout != &pack::kQzmap125;
  return true;
}

// "d" in place of the first character: the VRC a development rule is kept under.
std::string Development(const std::string& part) { return "d" + (part.empty() ? part : part.substr(1)); }

Value* FindIn(LoadedRow& row, std::string_view column) {
  for (auto& [name, value] : row.columns)
    if (name == column) return &value;
  return nullptr;
}

}  // namespace

const Value* LoadedRow::Find(std::string_view column) const {
  for (const auto& [name, value] : columns)
    if (name == column) return &value;
  return nullptr;
}

LoadedRecords::LoadedRecords(const ImportState& s, Loader loader, const pack::TaggedLayout& layout)
    : s_(s),
      loader_(loader),
      layout_(layout),
      mprf_16bit_(ProfileNumberIs16Bit(loader, layout)),
      reader_(pack::TaggedRecordReader::Open(s.Path, layout, {.for_sync = s.ManifestForSync})) {}

bool LoadedRecords::Next(LoadedRow& row) {
  if (!reader_->Next(record_)) return false;
  Convert(row);
  return true;
}

void LoadedRecords::Convert(LoadedRow& row) {
  row.columns.clear();
  row.line = record_.line();
  const bool rules = loader_ == Loader::CurrentRules || loader_ == Loader::RevisionRules;
  for (size_t i = 0; i < layout_.fields.size(); ++i) {
    const std::string_view column = layout_.fields[i].column;
    if (!record_.IsSet(i)) {
      // A current rule without a load date gets the time of loading; outside
      // synchronisation packs its last user is the importing user's.
      if (loader_ == Loader::CurrentRules && column == "ldat")
        row.columns.emplace_back(column, NowText());
      else if (loader_ == Loader::CurrentRules && column == "lusr")
        row.columns.emplace_back(column, s_.LastModifiedUser);
      continue;
    }
    const std::string& text = record_.Text(i);
    Value v;
    if (column == "mprf") {
      v = mprf_16bit_ ? WholeNumber<int16_t>(text) : WholeNumber<int32_t>(text);
    } else if (column == "dnum" || column == "type") {
      v = WholeNumber<int16_t>(text);
    } else if (column == "revi") {
      v = rules ? WholeNumber<int16_t>(text) : RoundedDown(text);
    } else if (column == "ldat" || column == "sdat" || column == "cdat") {
      v = DateText(text);
    } else if (column == "pexp" && loader_ == Loader::RevisionRules) {
      // Only the two values of the flag are taken; anything else leaves the
      // column at the table's default.
      if (text == "0")
        v = 0;
      else if (text == "1")
        v = 1;
      else
        continue;
    } else if (column == "pexp") {
      v = Variant(text).ToBool() ? 1 : 0;
    } else {
      v = text;
    }
    row.columns.emplace_back(column, std::move(v));
  }
  if (loader_ != Loader::SharedFunctions) Identify(row);
}

void LoadedRecords::Identify(LoadedRow& row) {
  Value* mprf = FindIn(row, "mprf");
  Value* vers = FindIn(row, "vers");
  Value* rele = FindIn(row, "rele");
  Value* cust = FindIn(row, "cust");
  if (!mprf || !vers || !rele || !cust) return;

  const int64_t read = *mprf->AsInteger();
  if (!last_ || last_->read != read) {
    Identity id;
    id.read = read;
    id.mprf = MapSourceProfile(s_, static_cast<int32_t>(read));
    id.entry = FindInHeaderMap(s_, id.mprf);
    last_ = std::move(id);
  }
  *mprf = static_cast<int64_t>(last_->mprf);
  if (!last_->entry) return;  // not in the header map: the file's VRC stays

  const HeaderEntry& e = last_->entry->Entry;
  if (loader_ == Loader::CurrentRules) {
    // A rule kept under its profile's development VRC is stored under the
    // development form of the profile's new VRC.
    const size_t k = last_->entry->Position;
    const auto& development = s_.Plan.DevelopmentVRCs;
    if (k >= development.size()) RaiseRuntime(rt::SubscriptOutOfRange);
    if (*vers->AsText() + "_" + *rele->AsText() + "_" + *cust->AsText() == development[k]) {
      *vers = Development(e.Vers);
      *rele = e.Rele;
      *cust = Development(e.Cust);
      return;
    }
  }
  *vers = e.Vers;
  *rele = e.Rele;
  *cust = e.Cust;
}

}  // namespace Kestrel20ImpExp::detail
