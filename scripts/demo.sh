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
