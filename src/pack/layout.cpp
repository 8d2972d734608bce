// Look-ups in the layout tables.
#include "pack/layout.h"

#include "base/text.h"

namespace kestrel::pack {

const TaggedLayout* FindTaggedLayout(std::string_view table) {
  for (const auto* layout : kTaggedLayouts)
    if (layout->table == table) return layout;
  return nullptr;
}

const RowLayout* FindRowLayout(std::string_view table) {
  for (const auto* layout : kRowLayouts)
    if (layout->table == table) return layout;
  return nullptr;
}

const TaggedLayout* TaggedLayoutOfFile(std::string_view file) {
  for (const auto* layout : kTaggedLayouts)
    if (text::EqualNoCase(layout->file, file)) return layout;
  return nullptr;
}

const RowLayout* RowLayoutOfFile(std::string_view file) {
  for (const auto* layout : kRowLayouts)
    if (text::EqualNoCase(layout->file, file)) return layout;
  return nullptr;
}

}  // namespace kestrel::pack
