#!/usr/bin/env bash
# Set-up, then the main job on demo data in a temporary folder, with SQLite
# stores (scripts/lib/main-job.sh says what the job does).
# With --web, instead: the web import wizard on the demo store (and the packs
# the job exported), until Ctrl-C; it prints the address to open.
# Usage: scripts/demo.sh [--web]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/lib/main-job.sh"
web=0
case "${1:-}" in
  --web) web=1 ;;
  "") ;;
  *) echo "usage: scripts/demo.sh [--web]" >&2; exit 2 ;;
esac
build_kestrel

work=$(mktemp -d "${TMPDIR:-/tmp}/kestrel-demo-XXXXXX")
trap 'rm -rf "$work"' EXIT
prepare_installation
main_job "$work/profiles.db" "$work/imported.db"
if [ $web = 1 ]; then
  echo
  echo "The import wizard on the demo store; open the address below in a browser, Ctrl-C ends it."
  "$k" serve --store "$work/profiles.db" --export-root "$work/packs"
fi
