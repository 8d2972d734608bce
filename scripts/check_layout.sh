#!/usr/bin/env bash
# What the build cannot say of the floors (it refuses an include or a call of
# a higher floor itself, see cmake/floors.cmake): the public headers include
# only each other (the C header include/kestrel.h only kestrel/export.h);
# sqlite3.h, a system header every floor could reach, is included by the
# SQLite backend alone; and of the store floor, which links the SQLite
# backend to open stores, only the opening of a store (store/open.cpp) names
# a backend's folder.
# Prints every include that breaks the rule and exits 1 when there is one.
set -euo pipefail
cd "$(dirname "$0")/.."

status=0
complain() { echo "$1"; status=1; }

for file in include/kestrel/*.h; do
  while IFS= read -r line; do
    complain "$file: a public header includes a private one: $line"
  done < <(grep -E '^#include "' "$file" | grep -v '^#include "kestrel/' || true)
done

while IFS= read -r line; do
  complain "include/kestrel.h: the C header includes a header of ours: $line"
done < <(grep -E '^#include "' include/kestrel.h | grep -v '^#include "kestrel/export.h"' || true)

while IFS= read -r file; do
  complain "$file: includes sqlite3.h outside the SQLite backend"
done < <(grep -rlE '#include <sqlite3.h>' src include tests bench | grep -v '^src/store/sqlite/' || true)

while IFS= read -r file; do
  complain "$file: names a store backend's folder outside the opening of a store"
done < <(grep -lE '^#include "store/(sqlite|postgres)/' src/store/*.h src/store/*.cpp | grep -v '^src/store/open.cpp$' || true)

exit $status
