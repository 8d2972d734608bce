// Reading and converting the records of the loaders' files: the rules every
// loader applies to a record before it is stored, kept apart from the store.
#include <cmath>
#include <limits>

#include "base/datetime.h"
#include "base/error.h"
#include "base/value.h"
#include "importer/loaders.h"

namespace kestrel::importer {
namespace {

// A whole number as the run time converts one for a 16- or 32-bit variable:
// blanks around it ignored, decimals rounded half to even, 13 when it is no
// number, 6 "Overflow" outside the variable's range.
template <class Int>
int64_t WholeNumber(const std::string& text) {
  int64_t v = IntegerOfText(text);
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

// Whether the profile number of this file is read into a 16-bit variable. The
// first two revision files read it into a 32-bit one.
bool ProfileNumberIs16Bit(Loader loader, const pack::TaggedLayout& layout) {
  if (loader == Loader::RevisionRules) return &layout != &pack::kQzmap110 && &layout != &pack::kQzmap125;
  return true;
}

// Whether `whole` is vers + "_" + rele + "_" + cust.
bool IsJoinedVrc(std::string_view whole, std::string_view vers, std::string_view rele, std::string_view cust) {
  if (whole.size() != vers.size() + rele.size() + cust.size() + 2) return false;
  if (whole.substr(0, vers.size()) != vers || whole[vers.size()] != '_') return false;
  whole.remove_prefix(vers.size() + 1);
  if (whole.substr(0, rele.size()) != rele || whole[rele.size()] != '_') return false;
  return whole.substr(rele.size() + 1) == cust;
}

}  // namespace

const Value* LoadedRow::Find(std::string_view column) const {
  for (const auto& c : columns)
    if (c.set && c.name == column) return &c.value;
  return nullptr;
}

LoadedRecords::LoadedRecords(Env& env, const PlannedPack& planned, const std::vector<std::string>& header_map,
                             Loader loader, const pack::TaggedLayout& layout)
    : env_(env),
      planned_(planned),
      header_map_(header_map),
      loader_(loader),
      layout_(layout),
      plan_(layout.fields.size()),
      mprf_(layout.IndexOf("mprf")),
      vers_(layout.IndexOf("vers")),
      rele_(layout.IndexOf("rele")),
      cust_(layout.IndexOf("cust")),
      reader_(pack::TaggedRecordReader::Open(env, planned.options.Path, layout,
                                             {.for_sync = planned.manifest.for_sync})) {
  // Each field's conversion depends only on its column and the loader.
  const bool rules = loader == Loader::CurrentRules || loader == Loader::RevisionRules;
  const bool mprf_16bit = ProfileNumberIs16Bit(loader, layout);
  for (size_t i = 0; i < layout.fields.size(); ++i) {
    const std::string_view column = layout.fields[i].column;
    FieldPlan& p = plan_[i];
    if (column == "mprf")
      p.conversion = mprf_16bit ? Conversion::Profile16 : Conversion::Profile32;
    else if (column == "dnum" || column == "type")
      p.conversion = Conversion::Whole16;
    else if (column == "revi")
      p.conversion = rules ? Conversion::Whole16 : Conversion::RoundedDown;
    else if (column == "ldat" || column == "sdat" || column == "cdat")
      p.conversion = Conversion::Date;
    else if (column == "pexp")
      p.conversion = loader == Loader::RevisionRules ? Conversion::RevisionFlag : Conversion::Flag;
    // A current rule without a load date gets the time of loading; outside
    // synchronisation packs its last user is the importing user's.
    if (loader == Loader::CurrentRules && column == "ldat") p.unset = WhenUnset::LoadTime;
    if (loader == Loader::CurrentRules && column == "lusr") p.unset = WhenUnset::ImportingUser;
  }
}

bool LoadedRecords::Next(LoadedRow& row) {
  if (!reader_->Next(record_)) return false;
  Convert(row);
  return true;
}

const std::string& LoadedRecords::LoadTime() {
  // The clock is read for every row; its text changes once a second at most.
  const DateTime now = env_.Now();
  if (!load_time_ || *load_time_ != now) {
    FormatDateTimeInto(load_time_text_, now);
    load_time_ = now;
  }
  return load_time_text_;
}

void LoadedRecords::Convert(LoadedRow& row) {
  const size_t n = layout_.fields.size();
  row.columns.resize(n);
  row.line = record_.line();
  for (size_t i = 0; i < n; ++i) {
    LoadedRow::Column& c = row.columns[i];
    c.name = layout_.fields[i].column;
    c.set = false;
    const FieldPlan& p = plan_[i];
    if (!record_.IsSet(i)) {
      if (p.unset == WhenUnset::LoadTime) {
        c.value.TextToFill() = LoadTime();
        c.set = true;
      } else if (p.unset == WhenUnset::ImportingUser) {
        c.value.TextToFill() = planned_.options.LastModifiedUser;
        c.set = true;
      }
      continue;
    }
    const std::string& text = record_.Text(i);
    switch (p.conversion) {
      case Conversion::Text: c.value.TextToFill() = text; break;
      case Conversion::Profile16:
      case Conversion::Whole16: c.value = WholeNumber<int16_t>(text); break;
      case Conversion::Profile32: c.value = WholeNumber<int32_t>(text); break;
      case Conversion::RoundedDown: c.value = RoundedDown(text); break;
      case Conversion::Date: FormatDateTimeInto(c.value.TextToFill(), ToDateTime(text)); break;
      case Conversion::RevisionFlag:
        // Only the two values of the flag are taken; anything else leaves the
        // column at the table's default.
        if (text == "0")
          c.value = 0;
        else if (text == "1")
          c.value = 1;
        else
          continue;
        break;
      case Conversion::Flag: c.value = BooleanOfText(text) ? 1 : 0; break;
    }
    c.set = true;
  }
  row.profile.reset();
  if (mprf_ >= 0 && row.columns[static_cast<size_t>(mprf_)].set)
    if (const int64_t* read = row.columns[static_cast<size_t>(mprf_)].value.AsInteger()) row.profile = *read;
  if (loader_ != Loader::SharedFunctions) Identify(row);
}

void LoadedRecords::Identify(LoadedRow& row) {
  auto column = [&row](int at) -> Value* {
    if (at < 0 || !row.columns[static_cast<size_t>(at)].set) return nullptr;
    return &row.columns[static_cast<size_t>(at)].value;
  };
  Value* mprf = column(mprf_);
  Value* vers = column(vers_);
  Value* rele = column(rele_);
  Value* cust = column(cust_);
  if (!mprf || !vers || !rele || !cust) return;

  const int64_t read = *mprf->AsInteger();
  if (!last_ || last_->read != read) {
    Identity id;
    id.read = read;
    id.mprf = MapSourceProfile(planned_.plan, static_cast<int32_t>(read));
    id.entry = FindInHeaderMap(header_map_, id.mprf);
    last_ = std::move(id);
  }
  *mprf = static_cast<int64_t>(last_->mprf);
  if (!last_->entry) return;  // not in the header map: the file's VRC stays

  const HeaderEntry& e = last_->entry->Entry;
  if (loader_ == Loader::CurrentRules) {
    // A rule kept under its profile's development VRC is stored under the
    // development form of the profile's new VRC.
    const size_t k = last_->entry->Position;
    const std::string& development = planned_.plan.At(k).development_vrc;
    if (IsJoinedVrc(development, *vers->AsText(), *rele->AsText(), *cust->AsText())) {
      *vers = DevelopmentPart(e.Vers);
      rele->TextToFill() = e.Rele;
      *cust = DevelopmentPart(e.Cust);
      return;
    }
  }
  vers->TextToFill() = e.Vers;
  rele->TextToFill() = e.Rele;
  cust->TextToFill() = e.Cust;
}

}  // namespace kestrel::importer
