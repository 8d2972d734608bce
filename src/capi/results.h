// The results the typed C functions hand out: each is one C struct with the
// texts and arrays it points at kept beside it, owned by the library until
// the host frees it with the function of its type. A pointer the library did
// not hand out, or one freed already, is refused rather than freed.
#pragma once

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "kestrel.h"
#include "kestrel/engine.h"

namespace kestrel::capi {

// The texts and arrays of one result.
class Arena {
 public:
  kestrel_text Text(std::string s);
  template <typename T>
  const T* Array(std::vector<T> items, size_t& count) {
    count = items.size();
    if (items.empty()) return nullptr;
    auto kept = std::make_shared<std::vector<T>>(std::move(items));
    arrays_.push_back(kept);
    return kept->data();
  }
  const kestrel_text* Texts(const std::vector<std::string>& items, size_t& count);

 private:
  std::deque<std::string> texts_;
  std::vector<std::shared_ptr<void>> arrays_;
};

struct Owned {
  virtual ~Owned() = default;
  Arena arena;
};

template <typename C>
struct Result : Owned {
  C c{};
};

// Registers the result and hands out its struct.
void Register(const void* handed_out, std::unique_ptr<Owned> owner);
// Frees what Register handed out; 5 for any other pointer. NULL is allowed.
void Release(const void* handed_out, bool (*is_type)(const Owned&));

template <typename C>
C* HandOut(std::unique_ptr<Result<C>> r) {
  r->c.size = static_cast<uint32_t>(sizeof(C));
  C* out = &r->c;
  Register(out, std::move(r));
  return out;
}

template <typename C>
void Free(C* handed_out) {
  Release(handed_out, [](const Owned& o) { return dynamic_cast<const Result<C>*>(&o) != nullptr; });
}

// The engine's values as the C structs carry them, their texts in `arena`.
kestrel_pack_profile ToC(Arena& arena, const PackProfile& p);
kestrel_target ToC(Arena& arena, const Target& t);
kestrel_error ToC(Arena& arena, const Error& e);
kestrel_place ToC(Arena& arena, const Place& p);

std::unique_ptr<Result<kestrel_export_report>> ExportResult(const ExportReport& report);
std::unique_ptr<Result<kestrel_pack_info>> PackInfoResult(const PackInfo& info);
std::unique_ptr<Result<kestrel_targets>> TargetsResult(const std::vector<Target>& targets);
std::unique_ptr<Result<kestrel_findings>> FindingsResult(const std::vector<Error>& findings);
std::unique_ptr<Result<kestrel_import_report>> ImportResult(const ImportReport& report);
std::unique_ptr<Result<kestrel_stored_profiles>> StoredProfilesResult(const std::vector<inspect::StoredProfile>& profiles);
std::unique_ptr<Result<kestrel_counts>> CountsResult(const std::vector<TableCount>& counts);
std::unique_ptr<Result<kestrel_texts>> TextsResult(const std::vector<std::string>& texts);

}  // namespace kestrel::capi
