// Pack folder and file names.
#include "pack/naming.h"

#include <fmt/format.h>

#include "base/errors_ours.h"
#include "base/text.h"

namespace kestrel::pack {

std::string_view WhyNotAFileName(std::string_view name) {
  if (name.empty()) return "is empty";
  if (name.find_first_of("/\\") != std::string_view::npos) return "holds a path separator";
  if (name.find("..") != std::string_view::npos) return "holds \"..\"";
  for (char c : name)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return "holds a control character";
  return {};
}

void CheckApplicationCode(std::string_view code) {
  const std::string_view why = WhyNotAFileName(code);
  if (!why.empty())
    Raise(Ours::BadApplicationCode,
          fmt::format("{}: {}, the code {}", DefaultText(Ours::BadApplicationCode), QuoteForMessage(code), why));
}

std::string PackFolderName(int32_t mprf, std::string_view sapp, std::string_view tapp, bool single_profile) {
  CheckApplicationCode(sapp);
  CheckApplicationCode(tapp);
  return fmt::format("{}-{}-{}-{}", mprf, sapp, tapp, single_profile ? 'S' : 'M');
}

std::string DataFileName(std::string_view table, std::string_view appl) {
  CheckApplicationCode(appl);
  std::string name = text::LowerAscii(table);
  name += appl;
  name += ".dat";
  return name;
}

}  // namespace kestrel::pack
