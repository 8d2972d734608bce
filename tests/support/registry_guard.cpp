// Keeps every test away from the user's and the system's registry file: the
// whole test program runs with KESTREL_REGISTRY naming a file that does not
// exist, unless a test sets its own for a scope.
#include <cstdlib>

namespace {
struct RegistryGuard {
  RegistryGuard() { ::setenv("KESTREL_REGISTRY", "/nonexistent/kestrel-tests/registry.ini", 1); }
} guard;
}  // namespace
