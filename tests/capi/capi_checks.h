/* The checks both parts of the C interface's test program share: each
 * failed check is printed and counted, and the program exits 1 when any
 * failed. */
#ifndef KESTREL_CAPI_CHECKS_H
#define KESTREL_CAPI_CHECKS_H

#include <stddef.h>
#include <stdio.h>

extern int failures;

#define CHECK(cond)                                                      \
  do {                                                                   \
    if (!(cond)) {                                                       \
      fprintf(stderr, "%s:%d: failed: %s\n", __FILE__, __LINE__, #cond); \
      ++failures;                                                        \
    }                                                                    \
  } while (0)

/* The status a call returned, and the last error when it is not the one wanted. */
void expect_status(int got, int want, const char* what);
/* The bytes are the NUL-terminated `want`, without its NUL. */
int same(const char* bytes, size_t length, const char* want);
/* Runs a shell command; exits the program when it fails. */
void run(const char* command);

/* The typed calls on the demo chain: `second` is a store with the demo's
 * shared data and no profiles, `registry` names the installation. */
void check_typed(const char* dir, const char* store, const char* second, const char* registry);

#endif
