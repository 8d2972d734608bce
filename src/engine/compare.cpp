// Two sides compared, on the caller's Env.
#include "kestrel/engine.h"

namespace kestrel {

diff::Result Diff(const diff::Side& a, const diff::Side& b, const diff::Options& options, const Context& context) {
  return diff::Compare(context.Environment(), a, b, options);
}

}  // namespace kestrel
