// Reading result fields and writing parameters in the server's text format.
#include "store/postgres/values.h"

#include <charconv>
#include <cstdlib>

#include "base/errors_ours.h"

namespace kestrel::store::postgres {
namespace {

constexpr Oid kBoolType = 16;
constexpr Oid kInt8Type = 20;
constexpr Oid kInt2Type = 21;
constexpr Oid kInt4Type = 23;
constexpr Oid kOidType = 26;
constexpr Oid kFloat4Type = 700;
constexpr Oid kFloat8Type = 701;
constexpr Oid kNumericType = 1700;

bool IsIntegerType(Oid t) { return t == kInt8Type || t == kInt2Type || t == kInt4Type || t == kOidType; }
bool IsFloatingType(Oid t) { return t == kFloat4Type || t == kFloat8Type || t == kNumericType; }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string_view Field(const PGresult* r, int row, int column) {
  return {PQgetvalue(r, row, column), static_cast<size_t>(PQgetlength(r, row, column))};
}

}  // namespace

bool LendsText(Oid type) { return !IsFloatingType(type) && type != kBoolType; }

std::string DecodeBytea(std::string_view hex) {
  if (hex.size() < 2 || hex[0] != '\\' || hex[1] != 'x')
    Raise(Ours::Internal, "A bytea value not in hex form; the server's bytea_output must be hex");
  std::string out;
  out.reserve((hex.size() - 2) / 2);
  for (size_t i = 2; i + 1 < hex.size(); i += 2)
    out += static_cast<char>(HexDigit(hex[i]) * 16 + HexDigit(hex[i + 1]));
  return out;
}

std::string EncodeBytea(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out = "\\x";
  out.reserve(2 + bytes.size() * 2);
  for (char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
  }
  return out;
}

Value FieldValue(const PGresult* r, int row, int column) {
  if (PQgetisnull(r, row, column)) return Value();
  return ValueOfText(Field(r, row, column), PQftype(r, column));
}

bool CopiesAsFetched(Oid type) { return !IsFloatingType(type) && type != kBoolType && type != kByteaType; }

Value ValueOfText(std::string_view text, Oid type) {
  if (IsIntegerType(type)) {
    int64_t n = 0;
    std::from_chars(text.data(), text.data() + text.size(), n);
    return Value(n);
  }
  if (IsFloatingType(type)) return Value(std::strtod(std::string(text).c_str(), nullptr));
  if (type == kBoolType) return Value(int64_t{text == "t" ? 1 : 0});
  if (type == kByteaType) return Value(DecodeBytea(text));
  return Value(std::string(text));
}

void AppendFieldText(std::string& out, const PGresult* r, int row, int column) {
  if (PQgetisnull(r, row, column)) return;
  const Oid type = PQftype(r, column);
  if (IsFloatingType(type) || type == kBoolType || type == kByteaType) {
    out += FieldValue(r, row, column).TextOrEmpty();
    return;
  }
  out.append(Field(r, row, column));
}

void Params::Resize(size_t n) {
  owned_.resize(n);
  pointers_.assign(n, nullptr);
}

void Params::Clear() { Resize(pointers_.size()); }

void Params::Own(size_t i, std::string text) {
  owned_[i] = std::move(text);
  pointers_[i] = owned_[i].c_str();
}

void Params::Set(size_t i, const Value& v, bool binary) {
  if (v.IsNull()) {
    pointers_[i] = nullptr;
  } else if (const std::string* text = v.AsText()) {
    Own(i, binary ? EncodeBytea(*text) : *text);
  } else if (const double* d = v.AsDouble()) {
    Own(i, FormatDouble(*d));
  } else {
    Own(i, std::to_string(v.Integer()));
  }
}

void Params::SetText(size_t i, std::string_view text, bool binary) {
  if (text.empty()) {
    pointers_[i] = nullptr;
  } else {
    Own(i, binary ? EncodeBytea(text) : std::string(text));
  }
}

}  // namespace kestrel::store::postgres
