// The failure of a refused selection, as an import has it.
#include "present/selection_failure.h"

#include "kestrel/errors.h"

namespace kestrel::present {

Error SelectionFailure(Store& store, const ImportRequest& request, const std::vector<Error>& findings,
                       const Context& context) {
  if (SelectionVerdict verdict = Verdict(store, request, context); verdict.refusal) return std::move(*verdict.refusal);
  // The selection passes now: the findings are all there is to say.
  std::string text;
  for (const Error& e : findings) text += (text.empty() ? "" : " ") + e.text();
  return Error(kestrel::Number(kestrel::Ours::InvalidSelection), text,
               findings.empty() ? Place{} : findings.front().place());
}

}  // namespace kestrel::present
