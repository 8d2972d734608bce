// Pack folder and file names.
#include "pack/naming.h"

#include <fmt/format.h>

#include "base/errors_ours.h"
#include "base/text.h"

namespace kestrel::pack {

void CheckApplicationCode(std::string_view code) {
  std::string_view why;
  if (code.empty())
    why = "the code is empty";
  else if (code.find_first_of("/\\") != std::string_view::npos)
    why = "the code holds a path separator";
  else if (code.find("..") != std::string_view::npos)
    why = "the code holds \"..\"";
  else
    for (char c : code)
      if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
        why = "the code holds a control character";
        break;
      }
  if (!why.empty())
    Raise(Ours::BadApplicationCode,
          fmt::format("{}: {}, {}", DefaultText(Ours::BadApplicationCode), QuoteForMessage(code), why));
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
