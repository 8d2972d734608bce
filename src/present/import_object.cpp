// The marking of a selection through the component.
#include "present/import_object.h"

#include <memory>

#include "kestrel/cls_import.h"
#include "kestrel/details.h"
#include "kestrel/errors.h"
#include "kestrel/registry.h"

namespace kestrel::present {

std::vector<Target> MarkedTargets(Env& env, Store& store, const ImportRequest& request,
                                  const std::vector<PackProfile>& sources, const std::vector<Target>& targets) {
  const std::string file = request.registry.empty() ? kestrel::RegistryFilePath(env) : request.registry;
  Kestrel20ImpExp::clsImport import(env, std::make_shared<kestrel::RegistryFile>(env, file));
  import.putref_DataConnection(store.Connection());
  import.put_Path(request.pack);
  import.SetAllowPackWithoutSums(request.allow_without_sums);
  std::vector<Target> unmarked = targets;
  for (Target& t : unmarked) t.stored = {};
  std::string checked, messages;
  import.VerifyUserSelections(kestrel::DetailsOf(sources, unmarked), checked, messages);
  std::vector<Target> marked = kestrel::TargetsOf(checked);
  return marked.empty() ? unmarked : marked;
}

Error SelectionFailure(Store& store, const ImportRequest& request, const std::vector<Error>& findings,
                       const Context& context) {
  ImportRequest dry = request;
  dry.dry_run = true;
  try {
    kestrel::Import(store, dry, context);
  } catch (const Error& e) {
    return e;
  }
  // The dry run passed: the findings are all there is to say.
  std::string text;
  for (const Error& e : findings) text += (text.empty() ? "" : " ") + e.text();
  return Error(kestrel::Number(kestrel::Ours::InvalidSelection), text,
               findings.empty() ? Place{} : findings.front().place());
}

}  // namespace kestrel::present
