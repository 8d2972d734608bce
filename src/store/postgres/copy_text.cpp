// Writing fields and values in COPY's text form, and reading a line back.
#include "store/postgres/copy_text.h"

#include <algorithm>
#include <array>
#include <iterator>

#include <fmt/format.h>

#include "base/error.h"
#include "base/errors_ours.h"
#include "store/postgres/values.h"

namespace kestrel::store::postgres {
namespace {

// The bytes COPY's text form writes as a backslash and a letter: the server
// escapes all of them, we only those a value of ours can make ambiguous.
struct Escape {
  char byte, letter;
  bool ours;
};
constexpr Escape kCopyEscapes[] = {{'\\', '\\', true}, {'\t', 't', true},  {'\r', 'r', true}, {'\n', 'n', true},
                                   {'\b', 'b', false},  {'\f', 'f', false}, {'\v', 'v', false}};

// The letter we write after a backslash for each byte that needs one, 0 for
// the others.
constexpr std::array<char, 256> kEscapes = [] {
  std::array<char, 256> e{};
  for (const Escape& x : kCopyEscapes)
    if (x.ours) e[static_cast<unsigned char>(x.byte)] = x.letter;
  return e;
}();

// The byte each letter after a backslash stands for, as the server or we
// write it; 0 for a letter neither writes.
constexpr std::array<char, 256> kEscapedBytes = [] {
  std::array<char, 256> e{};
  for (const Escape& x : kCopyEscapes) e[static_cast<unsigned char>(x.letter)] = x.byte;
  return e;
}();

// Runs of plain bytes go in one append: most values have nothing to escape.
void AppendEscaped(std::string& out, std::string_view text) {
  size_t plain = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const char escaped = kEscapes[static_cast<unsigned char>(text[i])];
    if (!escaped) continue;
    out.append(text.data() + plain, i - plain);
    out += '\\';
    out += escaped;
    plain = i + 1;
  }
  out.append(text.data() + plain, text.size() - plain);
}

}  // namespace

void AppendCopyField(std::string& out, std::string_view field, bool binary) {
  if (field.empty()) {
    out += "\\N";
    return;
  }
  AppendEscaped(out, binary ? std::string_view(EncodeBytea(field)) : field);
}

void AppendCopyValue(std::string& out, const Value& v, bool binary) {
  if (v.IsNull()) {
    out += "\\N";
  } else if (const std::string* text = v.AsText()) {
    AppendEscaped(out, binary ? std::string_view(EncodeBytea(*text)) : std::string_view(*text));
  } else if (const double* d = v.AsDouble()) {
    out += FormatDouble(*d);
  } else {
    fmt::format_to(std::back_inserter(out), "{}", v.Integer());
  }
}

bool AppendPlainCopyFields(std::string& out, std::string_view line, size_t fields, std::string_view separator) {
  if (line.find('\\') != std::string_view::npos) return false;
  const size_t start = out.size();
  size_t at = 0;
  for (size_t i = 0; i < fields; ++i) {
    const size_t end = line.find('\t', at);
    if (end == std::string_view::npos && i + 1 < fields) {
      out.resize(start);
      return false;
    }
    if (i > 0) out.append(separator);
    out.append(line.substr(at, std::min(end, line.size()) - at));
    at = end + 1;
  }
  return true;
}

std::vector<Value> ReadCopyValues(std::string_view line, const std::vector<bool>& binary) {
  std::vector<std::string> fields;
  std::vector<uint8_t> nulls;
  SplitCopyLine(line, fields, nulls);
  std::vector<Value> values;
  values.reserve(fields.size());
  for (size_t i = 0; i < fields.size(); ++i) {
    if (nulls[i])
      values.emplace_back();
    else if (i < binary.size() && binary[i])
      values.emplace_back(DecodeBytea(fields[i]));
    else
      values.emplace_back(std::move(fields[i]));
  }
  return values;
}

void SplitCopyLine(std::string_view line, std::vector<std::string>& fields, std::vector<uint8_t>& nulls) {
  size_t n = 0, at = 0;
  while (true) {
    const size_t end = std::min(line.find('\t', at), line.size());
    const std::string_view raw = line.substr(at, end - at);
    if (fields.size() <= n) fields.emplace_back();
    if (nulls.size() <= n) nulls.push_back(0);
    std::string& field = fields[n];
    field.clear();
    nulls[n] = raw == "\\N";
    if (!nulls[n]) {
      // Runs of plain bytes go in one append: most fields have no escape.
      size_t plain = 0;
      for (size_t i = raw.find('\\'); i != std::string_view::npos; i = raw.find('\\', plain)) {
        field.append(raw.data() + plain, i - plain);
        const char letter = i + 1 < raw.size() ? raw[i + 1] : '\0';
        const char byte = kEscapedBytes[static_cast<unsigned char>(letter)];
        if (!byte) Raise(Ours::Internal, fmt::format("A line of COPY text has an escape COPY never writes: {}", raw));
        field += byte;
        plain = i + 2;
      }
      field.append(raw.data() + plain, raw.size() - plain);
    }
    ++n;
    if (end == line.size()) break;
    at = end + 1;
  }
  fields.resize(n);
  nulls.resize(n);
}

}  // namespace kestrel::store::postgres
