#!/usr/bin/env bash
# Keeps the floors honest: a folder of src/ includes only its own headers,
# the public ones (include/kestrel/) and the folders below it (the command
# line and the web wizard share only present/, the JSON shapes both answer
# in; the command line starts the wizard through web/server.h alone); the public
# headers include only each other (the C header include/kestrel.h nothing of
# ours); only the SQLite backend includes sqlite3.h, and only the opening of a
# store names a backend's folder.
# Prints every include that breaks the rule and exits 1 when there is one.
set -euo pipefail
cd "$(dirname "$0")/.."

# What each folder may include besides itself and include/kestrel/.
declare -A below=(
  [base]=""
  [store]="base"
  [store/sqlite]="base store"
  [pack]="base"
  [exporter]="base store pack"
  [importer]="base store pack"
  [component]="base store pack exporter importer engine"
  [diff]="base store pack exporter"
  [engine]="base store pack exporter importer diff"
  [present]=""
  [cli]="present"
  [web]="present"
  [capi]="base engine"
)

status=0
complain() { echo "$1"; status=1; }

for folder in "${!below[@]}"; do
  for file in src/"$folder"/*.h src/"$folder"/*.cpp; do
    [ -e "$file" ] || continue
    while IFS= read -r line; do
      target=$(sed -E 's/^#include "([^"]+)".*/\1/' <<<"$line")
      case "$target" in
        kestrel/* | kestrel.h) continue ;;
        */*) ;;
        *) [ "$folder" = cli ] && continue ;;  # the command line's own headers, beside it
      esac
      target_folder=${target%/*}
      [ "$target_folder" = "$folder" ] && continue
      # `kestrel serve` starts the wizard: the one way from the command line to the web.
      [ "$file" = src/cli/cmd_serve.cpp ] && [ "$target" = web/server.h ] && continue
      # Opening a store is the one place that chooses a backend.
      [ "$file" = src/store/open.cpp ] && [[ "$target_folder" == store/* ]] && continue
      ok=0
      for allowed in ${below[$folder]}; do [ "$target_folder" = "$allowed" ] && ok=1; done
      [ $ok = 1 ] || complain "$file: includes $target, which is not below $folder"
    done < <(grep -E '^#include "' "$file" || true)
  done
done

for file in include/kestrel/*.h; do
  while IFS= read -r line; do
    complain "$file: a public header includes a private one: $line"
  done < <(grep -E '^#include "' "$file" | grep -v '^#include "kestrel/' || true)
done

while IFS= read -r line; do
  complain "include/kestrel.h: the C header includes a header of ours: $line"
done < <(grep -E '^#include "' include/kestrel.h || true)

while IFS= read -r file; do
  complain "$file: includes sqlite3.h outside the SQLite backend"
done < <(grep -rlE '#include <sqlite3.h>' src include tests bench | grep -v '^src/store/sqlite/' || true)

exit $status
