#!/usr/bin/env bash
# Set-up, then the main job on demo data with stores on a throwaway
# PostgreSQL server, and the demo chain moved from an SQLite store into a
# server store and from a server store into an SQLite store, each exported
# again and compared with the first pack. Exits non-zero when a pack differs.
# The server is made as the tests make theirs (scripts/pg-cluster.sh: a
# cluster in a temporary folder, run by the postgres user, listening only on
# a Unix socket there) and is stopped and removed however the script ends.
# Run as root (or as the postgres user) after scripts/setup.sh.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/lib/main-job.sh"
build_kestrel

work=$(mktemp -d "${TMPDIR:-/tmp}/kestrel-demo-XXXXXX")
# In /tmp, whatever TMPDIR says: the postgres user must reach the cluster's folder.
server=$(mktemp -d /tmp/kestrel-demo-pg-XXXXXX)
cleanup() {
  "$root/scripts/pg-cluster.sh" stop "$server" || true
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP
uri=$("$root/scripts/pg-cluster.sh" start "$server")
echo "A throwaway PostgreSQL server at $uri"

# Each store is a schema of the server's database, named first on the
# search_path by the store's URI.
for schema in demo imported from_sqlite; do psql -X -q "$uri" -c "create schema $schema"; done
store() { echo "$uri&options=-csearch_path%3D$1"; }

prepare_installation
main_job "$(store demo)" "$(store imported)"

# The demo chain between the two kinds of store: packs of the same rows are
# the same bytes, whichever store they were read from.
echo
"$k" demo-store "$work/profiles.db" >/dev/null
move_chain "$work/profiles.db" "$(store from_sqlite)" "Exported from SQLite, imported into PostgreSQL and exported again"
move_chain "$(store demo)" "$work/from-postgres.db" "Exported from PostgreSQL, imported into SQLite and exported again"
