#!/usr/bin/env bash
# Set-up, then the main job on demo data in a temporary folder.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh" "$root/build/release"
k="$root/build/release/kestrel"
"$k" --version

work=$(mktemp -d "${TMPDIR:-/tmp}/kestrel-demo-XXXXXX")
trap 'rm -rf "$work"' EXIT

# A profile store with the demo data: two applications, a chain of three
# profiles with their rules, revisions, libraries, users and codes.
"$k" demo-store "$work/profiles.db"
echo "Rows per table:"
"$k" counts --store "$work/profiles.db"

# The grandchild of the demo chain (profile 30) exported twice: as a single
# profile, the rules it inherits folded in, and with the two profiles it is
# based on, each under its own number; both with their revision history.
mkdir -p "$work/packs"
single=$("$k" export --store "$work/profiles.db" --profile 30 --root "$work/packs" --single --traverse-parent --revisions)
echo
echo "Single-profile pack $single ($(head -n 1 "$single/ExportMR.log" | tr -d '\r')):"
ls -l "$single"
chain=$("$k" export --store "$work/profiles.db" --profile 30 --root "$work/packs" --revisions)
echo
echo "Profile-chain pack $chain ($(head -n 1 "$chain/ExportMR.log" | tr -d '\r')):"
ls -l "$chain"
